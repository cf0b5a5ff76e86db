// The plan's geometry: world x/z to client pixels and back, the reference square and the
// search for the vertex under the cursor. Pure functions, no widget needed.
#pragma once

#include "track/Vector3D.h"

#include <span>

namespace rolvet::plan {

// Pixel coordinates are kept within +-kPixelLimit. Coordinates come unchecked from files, so a
// world position can be NaN, infinite or far outside any screen; anything beyond the limit is
// drawn at the limit, which is far off-screen for every real window and still small enough that
// rectangles around it and lines towards it stay exact.
inline constexpr int kPixelLimit = 1 << 28;

// The client centre, and how far the user has moved the plan from it: the world origin lies at
// (cx + panX, cy + panY). The pan is zero until the user pans, and the transforms are then
// exactly those of an unmoved plan.
struct Centre {
    int cx = 0;
    int cy = 0;
    double panX = 0.0;
    double panY = 0.0;
};

struct Pixel {
    int x = 0;
    int y = 0;
    friend bool operator==(const Pixel&, const Pixel&) = default;
};

struct WorldXZ {
    float x = 0.0f;
    float z = 0.0f;
};

// The client centre: half the width and half the height, remainders dropped (101 gives 50).
constexpr Centre CentreOf(int width, int height) {
    return {width / 2, height / 2};
}

// Truncates toward zero, never rounds. Values beyond +-kPixelLimit become the limit; NaN is put
// off-screen at -kPixelLimit. Finite values within the limit are truncated exactly.
int TruncToPixel(double v);

// World to client pixel: trunc(float(cx) + panX + x / scale), in double precision.
Pixel WorldToPixel(float x, float z, float scale, Centre c);

// Client pixel to world: float((mx - cx - panX) * scale), mx - cx taken on integers.
WorldXZ PixelToWorld(int mx, int my, float scale, Centre c);

// The pixel of the world origin, where the axes cross.
Pixel OriginPixel(Centre c);

// Corners of the dotted square of +-1000 world units, in drawing order: top-left, top-right,
// bottom-right, bottom-left.
struct SquareCorners {
    Pixel topLeft, topRight, bottomRight, bottomLeft;
};
SquareCorners ReferenceSquare(float scale, Centre c);

// The first vertex, in store order, whose truncated distances to the world point (x, z) are
// both within 4 pixels at the given zoom (4 * scale world units): a square catch area. y plays
// no part. Returns -1 when no vertex is that close. A vertex with a NaN coordinate is never
// caught.
int FindVertexNear(std::span<const CVector3D> vertices, float x, float z, float scale);

} // namespace rolvet::plan
