#include "import/TrackFit.h"

#include "common/Strings.h"
#include "export/RoadModel.h"
#include "track/MonotoneCubic.h"

#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace rolvet {
namespace {

using Vec3 = std::array<double, 3>;

// Rounds of splitting before the fit gives up on a tolerance, and of those caused by folds.
constexpr int kMaxRounds = 40;
constexpr int kMaxFoldRounds = 4;
// Solves and re-projections per round.
constexpr int kSolvesPerRound = 4;
// Newton steps of one projection of an input point onto the curve.
constexpr int kProjectionSteps = 4;
// The first control points lie this far apart along the line (at least four of them).
constexpr double kStartSpacing = 300.0;

// The uniform Catmull-Rom curve through the closed loop at parameter u (segment floor(u) from
// control point floor(u) to the next): which four control points it reads and their weights,
// with the weights' first and second derivatives.
struct Basis {
    std::array<std::size_t, 4> index{};
    std::array<double, 4> w{}, d1{}, d2{};
};

Basis BasisAt(double u, std::size_t m) {
    const double whole = std::floor(u);
    const double t = u - whole;
    const auto mm = static_cast<long long>(m);
    const long long k = ((static_cast<long long>(whole) % mm) + mm) % mm;
    Basis b;
    for (std::size_t j = 0; j < 4; ++j) {
        b.index[j] = static_cast<std::size_t>((k - 1 + static_cast<long long>(j) + mm) % mm);
    }
    const double t2 = t * t, t3 = t2 * t;
    b.w = {0.5 * (-t3 + 2.0 * t2 - t), 0.5 * (3.0 * t3 - 5.0 * t2 + 2.0),
           0.5 * (-3.0 * t3 + 4.0 * t2 + t), 0.5 * (t3 - t2)};
    b.d1 = {0.5 * (-3.0 * t2 + 4.0 * t - 1.0), 0.5 * (9.0 * t2 - 10.0 * t),
            0.5 * (-9.0 * t2 + 8.0 * t + 1.0), 0.5 * (3.0 * t2 - 2.0 * t)};
    b.d2 = {0.5 * (-6.0 * t + 4.0), 0.5 * (18.0 * t - 10.0), 0.5 * (-18.0 * t + 8.0),
            0.5 * (6.0 * t - 2.0)};
    return b;
}

Vec3 Combine(const std::vector<Vec3>& p, const Basis& b, const std::array<double, 4>& w) {
    Vec3 r{0.0, 0.0, 0.0};
    for (std::size_t j = 0; j < 4; ++j) {
        for (std::size_t c = 0; c < 3; ++c) {
            r[c] += w[j] * p[b.index[j]][c];
        }
    }
    return r;
}

// The division count that puts samples about kTargetSampleSpacing apart along a loop of that
// length with that many segments: 1 to 4096.
int DivisionsFor(double length, std::size_t segments) {
    const double perSegment = length / static_cast<double>(segments) / kTargetSampleSpacing;
    return perSegment >= 1.0 ? static_cast<int>(std::lround(std::min(perSegment, 4096.0))) : 1;
}

double Wrap(double u, double m) {
    u = std::fmod(u, m);
    return u < 0.0 ? u + m : u;
}

// The input line, closed, with its arc length from point 0 (3D chords).
struct Input {
    const ImportedLine& line;
    std::vector<double> along;
    double length = 0.0;
    bool widths = false;

    explicit Input(const ImportedLine& l) : line(l) {
        const auto& q = line.points;
        along.resize(q.size());
        double s = 0.0;
        for (std::size_t i = 0; i < q.size(); ++i) {
            along[i] = s;
            const Vec3& a = q[i];
            const Vec3& b = q[(i + 1) % q.size()];
            s += std::sqrt((b[0] - a[0]) * (b[0] - a[0]) + (b[1] - a[1]) * (b[1] - a[1]) +
                           (b[2] - a[2]) * (b[2] - a[2]));
        }
        length = s;
        widths = line.widthLeft.size() == q.size() && line.widthRight.size() == q.size();
    }
};

class Fitter {
public:
    Fitter(const ImportedLine& line, const FitOptions& options)
        : m_in(line), m_options(options), m_n(line.points.size()) {}

    FitResult Run();

private:
    std::size_t M() const { return m_knots.size(); }
    double KnotEnd(std::size_t k) const {
        return k + 1 < M() ? m_knots[k + 1] : m_in.length + m_knots[0];
    }
    void ParametersFromKnots();
    bool Solve();
    void Project(int steps);
    void FitWidths();
    void RoundControlPoints();
    // Marks the stretches where an input point lies outside a tolerance; returns the report's
    // deviations.
    void Measure(FitReport& report, std::vector<char>* split) const;
    std::int64_t Folds(std::vector<char>* split) const;
    void Split(const std::vector<char>& split);
    int Divisions() const;
    TrackData Track() const;

    Input m_in;
    FitOptions m_options;
    std::size_t m_n;
    std::vector<double> m_knots; // arc length of each control point's place along the input
    std::vector<double> m_u;     // curve parameter of every input point
    std::vector<Vec3> m_points;  // control points (rounded to single precision once placed)
    std::vector<double> m_left, m_right;
};

void Fitter::ParametersFromKnots() {
    m_u.resize(m_n);
    std::size_t k = 0;
    for (std::size_t i = 0; i < m_n; ++i) {
        const double s = m_in.along[i];
        while (k + 1 < M() && m_knots[k + 1] <= s) {
            ++k;
        }
        const double start = m_knots[k], end = KnotEnd(k);
        m_u[i] = static_cast<double>(k) + (end > start ? (s - start) / (end - start) : 0.0);
    }
}

bool Fitter::Solve() {
    const std::size_t m = M();
    // The normal equations of the least-squares fit are banded and cyclic: control point r
    // meets only r − 3 .. r + 3. Accumulated as a band, they cost nothing per input point but
    // 16 products, however many points there are.
    constexpr int kBand = 7;
    std::vector<double> band(m * kBand, 0.0);
    Eigen::MatrixXd rhs = Eigen::MatrixXd::Zero(static_cast<Eigen::Index>(m), 3);
    for (std::size_t i = 0; i < m_n; ++i) {
        const Basis b = BasisAt(m_u[i], m);
        const Vec3& q = m_in.line.points[i];
        for (std::size_t j1 = 0; j1 < 4; ++j1) {
            const std::size_t r = b.index[j1];
            for (std::size_t j2 = 0; j2 < 4; ++j2) {
                const int offset = static_cast<int>(j2) - static_cast<int>(j1);
                band[r * kBand + static_cast<std::size_t>(offset + 3)] += b.w[j1] * b.w[j2];
            }
            for (Eigen::Index c = 0; c < 3; ++c) {
                rhs(static_cast<Eigen::Index>(r), c) += b.w[j1] * q[static_cast<std::size_t>(c)];
            }
        }
    }
    // A faint pull towards evenly bent control points keeps the system solvable where a stretch
    // holds no input point, without moving the curve measurably where it does.
    const double lambda = 1e-6 * static_cast<double>(m_n) / static_cast<double>(m);
    const std::array<double, 3> second = {1.0, -2.0, 1.0};
    for (std::size_t k = 0; k < m; ++k) {
        for (std::size_t j1 = 0; j1 < 3; ++j1) {
            const std::size_t r = (k + m - 1 + j1) % m;
            for (std::size_t j2 = 0; j2 < 3; ++j2) {
                const int offset = static_cast<int>(j2) - static_cast<int>(j1);
                band[r * kBand + static_cast<std::size_t>(offset + 3)] +=
                    lambda * second[j1] * second[j2];
            }
        }
    }
    std::vector<Eigen::Triplet<double>> entries;
    entries.reserve(band.size());
    for (std::size_t r = 0; r < m; ++r) {
        for (int offset = -3; offset <= 3; ++offset) {
            const double value = band[r * kBand + static_cast<std::size_t>(offset + 3)];
            if (value != 0.0) {
                const auto col = static_cast<std::size_t>(
                    (static_cast<long long>(r) + offset + static_cast<long long>(m)) %
                    static_cast<long long>(m));
                entries.emplace_back(static_cast<int>(r), static_cast<int>(col), value);
            }
        }
    }
    Eigen::SparseMatrix<double> normal(static_cast<Eigen::Index>(m), static_cast<Eigen::Index>(m));
    normal.setFromTriplets(entries.begin(), entries.end());
    Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> solver(normal);
    if (solver.info() != Eigen::Success) {
        return false;
    }
    const Eigen::MatrixXd x = solver.solve(rhs);
    if (solver.info() != Eigen::Success || !x.allFinite()) {
        return false;
    }
    m_points.resize(m);
    for (std::size_t k = 0; k < m; ++k) {
        for (std::size_t c = 0; c < 3; ++c) {
            m_points[k][c] = x(static_cast<Eigen::Index>(k), static_cast<Eigen::Index>(c));
        }
    }
    return true;
}

// Moves every input point's parameter to the nearest point of the curve in the plan (Newton's
// method on the squared distance, from where it was).
void Fitter::Project(int steps) {
    const double m = static_cast<double>(M());
    for (std::size_t i = 0; i < m_n; ++i) {
        const Vec3& q = m_in.line.points[i];
        double u = m_u[i];
        for (int step = 0; step < steps; ++step) {
            const Basis b = BasisAt(u, M());
            const Vec3 c = Combine(m_points, b, b.w);
            const Vec3 d1 = Combine(m_points, b, b.d1);
            const Vec3 d2 = Combine(m_points, b, b.d2);
            const double ex = c[0] - q[0], ez = c[2] - q[2];
            const double g = d1[0] * ex + d1[2] * ez;
            const double speed = d1[0] * d1[0] + d1[2] * d1[2];
            double h = speed + d2[0] * ex + d2[2] * ez;
            if (!(h > 0.0)) {
                h = speed;
            }
            if (!(h > 0.0)) {
                break;
            }
            const double delta = std::clamp(-g / h, -0.5, 0.5);
            u = Wrap(u + delta, m);
            if (std::fabs(delta) < 1e-9) {
                break;
            }
        }
        m_u[i] = u;
    }
}

// Each control point's widths: the input widths near it, weighted by how close their
// parameter is (1 at the point, 0 one control point away).
void Fitter::FitWidths() {
    if (!m_in.widths) {
        return;
    }
    const std::size_t m = M();
    std::vector<double> left(m, 0.0), right(m, 0.0), weight(m, 0.0);
    for (std::size_t i = 0; i < m_n; ++i) {
        const double whole = std::floor(m_u[i]);
        const double t = m_u[i] - whole;
        const auto k = static_cast<std::size_t>(whole) % m;
        const std::size_t next = (k + 1) % m;
        left[k] += (1.0 - t) * m_in.line.widthLeft[i];
        right[k] += (1.0 - t) * m_in.line.widthRight[i];
        weight[k] += 1.0 - t;
        left[next] += t * m_in.line.widthLeft[i];
        right[next] += t * m_in.line.widthRight[i];
        weight[next] += t;
    }
    m_left.resize(m);
    m_right.resize(m);
    for (std::size_t k = 0; k < m; ++k) {
        if (weight[k] > 0.0) {
            m_left[k] = left[k] / weight[k];
            m_right[k] = right[k] / weight[k];
        } else {
            // No input point near: the input's widths where the control point was placed.
            const auto it = std::upper_bound(m_in.along.begin(), m_in.along.end(), m_knots[k]);
            const std::size_t i = it == m_in.along.begin()
                                      ? 0
                                      : static_cast<std::size_t>(it - m_in.along.begin()) - 1;
            m_left[k] = m_in.line.widthLeft[i];
            m_right[k] = m_in.line.widthRight[i];
        }
        m_left[k] = static_cast<float>(m_left[k]);
        m_right[k] = static_cast<float>(m_right[k]);
    }
}

void Fitter::RoundControlPoints() {
    for (Vec3& p : m_points) {
        for (double& c : p) {
            c = static_cast<float>(c);
        }
    }
}

void Fitter::Measure(FitReport& report, std::vector<char>* split) const {
    const std::size_t m = M();
    MonotoneLoop left, right;
    if (m_in.widths) {
        left = MonotoneLoop(m_left);
        right = MonotoneLoop(m_right);
    }
    report.maxDeviation = report.maxHeightDeviation = report.maxWidthDeviation = 0.0;
    for (std::size_t i = 0; i < m_n; ++i) {
        const Basis b = BasisAt(m_u[i], m);
        const Vec3 c = Combine(m_points, b, b.w);
        const Vec3& q = m_in.line.points[i];
        const double plan = std::hypot(c[0] - q[0], c[2] - q[2]);
        const double height = std::fabs(c[1] - q[1]);
        double width = 0.0;
        const std::size_t k = b.index[1];
        if (m_in.widths) {
            const double t = m_u[i] - std::floor(m_u[i]);
            width = std::max(std::fabs(left.At(k, t) - m_in.line.widthLeft[i]),
                             std::fabs(right.At(k, t) - m_in.line.widthRight[i]));
        }
        report.maxDeviation = std::max(report.maxDeviation, plan);
        report.maxHeightDeviation = std::max(report.maxHeightDeviation, height);
        report.maxWidthDeviation = std::max(report.maxWidthDeviation, width);
        if (split != nullptr &&
            (!(plan <= m_options.tolerance) || !(height <= m_options.tolerance) ||
             !(width <= m_options.widthTolerance))) {
            (*split)[k] = 1;
        }
    }
}

int Fitter::Divisions() const {
    return DivisionsFor(m_in.length, M());
}

TrackData Fitter::Track() const {
    TrackData track;
    track.divisionCount = Divisions();
    track.vertices.reserve(M());
    for (const Vec3& p : m_points) {
        track.vertices.emplace_back(static_cast<float>(p[0]), static_cast<float>(p[1]),
                                    static_cast<float>(p[2]));
    }
    if (m_in.widths) {
        double sum = 0.0;
        track.shapes.resize(M());
        for (std::size_t k = 0; k < M(); ++k) {
            track.shapes[k].widthLeft = static_cast<float>(m_left[k]);
            track.shapes[k].widthRight = static_cast<float>(m_right[k]);
            sum += m_left[k] + m_right[k];
        }
        track.roadWidth = static_cast<std::int32_t>(std::lround(sum / static_cast<double>(M())));
    }
    return track;
}

// The folds of the fitted road, at the mean of the input's widths (the centre line alone
// without widths); marks the stretches they lie on.
std::int64_t Fitter::Folds(std::vector<char>* split) const {
    const TrackData track = Track();
    float halfWidth = 0.0f;
    if (m_in.widths) {
        double sum = 0.0;
        for (std::size_t i = 0; i < m_n; ++i) {
            sum += m_in.line.widthLeft[i] + m_in.line.widthRight[i];
        }
        halfWidth = static_cast<float>(0.25 * sum / static_cast<double>(m_n));
    }
    CRoadModel model;
    model.Update(track.vertices, track.divisionCount, halfWidth);
    if (model.State() != RoadModelState::Ok) {
        return 0;
    }
    const std::vector<std::int64_t> folds = model.FoldSamples();
    if (split != nullptr) {
        for (const std::int64_t j : folds) {
            (*split)[static_cast<std::size_t>(j / track.divisionCount)] = 1;
        }
    }
    return static_cast<std::int64_t>(folds.size());
}

void Fitter::Split(const std::vector<char>& split) {
    std::vector<double> knots;
    knots.reserve(M() * 2);
    for (std::size_t k = 0; k < M(); ++k) {
        knots.push_back(m_knots[k]);
        if (split[k]) {
            knots.push_back(0.5 * (m_knots[k] + KnotEnd(k)));
        }
    }
    m_knots = std::move(knots);
    // No stretch more than twice as long as a neighbour.
    for (bool again = true; again && M() < m_n;) {
        again = false;
        std::vector<char> longer(M(), 0);
        for (std::size_t k = 0; k < M(); ++k) {
            const double length = KnotEnd(k) - m_knots[k];
            const std::size_t before = (k + M() - 1) % M(), after = (k + 1) % M();
            const double neighbour =
                std::min(KnotEnd(before) - m_knots[before], KnotEnd(after) - m_knots[after]);
            if (length > 2.0 * neighbour * (1.0 + 1e-9)) {
                longer[k] = 1;
                again = true;
            }
        }
        if (again) {
            knots.clear();
            for (std::size_t k = 0; k < M(); ++k) {
                knots.push_back(m_knots[k]);
                if (longer[k]) {
                    knots.push_back(0.5 * (m_knots[k] + KnotEnd(k)));
                }
            }
            m_knots = knots;
        }
    }
}

FitResult Fitter::Run() {
    FitResult result;
    result.report.inputPoints = m_n;
    if (!std::isfinite(m_in.length) || !(m_in.length > 0.0)) {
        // Coordinates too large to measure: nothing to fit them with.
        result.track = KeepEveryPoint(m_in.line);
        result.report.controlPoints = m_n;
        result.report.divisions = result.track.divisionCount;
        return result;
    }
    const std::size_t start = static_cast<std::size_t>(
        std::clamp(std::ceil(m_in.length / kStartSpacing), 4.0, static_cast<double>(m_n)));
    m_knots.resize(start);
    for (std::size_t k = 0; k < start; ++k) {
        m_knots[k] = m_in.length * static_cast<double>(k) / static_cast<double>(start);
    }
    int foldRounds = 0;
    bool solved = false;
    for (int round = 0; round < kMaxRounds; ++round) {
        ParametersFromKnots();
        solved = true;
        for (int solve = 0; solve < kSolvesPerRound && solved; ++solve) {
            solved = Solve();
            if (solved) {
                Project(kProjectionSteps);
            }
        }
        if (!solved) {
            break;
        }
        RoundControlPoints();
        Project(kProjectionSteps);
        FitWidths();
        std::vector<char> split(M(), 0);
        Measure(result.report, &split);
        const bool outside = std::find(split.begin(), split.end(), 1) != split.end();
        if (!outside && foldRounds < kMaxFoldRounds && Folds(&split) > 0) {
            ++foldRounds;
        } else if (!outside) {
            break;
        }
        if (M() >= m_n) {
            break;
        }
        Split(split);
    }
    if (!solved) {
        // The least-squares system could not be solved (it always can in exact arithmetic):
        // keep every input point instead.
        result.track = KeepEveryPoint(m_in.line);
        result.report.controlPoints = m_n;
        result.report.divisions = result.track.divisionCount;
        return result;
    }
    Measure(result.report, nullptr);
    result.track = Track();
    result.report.controlPoints = M();
    result.report.divisions = result.track.divisionCount;
    result.report.folds = Folds(nullptr);
    result.report.withinTolerance = result.report.maxDeviation <= m_options.tolerance &&
                                    result.report.maxHeightDeviation <= m_options.tolerance &&
                                    result.report.maxWidthDeviation <= m_options.widthTolerance;
    return result;
}

} // namespace

FitResult FitTrack(const ImportedLine& line, const FitOptions& options) {
    return Fitter(line, options).Run();
}

std::string ImportToleranceNote(const FitReport& report) {
    std::string text = Translate(str::kImportToleranceMissed);
    const auto metres = [](double value) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.3f", value);
        return std::string(buffer);
    };
    const std::string values[] = {std::to_string(report.controlPoints), metres(report.maxDeviation),
                                  metres(report.maxHeightDeviation),
                                  metres(report.maxWidthDeviation)};
    for (std::size_t k = 0; k < std::size(values); ++k) {
        // Built by appending: GCC 12 at -O3 warns (wrongly) about "literal" + a temporary.
        std::string mark(1, '%');
        mark += std::to_string(k + 1);
        if (const std::size_t pos = text.find(mark); pos != std::string::npos) {
            text.replace(pos, mark.size(), values[k]);
        }
    }
    return text;
}

TrackData KeepEveryPoint(const ImportedLine& line) {
    const Input in(line);
    TrackData track;
    const std::size_t n = line.points.size();
    track.vertices.reserve(n);
    for (const Vec3& p : line.points) {
        track.vertices.emplace_back(static_cast<float>(p[0]), static_cast<float>(p[1]),
                                    static_cast<float>(p[2]));
    }
    if (n > 0) {
        track.divisionCount = DivisionsFor(in.length, n);
    }
    if (in.widths) {
        double sum = 0.0;
        track.shapes.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            track.shapes[i].widthLeft = static_cast<float>(line.widthLeft[i]);
            track.shapes[i].widthRight = static_cast<float>(line.widthRight[i]);
            sum += line.widthLeft[i] + line.widthRight[i];
        }
        track.roadWidth = static_cast<std::int32_t>(std::lround(sum / static_cast<double>(n)));
    }
    return track;
}

} // namespace rolvet
