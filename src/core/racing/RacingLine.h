// The racing line: the closed line through the road with the least summed squared curvature.
//
// The line is the centre line moved sideways at every sample: point i is centre i plus
// offset i times the unit side vector i (the horizontal right-hand side, direction × up).
// Offsets are bounded by the road minus half the vehicle on either side,
// −(wl − v/2) <= offset <= wr − v/2. The objective is the sum over all samples of the squared
// plan curvature of the line (the curvature of the circle through each sample and its two
// neighbours). It is minimised by Gauss-Newton steps: the curvatures are linearised about the
// last line, and the bounded least-squares step is a quadratic programme with a banded, cyclic
// Hessian, solved by projected Newton rounds on a sparse LDLT factorisation. A line
// search along the step keeps every iteration a decrease. Iterations stop once no offset
// changes by 1 cm or more, or after 10.
#pragma once

#include "export/GameParts.h"
#include "track/Vector3D.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace rolvet {

inline constexpr int kRacingMaxIterations = 10;
inline constexpr double kRacingSettleDistance = 0.01; // metres (world units)
// The largest road that is solved; the solver needs about 1 kB a sample.
inline constexpr std::int64_t kMaxRacingSamples = std::int64_t{1} << 19;
// The dense reference solver holds the full matrix (8·n² bytes): it takes at most this many.
inline constexpr std::int64_t kMaxDenseRacingSamples = 4096;

// One road, sample by sample. Every span is read during the solve only.
struct RacingInput {
    // Per sample: x and z span the plan; y (height) is carried over to the line unchanged.
    std::span<const CVector3D> centres;
    // Per sample: the side vector pointing to the right of the direction of travel. Only its
    // x and z are used, normalised; a zero side vector pins the line to the centre there.
    std::span<const CVector3D> sides;
    // Distance from the centre to the left and the right outer edge: one value per sample, or a
    // single value for the whole lap.
    std::span<const float> widthLeft;
    std::span<const float> widthRight;
    double vehicleWidth = kDefaultVehicleWidth;
    // Per sample, or empty: the height the surface gains per unit of offset (a banked road),
    // so the line's point lies on the surface: y = centre y + offset · rise.
    std::span<const double> rise;
};

// Which linear solver takes the steps. Dense factorises the full matrix: the reference the
// benchmark measures the banded solve against; it gives the same line.
enum class RacingLinearSolver { Sparse, Dense };

struct RacingOptions {
    RacingLinearSolver solver = RacingLinearSolver::Sparse;
    // Asked between iterations; returning true stops the solve (status Cancelled). May be empty.
    std::function<bool()> cancelled;
};

enum class RacingStatus {
    Ok,
    NoRoad,    // fewer than three samples, or the spans do not match
    TooLarge,  // more than kMaxRacingSamples samples (kMaxDenseRacingSamples for Dense)
    NotFinite, // a coordinate, a width or the vehicle width is not a finite number, or v < 0
    Cancelled,
    Failed, // the linear solver broke down; no line
};

struct RacingPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

struct RacingLine {
    RacingStatus status = RacingStatus::NoRoad;
    std::vector<double> offsets;       // along each sample's unit side vector; positive: right
    std::vector<RacingPoint> points;   // one per sample, in the track's coordinates
    double length = 0.0;               // the closed line's length, chord by chord (with height)
    std::optional<double> minRadius;   // tightest plan radius; empty when the line is straight
    std::int64_t minRadiusSample = -1; // where that radius is
    int iterations = 0;                // Gauss-Newton steps taken
    int solves = 0;                    // factorisations of all steps together
    bool converged = false;            // the last step moved no offset by kRacingSettleDistance
    // Samples where the road is narrower than the vehicle (wl + wr < v): the line keeps to the
    // centre there.
    std::vector<std::int64_t> narrowSamples;
};

RacingLine SolveRacingLine(const RacingInput& input, const RacingOptions& options = {});

} // namespace rolvet
