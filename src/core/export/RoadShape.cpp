#include "export/RoadShape.h"

#include "track/MonotoneCubic.h"

#include <algorithm>

namespace rolvet {

CRoadShape::CRoadShape(std::span<const PointShape> shapes, std::size_t n, float halfWidth) {
    Reset(shapes, n, halfWidth);
}

void CRoadShape::Reset(std::span<const PointShape> shapes, std::size_t n, float halfWidth) {
    m_halfWidth = halfWidth;
    m_uniformWidth = halfWidth;
    for (auto* v : {&m_values, &m_slopes}) {
        for (std::vector<double>& property : *v) {
            property.assign(n, 0.0);
        }
    }
    for (std::size_t k = 0; k < n; ++k) {
        Resolve(k, k < shapes.size() ? shapes[k] : PointShape{});
    }
    Classify();
    if (Shaped()) {
        for (std::size_t k = 0; k < n; ++k) {
            Slopes(k);
        }
    }
}

void CRoadShape::Resolve(std::size_t k, const PointShape& shape) {
    const auto side = static_cast<double>(m_halfWidth);
    m_values[kLeft][k] = shape.widthLeft ? static_cast<double>(*shape.widthLeft) : side;
    m_values[kRight][k] = shape.widthRight ? static_cast<double>(*shape.widthRight) : side;
    m_values[kBank][k] = shape.bank ? static_cast<double>(*shape.bank) : 0.0;
}

void CRoadShape::Classify() {
    const std::size_t n = Count();
    const auto side = static_cast<double>(m_halfWidth);
    const double one = n > 0 ? m_values[kLeft][0] : side;
    m_shaped = false;
    m_widened = false;
    for (std::size_t k = 0; k < n; ++k) {
        const double left = m_values[kLeft][k], right = m_values[kRight][k];
        m_shaped = m_shaped || left != one || right != one || m_values[kBank][k] != 0.0;
        m_widened = m_widened || left != side || right != side;
    }
    // Every width came from a float, so the one width is one too.
    m_uniformWidth = m_shaped ? m_halfWidth : static_cast<float>(one);
}

void CRoadShape::Slopes(std::size_t k) {
    for (int p = 0; p < kProperties; ++p) {
        m_slopes[static_cast<std::size_t>(p)][k] =
            MonotoneSlope(m_values[static_cast<std::size_t>(p)], k);
    }
}

bool CRoadShape::Set(std::size_t first, std::size_t count, std::span<const PointShape> shapes) {
    const std::size_t n = Count();
    if (count == 0 || n == 0) {
        return false;
    }
    bool changed = false;
    const bool wasShaped = Shaped();
    for (std::size_t k = first; k < first + count; ++k) {
        const SampleShape before = Point(k);
        Resolve(k, k < shapes.size() ? shapes[k] : PointShape{});
        const SampleShape after = Point(k);
        changed = changed || before.left != after.left || before.right != after.right ||
                  before.bank != after.bank;
    }
    if (!changed) {
        return false;
    }
    Classify();
    if (Shaped() && !wasShaped) {
        for (std::size_t k = 0; k < n; ++k) {
            Slopes(k); // the slopes of an unshaped road were never computed
        }
    } else if (Shaped()) {
        // The slope at a point reads the values two points either side of it.
        const std::size_t reach = std::min(count + 4, n);
        for (std::size_t s = 0; s < reach; ++s) {
            Slopes((first + n - 2 + s) % n);
        }
    }
    return true;
}

SampleShape CRoadShape::At(std::size_t k, int i, int divisions) const {
    if (!Shaped()) {
        return {m_uniformWidth, m_uniformWidth, 0.0};
    }
    const std::size_t next = k + 1 == Count() ? 0 : k + 1;
    const double t = static_cast<double>(i) / static_cast<double>(divisions);
    auto value = [&](int p) {
        const auto q = static_cast<std::size_t>(p);
        return MonotoneValue(m_values[q][k], m_values[q][next], m_slopes[q][k], m_slopes[q][next],
                             t);
    };
    return {value(kLeft), value(kRight), value(kBank)};
}

SampleShape CRoadShape::Point(std::size_t k) const {
    return {m_values[kLeft][k], m_values[kRight][k], m_values[kBank][k]};
}

double CRoadShape::MeanHalfWidth() const {
    if (!Shaped()) {
        return m_uniformWidth;
    }
    double sum = 0.0;
    for (std::size_t k = 0; k < Count(); ++k) {
        sum += m_values[kLeft][k] + m_values[kRight][k];
    }
    return sum / (2.0 * static_cast<double>(Count()));
}

} // namespace rolvet
