// The streaming Metasequoia writer against a plain fprintf writer, on a 10,000-point track with
// division count 16 (640,000 vertex lines). Both write to a stdio stream on /dev/null; before
// timing, both are written to memory and must agree byte for byte.
#include "BaselineMqoWriter.h"
#include "export/MqoWriter.h"
#include "export/RoadRibbon.h"

#include <benchmark/benchmark.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Writes to an open stdio stream.
class CStdioSink final : public rolvet::CByteSink {
public:
    explicit CStdioSink(std::FILE* file) : m_file(file) {}
    bool Write(const char* data, std::size_t size) override {
        return std::fwrite(data, 1, size, m_file) == size;
    }

private:
    std::FILE* m_file;
};

constexpr int kPoints = 10000;
constexpr int kDivisions = 16;
constexpr int kRoadWidth = 100;

const std::vector<CVector3D>& Track() {
    static const std::vector<CVector3D> points = [] {
        std::vector<CVector3D> p;
        p.reserve(kPoints);
        for (int i = 0; i < kPoints; ++i) {
            const double a = 2.0 * 3.14159265358979 * i / kPoints;
            const double r = 20000.0 + 600.0 * std::sin(9.0 * a);
            p.emplace_back(static_cast<float>(r * std::cos(a)),
                           static_cast<float>(40.0 * std::sin(5.0 * a)),
                           static_cast<float>(r * std::sin(a)));
        }
        return p;
    }();
    return points;
}

std::string Baseline() {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* f = open_memstream(&data, &size);
    rolvet::baseline::WriteMqo(f, Track(), kDivisions, rolvet::HalfRoadWidth(kRoadWidth));
    std::fclose(f);
    std::string text(data, size);
    std::free(data);
    return text;
}

std::string Streaming() {
    rolvet::CStringSink sink;
    rolvet::WriteMqoDocument(sink, Track(), kDivisions, rolvet::HalfRoadWidth(kRoadWidth));
    return sink.Text();
}

void BM_ExportMqo(benchmark::State& state) {
    std::FILE* devnull = std::fopen("/dev/null", "w");
    CStdioSink sink(devnull);
    for (auto _ : state) {
        const auto outcome =
            rolvet::WriteMqoDocument(sink, Track(), kDivisions, rolvet::HalfRoadWidth(kRoadWidth));
        benchmark::DoNotOptimize(outcome);
    }
    std::fclose(devnull);
    state.SetItemsProcessed(state.iterations() * 4 * kPoints * kDivisions);
}

void BM_ExportMqo_Baseline(benchmark::State& state) {
    std::FILE* devnull = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        rolvet::baseline::WriteMqo(devnull, Track(), kDivisions, rolvet::HalfRoadWidth(kRoadWidth));
    }
    std::fclose(devnull);
    state.SetItemsProcessed(state.iterations() * 4 * kPoints * kDivisions);
}

BENCHMARK(BM_ExportMqo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportMqo_Baseline)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C");
    const std::string expected = Baseline();
    const std::string actual = Streaming();
    if (actual != expected) {
        std::fprintf(stderr, "the streaming writer and the baseline differ (%zu vs %zu bytes)\n",
                     actual.size(), expected.size());
        return 1;
    }
    std::printf("identical output: %zu bytes, %d vertex lines\n", actual.size(),
                4 * kPoints * kDivisions);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
