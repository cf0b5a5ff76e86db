// The road's shape at one control point: the width from the centre line to the outer edge on each
// side (seen in the driving direction) and the bank angle.
#pragma once

#include <cstdint>
#include <optional>

namespace rolvet {

// A property that was never set has no value and follows the track's settings: each width is
// half the road width, the bank is 0. So a point nobody shaped follows a later change of the
// road width, while a value the user gave (or a file held) stays as it is.
struct PointShape {
    std::optional<float> widthLeft;
    std::optional<float> widthRight;
    std::optional<float> bank; // degrees; positive lifts the left edge and lowers the right

    bool IsUnset() const { return !widthLeft && !widthRight && !bank; }
};

// Every property as a number.
struct ResolvedShape {
    float widthLeft = 0.0f;
    float widthRight = 0.0f;
    float bank = 0.0f;
};

// The width of each side when the point's own is not set: the integer road width times 0.5.
inline float DefaultSideWidth(std::int32_t roadWidth) {
    return static_cast<float>(static_cast<double>(roadWidth) * 0.5);
}

inline ResolvedShape Resolve(const PointShape& shape, std::int32_t roadWidth) {
    const float side = DefaultSideWidth(roadWidth);
    return {shape.widthLeft.value_or(side), shape.widthRight.value_or(side),
            shape.bank.value_or(0.0f)};
}

} // namespace rolvet
