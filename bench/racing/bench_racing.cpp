// The racing line of a 7 km circuit sampled every 3 m (146 control points, 16 divisions: 2,336
// samples), solved on the banded system against the same solve with dense factorisations. Both
// must give the same line.
#include "racing/RacingLine.h"
#include "racing/RacingLineFile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr int kPoints = 146;
constexpr int kDivisions = 16;
constexpr int kRoadWidth = 12;
constexpr double kLap = 7000.0;

// A closed circuit with fast sweepers and a few tight corners, scaled to a lap of about 7 km.
std::vector<CVector3D> Circuit() {
    std::vector<double> x(kPoints), z(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        const double t = 2.0 * std::numbers::pi * i / kPoints;
        const double r = 1.0 + 0.22 * std::sin(3 * t) + 0.12 * std::cos(5 * t + 0.4) +
                         0.05 * std::sin(9 * t + 1.0);
        x[static_cast<std::size_t>(i)] = 1.6 * r * std::cos(t);
        z[static_cast<std::size_t>(i)] = r * std::sin(t);
    }
    double length = 0.0;
    for (int i = 0; i < kPoints; ++i) {
        const auto a = static_cast<std::size_t>(i), b = static_cast<std::size_t>((i + 1) % kPoints);
        length += std::hypot(x[b] - x[a], z[b] - z[a]);
    }
    std::vector<CVector3D> points;
    for (int i = 0; i < kPoints; ++i) {
        const auto a = static_cast<std::size_t>(i);
        points.emplace_back(static_cast<float>(x[a] * kLap / length), 0.0f,
                            static_cast<float>(z[a] * kLap / length));
    }
    return points;
}

const rolvet::RacingRoad& Road() {
    static const rolvet::RacingRoad road = [] {
        rolvet::RacingRoad r;
        rolvet::SampleRacingRoad(Circuit(), kDivisions, kRoadWidth, r);
        return r;
    }();
    return road;
}

void Solve(benchmark::State& state, rolvet::RacingLinearSolver solver) {
    rolvet::RacingOptions options;
    options.solver = solver;
    rolvet::RacingOptions other;
    other.solver = solver == rolvet::RacingLinearSolver::Sparse
                       ? rolvet::RacingLinearSolver::Dense
                       : rolvet::RacingLinearSolver::Sparse;
    const rolvet::RacingInput input = Road().Input(rolvet::kDefaultVehicleWidth);
    rolvet::RacingLine line;
    for (auto _ : state) {
        line = rolvet::SolveRacingLine(input, options);
        benchmark::DoNotOptimize(line.offsets.data());
    }
    const rolvet::RacingLine reference = rolvet::SolveRacingLine(input, other);
    double worst = 0.0;
    for (std::size_t i = 0; i < line.offsets.size(); ++i) {
        worst = std::max(worst, std::fabs(line.offsets[i] - reference.offsets[i]));
    }
    if (line.status != rolvet::RacingStatus::Ok ||
        reference.offsets.size() != line.offsets.size() || worst > 1e-6) {
        state.SkipWithError("the sparse and the dense solve give different lines");
    }
    state.counters["samples"] = static_cast<double>(line.offsets.size());
    state.counters["iterations"] = line.iterations;
    state.counters["solves"] = line.solves;
    state.counters["converged"] = line.converged ? 1 : 0;
    state.counters["lap_m"] = line.length;
    state.counters["minRadius_m"] = line.minRadius.value_or(0.0);
    state.counters["maxDiff_m"] = worst;
}

void BM_RacingLineSparse(benchmark::State& state) {
    Solve(state, rolvet::RacingLinearSolver::Sparse);
}
BENCHMARK(BM_RacingLineSparse)->Unit(benchmark::kMillisecond);

void BM_RacingLineDense(benchmark::State& state) {
    Solve(state, rolvet::RacingLinearSolver::Dense);
}
BENCHMARK(BM_RacingLineDense)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
