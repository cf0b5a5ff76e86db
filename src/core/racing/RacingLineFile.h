// The racing line of a track's road and its CSV file, shared by the command line and the editor.
#pragma once

#include "common/AtomicFile.h"
#include "export/RoadExport.h"
#include "racing/RacingLine.h"
#include "track/PointShape.h"
#include "track/Vector3D.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace rolvet {

// The road of a track sampled for the racing line: the centre and the side vector of the road
// model's frame at every sample (n·d of them), and the plan distances from the centre to the
// left and the right outer edge: one value for a road of one width, else one a sample. On a
// banked road the side vector slopes; the line's point at plan offset o then lies at height
// centre + o · rise (rise per sample, empty when nothing is banked; see RacingInput).
struct RacingRoad {
    std::vector<CVector3D> centres;
    std::vector<CVector3D> sides;
    std::vector<float> widthLeft;
    std::vector<float> widthRight;
    std::vector<double> rise;

    RacingInput Input(double vehicleWidth) const;
};

enum class RacingRoadStatus {
    Ok,
    TooFewVertices, // fewer than four control points
    NoDivisions,    // a division count below 1
    TooLarge,       // more than kMaxRacingSamples samples
};

// Samples the road of the closed track through points, shaped by the points' shapes where
// they have any (nothing is allocated unless the sample count is within kMaxRacingSamples).
RacingRoadStatus SampleRacingRoad(std::span<const CVector3D> points,
                                  std::span<const PointShape> shapes, int divisions, int roadWidth,
                                  RacingRoad& road);
inline RacingRoadStatus SampleRacingRoad(std::span<const CVector3D> points, int divisions,
                                         int roadWidth, RacingRoad& road) {
    return SampleRacingRoad(points, {}, divisions, roadWidth, road);
}

// The racing line of a track, sampled and solved; message is what the user is told (translated)
// when there is no line, and empty when line.status is Ok.
struct TrackRacingLine {
    RacingLine line;
    std::string message;
};
TrackRacingLine SolveTrackRacingLine(std::span<const CVector3D> points,
                                     std::span<const PointShape> shapes, int divisions,
                                     int roadWidth, double vehicleWidth,
                                     const RacingOptions& options = {});

// For a GLB export whose options ask for the racing line: solves it for the request's track
// (the vehicle width in metres becomes request.game.scale world units a metre) into
// request.racingLine. Ok, also for other formats or without the option; Cancelled (no
// message) when options.cancelled stops it; Invalid with the message when the line cannot be
// solved.
RoadExportResult SolveExportRacingLine(RoadExportRequest& request,
                                       const RacingOptions& options = {});

// The line as CSV text in map convention: header "x_m,y_m,z_m", then one row per sample with
// x = plan x (east), y = −plan z (north), z = height, in metres with three decimals, written
// independently of the process locale; every line ends with "\n".
std::string RacingLineCsv(std::span<const RacingPoint> points);

// Writes RacingLineCsv(points) to path through the atomic writer.
FileStatus WriteRacingLineCsv(const std::string& path, std::span<const RacingPoint> points);

} // namespace rolvet
