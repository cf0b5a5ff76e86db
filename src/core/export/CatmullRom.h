// The one spline of the road: the uniform Catmull-Rom curve through the closed loop of control
// points, its points in single precision (rounded step by step as the Metasequoia model needs)
// and its exact tangent in double precision.
#pragma once

#include "track/Vector3D.h"

#include <array>

namespace rolvet {

using Double3 = std::array<double, 3>;

// The four cubic Hermite weights at parameter t, each rounded to single precision.
struct HermiteWeights {
    float h00 = 0.0f; // weight of p1
    float h10 = 0.0f; // weight of the tangent at p1
    float h01 = 0.0f; // weight of p2
    float h11 = 0.0f; // weight of the tangent at p2
};
HermiteWeights CatmullRomWeights(float t);

// The weights of the curve's derivative at parameter t, in double precision: of p2 − p1 and of
// the two end tangents.
struct TangentWeights {
    double chord = 0.0;
    double m1 = 0.0;
    double m2 = 0.0;
};
TangentWeights CatmullRomTangentWeights(double t);

// One segment of the curve, from p1 (t = 0) to p2 (t = 1); p0 precedes p1 and p3 follows p2.
// The weights depend only on t, so a caller sampling many segments at the same parameters
// computes them once.
class CCatmullRomSegment {
public:
    CCatmullRomSegment(const CVector3D& p0, const CVector3D& p1, const CVector3D& p2,
                       const CVector3D& p3);

    // The point at the weights' parameter, single precision in the order written.
    CVector3D At(const HermiteWeights& w) const {
        return m_p2 * w.h01 + (m_m2 * w.h11 + (m_m1 * w.h10 + m_p1 * w.h00));
    }
    // dC/dt at the weights' parameter, of the exact cubic through the control points.
    Double3 Tangent(const TangentWeights& w) const {
        return {w.chord * m_chord[0] + w.m1 * m_tangent1[0] + w.m2 * m_tangent2[0],
                w.chord * m_chord[1] + w.m1 * m_tangent1[1] + w.m2 * m_tangent2[1],
                w.chord * m_chord[2] + w.m1 * m_tangent1[2] + w.m2 * m_tangent2[2]};
    }

private:
    CVector3D m_p1, m_p2, m_m1, m_m2;        // the points and tangents as the float curve uses them
    Double3 m_chord, m_tangent1, m_tangent2; // p2 − p1, (p2 − p0) / 2, (p3 − p1) / 2 exactly
};

} // namespace rolvet

// The point at parameter t of the curve segment from p1 (t = 0) to p2 (t = 1); p0 precedes p1
// and p3 follows p2. t is not clamped: values outside 0..1 continue the same cubic. Every
// component and every weight is rounded to single precision in the order written.
CVector3D CatmullRom(const CVector3D& p0, const CVector3D& p1, const CVector3D& p2,
                     const CVector3D& p3, float t);
