#include "racing/RacingLineFile.h"

#include "common/Strings.h"
#include "export/RoadModel.h"
#include "export/RoadShape.h"

#include <charconv>
#include <cmath>

namespace rolvet {

RacingInput RacingRoad::Input(double vehicleWidth) const {
    RacingInput input;
    input.centres = centres;
    input.sides = sides;
    input.widthLeft = widthLeft;
    input.widthRight = widthRight;
    input.vehicleWidth = vehicleWidth;
    input.rise = rise;
    return input;
}

RacingRoadStatus SampleRacingRoad(std::span<const CVector3D> points,
                                  std::span<const PointShape> shapes, int divisions, int roadWidth,
                                  RacingRoad& road) {
    if (points.size() < 4) {
        return RacingRoadStatus::TooFewVertices;
    }
    if (divisions < 1) {
        return RacingRoadStatus::NoDivisions;
    }
    const std::optional<RoadCounts> counts = RoadCountsFor(points.size(), divisions);
    if (!counts || counts->samples > kMaxRacingSamples) {
        return RacingRoadStatus::TooLarge;
    }
    const float halfWidth = HalfRoadWidth(roadWidth);
    const CRoadShape shape(shapes, points.size(), halfWidth);
    const CRoadSampler sampler(points, divisions, halfWidth, shape.Shaped() ? &shape : nullptr);
    const auto samples = static_cast<std::size_t>(counts->samples);
    road = {};
    road.centres.reserve(samples);
    road.sides.reserve(samples);
    if (!shape.Shaped()) {
        road.widthLeft.assign(1, shape.HalfWidth());
        road.widthRight.assign(1, shape.HalfWidth());
    } else {
        road.widthLeft.reserve(samples);
        road.widthRight.reserve(samples);
        road.rise.reserve(samples);
    }
    for (std::size_t k = 0; k < sampler.SegmentCount(); ++k) {
        for (int i = 0; i < sampler.StepCount(); ++i) {
            const RoadFrame frame = sampler.Frame(k, i);
            road.centres.push_back(frame.centre);
            road.sides.push_back(frame.side);
            if (!shape.Shaped()) {
                continue;
            }
            // The shape's widths run along the (possibly banked) side vector: their plan
            // extent is the side vector's horizontal part.
            const SampleShape s = sampler.Shape(k, i);
            const double level =
                std::hypot(static_cast<double>(frame.side.x), static_cast<double>(frame.side.z));
            const bool hasSide = level > 1e-12;
            road.widthLeft.push_back(static_cast<float>(s.left * (hasSide ? level : 1.0)));
            road.widthRight.push_back(static_cast<float>(s.right * (hasSide ? level : 1.0)));
            road.rise.push_back(hasSide ? static_cast<double>(frame.side.y) / level : 0.0);
        }
    }
    return RacingRoadStatus::Ok;
}

TrackRacingLine SolveTrackRacingLine(std::span<const CVector3D> points,
                                     std::span<const PointShape> shapes, int divisions,
                                     int roadWidth, double vehicleWidth,
                                     const RacingOptions& options) {
    TrackRacingLine result;
    RacingRoad road;
    switch (SampleRacingRoad(points, shapes, divisions, roadWidth, road)) {
    case RacingRoadStatus::Ok:
        break;
    case RacingRoadStatus::TooFewVertices:
        result.message = Translate(str::kNeedFourVertices);
        return result;
    case RacingRoadStatus::NoDivisions:
        result.message = Translate(str::kDivisionsTooSmall);
        return result;
    case RacingRoadStatus::TooLarge:
        result.message = Translate(str::kRacingTooLarge);
        return result;
    }
    result.line = SolveRacingLine(road.Input(vehicleWidth), options);
    switch (result.line.status) {
    case RacingStatus::Ok:
        break;
    case RacingStatus::NotFinite:
        result.message = Translate(str::kNotFinite);
        break;
    case RacingStatus::TooLarge:
        result.message = Translate(str::kRacingTooLarge);
        break;
    case RacingStatus::NoRoad:
    case RacingStatus::Cancelled:
    case RacingStatus::Failed:
        result.message = Translate(str::kRacingFailed);
        break;
    }
    return result;
}

RoadExportResult SolveExportRacingLine(RoadExportRequest& request, const RacingOptions& options) {
    request.racingLine = {};
    if (request.format != RoadFormat::Glb || !request.game.racingLine) {
        return {};
    }
    TrackRacingLine solved =
        SolveTrackRacingLine(request.points, request.shapes, request.divisions, request.roadWidth,
                             request.game.vehicleWidth * request.game.scale, options);
    if (solved.line.status == RacingStatus::Cancelled) {
        return {RoadExportStatus::Cancelled, {}};
    }
    if (!solved.message.empty()) {
        return {RoadExportStatus::Invalid, std::move(solved.message)};
    }
    RacingLineExport& racing = request.racingLine;
    racing.samples.reserve(solved.line.points.size());
    for (const RacingPoint& p : solved.line.points) {
        racing.samples.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y),
                                    static_cast<float>(p.z));
    }
    racing.length = solved.line.length;
    racing.vehicleWidth = request.game.vehicleWidth;
    return {};
}

namespace {

void AppendFixed(std::string& out, double value) {
    // Rounds to millimetres; a value that rounds to zero is written without a sign.
    const double rounded = std::round(value * 1000.0) / 1000.0;
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer,
                                      rounded == 0.0 ? 0.0 : rounded, std::chars_format::fixed, 3);
    out.append(buffer, result.ptr);
}

} // namespace

std::string RacingLineCsv(std::span<const RacingPoint> points) {
    std::string text = "x_m,y_m,z_m\n";
    text.reserve(text.size() + points.size() * 32);
    for (const RacingPoint& p : points) {
        AppendFixed(text, p.x);
        text += ',';
        AppendFixed(text, -p.z);
        text += ',';
        AppendFixed(text, p.y);
        text += '\n';
    }
    return text;
}

FileStatus WriteRacingLineCsv(const std::string& path, std::span<const RacingPoint> points) {
    const std::string text = RacingLineCsv(points);
    return CAtomicFile::WriteFile(path, text.data(), text.size());
}

} // namespace rolvet
