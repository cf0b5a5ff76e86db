// The road model of the 3D preview on a 100,000-point track with 16 divisions (1,600,000
// samples): a full build against the code it replaced (kept in BaselineTrackModel) and against
// writing as many bytes to fresh memory as the model holds, and the update for one mouse move of
// a drag, which recomputes only the segments the moved point shapes.
#include "BaselineTrackModel.h"
#include "export/RoadModel.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <numbers>
#include <vector>

namespace {

constexpr int kPoints = 100'000;
constexpr int kDivisions = 16;
constexpr float kHalfWidth = 50.0f;
constexpr std::size_t kSamples = std::size_t{kPoints} * kDivisions;

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

// CPU time of the whole process, every thread included: on a shared machine the wall-clock time
// of a threaded loop says little on its own.
double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

// Runs the loop body and records the process CPU time per iteration as "cpu_all_ms".
template <typename Body> void Timed(benchmark::State& state, Body body) {
    const double start = ProcessCpuMs();
    for (auto _ : state) {
        body();
    }
    state.counters["cpu_all_ms"] =
        (ProcessCpuMs() - start) /
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

// What the model keeps a sample: centre, direction, side, four section points, arc length and
// the fold flag.
constexpr std::size_t kModelBytesPerSample =
    3 * sizeof(CVector3D) + sizeof(rolvet::RoadSample) + sizeof(double) + sizeof(std::uint8_t);

void BM_RoadModelBuild(benchmark::State& state) {
    const std::vector<CVector3D> track = Track();
    Timed(state, [&] {
        rolvet::CRoadModel model;
        benchmark::DoNotOptimize(
            model.Update(track, kDivisions, kHalfWidth, rolvet::TrackChange::Whole()));
        benchmark::DoNotOptimize(model.Readouts());
    });
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kSamples));
}
BENCHMARK(BM_RoadModelBuild)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same build into a model that already holds a road of this size (a change of the road
// width, or undo of one): no memory is allocated.
void BM_RoadModelRebuild(benchmark::State& state) {
    const std::vector<CVector3D> track = Track();
    rolvet::CRoadModel model;
    model.Update(track, kDivisions, kHalfWidth, rolvet::TrackChange::Whole());
    bool wide = false;
    Timed(state, [&] {
        wide = !wide;
        benchmark::DoNotOptimize(model.Update(track, kDivisions, wide ? kHalfWidth + 1 : kHalfWidth,
                                              rolvet::TrackChange::Settings()));
        benchmark::DoNotOptimize(model.Readouts());
    });
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kSamples));
}
BENCHMARK(BM_RoadModelRebuild)->Unit(benchmark::kMillisecond)->UseRealTime();

// The preview's road before the road model: mesh, folds and readouts in one thread.
void BM_RoadModelBuild_Baseline(benchmark::State& state) {
    const std::vector<CVector3D> track = Track();
    Timed(state, [&] {
        rolvet::baseline::CTrackModel model;
        benchmark::DoNotOptimize(model.Update(track, kDivisions, kHalfWidth));
        benchmark::DoNotOptimize(model.Readouts());
    });
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kSamples));
}
BENCHMARK(BM_RoadModelBuild_Baseline)->Unit(benchmark::kMillisecond)->UseRealTime();

// As many bytes as the model holds, allocated as the model allocates them and written once.
void BM_MemoryWrite_Baseline(benchmark::State& state) {
    Timed(state, [&] {
        rolvet::SampleVector<char> bytes(kSamples * kModelBytesPerSample, '\1');
        benchmark::DoNotOptimize(bytes.data());
    });
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(kSamples * kModelBytesPerSample));
}
BENCHMARK(BM_MemoryWrite_Baseline)->Unit(benchmark::kMillisecond)->UseRealTime();

// One mouse move of a drag: the point moves to and fro by 30 world units, as under the cursor.
void BM_DragUpdate(benchmark::State& state) {
    std::vector<CVector3D> track = Track();
    rolvet::CRoadModel model;
    model.Update(track, kDivisions, kHalfWidth, rolvet::TrackChange::Whole());
    constexpr int kDragged = kPoints / 2;
    const float x = track[kDragged].x;
    bool out = false;
    for (auto _ : state) {
        out = !out;
        track[kDragged].x = out ? x + 30.0f : x;
        const rolvet::ModelChange change =
            model.Update(track, kDivisions, kHalfWidth, rolvet::TrackChange::Moved(kDragged));
        benchmark::DoNotOptimize(change);
        benchmark::DoNotOptimize(model.Readouts());
        if (change.all || change.count > 6 * kDivisions) {
            state.SkipWithError("the drag rebuilt more than the moved point's segments");
            break;
        }
    }
}
BENCHMARK(BM_DragUpdate)->Unit(benchmark::kMicrosecond);

void BM_DragUpdate_Baseline(benchmark::State& state) {
    std::vector<CVector3D> track = Track();
    rolvet::baseline::CTrackModel model;
    model.Update(track, kDivisions, kHalfWidth);
    constexpr int kDragged = kPoints / 2;
    const float x = track[kDragged].x;
    bool out = false;
    for (auto _ : state) {
        out = !out;
        track[kDragged].x = out ? x + 30.0f : x;
        benchmark::DoNotOptimize(model.Update(track, kDivisions, kHalfWidth));
        benchmark::DoNotOptimize(model.Readouts());
    }
}
BENCHMARK(BM_DragUpdate_Baseline)->Unit(benchmark::kMicrosecond);

// Both models sample the same road: the same centre points bit for bit and lap lengths that
// agree to rounding.
bool SameRoad() {
    const std::vector<CVector3D> track = Track();
    rolvet::CRoadModel model;
    model.Update(track, kDivisions, kHalfWidth, rolvet::TrackChange::Whole());
    rolvet::baseline::CTrackModel baseline;
    baseline.Update(track, kDivisions, kHalfWidth);
    const auto& a = model.Centres();
    const auto& b = baseline.Centres();
    const double la = *model.Readouts().length, lb = *baseline.Readouts().length;
    const bool same = a.size() == b.size() &&
                      std::memcmp(a.data(), b.data(), a.size() * sizeof(CVector3D)) == 0 &&
                      std::fabs(la - lb) <= 1e-9 * lb;
    std::printf("same centres: %s; lap %.6f against %.6f\n", same ? "yes" : "NO", la, lb);
    return same;
}

} // namespace

int main(int argc, char** argv) {
    if (!SameRoad()) {
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
