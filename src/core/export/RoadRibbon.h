// The road ribbon: four vertices across the road at every sample of the closed centre line.
#pragma once

#include "track/Vector3D.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace rolvet {

// Sample, vertex and face counts of a road: S = n·d, V = 4·S, F = 3·S. The division count may
// be zero or negative, which gives zero or negative counts and no samples.
struct RoadCounts {
    std::int64_t samples = 0;
    std::int64_t vertices = 0;
    std::int64_t faces = 0;
};

// The counts for n control points and d divisions, or nothing when the vertex count does not
// fit the 32-bit signed integers of the model format (so no count or index can overflow).
std::optional<RoadCounts> RoadCountsFor(std::size_t pointCount, int divisions);

// Half the road width as the export uses it: the integer width times 0.5, as a float.
float HalfRoadWidth(int roadWidth);

// Vertices 4j .. 4j+3 of one sample: inner line plus side, inner line minus side, outer edge
// plus side, outer edge minus side.
using RoadSample = std::array<CVector3D, 4>;

// Everything the ribbon knows at one sample: the centre point, the unit direction of travel
// (zero where the curve stands still), the side vector and the four vertices.
struct RoadFrame {
    CVector3D centre;
    CVector3D direction;
    CVector3D side;
    RoadSample vertices;
};

class CRoadRibbon {
public:
    // points must stay alive and unchanged while the ribbon is used.
    CRoadRibbon(std::span<const CVector3D> points, int divisions, float halfWidth);

    std::size_t SegmentCount() const { return m_points.size(); }
    // Steps per segment; zero when the division count is zero or negative.
    int StepCount() const { return m_divisions > 0 ? m_divisions : 0; }

    // The sample at step i (0 <= i < StepCount()) of segment k (0 <= k < SegmentCount()).
    RoadSample Sample(std::size_t k, int i) const { return Frame(k, i).vertices; }
    RoadFrame Frame(std::size_t k, int i) const;
    // Only the centre point of that sample (the same value as Frame(k, i).centre).
    CVector3D Centre(std::size_t k, int i) const;

private:
    std::span<const CVector3D> m_points;
    int m_divisions;
    float m_halfWidth;
    float m_fd;  // the division count as a float
    float m_eps; // the parameter step of the difference quotient
};

} // namespace rolvet
