#include "racing/RacingLine.h"

#include <Eigen/Cholesky>
#include <Eigen/Dense>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>

namespace rolvet {
namespace {

using SparseMatrix = Eigen::SparseMatrix<double>;
using Vector = Eigen::VectorXd;

// Rounds of the bounded step's solver, and its accuracy in metres: it stops once the optimality
// conditions hold to within that distance.
constexpr int kMaxQpRounds = 60;
constexpr double kQpTolerance = 1e-6;
// Halvings of a step before the line gives up improving.
constexpr int kMaxStepHalvings = 12;
// Sufficient decrease a step must achieve, as a share of the decrease the linear model predicts.
constexpr double kArmijo = 1e-4;

// The signed curvature of the circle through three plan points P, Q, R (Menger curvature
// 2·(a × b) / (|a|·|b|·|a + b|) with a = Q − P, b = R − Q), and its gradient with respect to
// each point. Points closer than the square root of tinySquared count as a straight piece.
struct CircleCurvature {
    double kappa = 0.0;
    std::array<double, 2> dp{}, dq{}, dr{};
};

CircleCurvature Curvature(double px, double pz, double qx, double qz, double rx, double rz,
                          double tinySquared) {
    CircleCurvature k;
    const double ax = qx - px, az = qz - pz;
    const double bx = rx - qx, bz = rz - qz;
    const double cx = ax + bx, cz = az + bz;
    const double aa = ax * ax + az * az, bb = bx * bx + bz * bz, cc = cx * cx + cz * cz;
    if (aa <= tinySquared || bb <= tinySquared || cc <= tinySquared) {
        return k;
    }
    const double g = std::sqrt(aa * bb * cc);
    const double f = ax * bz - az * bx;
    k.kappa = 2.0 * f / g;
    // dκ = (2/g)·df − κ·d(ln g), with d(ln g)/da = a/|a|² + c/|c|², d(ln g)/db = b/|b|² + c/|c|².
    const double s = 2.0 / g;
    const double daX = s * bz - k.kappa * (ax / aa + cx / cc);
    const double daZ = -s * bx - k.kappa * (az / aa + cz / cc);
    const double dbX = -s * az - k.kappa * (bx / bb + cx / cc);
    const double dbZ = s * ax - k.kappa * (bz / bb + cz / cc);
    k.dp = {-daX, -daZ};
    k.dq = {daX - dbX, daZ - dbZ};
    k.dr = {dbX, dbZ};
    return k;
}

// The factorisation behind every linear solve of the active-set method.
class CLinearSolver {
public:
    virtual ~CLinearSolver() = default;
    virtual bool Factor(const SparseMatrix& m) = 0;
    virtual Vector Solve(const Vector& b) const = 0;
};

// Banded and cyclic: a sparse LDLT with a fill-reducing ordering, analysed once.
class CSparseSolver final : public CLinearSolver {
public:
    bool Factor(const SparseMatrix& m) override {
        if (!m_analysed) {
            m_ldlt.analyzePattern(m);
            m_analysed = true;
        }
        m_ldlt.factorize(m);
        return m_ldlt.info() == Eigen::Success;
    }
    Vector Solve(const Vector& b) const override { return m_ldlt.solve(b); }

private:
    Eigen::SimplicialLDLT<SparseMatrix> m_ldlt;
    bool m_analysed = false;
};

// The same system as a full matrix (blocked dense Cholesky).
class CDenseSolver final : public CLinearSolver {
public:
    bool Factor(const SparseMatrix& m) override {
        m_llt.compute(Eigen::MatrixXd(m));
        return m_llt.info() == Eigen::Success;
    }
    Vector Solve(const Vector& b) const override { return m_llt.solve(b); }

private:
    Eigen::LLT<Eigen::MatrixXd> m_llt;
};

// Minimises ½·xᵀHx + gᵀx subject to l <= x <= u by a primal-dual interior-point method
// (Mehrotra's predictor-corrector). Each round factorises H plus a positive diagonal (the
// barrier of the bounds) on one sparsity pattern and takes two solves; the method needs a few
// dozen rounds however many bounds end up active, and in directions where the objective is flat
// it settles in the middle of the best offsets rather than wherever it happened to stop.
// Offsets with l = u keep that value through an identity row (scaled like H). Returns false
// when the factorisation fails.
bool SolveBoxQp(const SparseMatrix& h, const Vector& g, const Vector& l, const Vector& u,
                CLinearSolver& solver, const std::function<bool()>& cancelled, Vector& x,
                int& rounds) {
    const Eigen::Index n = g.size();
    const double c = std::max(h.diagonal().mean(), std::numeric_limits<double>::min());
    const Vector w = u - l;
    std::vector<unsigned char> pinned(static_cast<std::size_t>(n));
    Eigen::Index free = 0;
    double meanWidth = 0.0;
    for (Eigen::Index i = 0; i < n; ++i) {
        pinned[static_cast<std::size_t>(i)] = !(w[i] > 0.0);
        if (w[i] > 0.0) {
            ++free;
            meanWidth += w[i];
        }
    }
    x = l;
    if (free == 0) {
        return true;
    }
    meanWidth /= static_cast<double>(free);

    // Start strictly inside the box, near x = 0 (the last line), with multipliers of the size
    // of the curvature terms.
    Vector zl(n), zu(n);
    const double z0 = std::max(c * meanWidth, g.cwiseAbs().maxCoeff());
    for (Eigen::Index i = 0; i < n; ++i) {
        if (!pinned[static_cast<std::size_t>(i)]) {
            x[i] = std::clamp(0.0, l[i] + 0.05 * w[i], u[i] - 0.05 * w[i]);
        }
        zl[i] = zu[i] = pinned[static_cast<std::size_t>(i)] ? 0.0 : z0;
    }

    SparseMatrix m = h;
    const int* outer = h.outerIndexPtr();
    const int* inner = h.innerIndexPtr();
    const double* hv = h.valuePtr();
    double* mv = m.valuePtr();
    Vector sl(n), su(n), rd(n), diag(n), rhs(n), dx(n), dzl(n), dzu(n);
    // The largest step in (0, 1] that keeps v + t·dv >= 0 on the free offsets.
    auto maxStep = [&](const Vector& v, const Vector& dv) {
        double t = 1.0;
        for (Eigen::Index i = 0; i < n; ++i) {
            if (!pinned[static_cast<std::size_t>(i)] && dv[i] < 0.0) {
                t = std::min(t, -v[i] / dv[i]);
            }
        }
        return t;
    };
    auto multiplierSteps = [&](const Vector& tl, const Vector& tu) {
        for (Eigen::Index i = 0; i < n; ++i) {
            if (pinned[static_cast<std::size_t>(i)]) {
                dzl[i] = dzu[i] = 0.0;
            } else {
                dzl[i] = (tl[i] - zl[i] * sl[i] - zl[i] * dx[i]) / sl[i];
                dzu[i] = (tu[i] - zu[i] * su[i] + zu[i] * dx[i]) / su[i];
            }
        }
    };
    auto solve = [&](const Vector& tl, const Vector& tu) {
        for (Eigen::Index i = 0; i < n; ++i) {
            rhs[i] = pinned[static_cast<std::size_t>(i)]
                         ? 0.0
                         : -rd[i] + (tl[i] / sl[i] - zl[i]) - (tu[i] / su[i] - zu[i]);
        }
        dx = solver.Solve(rhs);
        multiplierSteps(tl, tu);
        return dx.allFinite();
    };

    for (int round = 0; round < kMaxQpRounds; ++round) {
        if (cancelled && cancelled()) {
            return true;
        }
        sl = x - l;
        su = u - x;
        rd = h * x + g - zl + zu;
        double gap = 0.0, residual = 0.0;
        for (Eigen::Index i = 0; i < n; ++i) {
            if (pinned[static_cast<std::size_t>(i)]) {
                rd[i] = 0.0;
            } else {
                gap += sl[i] * zl[i] + su[i] * zu[i];
                residual = std::max(residual, std::fabs(rd[i]));
            }
        }
        const double mu = gap / static_cast<double>(2 * free);
        if (residual < kQpTolerance * c && mu < kQpTolerance * kQpTolerance * c) {
            break;
        }
        ++rounds;
        for (Eigen::Index i = 0; i < n; ++i) {
            diag[i] = pinned[static_cast<std::size_t>(i)] ? 0.0 : zl[i] / sl[i] + zu[i] / su[i];
        }
        for (Eigen::Index col = 0; col < n; ++col) {
            const bool pinnedCol = pinned[static_cast<std::size_t>(col)] != 0;
            for (int p = outer[col]; p < outer[col + 1]; ++p) {
                const int row = inner[p];
                if (pinnedCol || pinned[static_cast<std::size_t>(row)] != 0) {
                    mv[p] = row == col ? c : 0.0;
                } else {
                    mv[p] = row == col ? hv[p] + diag[col] : hv[p];
                }
            }
        }
        if (!solver.Factor(m)) {
            return false;
        }
        // Predictor: the pure Newton step towards the bounded minimum.
        const Vector zero = Vector::Zero(n);
        if (!solve(zero, zero)) {
            return false;
        }
        const double tp = std::min(maxStep(sl, dx), maxStep(su, -dx));
        const double td = std::min(maxStep(zl, dzl), maxStep(zu, dzu));
        const double t0 = std::min(tp, td);
        double gapAffine = 0.0;
        for (Eigen::Index i = 0; i < n; ++i) {
            if (!pinned[static_cast<std::size_t>(i)]) {
                gapAffine += (sl[i] + t0 * dx[i]) * (zl[i] + t0 * dzl[i]) +
                             (su[i] - t0 * dx[i]) * (zu[i] + t0 * dzu[i]);
            }
        }
        const double sigma = std::pow(gapAffine / gap, 3);
        // Corrector: centring plus the second-order term of the predictor.
        const Vector tl = (sigma * mu - dx.cwiseProduct(dzl).array()).matrix();
        const Vector tu = (sigma * mu + dx.cwiseProduct(dzu).array()).matrix();
        if (!solve(tl, tu)) {
            return false;
        }
        const double t = 0.995 * std::min({maxStep(sl, dx), maxStep(su, -dx), maxStep(zl, dzl),
                                           maxStep(zu, dzu), 1.0 / 0.995});
        x += t * dx;
        zl += t * dzl;
        zu += t * dzu;
    }
    x = x.cwiseMax(l).cwiseMin(u);
    return true;
}

// The road as the solver sees it: plan centres, unit normals and the offset bounds.
class CRoad {
public:
    Eigen::Index n = 0;
    Vector cx, cz, nx, nz, lo, hi;
    double tinySquared = 0.0;

    // The plan points of the line with offsets a.
    void Points(const Vector& a, Vector& x, Vector& z) const {
        x = cx + a.cwiseProduct(nx);
        z = cz + a.cwiseProduct(nz);
    }

    Eigen::Index Prev(Eigen::Index i) const { return i == 0 ? n - 1 : i - 1; }
    Eigen::Index Next(Eigen::Index i) const { return i + 1 == n ? 0 : i + 1; }

    CircleCurvature At(const Vector& x, const Vector& z, Eigen::Index i) const {
        const Eigen::Index p = Prev(i), q = Next(i);
        return Curvature(x[p], z[p], x[i], z[i], x[q], z[q], tinySquared);
    }

    double Objective(const Vector& a) const {
        Vector x, z;
        Points(a, x, z);
        double sum = 0.0;
        for (Eigen::Index i = 0; i < n; ++i) {
            const double k = At(x, z, i).kappa;
            sum += k * k;
        }
        return sum;
    }
};

// The Gauss-Newton model of the objective at offsets a: the curvatures κ, the Jacobian J of the
// curvatures with respect to the offsets (rows i touch offsets i−1, i, i+1), H = JᵀJ (cyclic
// pentadiagonal) and g = Jᵀκ. Returns ½·Σκ².
double Linearise(const CRoad& road, const Vector& a, SparseMatrix& h, Vector& g,
                 std::vector<Eigen::Triplet<double>>& triplets) {
    Vector x, z;
    road.Points(a, x, z);
    g.setZero(road.n);
    triplets.clear();
    double half = 0.0;
    for (Eigen::Index i = 0; i < road.n; ++i) {
        const CircleCurvature k = road.At(x, z, i);
        const std::array<Eigen::Index, 3> cols = {road.Prev(i), i, road.Next(i)};
        const std::array<std::array<double, 2>, 3> grads = {k.dp, k.dq, k.dr};
        std::array<double, 3> row{};
        for (int j = 0; j < 3; ++j) {
            row[j] = grads[j][0] * road.nx[cols[j]] + grads[j][1] * road.nz[cols[j]];
            g[cols[j]] += row[j] * k.kappa;
        }
        for (int j = 0; j < 3; ++j) {
            for (int m = 0; m < 3; ++m) {
                triplets.emplace_back(static_cast<int>(cols[j]), static_cast<int>(cols[m]),
                                      row[j] * row[m]);
            }
        }
        half += 0.5 * k.kappa * k.kappa;
    }
    h.resize(road.n, road.n);
    h.setFromTriplets(triplets.begin(), triplets.end());
    return half;
}

double WidthAt(std::span<const float> widths, std::size_t i) {
    return static_cast<double>(widths.size() == 1 ? widths[0] : widths[i]);
}

bool Finite(const CVector3D& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

RacingLine SolveRacingLine(const RacingInput& input, const RacingOptions& options) {
    RacingLine line;
    const std::size_t count = input.centres.size();
    auto widthsFit = [count](std::span<const float> w) {
        return w.size() == count || w.size() == 1;
    };
    if (count < 3 || input.sides.size() != count || !widthsFit(input.widthLeft) ||
        !widthsFit(input.widthRight) || (!input.rise.empty() && input.rise.size() != count)) {
        line.status = RacingStatus::NoRoad;
        return line;
    }
    const std::int64_t limit =
        options.solver == RacingLinearSolver::Dense ? kMaxDenseRacingSamples : kMaxRacingSamples;
    if (count > static_cast<std::size_t>(limit)) {
        line.status = RacingStatus::TooLarge;
        return line;
    }
    const double v = input.vehicleWidth;
    bool finite = std::isfinite(v) && v >= 0.0;
    for (std::size_t i = 0; finite && i < count; ++i) {
        finite = Finite(input.centres[i]) && Finite(input.sides[i]) &&
                 std::isfinite(WidthAt(input.widthLeft, i)) &&
                 std::isfinite(WidthAt(input.widthRight, i)) &&
                 (input.rise.empty() || std::isfinite(input.rise[i]));
    }
    if (!finite) {
        line.status = RacingStatus::NotFinite;
        return line;
    }

    CRoad road;
    const auto n = static_cast<Eigen::Index>(count);
    road.n = n;
    road.cx.resize(n), road.cz.resize(n), road.nx.resize(n), road.nz.resize(n);
    road.lo.resize(n), road.hi.resize(n);
    double perimeter = 0.0;
    for (Eigen::Index i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        road.cx[i] = input.centres[k].x;
        road.cz[i] = input.centres[k].z;
        const double sx = input.sides[k].x, sz = input.sides[k].z;
        const double length = std::hypot(sx, sz);
        const bool hasSide = length > 1e-12;
        road.nx[i] = hasSide ? sx / length : 0.0;
        road.nz[i] = hasSide ? sz / length : 0.0;
        const double lo = v / 2.0 - WidthAt(input.widthLeft, k);
        const double hi = WidthAt(input.widthRight, k) - v / 2.0;
        if (lo > hi) {
            line.narrowSamples.push_back(i);
        }
        const bool pinned = lo > hi || !hasSide;
        road.lo[i] = pinned ? 0.0 : lo;
        road.hi[i] = pinned ? 0.0 : hi;
        if (i > 0) {
            perimeter += std::hypot(road.cx[i] - road.cx[i - 1], road.cz[i] - road.cz[i - 1]);
        }
    }
    // Points this much closer together than the mean spacing count as one point.
    road.tinySquared = std::pow(1e-6 * perimeter / static_cast<double>(n), 2);

    std::unique_ptr<CLinearSolver> solver;
    if (options.solver == RacingLinearSolver::Dense) {
        solver = std::make_unique<CDenseSolver>();
    } else {
        solver = std::make_unique<CSparseSolver>();
    }

    Vector a = Vector::Zero(n).cwiseMax(road.lo).cwiseMin(road.hi);
    SparseMatrix h;
    Vector g, step, l, u;
    std::vector<Eigen::Triplet<double>> triplets;
    triplets.reserve(static_cast<std::size_t>(9 * n));
    for (int iteration = 1; iteration <= kRacingMaxIterations; ++iteration) {
        if (options.cancelled && options.cancelled()) {
            line.status = RacingStatus::Cancelled;
            return line;
        }
        const double half = Linearise(road, a, h, g, triplets);
        const double meanDiagonal = h.diagonal().mean();
        if (!(meanDiagonal > 0.0)) {
            line.converged = true; // no offset changes any curvature
            break;
        }
        // A touch of damping keeps H positive definite where the line is straight.
        h.diagonal().array() += 1e-12 * meanDiagonal;
        l = road.lo - a;
        u = road.hi - a;
        if (!SolveBoxQp(h, g, l, u, *solver, options.cancelled, step, line.solves)) {
            line.status = RacingStatus::Failed;
            return line;
        }
        if (options.cancelled && options.cancelled()) {
            line.status = RacingStatus::Cancelled;
            return line;
        }
        line.iterations = iteration;

        // Backtrack along the step until the true objective falls enough.
        const double slope = g.dot(step);
        double t = 1.0;
        bool accepted = false;
        for (int halving = 0; halving <= kMaxStepHalvings; ++halving, t *= 0.5) {
            const double trial = 0.5 * road.Objective(a + t * step);
            if (trial < half && (slope >= 0.0 || trial <= half + kArmijo * t * slope)) {
                accepted = true;
                break;
            }
        }
        const double largest = accepted ? t * step.cwiseAbs().maxCoeff() : 0.0;
        if (accepted) {
            a = (a + t * step).cwiseMax(road.lo).cwiseMin(road.hi);
        }
        if (largest < kRacingSettleDistance) {
            line.converged = true;
            break;
        }
    }

    Vector x, z;
    road.Points(a, x, z);
    line.offsets.assign(a.data(), a.data() + n);
    line.points.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto k = static_cast<Eigen::Index>(i);
        const double lift = input.rise.empty() ? 0.0 : a[k] * input.rise[i];
        line.points[i] = {x[k], static_cast<double>(input.centres[i].y) + lift, z[k]};
    }
    double bestCurvature = 0.0;
    for (Eigen::Index i = 0; i < n; ++i) {
        const RacingPoint& p = line.points[static_cast<std::size_t>(i)];
        const RacingPoint& q = line.points[static_cast<std::size_t>(road.Next(i))];
        line.length += std::sqrt((q.x - p.x) * (q.x - p.x) + (q.y - p.y) * (q.y - p.y) +
                                 (q.z - p.z) * (q.z - p.z));
        const double k = std::fabs(road.At(x, z, i).kappa);
        if (k > bestCurvature) {
            bestCurvature = k;
            line.minRadiusSample = i;
        }
    }
    if (bestCurvature > 0.0) {
        line.minRadius = 1.0 / bestCurvature;
    }
    line.status = RacingStatus::Ok;
    return line;
}

} // namespace rolvet
