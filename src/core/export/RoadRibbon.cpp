#include "export/RoadRibbon.h"

#include "export/CatmullRom.h"

#include <cmath>
#include <limits>

namespace rolvet {

std::optional<RoadCounts> RoadCountsFor(std::size_t pointCount, int divisions) {
    // n fits 31 bits and |d| at most 2^31, so n·d fits easily in 64 bits.
    if (pointCount > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return std::nullopt;
    }
    const std::int64_t samples = static_cast<std::int64_t>(pointCount) * divisions;
    const std::int64_t vertices = 4 * samples;
    if (vertices > std::numeric_limits<std::int32_t>::max() ||
        vertices < std::numeric_limits<std::int32_t>::min()) {
        return std::nullopt;
    }
    return RoadCounts{samples, vertices, 3 * samples};
}

float HalfRoadWidth(int roadWidth) {
    return static_cast<float>(static_cast<double>(roadWidth) * 0.5);
}

CRoadRibbon::CRoadRibbon(std::span<const CVector3D> points, int divisions, float halfWidth)
    : m_points(points), m_divisions(divisions), m_halfWidth(halfWidth),
      m_fd(static_cast<float>(divisions)), m_eps(0.0f) {
    if (divisions > 0) {
        m_eps = (1.0f / m_fd) / 1000.0f;
    }
}

CVector3D CRoadRibbon::Centre(std::size_t k, int i) const {
    const std::size_t n = m_points.size();
    return CatmullRom(m_points[(n + k - 1) % n], m_points[k], m_points[(k + 1) % n],
                      m_points[(k + 2) % n], static_cast<float>(i) / m_fd);
}

RoadFrame CRoadRibbon::Frame(std::size_t k, int i) const {
    const std::size_t n = m_points.size();
    const CVector3D& p0 = m_points[(n + k - 1) % n];
    const CVector3D& p1 = m_points[k];
    const CVector3D& p2 = m_points[(k + 1) % n];
    const CVector3D& p3 = m_points[(k + 2) % n];

    const float t = static_cast<float>(i) / m_fd;
    const CVector3D c = CatmullRom(p0, p1, p2, p3, t);
    const CVector3D cm = CatmullRom(p0, p1, p2, p3, t - m_eps);
    const CVector3D cp = CatmullRom(p0, p1, p2, p3, t + m_eps);

    // Direction by a central difference, normalised in place.
    CVector3D d = cp - cm;
    float length = std::sqrt((d.x * d.x + d.y * d.y) + d.z * d.z);
    if (length == 0.0f) {
        length = 1.0f;
    }
    static_cast<void>(d / length);

    // A quarter turn about the vertical axis; the height component stays as it is.
    const CVector3D side(-d.z, d.y, d.x);
    const CVector3D outer = side * m_halfWidth;
    const CVector3D inner = outer * 0.9f;
    return {c, d, side, {c + inner, c - inner, c + outer, c - outer}};
}

} // namespace rolvet
