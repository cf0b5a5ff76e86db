#include "import/PolylineImport.h"

#include "common/FileError.h"
#include "common/Strings.h"
#include "import/ImportDetail.h"

#include <GeographicLib/Constants.hpp>
#include <GeographicLib/TransverseMercator.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rolvet {
namespace import {

std::string Message(const char* text, const std::string& name, std::size_t line) {
    std::string message = SubstituteArg(Translate(text), name);
    if (const std::size_t pos = message.find("%2"); pos != std::string::npos) {
        message.replace(pos, 2, std::to_string(line));
    }
    return message;
}

std::size_t LineAt(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + offset, '\n'));
}

void ProjectGeographic(const std::vector<GeoPoint>& points, const std::string& name,
                       ImportResult& result) {
    for (const GeoPoint& p : points) {
        if (!(std::fabs(p.lat) <= 90.0) || !(std::fabs(p.lon) <= 180.0)) {
            result.message = Message(str::kImportOutOfRange, name, p.line);
            return;
        }
    }
    if (points.empty()) {
        return;
    }
    const GeographicLib::TransverseMercator projection(GeographicLib::Constants::WGS84_a(),
                                                       GeographicLib::Constants::WGS84_f(), 1.0);
    const GeoPoint& first = points.front();
    double x0 = 0.0, y0 = 0.0;
    projection.Forward(first.lon, first.lat, first.lon, x0, y0);
    // Heights count from the first elevation given; a point without one keeps the height of the
    // point before it, so a gap in the elevations makes no step down to zero.
    double base = 0.0;
    for (const GeoPoint& p : points) {
        if (p.hasEle) {
            base = p.ele;
            break;
        }
    }
    double height = 0.0;
    result.line.points.reserve(points.size());
    for (const GeoPoint& p : points) {
        double x = 0.0, y = 0.0;
        projection.Forward(first.lon, p.lat, p.lon, x, y);
        if (p.hasEle) {
            height = p.ele - base;
        }
        result.line.points.push_back({x - x0, height, -(y - y0)});
    }
}

namespace {

double Distance(const std::array<double, 3>& a, const std::array<double, 3>& b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

// Drops a last point that only closes the loop, then refuses a loop of fewer than four distinct
// points.
void FinishLine(const std::string& name, ImportResult& result) {
    ImportedLine& line = result.line;
    const std::size_t n = line.points.size();
    if (n >= 2) {
        double spacing = 0.0;
        for (std::size_t i = 0; i + 1 < n; ++i) {
            spacing += Distance(line.points[i], line.points[i + 1]);
        }
        spacing /= static_cast<double>(n - 1);
        if (Distance(line.points.back(), line.points.front()) <= std::max(0.001, 0.1 * spacing)) {
            line.points.pop_back();
            if (!line.widthLeft.empty()) {
                line.widthLeft.pop_back();
                line.widthRight.pop_back();
            }
        }
    }
    std::vector<std::array<double, 3>> distinct = line.points;
    std::sort(distinct.begin(), distinct.end());
    const std::size_t count =
        static_cast<std::size_t>(std::unique(distinct.begin(), distinct.end()) - distinct.begin());
    if (count < 4) {
        result.message = Message(str::kImportTooFewPoints, name, count);
        result.line = {};
    }
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace
} // namespace import

std::optional<ImportFormat> ImportFormatOfName(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), import::Lower);
    if (ext == ".csv" || ext == ".txt") {
        return ImportFormat::Csv;
    }
    if (ext == ".gpx") {
        return ImportFormat::Gpx;
    }
    if (ext == ".geojson" || ext == ".json") {
        return ImportFormat::GeoJson;
    }
    return std::nullopt;
}

ImportFormat ImportFormatOfText(std::string_view text) {
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            continue;
        }
        if (c == '<') {
            return ImportFormat::Gpx;
        }
        return c == '{' || c == '[' ? ImportFormat::GeoJson : ImportFormat::Csv;
    }
    return ImportFormat::Csv;
}

ImportResult ParseImport(std::string_view text, ImportFormat format, const std::string& name) {
    ImportResult result;
    if (text.size() > kMaxImportBytes) {
        result.message = import::Message(str::kImportTooLarge, name);
        return result;
    }
    switch (format) {
    case ImportFormat::Csv:
        result = import::ParseCsv(text, name);
        break;
    case ImportFormat::Gpx:
        result = import::ParseGpx(text, name);
        break;
    case ImportFormat::GeoJson:
        result = import::ParseGeoJson(text, name);
        break;
    }
    if (result.Ok()) {
        import::FinishLine(name, result);
    } else {
        result.line = {};
    }
    return result;
}

ImportResult ReadImportFile(const std::filesystem::path& path) {
    const std::string name = path.string();
    ImportResult result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.message = FileErrorMessage(FileCauseFromErrno(errno), name);
        return result;
    }
    struct stat st {};
    std::string text;
    int err = 0;
    if (::fstat(fd, &st) != 0) {
        err = errno;
    } else if (S_ISDIR(st.st_mode)) {
        err = EISDIR;
    } else if (S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) > kMaxImportBytes) {
        ::close(fd);
        result.message = import::Message(str::kImportTooLarge, name);
        return result;
    } else {
        // Read in pieces (a pipe has no size), never beyond the limit and one byte.
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                err = errno;
                break;
            }
            if (got == 0) {
                break;
            }
            text.append(buffer, static_cast<std::size_t>(got));
            if (text.size() > kMaxImportBytes) {
                ::close(fd);
                result.message = import::Message(str::kImportTooLarge, name);
                return result;
            }
        }
    }
    ::close(fd);
    if (err != 0) {
        result.message = FileErrorMessage(FileCauseFromErrno(err), name);
        return result;
    }
    const ImportFormat format = ImportFormatOfName(path).value_or(ImportFormatOfText(text));
    return ParseImport(text, format, name);
}

} // namespace rolvet
