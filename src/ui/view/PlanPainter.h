// Painting of the plan: axes, the dotted reference square, the axis labels, the road's two outer
// edges when it has widths of its own, the polyline through the control points and one marker
// per point.
#pragma once

#include "track/Vector3D.h"
#include "view/PlanTransform.h"

#include <QFont>
#include <QRgb>

#include <array>
#include <span>

class QPainter;

namespace rolvet::plan {

inline constexpr QRgb kAxisColour = qRgb(0, 0, 0);
inline constexpr QRgb kGreyColour = qRgb(128, 128, 128); // reference square and labels
inline constexpr QRgb kLineColour = qRgb(128, 192, 255);
inline constexpr QRgb kMarkerColour = qRgb(0, 0, 255);
inline constexpr QRgb kSelectedColour = qRgb(255, 0, 0);
inline constexpr QRgb kBackgroundColour = qRgb(255, 255, 255);
inline constexpr QRgb kEdgeColour = qRgb(96, 128, 160); // the road's outer edges

// Everything one paint needs; read afresh for every paint.
struct PlanScene {
    int width = 0; // client size; the centre follows it
    int height = 0;
    float scale = 4.0f; // world units per pixel
    double panX = 0.0;  // how far the user moved the plan, in pixels (Centre)
    double panY = 0.0;
    std::span<const CVector3D> vertices;
    int selected = -1; // marked red when 0 <= selected < vertex count
    // The road's cross-sections (A, B, E, G, as the road model holds them): E and G are drawn
    // as two closed thin lines under the track. Empty: no edges.
    std::span<const std::array<CVector3D, 4>> sections;
    QFont font; // for the axis labels
};

// Paints the plan over whatever the painter's device holds (the caller erases the background).
// When the painter draws straight into a 32-bit image without clipping or transformation, the
// track is written into the image's pixels directly, which is several times faster for large
// tracks; the picture is the same pixel for pixel as PaintPlanStraight's.
void PaintPlan(QPainter& painter, const PlanScene& scene);

// The same picture drawn with one QPainter fill and one line call per vertex, for any device.
void PaintPlanStraight(QPainter& painter, const PlanScene& scene);

} // namespace rolvet::plan
