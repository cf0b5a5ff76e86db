// What one edit of the track changed. The document announces one of these from the one place
// that applies edits (a step of the history doing or undoing its work, New, Open); the plan, the
// 3D preview and the road model read it to update only what changed.
#pragma once

#include <cstdint>

namespace rolvet {

struct TrackChange {
    enum class Kind : std::uint8_t {
        Whole,    // the whole track was replaced (New, Open, restore): rebuild everything
        Settings, // the division count or the road width changed; no control point did
        Inserted, // control points first .. first + count − 1 are new (indices after the edit)
        Removed,  // control points first .. first + count − 1 are gone (indices before the edit)
        Moved,    // control points first .. first + count − 1 changed in place (coordinates or
                  // their per-point properties); the point count is unchanged
    };
    Kind kind = Kind::Whole;
    int first = 0;
    int count = 0;

    static TrackChange Whole() { return {}; }
    static TrackChange Settings() { return {Kind::Settings, 0, 0}; }
    static TrackChange Inserted(int first, int count = 1) { return {Kind::Inserted, first, count}; }
    static TrackChange Removed(int first, int count = 1) { return {Kind::Removed, first, count}; }
    static TrackChange Moved(int first, int count = 1) { return {Kind::Moved, first, count}; }
};

} // namespace rolvet
