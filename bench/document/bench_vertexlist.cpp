// Building the vertex list text of a 100,000-vertex track, beside a snprintf baseline, and
// reading coordinates back.
#include "track/TrackText.h"

#include <benchmark/benchmark.h>

#include <cstdio>
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

} // namespace

BENCHMARK_MAIN();
