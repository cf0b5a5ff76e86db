// libFuzzer target for the centre-line readers: any input, read as CSV, GPX or GeoJSON (the
// first byte chooses), must be refused with a message or give at least four distinct points of
// finite coordinates and, where there are widths, one finite width of at least 0 a side per
// point. Small results are fitted too, which must keep every control point finite.
#include "import/PolylineImport.h"
#include "import/TrackFit.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const auto format = static_cast<rolvet::ImportFormat>(data[0] % 3);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const rolvet::ImportResult result = rolvet::ParseImport(text, format, "fuzz");
    if (!result.Ok()) {
        Check(result.line.points.empty());
        return 0;
    }
    const rolvet::ImportedLine& line = result.line;
    Check(line.points.size() >= 4);
    for (const auto& p : line.points) {
        Check(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]));
    }
    Check(line.widthLeft.empty() || line.widthLeft.size() == line.points.size());
    Check(line.widthRight.size() == line.widthLeft.size());
    for (std::size_t i = 0; i < line.widthLeft.size(); ++i) {
        Check(line.widthLeft[i] >= 0.0 && line.widthRight[i] >= 0.0);
    }
    if (line.points.size() <= 64) {
        const rolvet::FitResult fit = rolvet::FitTrack(line);
        Check(fit.track.vertices.size() >= 4);
        for (const CVector3D& v : fit.track.vertices) {
            Check(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
        }
    }
    return 0;
}
