#include "track/MonotoneCubic.h"

#include <algorithm>
#include <cmath>

namespace rolvet {

namespace {

// The secant of segment j (from value j to value j + 1, around the loop).
double Secant(std::span<const double> v, std::size_t j) {
    return v[(j + 1) % v.size()] - v[j];
}

// The three-point slope at k before limiting: the mean of the two secants, zero where they
// differ in sign or either is zero (an extremum or a flat stretch).
double RawSlope(std::span<const double> v, std::size_t k) {
    const std::size_t n = v.size();
    const double before = Secant(v, (k + n - 1) % n);
    const double after = Secant(v, k);
    if (before * after <= 0.0) {
        return 0.0;
    }
    return (before + after) / 2.0;
}

// How much the slopes at both ends of segment j must shrink so that it stays monotone: with
// alpha, beta the end slopes over the secant, the segment is monotone when alpha² + beta² <= 9.
double SegmentLimit(std::span<const double> v, std::size_t j) {
    const double secant = Secant(v, j);
    if (secant == 0.0) {
        return 0.0; // a flat segment stays flat
    }
    const double alpha = RawSlope(v, j) / secant;
    const double beta = RawSlope(v, (j + 1) % v.size()) / secant;
    const double r2 = alpha * alpha + beta * beta;
    return r2 > 9.0 ? 3.0 / std::sqrt(r2) : 1.0;
}

} // namespace

double MonotoneSlope(std::span<const double> values, std::size_t k) {
    const std::size_t n = values.size();
    if (n < 2) {
        return 0.0;
    }
    // Shrinking a slope never takes a segment out of its monotone region, so each slope takes
    // the stronger of the two limits of the segments it belongs to.
    const double limit = std::min(SegmentLimit(values, (k + n - 1) % n), SegmentLimit(values, k));
    return RawSlope(values, k) * limit;
}

double MonotoneValue(double y0, double y1, double m0, double m1, double t) {
    const double t2 = t * t;
    const double t3 = t2 * t;
    const double h00 = 2.0 * t3 - 3.0 * t2 + 1.0;
    const double h10 = t3 - 2.0 * t2 + t;
    const double h01 = -2.0 * t3 + 3.0 * t2;
    const double h11 = t3 - t2;
    const double y = h00 * y0 + h10 * m0 + h01 * y1 + h11 * m1;
    return std::clamp(y, std::min(y0, y1), std::max(y0, y1));
}

MonotoneLoop::MonotoneLoop(std::vector<double> values)
    : m_values(std::move(values)), m_slopes(m_values.size()) {
    for (std::size_t k = 0; k < m_values.size(); ++k) {
        m_slopes[k] = MonotoneSlope(m_values, k);
    }
}

double MonotoneLoop::At(std::size_t k, double t) const {
    const std::size_t next = (k + 1) % m_values.size();
    return MonotoneValue(m_values[k], m_values[next], m_slopes[k], m_slopes[next], t);
}

} // namespace rolvet
