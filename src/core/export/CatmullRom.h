// The one spline routine of the road export: a point on the uniform Catmull-Rom curve.
#pragma once

#include "track/Vector3D.h"

// The point at parameter t of the curve segment from p1 (t = 0) to p2 (t = 1); p0 precedes p1
// and p3 follows p2. t is not clamped: values outside 0..1 continue the same cubic. Every
// component and every weight is rounded to single precision in the order written.
CVector3D CatmullRom(const CVector3D& p0, const CVector3D& p1, const CVector3D& p2,
                     const CVector3D& p3, float t);
