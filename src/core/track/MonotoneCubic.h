// A value given at every control point of the closed track (a width, a bank angle), carried
// along the road by a monotone cubic (Fritsch–Carlson) over the spline's own parameter: on
// segment k, t = 0 is control value k and t = 1 control value k + 1 (the last segment runs from
// the last value back to the first). The curve passes through every control value, has a
// continuous slope, and never leaves the range of the two values it joins, so widths that are
// never negative at the points are never negative between them.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace rolvet {

// The slope at control value k of the closed sequence of values (Fritsch–Carlson: the mean of
// the neighbouring secants, zero at an extremum, limited so that neither neighbouring segment
// overshoots). It depends on values k − 2 .. k + 2 only, so a changed value changes the slopes of
// its five neighbours and nothing else, whatever order they are computed in.
double MonotoneSlope(std::span<const double> values, std::size_t k);

// The cubic Hermite value at t (0..1) between y0 and y1 with slopes m0 and m1 (per unit of t),
// kept between y0 and y1: with slopes from MonotoneSlope only rounding could leave that range.
double MonotoneValue(double y0, double y1, double m0, double m1, double t);

class MonotoneLoop {
public:
    MonotoneLoop() = default;
    explicit MonotoneLoop(std::vector<double> values);

    std::size_t Count() const { return m_values.size(); }
    // The value at t (0..1) of segment k (0 <= k < Count()).
    double At(std::size_t k, double t) const;
    // Sample i of segment k at d divisions: t = i / d.
    double Sample(std::size_t k, int i, int divisions) const {
        return At(k, static_cast<double>(i) / static_cast<double>(divisions));
    }

private:
    std::vector<double> m_values;
    std::vector<double> m_slopes;
};

} // namespace rolvet
