// GPX 1.1 traces: the points of the first track that has any (all its segments in order), else
// those of the first route, each with lat and lon and an optional <ele>.
#include "common/Strings.h"
#include "import/ImportDetail.h"

#include <pugixml.hpp>

#include <cstring>

namespace rolvet::import {
namespace {

// The element's name without a namespace prefix.
bool Named(const pugi::xml_node& node, const char* name) {
    const char* full = node.name();
    const char* colon = std::strrchr(full, ':');
    return std::strcmp(colon != nullptr ? colon + 1 : full, name) == 0;
}

pugi::xml_node Child(const pugi::xml_node& node, const char* name) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_element && Named(child, name)) {
            return child;
        }
    }
    return {};
}

struct Reader {
    std::string_view text;
    const std::string& name;
    ImportResult& result;
    std::vector<GeoPoint> points;

    std::size_t LineOf(const pugi::xml_node& node) const {
        const std::ptrdiff_t offset = node.offset_debug();
        return offset < 0 ? 0 : LineAt(text, static_cast<std::size_t>(offset));
    }

    // One number; false (with the message set) when it is missing or not a finite number.
    bool Number(const char* value, const pugi::xml_node& node, double& out) {
        if (value == nullptr) {
            result.message = Message(str::kImportMissingCoordinate, name, LineOf(node));
            return false;
        }
        switch (ParseNumber(Trim(value), false, out)) {
        case Field::Number:
            return true;
        case Field::NotFinite:
            result.message = Message(str::kImportNotFinite, name, LineOf(node));
            return false;
        case Field::Bad:
            break;
        }
        result.message = Message(str::kImportBadNumber, name, LineOf(node));
        return false;
    }

    // Every point element named `point` directly inside parent.
    bool Collect(const pugi::xml_node& parent, const char* point) {
        for (pugi::xml_node node : parent.children()) {
            if (node.type() != pugi::node_element || !Named(node, point)) {
                continue;
            }
            GeoPoint p;
            p.line = LineOf(node);
            const pugi::xml_attribute lat = node.attribute("lat"), lon = node.attribute("lon");
            if (!Number(lat ? lat.value() : nullptr, node, p.lat) ||
                !Number(lon ? lon.value() : nullptr, node, p.lon)) {
                return false;
            }
            if (const pugi::xml_node ele = Child(node, "ele")) {
                if (!Number(ele.child_value(), ele, p.ele)) {
                    return false;
                }
                p.hasEle = true;
            }
            points.push_back(p);
        }
        return true;
    }
};

} // namespace

ImportResult ParseGpx(std::string_view text, const std::string& name) {
    ImportResult result;
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed) {
        result.message = Message(str::kImportBadSyntax, name,
                                 LineAt(text, static_cast<std::size_t>(parsed.offset)));
        return result;
    }
    Reader reader{text, name, result, {}};
    const pugi::xml_node gpx = doc.document_element();
    if (Named(gpx, "gpx")) {
        for (pugi::xml_node trk : gpx.children()) {
            if (trk.type() != pugi::node_element || !Named(trk, "trk")) {
                continue;
            }
            for (pugi::xml_node seg : trk.children()) {
                if (seg.type() == pugi::node_element && Named(seg, "trkseg") &&
                    !reader.Collect(seg, "trkpt")) {
                    return result;
                }
            }
            if (!reader.points.empty()) {
                break;
            }
        }
        if (reader.points.empty()) {
            for (pugi::xml_node rte : gpx.children()) {
                if (rte.type() != pugi::node_element || !Named(rte, "rte")) {
                    continue;
                }
                if (!reader.Collect(rte, "rtept")) {
                    return result;
                }
                if (!reader.points.empty()) {
                    break;
                }
            }
        }
    }
    if (reader.points.empty()) {
        result.message = Message(str::kImportNoLine, name);
        return result;
    }
    ProjectGeographic(reader.points, name, result);
    return result;
}

} // namespace rolvet::import
