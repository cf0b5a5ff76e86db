#include "view/PlanTransform.h"

#include <cmath>
#include <limits>

namespace rolvet::plan {

int TruncToPixel(double v) {
    constexpr double limit = kPixelLimit;
    if (std::isnan(v)) {
        return -kPixelLimit;
    }
    if (v >= limit) {
        return kPixelLimit;
    }
    if (v <= -limit) {
        return -kPixelLimit;
    }
    // In range: the conversion truncates toward zero, as every pixel conversion of the plan must.
    return static_cast<int>(v);
}

Pixel WorldToPixel(float x, float z, float scale, Centre c) {
    const double fx = static_cast<double>(static_cast<float>(c.cx)) + c.panX;
    const double fy = static_cast<double>(static_cast<float>(c.cy)) + c.panY;
    const double s = scale;
    return {TruncToPixel(fx + static_cast<double>(x) / s),
            TruncToPixel(fy + static_cast<double>(z) / s)};
}

namespace {

// Rounds to single precision. A product beyond the float range becomes an infinity instead of
// an undefined conversion.
float ToFloat(double v) {
    constexpr double maxFloat = std::numeric_limits<float>::max();
    if (v > maxFloat) {
        return std::numeric_limits<float>::infinity();
    }
    if (v < -maxFloat) {
        return -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(v);
}

} // namespace

WorldXZ PixelToWorld(int mx, int my, float scale, Centre c) {
    const long long dx = static_cast<long long>(mx) - c.cx;
    const long long dy = static_cast<long long>(my) - c.cy;
    const double s = scale;
    return {ToFloat((static_cast<double>(dx) - c.panX) * s),
            ToFloat((static_cast<double>(dy) - c.panY) * s)};
}

Pixel OriginPixel(Centre c) {
    return {TruncToPixel(c.cx + c.panX), TruncToPixel(c.cy + c.panY)};
}

SquareCorners ReferenceSquare(float scale, Centre c) {
    const double h = 1000.0 / static_cast<double>(scale);
    const double fx = static_cast<double>(static_cast<float>(c.cx)) + c.panX;
    const double fy = static_cast<double>(static_cast<float>(c.cy)) + c.panY;
    const int left = TruncToPixel(fx - h);
    const int right = TruncToPixel(fx + h);
    const int top = TruncToPixel(fy - h);
    const int bottom = TruncToPixel(fy + h);
    return {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
}

int FindVertexNear(std::span<const CVector3D> vertices, float x, float z, float scale) {
    const double reach = 4.0 * static_cast<double>(scale);
    // A distance d is caught when trunc(|d|) <= reach. trunc(|d|) is a whole number, so that
    // holds exactly when |d| < floor(reach) + 1. Comparing this way needs no conversion to int,
    // so huge and infinite distances are simply too far, and NaN compares false.
    const double bound = std::floor(reach) + 1.0;
    int index = 0;
    for (const CVector3D& v : vertices) {
        const float dx = v.x - x;
        const float dz = v.z - z;
        if (static_cast<double>(std::fabs(dx)) < bound &&
            static_cast<double>(std::fabs(dz)) < bound) {
            return index;
        }
        ++index;
    }
    return -1;
}

} // namespace rolvet::plan
