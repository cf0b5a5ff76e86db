// What the file-type registration adds to every start: the usual case, where everything is
// already registered, against a first registration that writes every file.
#include "app/DesktopIntegration.h"

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

// Points the registration at a scratch data folder and hides the database tools, so the
// figures are the program's own work and nothing outside the scratch folder changes.
QTemporaryDir& Scratch() {
    static QTemporaryDir dir = [] {
        QTemporaryDir d;
        qputenv("XDG_DATA_HOME", QFile::encodeName(d.filePath("share")));
        qputenv("PATH", QFile::encodeName(d.filePath("no-tools")));
        return d;
    }();
    return dir;
}

const QString kExecutable = QStringLiteral("/opt/Welmo Rolvet/bin/rolvet");

void BM_RegisterAlreadyRegistered(benchmark::State& state) {
    Scratch();
    if (!RegisterFileType(kExecutable)) {
        state.SkipWithError("registration failed");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(RegisterFileType(kExecutable));
    }
}
BENCHMARK(BM_RegisterAlreadyRegistered)->Unit(benchmark::kMicrosecond);

void BM_RegisterFirstTime(benchmark::State& state) {
    Scratch();
    for (auto _ : state) {
        state.PauseTiming();
        UnregisterFileType();
        state.ResumeTiming();
        benchmark::DoNotOptimize(RegisterFileType(kExecutable));
    }
}
BENCHMARK(BM_RegisterFirstTime)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
