// CSV centre lines: x,y | x,y,z | x,y,right width,left width, separated by commas or semicolons,
// with '#' comment lines and an optional header line of column names.
#include "common/Strings.h"
#include "import/ImportDetail.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace rolvet::import {

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

Field ParseNumber(std::string_view s, bool decimalComma, double& value) {
    std::string buffer;
    if (decimalComma && s.find(',') != std::string_view::npos) {
        buffer.assign(s);
        for (char& c : buffer) {
            c = c == ',' ? '.' : c;
        }
        s = buffer;
    }
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    if (s.empty() || (s.front() == '-' && s.size() > 1 && s[1] == '+')) {
        return Field::Bad;
    }
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (end != s.data() + s.size()) {
        return Field::Bad;
    }
    if (error == std::errc::result_out_of_range) {
        // Too large to hold (1e999): as infinite as the user's data can be. A value too small
        // to hold is zero.
        const bool tiny =
            s.find("e-") != std::string_view::npos || s.find("E-") != std::string_view::npos;
        if (tiny) {
            value = 0.0;
            return Field::Number;
        }
        return Field::NotFinite;
    }
    if (error != std::errc()) {
        return Field::Bad;
    }
    return std::isfinite(value) ? Field::Number : Field::NotFinite;
}

ImportResult ParseCsv(std::string_view text, const std::string& name) {
    ImportResult result;
    ImportedLine& line = result.line;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3); // a byte-order mark
    }
    char separator = 0;
    std::size_t columns = 0;
    bool headerAllowed = true;
    std::vector<std::string_view> fields;
    std::vector<double> values;
    std::size_t lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view row = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNumber;
        if (row.empty() || row.front() == '#') {
            continue;
        }
        if (separator == 0) {
            separator = row.find(';') != std::string_view::npos ? ';' : ',';
        }
        fields.clear();
        for (std::size_t start = 0;;) {
            const std::size_t cut = row.find(separator, start);
            fields.push_back(Trim(row.substr(
                start, cut == std::string_view::npos ? std::string_view::npos : cut - start)));
            if (cut == std::string_view::npos) {
                break;
            }
            start = cut + 1;
        }
        values.assign(fields.size(), 0.0);
        std::size_t bad = 0, notFinite = 0;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            switch (ParseNumber(fields[i], separator == ';', values[i])) {
            case Field::Number:
                break;
            case Field::NotFinite:
                ++notFinite;
                break;
            case Field::Bad:
                ++bad;
                break;
            }
        }
        // The first row may name the columns instead.
        if (headerAllowed && bad == fields.size()) {
            headerAllowed = false;
            continue;
        }
        headerAllowed = false;
        if (columns == 0) {
            columns = fields.size();
        }
        if (fields.size() != columns || columns < 2 || columns > 4) {
            result.message = Message(str::kImportColumns, name, lineNumber);
            return result;
        }
        if (bad > 0) {
            result.message = Message(str::kImportBadNumber, name, lineNumber);
            return result;
        }
        if (notFinite > 0) {
            result.message = Message(str::kImportNotFinite, name, lineNumber);
            return result;
        }
        // Map x east and y north; the plan's z runs south.
        const double height = columns == 3 ? values[2] : 0.0;
        line.points.push_back({values[0], height, -values[1]});
        if (columns == 4) {
            if (values[2] < 0.0 || values[3] < 0.0) {
                result.message = Message(str::kImportNegativeWidth, name, lineNumber);
                return result;
            }
            line.widthRight.push_back(values[2]);
            line.widthLeft.push_back(values[3]);
        }
    }
    return result;
}

} // namespace rolvet::import
