#include "export/RoadModel.h"

#include "export/Parallel.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <mutex>
#include <numbers>

namespace rolvet {

namespace {

// The inner lines lie at this fraction of the half width, as the texture's bands expect.
constexpr double kInnerLine = 0.9;
// The Metasequoia model's inner offset: the single-precision float nearest 0.9, applied to the
// already scaled side vector.
constexpr float kInnerLineF = 0.9f;
// Degrees to radians.
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
// A thread is worth starting for about this many samples.
constexpr std::size_t kSamplesPerThread = 16384;
// Leaves of the summary tree per subtree that one thread sums.
constexpr std::size_t kTreeBlock = 2048;
// The difference quotient of the Metasequoia model is trusted when it is longer than this many
// units in the last place of the largest control-point coordinate (see PlainSection).
constexpr float kMeaningfulUlps = 8.0f;

Double3 Minus(const CVector3D& a, const CVector3D& b) {
    return {static_cast<double>(a.x) - static_cast<double>(b.x),
            static_cast<double>(a.y) - static_cast<double>(b.y),
            static_cast<double>(a.z) - static_cast<double>(b.z)};
}

double Dot(const Double3& a, const Double3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

double Norm(const Double3& a) {
    return std::sqrt(Dot(a, a));
}

Double3 Cross(const Double3& a, const Double3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

CVector3D ToFloat(const Double3& v) {
    return {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
}

// c + s·w, rounded once to single precision.
CVector3D Offset(const CVector3D& c, const Double3& s, double w) {
    return {static_cast<float>(static_cast<double>(c.x) + s[0] * w),
            static_cast<float>(static_cast<double>(c.y) + s[1] * w),
            static_cast<float>(static_cast<double>(c.z) + s[2] * w)};
}

// v scaled to unit length, or zero when it has no finite length. Values made of floats never
// overflow or underflow their squares in double precision.
inline Double3 Unit(const Double3& v) {
    const double length = Norm(v);
    if (!(length > 0.0 && length < std::numeric_limits<double>::infinity())) {
        return {0.0, 0.0, 0.0};
    }
    const double scale = 1.0 / length;
    return {v[0] * scale, v[1] * scale, v[2] * scale};
}

double Distance(const CVector3D& a, const CVector3D& b) {
    return Norm(Minus(b, a));
}

float LargestMagnitude(std::initializer_list<const CVector3D*> points) {
    float m = 0.0f;
    for (const CVector3D* p : points) {
        m = std::max({m, std::fabs(p->x), std::fabs(p->y), std::fabs(p->z)});
    }
    return m;
}

} // namespace

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

// ---- CRoadSampler ----------------------------------------------------------------------------

CRoadSampler::CRoadSampler(std::span<const CVector3D> points, int divisions, float halfWidth,
                           const CRoadShape* shape)
    : m_points(points), m_steps(divisions > 0 ? divisions : 0),
      m_halfWidth(shape != nullptr && shape->Count() == points.size() ? shape->HalfWidth()
                                                                      : halfWidth),
      m_shape(shape != nullptr && shape->Shaped() && shape->Count() == points.size() ? shape
                                                                                     : nullptr) {
    if (m_steps == 0) {
        return;
    }
    const float fd = static_cast<float>(divisions);
    m_eps = (1.0f / fd) / 1000.0f;
    const auto steps = static_cast<std::size_t>(m_steps);
    m_at.resize(steps);
    m_before.resize(steps);
    m_after.resize(steps);
    m_tangent.resize(steps);
    for (std::size_t i = 0; i < steps; ++i) {
        const float t = static_cast<float>(i) / fd;
        m_at[i] = CatmullRomWeights(t);
        m_before[i] = CatmullRomWeights(t - m_eps);
        m_after[i] = CatmullRomWeights(t + m_eps);
        m_tangent[i] = CatmullRomTangentWeights(static_cast<double>(t));
    }
}

CCatmullRomSegment CRoadSampler::Segment(std::size_t k) const {
    const std::size_t n = m_points.size();
    return {m_points[(n + k - 1) % n], m_points[k], m_points[(k + 1) % n], m_points[(k + 2) % n]};
}

CVector3D CRoadSampler::Centre(std::size_t k, int i) const {
    return Segment(k).At(m_at[static_cast<std::size_t>(i)]);
}

void CRoadSampler::Centres(std::size_t k, int begin, int end, CVector3D* out) const {
    const CCatmullRomSegment segment = Segment(k);
    for (int i = begin; i < end; ++i) {
        *out++ = segment.At(m_at[static_cast<std::size_t>(i)]);
    }
}

SampleShape CRoadSampler::Shape(std::size_t k, int i) const {
    if (m_shape == nullptr) {
        return {m_halfWidth, m_halfWidth, 0.0};
    }
    return m_shape->At(k, i, m_steps);
}

RoadFrame CRoadSampler::Frame(std::size_t k, int i) const {
    RoadFrame frame;
    const CCatmullRomSegment segment = Segment(k);
    frame.centre = segment.At(m_at[static_cast<std::size_t>(i)]);
    Frames(segment, k, i, 1, &frame.centre,
           {.direction = &frame.direction, .side = &frame.side, .section = &frame.vertices});
    return frame;
}

void CRoadSampler::Frames(const CCatmullRomSegment& segment, std::size_t k, int first, int count,
                          const CVector3D* centres, const SampleArrays& out) const {
    // Array at a time, each pass over independent samples, so that the square roots and
    // divisions of one sample overlap with those of the next instead of waiting in one long
    // chain per sample. The arithmetic of every sample is the same whatever the count.
    //
    // The unit tangent, and level: its horizontal part turned a quarter turn to the plus side.
    std::array<std::array<double, kStepChunk>, 3> tangent; // one coordinate to an array
    std::array<double, kStepChunk> horizontal2, length2, horizontal, length, scale;
    for (int i = 0; i < count; ++i) {
        const Double3 t = segment.Tangent(m_tangent[static_cast<std::size_t>(first + i)]);
        tangent[0][i] = t[0];
        tangent[1][i] = t[1];
        tangent[2][i] = t[2];
        horizontal2[i] = t[0] * t[0] + t[2] * t[2];
        length2[i] = horizontal2[i] + t[1] * t[1];
    }
    for (int i = 0; i < count; ++i) {
        // Both lengths come from the tangent itself; the results are used only where they are
        // finite and not zero.
        length[i] = std::sqrt(length2[i]);
        horizontal[i] = std::sqrt(horizontal2[i]);
        scale[i] = 1.0 / (length[i] * horizontal[i]);
    }
    for (int i = 0; i < count; ++i) {
        const Double3 t{tangent[0][i], tangent[1][i], tangent[2][i]};
        Double3 direction{0.0, 0.0, 0.0};
        Double3 side{0.0, 0.0, 0.0};
        if (length2[i] > 0.0 && length2[i] < std::numeric_limits<double>::infinity()) {
            if (horizontal2[i] > 0.0) {
                const double r = scale[i];
                const double toUnit = horizontal[i] * r, toLevel = length[i] * r;
                direction = {t[0] * toUnit, t[1] * toUnit, t[2] * toUnit};
                side = {-t[2] * toLevel, 0.0, t[0] * toLevel};
            } else {
                direction = {0.0, t[1] / length[i], 0.0}; // straight up or down: no level side
            }
        }
        const SampleShape shape = Shape(k, first + i);
        if (shape.bank != 0.0) {
            // Turned about the direction: towards the surface's normal (side × direction, up)
            // for a negative bank, away from it for a positive one, which lowers the plus side.
            const double angle = shape.bank * kRadiansPerDegree;
            const double c = std::cos(angle), s = std::sin(angle);
            const Double3 up = Cross(side, direction);
            side = {side[0] * c - up[0] * s, side[1] * c - up[1] * s, side[2] * c - up[2] * s};
        }
        if (out.shape) {
            out.shape[i] = shape;
        }
        if (out.direction) {
            out.direction[i] = ToFloat(direction);
        }
        if (out.side) {
            out.side[i] = ToFloat(side);
        }
        if (out.section) {
            // The distances to the outer edge on the plus (right) and minus (left) side.
            const double right = shape.right;
            const double left = shape.left;
            const CVector3D& c = centres[i];
            out.section[i] = {Offset(c, side, kInnerLine * right),
                              Offset(c, side, -kInnerLine * left), Offset(c, side, right),
                              Offset(c, side, -left)};
        }
    }
}

RoadSample CRoadSampler::PlainSection(std::size_t k, int i) const {
    const std::size_t n = m_points.size();
    const CVector3D& p0 = m_points[(n + k - 1) % n];
    const CVector3D& p1 = m_points[k];
    const CVector3D& p2 = m_points[(k + 1) % n];
    const CVector3D& p3 = m_points[(k + 2) % n];
    const CCatmullRomSegment segment(p0, p1, p2, p3);
    const auto step = static_cast<std::size_t>(i);
    const CVector3D c = segment.At(m_at[step]);
    const CVector3D cm = segment.At(m_before[step]);
    const CVector3D cp = segment.At(m_after[step]);

    // Direction by a central difference, normalised in place.
    CVector3D d = cp - cm;
    float length = std::sqrt((d.x * d.x + d.y * d.y) + d.z * d.z);
    // Each of cp and cm carries a rounding error of a few units in the last place of the
    // coordinates it is made of. A difference of no more than 8 such units can point tens of
    // degrees off (closely spaced points far from the origin stand whole stretches of road on
    // edge); there the exact tangent gives the direction instead. Everywhere else the difference
    // stays, and with it every byte of the model.
    const float largest = LargestMagnitude({&p0, &p1, &p2, &p3});
    const float ulp = std::nextafter(largest, std::numeric_limits<float>::infinity()) - largest;
    if (std::isfinite(largest) && !(length > kMeaningfulUlps * ulp)) {
        d = ToFloat(Unit(segment.Tangent(m_tangent[step])));
    } else {
        if (length == 0.0f) {
            length = 1.0f;
        }
        static_cast<void>(d / length);
    }

    // A quarter turn about the vertical axis; the height component stays as it is.
    const CVector3D side(-d.z, d.y, d.x);
    const CVector3D outer = side * m_halfWidth;
    const CVector3D inner = outer * kInnerLineF;
    return {c + inner, c - inner, c + outer, c - outer};
}

double CRoadSampler::ComputeSteps(std::size_t k, int begin, int end, double along,
                                  const SampleArrays& out) const {
    if (begin >= end) {
        return along;
    }
    const CCatmullRomSegment segment = Segment(k);
    // The arc length needs the centres alone: frames only where they are asked for.
    const bool frames = out.direction || out.side || out.section || out.shape;
    std::array<CVector3D, kStepChunk + 1> centre; // centre[0]: the last one of the chunk before
    std::array<double, kStepChunk> step;
    for (int first = begin; first < end; first += kStepChunk) {
        const int count = std::min(end - first, kStepChunk);
        const auto o = static_cast<std::size_t>(first - begin);
        for (int i = 0; i < count; ++i) {
            centre[i + 1] = segment.At(m_at[static_cast<std::size_t>(first + i)]);
        }
        if (first == begin) {
            centre[0] = centre[1];
        }
        if (frames) {
            const auto at = [o](auto* p) { return p ? p + o : nullptr; };
            Frames(segment, k, first, count, &centre[1],
                   {.direction = at(out.direction),
                    .side = at(out.side),
                    .section = at(out.section),
                    .shape = at(out.shape)});
        }
        // The chord lengths, from the centres in double precision one coordinate to an array.
        std::array<std::array<double, kStepChunk + 1>, 3> c;
        for (int i = 0; i < count + 1; ++i) {
            c[0][i] = centre[i].x;
            c[1][i] = centre[i].y;
            c[2][i] = centre[i].z;
        }
        for (int i = 0; i < count; ++i) {
            const Double3 chord{c[0][i + 1] - c[0][i], c[1][i + 1] - c[1][i],
                                c[2][i + 1] - c[2][i]};
            step[i] = Norm(chord);
        }
        for (int i = 0; i < count; ++i) {
            if (first + i > begin) {
                along += step[i];
            }
            if (out.centre) {
                out.centre[o + i] = centre[i + 1];
            }
            if (out.along) {
                out.along[o + i] = along;
            }
        }
        centre[0] = centre[count];
    }
    const CVector3D next = end < m_steps ? segment.At(m_at[static_cast<std::size_t>(end)])
                                         : Centre((k + 1) % m_points.size(), 0);
    return along + Distance(centre[0], next);
}

// ---- CSegmentLengths -------------------------------------------------------------------------

void CSegmentLengths::Reset(std::size_t segments) {
    m_count = segments;
    m_leaves = segments == 0 ? 0 : std::bit_ceil(segments);
    m_tree.assign(2 * m_leaves, 0.0);
}

void CSegmentLengths::Sum() {
    for (std::size_t i = m_leaves; i-- > 1;) {
        m_tree[i] = m_tree[2 * i] + m_tree[2 * i + 1];
    }
}

void CSegmentLengths::Sum(std::size_t first, std::size_t last) {
    for (std::size_t lo = (m_leaves + first) / 2, hi = (m_leaves + last) / 2; lo >= 1;
         lo /= 2, hi /= 2) {
        for (std::size_t i = lo; i <= hi; ++i) {
            m_tree[i] = m_tree[2 * i] + m_tree[2 * i + 1];
        }
    }
}

double CSegmentLengths::Before(std::size_t k) const {
    if (m_count == 0) {
        return 0.0;
    }
    // Down from the root: every left part wholly before k is added, in the same order for every
    // caller.
    double sum = 0.0;
    std::size_t node = 1, lo = 0;
    for (std::size_t span = m_leaves; span > 1; span /= 2) {
        const std::size_t half = span / 2;
        if (k >= lo + half) {
            sum += m_tree[2 * node];
            node = 2 * node + 1;
            lo += half;
        } else {
            node = 2 * node;
        }
    }
    return k > lo ? sum + m_tree[node] : sum;
}

void CSegmentLengths::Insert(std::size_t k, std::size_t count) {
    std::vector<double> leaves(m_tree.begin() + static_cast<std::ptrdiff_t>(m_leaves),
                               m_tree.begin() + static_cast<std::ptrdiff_t>(m_leaves + m_count));
    leaves.insert(leaves.begin() + static_cast<std::ptrdiff_t>(k), count, 0.0);
    Reset(leaves.size());
    std::copy(leaves.begin(), leaves.end(), m_tree.begin() + static_cast<std::ptrdiff_t>(m_leaves));
}

void CSegmentLengths::Erase(std::size_t k, std::size_t count) {
    std::vector<double> leaves(m_tree.begin() + static_cast<std::ptrdiff_t>(m_leaves),
                               m_tree.begin() + static_cast<std::ptrdiff_t>(m_leaves + m_count));
    leaves.erase(leaves.begin() + static_cast<std::ptrdiff_t>(k),
                 leaves.begin() + static_cast<std::ptrdiff_t>(k + count));
    Reset(leaves.size());
    std::copy(leaves.begin(), leaves.end(), m_tree.begin() + static_cast<std::ptrdiff_t>(m_leaves));
}

// ---- Texture along the road --------------------------------------------------------------------

int TextureRepeats(double lapLength, float halfWidth) {
    const double ideal = lapLength / (2.0 * kInnerLine * std::fabs(static_cast<double>(halfWidth)));
    if (std::isnan(ideal)) {
        return 1;
    }
    return static_cast<int>(
        std::clamp(std::round(ideal), 1.0, static_cast<double>(kMaxTextureRepeats)));
}

// ---- CRoadModel ------------------------------------------------------------------------------

std::size_t CRoadModel::Wrap(std::int64_t segment) const {
    const auto n = static_cast<std::int64_t>(m_points.size());
    return static_cast<std::size_t>(((segment % n) + n) % n);
}

ModelChange CRoadModel::Update(std::span<const CVector3D> points,
                               std::span<const PointShape> shapes, int divisions, float halfWidth) {
    const std::size_t n = points.size();
    const bool sameSettings =
        m_built && m_state == RoadModelState::Ok && n == m_points.size() &&
        divisions == m_divisions &&
        std::bit_cast<std::uint32_t>(halfWidth) == std::bit_cast<std::uint32_t>(m_halfWidth);
    if (!sameSettings) {
        return Update(points, shapes, divisions, halfWidth, TrackChange::Whole());
    }
    // The new shapes as numbers, compared with the model's by value, as the road uses them.
    const CRoadShape shape(shapes, n, halfWidth);
    auto same = [&](std::size_t i) {
        const SampleShape a = shape.Point(i), b = m_shape.Point(i);
        return std::bit_cast<std::array<std::uint32_t, 3>>(points[i]) ==
                   std::bit_cast<std::array<std::uint32_t, 3>>(m_points[i]) &&
               a.left == b.left && a.right == b.right && a.bank == b.bank;
    };
    std::size_t first = 0;
    while (first < n && same(first)) {
        ++first;
    }
    if (first == n) {
        return {};
    }
    std::size_t last = n - 1;
    while (same(last)) {
        --last;
    }
    return Update(points, shapes, divisions, halfWidth,
                  TrackChange::Moved(static_cast<int>(first), static_cast<int>(last - first + 1)));
}

std::int64_t CRoadModel::AffectedSegments(std::int64_t count, bool shapeChanged) const {
    // Segment k's samples read points k − 1 .. k + 2, and its last chord ends on the first
    // sample of segment k + 1, which reads point k + 3: moving points first .. first + count − 1
    // changes segments first − 3 .. first + count. The shape of segment k reads the monotone
    // slopes at points k and k + 1, each made of the values two points either side, so a
    // changed shape reaches one segment further: first − 3 .. first + count + 1.
    return count + (shapeChanged ? 5 : 4);
}

ModelChange CRoadModel::Update(std::span<const CVector3D> points,
                               std::span<const PointShape> shapes, int divisions, float halfWidth,
                               const TrackChange& change) {
    const std::size_t n = points.size();
    const std::size_t old = m_points.size();
    const auto first = static_cast<std::size_t>(std::max(change.first, 0));
    const auto count = static_cast<std::size_t>(std::max(change.count, 0));
    const bool sameSettings =
        m_built && m_state == RoadModelState::Ok && divisions == m_divisions &&
        std::bit_cast<std::uint32_t>(halfWidth) == std::bit_cast<std::uint32_t>(m_halfWidth);
    const bool fits = n >= 4 && static_cast<std::int64_t>(n) * divisions <= kMaxModelSamples;
    // A range update is only sound for a change record that matches the points; anything else
    // (or a change that touches most of the loop) is rebuilt.
    bool partial =
        sameSettings && fits && change.first >= 0 && change.count > 0 &&
        static_cast<std::size_t>(AffectedSegments(change.count, true)) < std::min(n, old);
    switch (change.kind) {
    case TrackChange::Kind::Moved:
        partial = partial && n == old && first + count <= n;
        break;
    case TrackChange::Kind::Inserted:
        partial = partial && n == old + count && first <= old;
        break;
    case TrackChange::Kind::Removed:
        partial = partial && n + count == old && first + count <= old;
        break;
    default:
        partial = false;
    }
    if (!partial) {
        m_points.assign(points.begin(), points.end());
        m_shape.Reset(shapes, n, halfWidth);
        m_divisions = divisions;
        m_halfWidth = halfWidth;
        Rebuild();
        return {0, SampleCount(), true};
    }

    const auto d = static_cast<std::size_t>(divisions);
    const auto at = [](std::size_t i) { return static_cast<std::ptrdiff_t>(i); };
    const auto k = static_cast<std::int64_t>(first);
    if (change.kind == TrackChange::Kind::Moved) {
        std::copy(points.begin() + at(first), points.begin() + at(first + count),
                  m_points.begin() + at(first));
        const bool shapeChanged = m_shape.Set(first, count, shapes);
        const std::int64_t segments = AffectedSegments(change.count, shapeChanged);
        RecomputeSegments(k - 3, segments);
        const std::int64_t firstSample = static_cast<std::int64_t>(Wrap(k - 3) * d);
        // The fold of the sample before looks ahead into the range.
        return {(firstSample - 1 + m_samples) % m_samples,
                segments * static_cast<std::int64_t>(d) + 1, false};
    }

    // Points come or go: every later sample moves by whole segments, and only the segments
    // whose four points (and the next one) are no longer consecutive points of the old track
    // are computed anew.
    auto shift = [&](auto& values, std::size_t perPoint) {
        using T = typename std::decay_t<decltype(values)>::value_type;
        if (change.kind == TrackChange::Kind::Inserted) {
            values.insert(values.begin() + at(first * perPoint), count * perPoint, T{});
        } else {
            values.erase(values.begin() + at(first * perPoint),
                         values.begin() + at((first + count) * perPoint));
        }
    };
    m_points.assign(points.begin(), points.end());
    const bool wasShaped = m_shape.Shaped();
    m_shape.Reset(shapes, n, halfWidth);
    const bool shaped = wasShaped || m_shape.Shaped();
    shift(m_centre, d);
    shift(m_direction, d);
    shift(m_side, d);
    shift(m_section, d);
    shift(m_along, d);
    shift(m_folded, d);
    std::vector<Summary> leaves(m_tree.begin() + at(m_leaves), m_tree.begin() + at(m_leaves + old));
    shift(leaves, 1);
    if (change.kind == TrackChange::Kind::Inserted) {
        m_lengths.Insert(first, count);
    } else {
        m_lengths.Erase(first, count);
    }
    m_samples = static_cast<std::int64_t>(n * d);
    m_leaves = std::bit_ceil(n);
    m_tree.assign(2 * m_leaves, Summary{});
    std::copy(leaves.begin(), leaves.end(), m_tree.begin() + at(m_leaves));
    // New points count as moved; where points went, the segments around the gap read points
    // that were not neighbours before.
    const std::int64_t segments = AffectedSegments(
        change.kind == TrackChange::Kind::Inserted ? static_cast<std::int64_t>(count) : 0, shaped);
    RecomputeSegments(k - 3, segments);
    SumTree();
    m_lengths.Sum();
    return {0, m_samples, true};
}

void CRoadModel::Rebuild() {
    m_built = true;
    m_samples = 0;
    const std::size_t n = m_points.size();
    m_state = RoadModelState::NoRoad;
    if (n >= 4 && m_divisions >= 1) {
        m_state = static_cast<std::int64_t>(n) * m_divisions > kMaxModelSamples
                      ? RoadModelState::TooLarge
                      : RoadModelState::Ok;
    }
    if (m_state != RoadModelState::Ok) {
        for (auto* v : {&m_centre, &m_direction, &m_side}) {
            *v = {};
        }
        m_section = {};
        m_along = {};
        m_folded = {};
        m_tree = {};
        m_leaves = 0;
        m_lengths.Reset(0);
        return;
    }
    m_samples = static_cast<std::int64_t>(n) * m_divisions;
    const auto s = static_cast<std::size_t>(m_samples);
    m_centre.resize(s);
    m_direction.resize(s);
    m_side.resize(s);
    m_section.resize(s);
    m_along.resize(s);
    m_folded.resize(s);
    m_lengths.Reset(n);
    m_leaves = std::bit_ceil(n);
    // Every leaf up to n gets its segment's summary below and every node above the leaves its
    // sum, so only the leaves past the last segment are written here.
    m_tree.resize(2 * m_leaves);
    std::fill(m_tree.begin() + static_cast<std::ptrdiff_t>(m_leaves + n), m_tree.end(), Summary{});
    // One pass: each part computes its segments and summarises those whose neighbours it has
    // computed; the two segments at each end of a part wait for the others.
    const CRoadSampler sampler(m_points, m_divisions, m_halfWidth, &m_shape);
    std::mutex lock;
    std::vector<std::size_t> ends;
    ParallelFor(n,
                std::max<std::size_t>(1, kSamplesPerThread / static_cast<std::size_t>(m_divisions)),
                [&](std::size_t begin, std::size_t end) {
                    for (std::size_t k = begin; k < end; ++k) {
                        ComputeSegment(sampler, k);
                        if (k >= begin + 2) {
                            m_tree[m_leaves + k - 1] = SummariseSegment(k - 1);
                        }
                    }
                    const std::lock_guard guard(lock);
                    ends.push_back(begin);
                    if (end - 1 != begin) {
                        ends.push_back(end - 1);
                    }
                });
    for (const std::size_t k : ends) {
        m_tree[m_leaves + k] = SummariseSegment(k);
    }
    SumTree();
    m_lengths.Sum();
}

void CRoadModel::RecomputeSegments(std::int64_t first, std::int64_t count) {
    const std::size_t n = m_points.size();
    // Runs of segments without wrap-around.
    auto runs = [n](std::size_t start, std::size_t length, auto&& run) {
        length = std::min(length, n);
        const std::size_t head = std::min(length, n - start);
        run(start, head);
        if (head < length) {
            run(0, length - head);
        }
    };
    runs(Wrap(first), static_cast<std::size_t>(count), [this](std::size_t a, std::size_t c) {
        ComputeSegments(a, c);
        m_lengths.Sum(a, a + c - 1);
    });
    // A summary reads the last sample before its segment and the first after it.
    runs(Wrap(first - 1), static_cast<std::size_t>(count) + 2,
         [this](std::size_t a, std::size_t c) {
             Summarise(a, c);
             SumTree(a, a + c - 1);
         });
}

void CRoadModel::ComputeSegments(std::size_t first, std::size_t count) {
    const CRoadSampler sampler(m_points, m_divisions, m_halfWidth, &m_shape);
    const auto d = static_cast<std::size_t>(m_divisions);
    ParallelFor(count, std::max<std::size_t>(1, kSamplesPerThread / d),
                [&](std::size_t begin, std::size_t end) {
                    for (std::size_t k = first + begin; k < first + end; ++k) {
                        ComputeSegment(sampler, k);
                    }
                });
}

void CRoadModel::ComputeSegment(const CRoadSampler& sampler, std::size_t k) {
    const std::size_t j = k * static_cast<std::size_t>(m_divisions);
    const SampleArrays out{&m_centre[j], &m_direction[j], &m_side[j], &m_section[j], &m_along[j]};
    m_lengths.Set(k, sampler.ComputeSteps(k, 0, m_divisions, 0.0, out));
}

void CRoadModel::Summarise(std::size_t first, std::size_t count) {
    const auto d = static_cast<std::size_t>(m_divisions);
    ParallelFor(count, std::max<std::size_t>(1, kSamplesPerThread / d),
                [&](std::size_t begin, std::size_t end) {
                    for (std::size_t k = first + begin; k < first + end; ++k) {
                        m_tree[m_leaves + k] = SummariseSegment(k);
                    }
                });
}

CRoadModel::Summary CRoadModel::SummariseSegment(std::size_t k) {
    // The running values stay in local variables: the stores to m_folded below may alias any
    // memory, and would otherwise send every comparison through memory.
    double minRadius = -1.0, maxGrade = -1.0; // none yet, as in Summary
    std::int64_t minRadiusSample = -1, folds = 0;
    float heightMin = 0.0f, heightMax = 0.0f;
    bool hasHeight = false, hasWidth = false;
    double widthMin = 0.0, widthMax = 0.0, bankMax = 0.0;
    const std::size_t n = m_points.size();
    const auto d = static_cast<std::size_t>(m_divisions);
    const auto samples = static_cast<std::size_t>(m_samples);
    const CVector3D* const centre = m_centre.data();
    const RoadSample* const section = m_section.data();
    std::uint8_t* const foldedOut = m_folded.data();
    const Double3 chord = Minus(m_points[(k + 1) % n], m_points[k]);

    // An unshaped road has one shape at every sample.
    const std::size_t shapes = m_shape.Shaped() ? d : std::min<std::size_t>(d, 1);
    for (std::size_t i = 0; i < shapes; ++i) {
        const SampleShape shape = m_shape.At(k, static_cast<int>(i), m_divisions);
        const double width = shape.left + shape.right;
        if (!std::isnan(width)) {
            widthMin = hasWidth ? std::min(widthMin, width) : width;
            widthMax = hasWidth ? std::max(widthMax, width) : width;
            hasWidth = true;
        }
        if (std::fabs(shape.bank) > bankMax) {
            bankMax = std::fabs(shape.bank);
        }
    }

    // Pass by pass over up to kChunk samples: first the points in double precision, one
    // coordinate to an array, then the per-sample values in a loop without branches (which the
    // compiler turns into vector instructions, with the same arithmetic in every lane), then the
    // running minima and maxima.
    constexpr std::size_t kChunk = 32;
    const std::size_t j0 = k * d;
    // Sample j − 1 for 0 <= j <= S, and sample j itself, with wrap-around.
    const auto before = [samples](std::size_t j) { return j == 0 ? samples - 1 : j - 1; };
    const auto wrapped = [samples](std::size_t j) { return j >= samples ? j - samples : j; };
    for (std::size_t first = 0; first < d; first += kChunk) {
        const std::size_t count = std::min(kChunk, d - first);
        // Centres of the samples first − 1 .. first + count, sections of first .. first + count.
        double c[3][kChunk + 2];
        double e[4][3][kChunk + 1];
        for (std::size_t m = 0; m < count + 2; ++m) {
            const CVector3D& p = centre[wrapped(before(j0 + first + m))];
            c[0][m] = p.x;
            c[1][m] = p.y;
            c[2][m] = p.z;
        }
        for (std::size_t m = 0; m < count + 1; ++m) {
            const RoadSample& points = section[wrapped(j0 + first + m)];
            for (std::size_t q = 0; q < 4; ++q) {
                e[q][0][m] = points[q].x;
                e[q][1][m] = points[q].y;
                e[q][2][m] = points[q].z;
            }
        }

        // u runs from the sample before to this one, v from this one to the next. The circle
        // through the three: R = |u| |v| |u + v| / (2 |u x v|), compared squared; the grade:
        // rise over horizontal run to the next sample, compared squared. Folded: an edge line
        // runs against the centre line, or the centre line runs against its segment (it loops,
        // where points lie unevenly spaced).
        double fourArea2[kChunk], radius2[kChunk], run2[kChunk], grade2[kChunk];
        double along[5][kChunk]; // v against the chord and against the edge lines' steps
        for (std::size_t i = 0; i < count; ++i) {
            const Double3 u{c[0][i + 1] - c[0][i], c[1][i + 1] - c[1][i], c[2][i + 1] - c[2][i]};
            const Double3 v{c[0][i + 2] - c[0][i + 1], c[1][i + 2] - c[1][i + 1],
                            c[2][i + 2] - c[2][i + 1]};
            const Double3 cross = Cross(u, v);
            const Double3 w{u[0] + v[0], u[1] + v[1], u[2] + v[2]};
            fourArea2[i] = 4.0 * Dot(cross, cross);
            radius2[i] = Dot(u, u) * Dot(v, v) * Dot(w, w) / fourArea2[i];
            run2[i] = v[0] * v[0] + v[2] * v[2];
            grade2[i] = v[1] * v[1] / run2[i];
            along[0][i] = Dot(v, chord);
            for (std::size_t q = 0; q < 4; ++q) {
                const Double3 run{e[q][0][i + 1] - e[q][0][i], e[q][1][i + 1] - e[q][1][i],
                                  e[q][2][i + 1] - e[q][2][i]};
                along[q + 1][i] = Dot(run, v);
            }
        }

        for (std::size_t i = 0; i < count; ++i) {
            // A circle needs three points that are not in line, a grade a horizontal run.
            if (fourArea2[i] > 0.0 && radius2[i] >= 0.0 &&
                (minRadius < 0.0 || radius2[i] < minRadius)) {
                minRadius = radius2[i];
                minRadiusSample = static_cast<std::int64_t>(first + i);
            }
            if (run2[i] > 0.0) {
                maxGrade = std::max(maxGrade, grade2[i]);
            }
            const float y = centre[j0 + first + i].y;
            if (!std::isnan(y)) {
                if (!hasHeight || y < heightMin) {
                    heightMin = y;
                }
                if (!hasHeight || y > heightMax) {
                    heightMax = y;
                }
                hasHeight = true;
            }
            const bool folded = along[0][i] <= 0.0 || along[1][i] <= 0.0 || along[2][i] <= 0.0 ||
                                along[3][i] <= 0.0 || along[4][i] <= 0.0;
            foldedOut[j0 + first + i] = folded ? 1 : 0;
            folds += folded ? 1 : 0;
        }
    }
    return {minRadius, minRadiusSample, maxGrade, folds,   heightMin, heightMax,
            hasHeight, widthMin,        widthMax, bankMax, hasWidth};
}

CRoadModel::Summary CRoadModel::Combine(const Summary& a, const Summary& b,
                                        std::int64_t samplesInA) {
    // a covers lower sample numbers than b; on equal radii the lower sample number wins.
    Summary s = a;
    if (b.minRadius >= 0.0 && (s.minRadius < 0.0 || b.minRadius < s.minRadius)) {
        s.minRadius = b.minRadius;
        s.minRadiusSample = b.minRadiusSample + samplesInA;
    }
    if (b.hasHeight) {
        s.heightMin = a.hasHeight ? std::min(a.heightMin, b.heightMin) : b.heightMin;
        s.heightMax = a.hasHeight ? std::max(a.heightMax, b.heightMax) : b.heightMax;
        s.hasHeight = true;
    }
    if (b.hasWidth) {
        s.widthMin = a.hasWidth ? std::min(a.widthMin, b.widthMin) : b.widthMin;
        s.widthMax = a.hasWidth ? std::max(a.widthMax, b.widthMax) : b.widthMax;
        s.hasWidth = true;
    }
    s.bankMax = std::max(a.bankMax, b.bankMax);
    s.maxGrade = std::max(a.maxGrade, b.maxGrade);
    s.folds = a.folds + b.folds;
    return s;
}

void CRoadModel::SumTree() {
    const auto combine = [this](std::size_t i) {
        const auto left = static_cast<std::int64_t>(m_leaves >> std::bit_width(i)) * m_divisions;
        m_tree[i] = Combine(m_tree[2 * i], m_tree[2 * i + 1], left);
    };
    // The subtrees of kTreeBlock leaves are summed side by side, the nodes above them after.
    const std::size_t block = std::min(m_leaves, kTreeBlock);
    const std::size_t blocks = m_leaves / block;
    ParallelFor(blocks,
                std::max<std::size_t>(1, kSamplesPerThread /
                                             (block * static_cast<std::size_t>(m_divisions))),
                [&](std::size_t begin, std::size_t end) {
                    // Level by level: the nodes of blocks begin .. end − 1 at each height.
                    for (std::size_t span = block / 2; span >= 1; span /= 2) {
                        const std::size_t level = blocks * span;
                        for (std::size_t i = level + begin * span; i < level + end * span; ++i) {
                            combine(i);
                        }
                    }
                });
    for (std::size_t i = blocks; i-- > 1;) {
        combine(i);
    }
}

void CRoadModel::SumTree(std::size_t first, std::size_t last) {
    for (std::size_t lo = (m_leaves + first) / 2, hi = (m_leaves + last) / 2; lo >= 1;
         lo /= 2, hi /= 2) {
        const auto left = static_cast<std::int64_t>(m_leaves >> std::bit_width(lo)) * m_divisions;
        for (std::size_t i = lo; i <= hi; ++i) {
            m_tree[i] = Combine(m_tree[2 * i], m_tree[2 * i + 1], left);
        }
    }
}

double CRoadModel::ArcLength(std::int64_t j) const {
    if (j >= SampleCount()) {
        return LapLength();
    }
    const auto s = static_cast<std::size_t>(j);
    return m_lengths.Before(s / static_cast<std::size_t>(m_divisions)) + m_along[s];
}

void CRoadModel::ArcLengths(std::int64_t first, std::int64_t count, double* out) const {
    const auto d = static_cast<std::size_t>(m_divisions);
    std::size_t segment = std::numeric_limits<std::size_t>::max();
    double before = 0.0;
    for (std::int64_t j = first; j < first + count; ++j) {
        const auto s = static_cast<std::size_t>(j);
        if (s / d != segment) {
            segment = s / d;
            before = m_lengths.Before(segment);
        }
        *out++ = before + m_along[s];
    }
}

SampleShape CRoadModel::ShapeAt(std::int64_t j) const {
    const auto d = static_cast<std::int64_t>(m_divisions);
    return m_shape.At(static_cast<std::size_t>(j / d), static_cast<int>(j % d), m_divisions);
}

void CRoadModel::Shapes(std::int64_t first, std::int64_t count, SampleShape* out) const {
    for (std::int64_t j = first; j < first + count; ++j) {
        *out++ = ShapeAt(j);
    }
}

RoadFrame CRoadModel::Frame(std::int64_t j) const {
    const auto s = static_cast<std::size_t>(j);
    return {m_centre[s], m_direction[s], m_side[s], m_section[s]};
}

TrackReadouts CRoadModel::Readouts() const {
    TrackReadouts r;
    if (m_state != RoadModelState::Ok) {
        return r;
    }
    auto finite = [](auto value) {
        return std::isfinite(value) ? std::optional(value) : std::nullopt;
    };
    const Summary& all = m_tree[1];
    r.samples = m_samples;
    r.length = finite(LapLength());
    if (all.minRadius >= 0.0 && std::isfinite(all.minRadius)) {
        r.minRadius = std::sqrt(all.minRadius);
        r.minRadiusSample = all.minRadiusSample;
    }
    if (all.hasHeight) {
        r.heightMin = finite(all.heightMin);
        r.heightMax = finite(all.heightMax);
    }
    if (all.maxGrade >= 0.0) {
        r.maxGrade = finite(std::sqrt(all.maxGrade));
    }
    r.folds = all.folds;
    if (all.hasWidth) {
        r.widthMin = finite(all.widthMin);
        r.widthMax = finite(all.widthMax);
    }
    r.bankMax = finite(all.bankMax);
    return r;
}

std::vector<std::int64_t> CRoadModel::FoldSamples() const {
    std::vector<std::int64_t> folds;
    for (std::size_t j = 0; j < m_folded.size(); ++j) {
        if (m_folded[j] != 0) {
            folds.push_back(static_cast<std::int64_t>(j));
        }
    }
    return folds;
}

} // namespace rolvet
