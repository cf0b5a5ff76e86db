#include "export/CatmullRom.h"

CVector3D CatmullRom(const CVector3D& p0, const CVector3D& p1, const CVector3D& p2,
                     const CVector3D& p3, float t) {
    // A cardinal spline with tension 0: the end tangents are half the chord of the neighbours.
    constexpr float kTension = 0.0f;
    const float s = (1.0f - kTension) * 0.5f;

    const float t2 = t * t;
    const float t3 = t * t2;

    // The tangents are formed exactly in this order; the roundings of each step show in the
    // exported vertices, so the expressions must not be simplified.
    const CVector3D m1 = (((p1 - p0) + p2) - p1) * s;
    const CVector3D m2 = (((p2 - p1) + p3) - p2) * s;

    const float h00 = 2.0f * t3 - 3.0f * t2 + 1.0f;
    const float h10 = t3 - 2.0f * t2 + t;
    const float h01 = 3.0f * t2 - 2.0f * t3;
    const float h11 = t3 - t2;

    return p2 * h01 + (m2 * h11 + (m1 * h10 + p1 * h00));
}
