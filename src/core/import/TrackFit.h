// The fit of an imported centre line to a track: a closed uniform Catmull-Rom curve with as few
// control points as keep every input point within the tolerance of the curve (in the plan, and
// in height), and, where the input has widths, each point's left and right width within the
// width tolerance of the road's widths (carried between control points as the road carries
// them, by the monotone cubic).
//
// How: control points start evenly spread along the line's length; a least-squares fit places
// them, with every input point tied to the curve parameter nearest to it (found again after each
// solve); every stretch between two control points where an input point lies outside a
// tolerance gets a new control point in its middle, and so does a stretch more than twice as
// long as its neighbour (uneven spacing is what makes a uniform Catmull-Rom curve overshoot and
// loop). Stretches where the fitted road folds are split the same way. The division count is
// chosen so that samples lie about 2.5 m apart.
#pragma once

#include "import/PolylineImport.h"
#include "track/TrackFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace rolvet {

inline constexpr double kDefaultFitTolerance = 0.5;
inline constexpr double kDefaultWidthTolerance = 1.0;
inline constexpr double kTargetSampleSpacing = 2.5;

struct FitOptions {
    double tolerance = kDefaultFitTolerance;        // metres, in the plan and in height
    double widthTolerance = kDefaultWidthTolerance; // metres, each side
};

struct FitReport {
    std::size_t inputPoints = 0;
    std::size_t controlPoints = 0;
    double maxDeviation = 0.0;       // largest plan distance of an input point from the curve
    double maxHeightDeviation = 0.0; // largest height difference there
    double maxWidthDeviation = 0.0;  // largest width difference (0 without widths)
    int divisions = 0;
    std::int64_t folds = 0; // folded samples of the fitted road (see CRoadModel::Folded)
    bool withinTolerance = false;
};

struct FitResult {
    TrackData track;
    FitReport report;
};

// The line must have at least four distinct points (as ParseImport ensures).
FitResult FitTrack(const ImportedLine& line, const FitOptions& options = {});

// The note for a fit that could not keep every input point within its tolerances (the user's
// language, numbers in metres with three decimals).
std::string ImportToleranceNote(const FitReport& report);

// The plain import that keeps one control point per input row, at the division count that puts
// samples about 2.5 m apart: the baseline the fit is measured against.
TrackData KeepEveryPoint(const ImportedLine& line);

} // namespace rolvet
