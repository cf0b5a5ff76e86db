// What the three readers share: the messages they give and the projection of geographic input.
#pragma once

#include "import/PolylineImport.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace rolvet::import {

// The message of template text (a marked text of the string table) for file `name`, with %2
// the line number where the text has one.
std::string Message(const char* text, const std::string& name, std::size_t line = 0);

// The 1-based line of the byte at offset in text.
std::size_t LineAt(std::string_view text, std::size_t offset);

// A field read as a decimal number in the C locale's notation (a leading '+' allowed); with
// decimalComma a ',' is read as the decimal point. NotFinite: NaN, infinite, or too large to hold.
enum class Field { Number, NotFinite, Bad };
Field ParseNumber(std::string_view s, bool decimalComma, double& value);
// s without white space (space, tab, CR, LF) at either end.
std::string_view Trim(std::string_view s);

// Geographic points on their way into plan coordinates: every point's longitude, latitude and
// elevation (NaN where it has none) and the line it came from.
struct GeoPoint {
    double lon = 0.0, lat = 0.0, ele = 0.0;
    bool hasEle = false;
    std::size_t line = 0;
};
// Projects the points into result.line (see PolylineImport.h); sets result.message for a
// latitude or longitude out of range.
void ProjectGeographic(const std::vector<GeoPoint>& points, const std::string& name,
                       ImportResult& result);

ImportResult ParseCsv(std::string_view text, const std::string& name);
ImportResult ParseGpx(std::string_view text, const std::string& name);
ImportResult ParseGeoJson(std::string_view text, const std::string& name);

} // namespace rolvet::import
