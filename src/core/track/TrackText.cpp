#include "track/TrackText.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace rolvet {

namespace {

// The C locale, so that a decimal point is read whatever the process locale says.
locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

// Appends value as "%f" would print it in the C locale.
void AppendFixed6(std::string& out, double value) {
    char buffer[400]; // the longest double in fixed notation has 309 integer digits
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (ec == std::errc()) {
        out.append(buffer, end);
    }
}

} // namespace

std::string FormatCoordinate(float value) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                         std::chars_format::general, 6);
    if (ec != std::errc()) {
        return {};
    }
    return std::string(buffer, end);
}

std::optional<float> ScanCoordinate(std::string_view text) {
    // Only the first 399 characters take part, as with a 400-character read buffer. A number is
    // preceded by ASCII white space only, so counting bytes here counts the same characters.
    const std::string s(text.substr(0, 399));
    const char* begin = s.c_str();
    char* end = nullptr;
    const double d = strtod_l(begin, &end, CLocale());
    if (end == begin) {
        return std::nullopt;
    }
    const float f = static_cast<float>(d);
    if (!std::isfinite(f)) {
        return std::nullopt;
    }
    return f;
}

std::string FormatInt(int value) {
    return std::to_string(value);
}

std::optional<int> ScanInt(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    unsigned long long magnitude = 0;
    const char* first = s.data() + i;
    const char* last = s.data() + s.size();
    const auto [end, ec] = std::from_chars(first, last, magnitude);
    if (end == first || ec != std::errc()) {
        return std::nullopt;
    }
    const unsigned long long limit = negative ? 2147483648ULL : 2147483647ULL;
    if (magnitude > limit) {
        return std::nullopt;
    }
    const long long signedValue =
        negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    return static_cast<int>(signedValue);
}

std::string VertexListText(std::span<const CVector3D> vertices) {
    std::string text;
    text.reserve(vertices.size() * 40);
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const CVector3D& v = vertices[i];
        text += '(';
        AppendFixed6(text, static_cast<double>(v.x));
        text += ',';
        AppendFixed6(text, static_cast<double>(v.y));
        text += ',';
        AppendFixed6(text, static_cast<double>(v.z));
        text += ')';
        text += i + 1 < vertices.size() ? ",\r\n" : "\r\n";
    }
    return text;
}

} // namespace rolvet
