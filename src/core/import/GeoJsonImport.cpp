// GeoJSON lines: a LineString, a MultiLineString (its lines one after another) or the first
// ring of a Polygon, given as a bare geometry, a Feature, the first usable feature of a
// FeatureCollection or the first usable member of a GeometryCollection. Positions are
// [longitude, latitude] or [longitude, latitude, height].
#include "common/Strings.h"
#include "import/ImportDetail.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <iterator>
#include <vector>

namespace rolvet::import {
namespace {

using Json = nlohmann::json;

// Reads the text and tells a shared cursor how far the parser has read, so that what the
// parser reports can be given a line.
class CountingIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator(const char* p, const char** cursor) : m_p(p), m_cursor(cursor) {}
    reference operator*() const { return *m_p; }
    CountingIterator& operator++() {
        *m_cursor = ++m_p;
        return *this;
    }
    CountingIterator operator++(int) {
        CountingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const CountingIterator& other) const { return m_p == other.m_p; }
    bool operator!=(const CountingIterator& other) const { return m_p != other.m_p; }

private:
    const char* m_p;
    const char** m_cursor;
};

// A refusal found while parsing.
struct Refusal {
    const char* text;
    std::size_t line;
};

// Checks every array inside a "coordinates" member as the parser completes it: an array of
// numbers is a position (longitude, latitude[, height], finite, in range); any other array may
// hold only arrays.
class CoordinateCheck {
public:
    CoordinateCheck(std::string_view text, const char** cursor) : m_text(text), m_cursor(cursor) {}

    bool operator()(int /*depth*/, Json::parse_event_t event, Json& parsed) {
        using Event = Json::parse_event_t;
        switch (event) {
        case Event::object_start:
        case Event::array_start:
            m_frames.push_back({event == Event::object_start, ChildInCoordinates(), false});
            break;
        case Event::key:
            if (!m_frames.empty()) {
                m_frames.back().keyIsCoordinates = parsed.is_string() && parsed == "coordinates";
            }
            break;
        case Event::array_end:
            if (!m_frames.empty()) {
                if (m_frames.back().inCoordinates) {
                    Check(parsed);
                }
                m_frames.pop_back();
            }
            break;
        case Event::object_end:
            if (!m_frames.empty()) {
                m_frames.pop_back();
            }
            break;
        case Event::value:
            break;
        }
        return true;
    }

private:
    struct Frame {
        bool isObject;
        bool inCoordinates;
        bool keyIsCoordinates;
    };

    bool ChildInCoordinates() const {
        if (m_frames.empty()) {
            return false;
        }
        const Frame& top = m_frames.back();
        return top.inCoordinates || (top.isObject && top.keyIsCoordinates);
    }

    std::size_t Line() const {
        const std::size_t read = static_cast<std::size_t>(*m_cursor - m_text.data());
        return LineAt(m_text, read > 0 ? read - 1 : 0);
    }

    void Check(const Json& array) const {
        bool position = false;
        for (const Json& element : array) {
            position = position || element.is_number();
        }
        for (const Json& element : array) {
            if (position ? !element.is_number() : !element.is_array()) {
                throw Refusal{str::kImportBadNumber, Line()};
            }
        }
        if (!position) {
            return;
        }
        if (array.size() < 2) {
            throw Refusal{str::kImportMissingCoordinate, Line()};
        }
        for (const Json& element : array) {
            if (!std::isfinite(element.get<double>())) {
                throw Refusal{str::kImportNotFinite, Line()};
            }
        }
        if (!(std::fabs(array[0].get<double>()) <= 180.0) ||
            !(std::fabs(array[1].get<double>()) <= 90.0)) {
            throw Refusal{str::kImportOutOfRange, Line()};
        }
    }

    std::string_view m_text;
    const char** m_cursor;
    std::vector<Frame> m_frames;
};

bool IsType(const Json& object, const char* type) {
    if (!object.is_object()) {
        return false;
    }
    const auto it = object.find("type");
    return it != object.end() && it->is_string() && *it == type;
}

// The lines of a usable geometry (their positions one after another), or nullptr.
const Json* UsableGeometry(const Json& node) {
    if (IsType(node, "LineString") || IsType(node, "MultiLineString") || IsType(node, "Polygon")) {
        const auto coordinates = node.find("coordinates");
        return coordinates != node.end() && coordinates->is_array() ? &node : nullptr;
    }
    if (IsType(node, "Feature")) {
        const auto geometry = node.find("geometry");
        return geometry != node.end() ? UsableGeometry(*geometry) : nullptr;
    }
    const char* list = IsType(node, "FeatureCollection")    ? "features"
                       : IsType(node, "GeometryCollection") ? "geometries"
                                                            : nullptr;
    if (list != nullptr) {
        const auto members = node.find(list);
        if (members != node.end() && members->is_array()) {
            for (const Json& member : *members) {
                if (const Json* found = UsableGeometry(member)) {
                    return found;
                }
            }
        }
    }
    return nullptr;
}

void AddPositions(const Json& positions, std::vector<GeoPoint>& out) {
    if (!positions.is_array()) {
        return;
    }
    for (const Json& position : positions) {
        if (!position.is_array() || position.size() < 2 || !position[0].is_number() ||
            !position[1].is_number()) {
            continue; // the parser's check refused anything else already
        }
        GeoPoint p;
        p.lon = position[0].get<double>();
        p.lat = position[1].get<double>();
        if (position.size() >= 3 && position[2].is_number()) {
            p.ele = position[2].get<double>();
            p.hasEle = true;
        }
        out.push_back(p);
    }
}

} // namespace

ImportResult ParseGeoJson(std::string_view text, const std::string& name) {
    ImportResult result;
    const char* cursor = text.data();
    CoordinateCheck check(text, &cursor);
    Json doc;
    try {
        doc = Json::parse(CountingIterator(text.data(), &cursor),
                          CountingIterator(text.data() + text.size(), &cursor),
                          [&check](int depth, Json::parse_event_t event, Json& parsed) {
                              return check(depth, event, parsed);
                          });
    } catch (const Refusal& refusal) {
        result.message = Message(refusal.text, name, refusal.line);
        return result;
    } catch (const Json::parse_error& error) {
        result.message =
            Message(str::kImportBadSyntax, name, LineAt(text, error.byte > 0 ? error.byte - 1 : 0));
        return result;
    } catch (const Json::out_of_range&) {
        // A number too large to hold (1e999).
        const auto read = static_cast<std::size_t>(cursor - text.data());
        result.message =
            Message(str::kImportNotFinite, name, LineAt(text, read > 0 ? read - 1 : 0));
        return result;
    } catch (const Json::exception&) {
        result.message = Message(str::kImportBadSyntax, name, LineAt(text, text.size()));
        return result;
    }
    const Json* geometry = UsableGeometry(doc);
    if (geometry == nullptr) {
        result.message = Message(str::kImportNoLine, name);
        return result;
    }
    const Json& coordinates = (*geometry)["coordinates"];
    std::vector<GeoPoint> points;
    if (IsType(*geometry, "LineString")) {
        AddPositions(coordinates, points);
    } else if (IsType(*geometry, "MultiLineString")) {
        for (const Json& line : coordinates) {
            AddPositions(line, points);
        }
    } else if (!coordinates.empty()) {
        AddPositions(coordinates[0], points); // the outer ring of the polygon
    }
    if (points.empty()) {
        result.message = Message(str::kImportNoLine, name);
        return result;
    }
    ProjectGeographic(points, name, result);
    return result;
}

} // namespace rolvet::import
