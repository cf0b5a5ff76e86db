// The vertex record and 3-vector of the track: three single-precision floats.
#pragma once

#include <type_traits>

class CVector3D {
public:
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr CVector3D() = default;
    constexpr CVector3D(float fx, float fy, float fz) : x(fx), y(fy), z(fz) {}

    // Component-wise arithmetic; every component is rounded to single precision when formed.
    constexpr CVector3D operator+(const CVector3D& b) const { return {x + b.x, y + b.y, z + b.z}; }
    constexpr CVector3D operator-(const CVector3D& b) const { return {x - b.x, y - b.y, z - b.z}; }
    constexpr CVector3D operator*(float s) const { return {x * s, y * s, z * s}; }

    // Divides this vector in place, then returns a copy of the new value. The road builder
    // normalises its direction with this and keeps using the vector itself.
    constexpr CVector3D operator/(float s) {
        x = x / s;
        y = y / s;
        z = z / s;
        return *this;
    }
};

static_assert(sizeof(CVector3D) == 12, "a vertex is exactly three packed floats");
static_assert(std::is_trivially_copyable_v<CVector3D>);
