// A generated 7 km circuit sampled every 5 m, for the fit's test and benchmark: a closed polar
// curve r(θ) with five harmonics (tightest radius about 57 m), scaled to a lap of 7,000 m, with
// heights rising and falling by up to 11 m and left and right widths varying smoothly between
// 4.5 and 7.5 m.
#pragma once

#include "import/PolylineImport.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace rolvet::test {

inline ImportedLine GeneratedCircuit(double lap = 7000.0, double spacing = 5.0) {
    constexpr double kPi = std::numbers::pi;
    const auto radius = [](double t) {
        return 1.0 + 0.25 * std::cos(2.0 * t) + 0.12 * std::sin(3.0 * t + 0.5) +
               0.06 * std::cos(5.0 * t + 1.0) + 0.04 * std::sin(7.0 * t + 2.0) +
               0.025 * std::cos(11.0 * t + 0.3);
    };
    // A dense polygon of the curve and its arc length.
    constexpr int kDense = 200000;
    std::vector<double> x(kDense + 1), z(kDense + 1), along(kDense + 1, 0.0);
    for (int i = 0; i <= kDense; ++i) {
        const double t = 2.0 * kPi * i / kDense;
        x[i] = radius(t) * std::cos(t);
        z[i] = radius(t) * std::sin(t);
        if (i > 0) {
            along[i] = along[i - 1] + std::hypot(x[i] - x[i - 1], z[i] - z[i - 1]);
        }
    }
    const double scale = lap / along[kDense];
    ImportedLine line;
    const int count = static_cast<int>(std::lround(lap / spacing));
    int j = 0;
    for (int k = 0; k < count; ++k) {
        const double s = lap * k / count / scale;
        while (along[j + 1] < s) {
            ++j;
        }
        const double f = (s - along[j]) / (along[j + 1] - along[j]);
        const double u = 2.0 * kPi * k / count;
        line.points.push_back({scale * (x[j] + f * (x[j + 1] - x[j])),
                               8.0 * std::sin(u) + 3.0 * std::cos(3.0 * u),
                               scale * (z[j] + f * (z[j + 1] - z[j]))});
        line.widthLeft.push_back(6.0 + 1.5 * std::sin(3.0 * u));
        line.widthRight.push_back(5.5 + 1.0 * std::cos(4.0 * u + 1.0));
    }
    return line;
}

} // namespace rolvet::test
