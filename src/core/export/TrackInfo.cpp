#include "export/TrackInfo.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <type_traits>

namespace rolvet {

namespace {

void AppendNumber(std::string& out, double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendNumber(std::string& out, float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendInteger(std::string& out, std::int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

template <typename T> void AppendOptional(std::string& out, const std::optional<T>& value) {
    if (!value) {
        out += "null";
    } else if constexpr (std::is_floating_point_v<T>) {
        AppendNumber(out, *value);
    } else {
        AppendInteger(out, *value);
    }
}

} // namespace

std::string TrackInfoJson(std::size_t pointCount, int divisions, int width,
                          const CRoadModel& model) {
    const TrackReadouts r = model.Readouts();
    std::string out = "{\"points\":";
    AppendInteger(out, static_cast<std::int64_t>(pointCount));
    out += ",\"divisions\":";
    AppendInteger(out, divisions);
    out += ",\"width\":";
    AppendInteger(out, width);
    out += ",\"samples\":";
    AppendInteger(out, r.samples);
    out += ",\"length\":";
    AppendOptional(out, r.length);
    out += ",\"minRadius\":";
    AppendOptional(out, r.minRadius);
    out += ",\"minRadiusSample\":";
    AppendOptional(out, r.minRadiusSample);
    out += ",\"heightMin\":";
    AppendOptional(out, r.heightMin);
    out += ",\"heightMax\":";
    AppendOptional(out, r.heightMax);
    out += ",\"maxGrade\":";
    AppendOptional(out, r.maxGrade);
    out += ",\"folds\":";
    AppendOptional(out, r.folds);
    out += ",\"foldSamples\":";
    if (r.folds) {
        out += '[';
        bool firstFold = true;
        for (const std::int64_t j : model.FoldSamples()) {
            if (!firstFold) {
                out += ',';
            }
            firstFold = false;
            AppendInteger(out, j);
        }
        out += ']';
    } else {
        out += "null";
    }
    out += ",\"widthMin\":";
    AppendOptional(out, r.widthMin);
    out += ",\"widthMax\":";
    AppendOptional(out, r.widthMax);
    out += ",\"bankMax\":";
    AppendOptional(out, r.bankMax);
    out += '}';
    return out;
}

} // namespace rolvet
