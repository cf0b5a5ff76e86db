#include "export/CatmullRom.h"

namespace rolvet {

namespace {

Double3 Difference(const CVector3D& a, const CVector3D& b) {
    // Differences of two floats are exact in double precision.
    return {static_cast<double>(a.x) - static_cast<double>(b.x),
            static_cast<double>(a.y) - static_cast<double>(b.y),
            static_cast<double>(a.z) - static_cast<double>(b.z)};
}

Double3 Half(const Double3& v) {
    return {0.5 * v[0], 0.5 * v[1], 0.5 * v[2]};
}

} // namespace

HermiteWeights CatmullRomWeights(float t) {
    const float t2 = t * t;
    const float t3 = t * t2;
    return {2.0f * t3 - 3.0f * t2 + 1.0f, t3 - 2.0f * t2 + t, 3.0f * t2 - 2.0f * t3, t3 - t2};
}

TangentWeights CatmullRomTangentWeights(double t) {
    // d/dt of the Hermite basis, with p1 taken out: C'(t) = (6t − 6t²)(p2 − p1)
    // + (3t² − 4t + 1) m1 + (3t² − 2t) m2.
    const double t2 = t * t;
    return {6.0 * t - 6.0 * t2, 3.0 * t2 - 4.0 * t + 1.0, 3.0 * t2 - 2.0 * t};
}

CCatmullRomSegment::CCatmullRomSegment(const CVector3D& p0, const CVector3D& p1,
                                       const CVector3D& p2, const CVector3D& p3)
    : m_p1(p1), m_p2(p2), m_chord(Difference(p2, p1)), m_tangent1(Half(Difference(p2, p0))),
      m_tangent2(Half(Difference(p3, p1))) {
    // A cardinal spline with tension 0: the end tangents are half the chord of the neighbours.
    // They are formed exactly in this order; the roundings of each step show in the exported
    // vertices, so the expressions must not be simplified.
    constexpr float kTension = 0.0f;
    const float s = (1.0f - kTension) * 0.5f;
    m_m1 = (((p1 - p0) + p2) - p1) * s;
    m_m2 = (((p2 - p1) + p3) - p2) * s;
}

} // namespace rolvet

CVector3D CatmullRom(const CVector3D& p0, const CVector3D& p1, const CVector3D& p2,
                     const CVector3D& p3, float t) {
    return rolvet::CCatmullRomSegment(p0, p1, p2, p3).At(rolvet::CatmullRomWeights(t));
}
