// The racing line of a track's road and its CSV file, shared by the command line and the editor.
#pragma once

#include "common/AtomicFile.h"
#include "racing/RacingLine.h"
#include "track/Vector3D.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace rolvet {

// The road of a track sampled for the racing line: the centre and the level side vector of the
// road model's frame at every sample (n·d of them) and the track's uniform width, half to each
// side.
struct RacingRoad {
    std::vector<CVector3D> centres;
    std::vector<CVector3D> sides;
    float widthLeft = 0.0f;
    float widthRight = 0.0f;

    RacingInput Input(double vehicleWidth) const;
};

enum class RacingRoadStatus {
    Ok,
    TooFewVertices, // fewer than four control points
    NoDivisions,    // a division count below 1
    TooLarge,       // more than kMaxRacingSamples samples
};

// Samples the road of the closed track through points (nothing is allocated unless the sample
// count is within kMaxRacingSamples).
RacingRoadStatus SampleRacingRoad(std::span<const CVector3D> points, int divisions, int roadWidth,
                                  RacingRoad& road);

// The line as CSV text in map convention: header "x_m,y_m,z_m", then one row per sample with
// x = plan x (east), y = −plan z (north), z = height, in metres with three decimals, written
// independently of the process locale; every line ends with "\n".
std::string RacingLineCsv(std::span<const RacingPoint> points);

// Writes RacingLineCsv(points) to path through the atomic writer.
FileStatus WriteRacingLineCsv(const std::string& path, std::span<const RacingPoint> points);

} // namespace rolvet
