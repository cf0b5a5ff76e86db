// The import of a generated 7 km circuit sampled every 5 m (1,400 rows, smoothly varying widths
// and heights): the fit to a few Catmull-Rom points against the plain import that keeps every
// row as a control point. Both must give a road that passes every input point within 0.5 m and
// its widths within 1 m, without folds; the fit must do it with at most 130 points.
#include "GeneratedCircuit.h"
#include "export/RoadModel.h"
#include "import/TrackFit.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

namespace {

// The folds of a track's road at the circuit's mean half width (about 6 m).
std::int64_t Folds(const rolvet::TrackData& track) {
    rolvet::CRoadModel model;
    model.Update(track.vertices, track.divisionCount, 6.0f);
    return model.Readouts().folds.value_or(-1);
}

// Sample spacing of a track's road (mean, shortest and longest chord), for the counters.
void CountSpacing(benchmark::State& state, const rolvet::TrackData& track) {
    rolvet::CRoadModel model;
    model.Update(track.vertices, track.divisionCount, 0.0f);
    const auto& c = model.Centres();
    double shortest = 1e300, longest = 0.0;
    for (std::size_t j = 0; j < c.size(); ++j) {
        const CVector3D& a = c[j];
        const CVector3D& b = c[(j + 1) % c.size()];
        const double d = std::hypot(double(b.x) - double(a.x), double(b.y) - double(a.y),
                                    double(b.z) - double(a.z));
        shortest = std::min(shortest, d);
        longest = std::max(longest, d);
    }
    state.counters["spacing_m"] = model.LapLength() / static_cast<double>(model.SampleCount());
    state.counters["spacing_min_m"] = shortest;
    state.counters["spacing_max_m"] = longest;
}

void Fit(benchmark::State& state) {
    const rolvet::ImportedLine line = rolvet::test::GeneratedCircuit();
    rolvet::FitResult fit;
    for (auto _ : state) {
        fit = rolvet::FitTrack(line);
        benchmark::DoNotOptimize(fit.track.vertices.data());
    }
    const std::int64_t folds = Folds(fit.track);
    if (!fit.report.withinTolerance || fit.report.controlPoints > 130 || folds != 0) {
        state.SkipWithError("the fit misses its figure");
    }
    state.counters["points"] = static_cast<double>(fit.report.controlPoints);
    state.counters["dev_m"] = fit.report.maxDeviation;
    state.counters["height_dev_m"] = fit.report.maxHeightDeviation;
    state.counters["width_dev_m"] = fit.report.maxWidthDeviation;
    state.counters["divisions"] = fit.report.divisions;
    CountSpacing(state, fit.track);
    state.counters["folds"] = static_cast<double>(folds);
}

void KeepEveryRow(benchmark::State& state) {
    const rolvet::ImportedLine line = rolvet::test::GeneratedCircuit();
    rolvet::TrackData track;
    for (auto _ : state) {
        track = rolvet::KeepEveryPoint(line);
        benchmark::DoNotOptimize(track.vertices.data());
    }
    const std::int64_t folds = Folds(track);
    if (track.vertices.size() != line.points.size() || folds != 0) {
        state.SkipWithError("the plain import does not keep every row");
    }
    state.counters["points"] = static_cast<double>(track.vertices.size());
    state.counters["divisions"] = track.divisionCount;
    CountSpacing(state, track);
    state.counters["folds"] = static_cast<double>(folds);
}

} // namespace

BENCHMARK(Fit)->Unit(benchmark::kMillisecond);
BENCHMARK(KeepEveryRow)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
