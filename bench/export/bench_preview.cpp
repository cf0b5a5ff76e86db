// What the 3D preview does for each mouse move of a drag, against rebuilding the whole road, on
// a 100,000-point track with 16 divisions (1,600,000 samples): the road mesh, the folds and the
// readouts. A drag rebuilds only the four segments the moved point shapes.
#include "export/TrackModel.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr int kPoints = 100'000;
constexpr int kDivisions = 16;
constexpr float kHalfWidth = 50.0f;

std::vector<CVector3D> Track() {
    std::vector<CVector3D> v(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        const double t = 2.0 * std::numbers::pi * i / kPoints;
        v[static_cast<std::size_t>(i)] = {static_cast<float>(40000.0 * std::cos(t)),
                                          static_cast<float>(20.0 * std::sin(7.0 * t)),
                                          static_cast<float>(30000.0 * std::sin(t))};
    }
    return v;
}

void BM_PreviewRebuildAll(benchmark::State& state) {
    const std::vector<CVector3D> track = Track();
    for (auto _ : state) {
        rolvet::CTrackModel model;
        benchmark::DoNotOptimize(model.Update(track, kDivisions, kHalfWidth));
        benchmark::DoNotOptimize(model.Readouts());
    }
}
BENCHMARK(BM_PreviewRebuildAll)->Unit(benchmark::kMillisecond);

void BM_PreviewDragUpdate(benchmark::State& state) {
    std::vector<CVector3D> track = Track();
    rolvet::CTrackModel model;
    model.Update(track, kDivisions, kHalfWidth);
    CVector3D& dragged = track[kPoints / 2];
    const float x = dragged.x;
    bool out = false;
    for (auto _ : state) {
        // The point moves to and fro by 30 world units, as under the cursor.
        out = !out;
        dragged.x = out ? x + 30.0f : x;
        const rolvet::ModelChange change =
            model.Update(track, kDivisions, kHalfWidth, rolvet::TrackChange::Moved(kPoints / 2));
        benchmark::DoNotOptimize(change);
        benchmark::DoNotOptimize(model.Readouts());
        if (change.all || change.count != 4 * kDivisions + 1) {
            state.SkipWithError("the drag rebuilt more than the moved point's four segments");
            break;
        }
    }
}
BENCHMARK(BM_PreviewDragUpdate)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
