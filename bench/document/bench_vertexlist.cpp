// Building the vertex list text of a 100,000-vertex track, beside a snprintf baseline, reading
// coordinates back, and opening the vertex list dialog of 1,000,000 vertices (time and memory).
#include "document/VertexDialog.h"
#include "track/TrackText.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kVertices = 100'000;

const std::vector<CVector3D>& Track() {
    static const std::vector<CVector3D> track = [] {
        std::vector<CVector3D> v(kVertices);
        for (std::size_t i = 0; i < v.size(); ++i) {
            const float f = static_cast<float>(i);
            v[i] = {f * 0.37f - 5000.0f, static_cast<float>(i % 7), f * -1.25f};
        }
        return v;
    }();
    return track;
}

// The straightforward way: one snprintf per vertex (depends on the process locale).
std::string BaselineText(const std::vector<CVector3D>& vertices) {
    std::string text;
    char line[256];
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const CVector3D& v = vertices[i];
        const int n = std::snprintf(line, sizeof line, "(%f,%f,%f)", static_cast<double>(v.x),
                                    static_cast<double>(v.y), static_cast<double>(v.z));
        text.append(line, static_cast<std::size_t>(n));
        text += i + 1 < vertices.size() ? ",\r\n" : "\r\n";
    }
    return text;
}

void BM_VertexListText(benchmark::State& state) {
    for (auto _ : state) {
        std::string text = rolvet::VertexListText(Track());
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(static_cast<long long>(state.iterations()) * kVertices);
}
BENCHMARK(BM_VertexListText)->Unit(benchmark::kMillisecond);

void BM_VertexListTextBaselineSnprintf(benchmark::State& state) {
    for (auto _ : state) {
        std::string text = BaselineText(Track());
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(static_cast<long long>(state.iterations()) * kVertices);
}
BENCHMARK(BM_VertexListTextBaselineSnprintf)->Unit(benchmark::kMillisecond);

void BM_ScanCoordinate(benchmark::State& state) {
    const char* inputs[] = {"123.457", "  -1.5e3abc", "1.23457e+06", "abc"};
    for (auto _ : state) {
        for (const char* s : inputs) {
            auto value = rolvet::ScanCoordinate(s);
            benchmark::DoNotOptimize(value);
        }
    }
    state.SetItemsProcessed(static_cast<long long>(state.iterations()) * 4);
}
BENCHMARK(BM_ScanCoordinate);

long ResidentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096 / (1024 * 1024);
}

// Opens and shows the list of 1,000,000 vertices, then closes it; the counters give the memory
// the open dialog added and what stayed after it closed (megabytes of resident memory).
template <class MakeDialog> void OpenList(benchmark::State& state, MakeDialog make) {
    std::vector<CVector3D> million(1'000'000);
    for (std::size_t i = 0; i < million.size(); ++i) {
        million[i] = {static_cast<float>(i) * 0.37f, 1.0f, static_cast<float>(i) * -1.25f};
    }
    long extra = 0, kept = 0;
    for (auto _ : state) {
        const long before = ResidentMegabytes();
        {
            auto dialog = make(std::span<const CVector3D>(million));
            dialog->show();
            QApplication::processEvents();
            extra = ResidentMegabytes() - before;
        }
        QApplication::processEvents();
        kept = ResidentMegabytes() - before;
    }
    state.counters["extra_MB"] = static_cast<double>(extra);
    state.counters["kept_MB"] = static_cast<double>(kept);
}

void BM_OpenVertexList(benchmark::State& state) {
    OpenList(state,
             [](std::span<const CVector3D> v) { return std::make_unique<CVertexDialog>(v); });
}
BENCHMARK(BM_OpenVertexList)->Unit(benchmark::kMillisecond);

// The whole list as one text in the text edit, as for short tracks.
void BM_OpenVertexList_Baseline(benchmark::State& state) {
    OpenList(state, [](std::span<const CVector3D> v) {
        const std::string text = rolvet::VertexListText(v);
        return std::make_unique<CVertexDialog>(
            QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    });
}
BENCHMARK(BM_OpenVertexList_Baseline)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
