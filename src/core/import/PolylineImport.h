// Reading a closed centre line from outside data: CSV tables, GPX traces and GeoJSON lines.
//
// Every reader yields the same thing: the points of the loop in plan coordinates (metres, x to
// the east, y the height, z to the south, so that the loop seen from above is not mirrored) and,
// where the data has them, the width to the left and to the right of each point.
//   - CSV: x,y[,z] or the four columns x,y,right width,left width; map x is east and y north,
//     so plan x = x, plan z = −y, height = z or 0.
//   - GPX 1.1 (track points, else route points) and GeoJSON (LineString, MultiLineString, the
//     first ring of a Polygon), in longitude and latitude: projected with a transverse Mercator
//     centred on the first point (WGS84, scale 1 on its meridian); height = elevation − the
//     first point's elevation.
// A last point that repeats the first (within 1 mm, or within a tenth of the mean spacing) is
// dropped. Fewer than four distinct points, a value that is not a finite number and a file over
// kMaxImportBytes are refused with a message that names the file and, where there is one, the
// line.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rolvet {

inline constexpr std::uint64_t kMaxImportBytes = std::uint64_t{50} * 1024 * 1024;

struct ImportedLine {
    std::vector<std::array<double, 3>> points; // plan x, height, plan z
    // Empty, or one width per point (metres from the centre line to each edge, seen in the
    // direction of travel).
    std::vector<double> widthLeft, widthRight;
};

struct ImportResult {
    ImportedLine line;
    std::string message; // empty on success; else the user's message, translated
    bool Ok() const { return message.empty(); }
};

enum class ImportFormat { Csv, Gpx, GeoJson };

// The format a file name's extension stands for (.csv .txt, .gpx, .geojson .json, any letter
// case); nothing for other names.
std::optional<ImportFormat> ImportFormatOfName(const std::filesystem::path& path);
// The format of a text by its first character that is not white space: '<' GPX, '{' or '['
// GeoJSON, anything else CSV.
ImportFormat ImportFormatOfText(std::string_view text);

// Reads text of the given format; name is the file name the messages give.
ImportResult ParseImport(std::string_view text, ImportFormat format, const std::string& name);
// Reads a file: its format from its name, else from its contents.
ImportResult ReadImportFile(const std::filesystem::path& path);

} // namespace rolvet
