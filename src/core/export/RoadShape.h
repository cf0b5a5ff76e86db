// The road's shape along the loop: every control point's left width, right width and bank,
// carried from point to point by monotone cubics over the spline's own parameter, so the
// values pass through the points' own, turn smoothly and never overshoot their neighbours (a
// width never goes negative between two points that are not).
#pragma once

#include "track/PointShape.h"

#include <array>
#include <cstddef>
#include <span>
#include <vector>

namespace rolvet {

// The shape at one sample: the distances from the centre line to the outer edge on the left
// (minus side) and the right (plus side), and the bank in degrees (positive lifts the left edge).
struct SampleShape {
    double left = 0.0;
    double right = 0.0;
    double bank = 0.0;
};

class CRoadShape {
public:
    // No control points: every sample gets the half width on both sides and no bank.
    explicit CRoadShape(float halfWidth = 0.0f)
        : m_halfWidth(halfWidth), m_uniformWidth(halfWidth) {}
    // The shapes of n control points; points past the end of shapes have none of their own.
    // A width a point does not set is halfWidth, a bank it does not set is 0.
    CRoadShape(std::span<const PointShape> shapes, std::size_t n, float halfWidth);
    // The same in place, keeping the memory of an earlier track.
    void Reset(std::span<const PointShape> shapes, std::size_t n, float halfWidth);

    std::size_t Count() const { return m_values[0].size(); }
    // Whether the road is anything but a road of one width: the widths differ from point to
    // point or between the sides, or a point has a bank. An unshaped road is laid out exactly as
    // a road of one width, HalfWidth() either side: the given half width when no point sets a
    // width of its own, else the one width every point sets. So a track whose points all set
    // the same width on both sides gives what a track of that road width gives.
    bool Shaped() const { return m_shaped; }
    float HalfWidth() const { return m_uniformWidth; }
    // Whether any point has a width other than the given half width.
    bool WidthsShaped() const { return m_widened; }

    // Points first .. first + count − 1 (first + count <= Count()) take their shapes from
    // shapes[first ..] (none of their own past its end), and the slopes they reach follow.
    // Returns whether any value changed.
    bool Set(std::size_t first, std::size_t count, std::span<const PointShape> shapes);

    // The shape at step i of d of segment k (t = i / d); HalfWidth() and no bank when unshaped.
    SampleShape At(std::size_t k, int i, int divisions) const;
    // The shape of control point k as a number.
    SampleShape Point(std::size_t k) const;
    // The mean of the two widths over the control points; HalfWidth() when unshaped.
    double MeanHalfWidth() const;

private:
    enum { kLeft, kRight, kBank, kProperties };
    void Resolve(std::size_t k, const PointShape& shape);
    void Classify();
    void Slopes(std::size_t k);

    float m_halfWidth = 0.0f;    // the settings' half width
    float m_uniformWidth = 0.0f; // the half width of a road of one width
    std::array<std::vector<double>, kProperties> m_values, m_slopes;
    bool m_shaped = false;
    bool m_widened = false;
};

} // namespace rolvet
