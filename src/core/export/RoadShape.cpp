#include "export/RoadShape.h"

#include "track/MonotoneCubic.h"

#include <algorithm>

namespace rolvet {

namespace {

constexpr unsigned char kShaped = 1;
constexpr unsigned char kWidened = 2;

} // namespace

CRoadShape::CRoadShape(std::span<const PointShape> shapes, std::size_t n, float halfWidth)
    : m_halfWidth(halfWidth), m_flags(n, 0) {
    for (auto* v : {&m_values, &m_slopes}) {
        for (std::vector<double>& property : *v) {
            property.assign(n, 0.0);
        }
    }
    for (std::size_t k = 0; k < n; ++k) {
        Resolve(k, k < shapes.size() ? shapes[k] : PointShape{});
    }
    if (Shaped()) {
        for (std::size_t k = 0; k < n; ++k) {
            Slopes(k);
        }
    }
}

void CRoadShape::Resolve(std::size_t k, const PointShape& shape) {
    const auto side = static_cast<double>(m_halfWidth);
    const double left = shape.widthLeft ? static_cast<double>(*shape.widthLeft) : side;
    const double right = shape.widthRight ? static_cast<double>(*shape.widthRight) : side;
    const double bank = shape.bank ? static_cast<double>(*shape.bank) : 0.0;
    m_values[kLeft][k] = left;
    m_values[kRight][k] = right;
    m_values[kBank][k] = bank;
    const bool widened = left != side || right != side;
    const unsigned char flags = static_cast<unsigned char>(
        (widened || bank != 0.0 ? kShaped : 0) | (widened ? kWidened : 0));
    m_shapedPoints += (flags & kShaped ? 1u : 0u);
    m_shapedPoints -= (m_flags[k] & kShaped ? 1u : 0u);
    m_widenedPoints += (flags & kWidened ? 1u : 0u);
    m_widenedPoints -= (m_flags[k] & kWidened ? 1u : 0u);
    m_flags[k] = flags;
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
        return {m_halfWidth, m_halfWidth, 0.0};
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
    if (!Shaped() || Count() == 0) {
        return m_halfWidth;
    }
    double sum = 0.0;
    for (std::size_t k = 0; k < Count(); ++k) {
        sum += m_values[kLeft][k] + m_values[kRight][k];
    }
    return sum / (2.0 * static_cast<double>(Count()));
}

} // namespace rolvet
