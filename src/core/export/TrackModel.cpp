#include "export/TrackModel.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>

namespace rolvet {

namespace {

struct D3 {
    double x, y, z;
};

D3 Minus(const CVector3D& a, const CVector3D& b) {
    return {static_cast<double>(a.x) - static_cast<double>(b.x),
            static_cast<double>(a.y) - static_cast<double>(b.y),
            static_cast<double>(a.z) - static_cast<double>(b.z)};
}

double Dot(const D3& a, const D3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

double Norm(const D3& a) {
    return std::sqrt(Dot(a, a));
}

D3 Cross(const D3& a, const D3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

void AppendNumber(std::string& out, double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendNumber(std::string& out, float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendInteger(std::string& out, std::int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

template <typename T> void AppendOptional(std::string& out, const std::optional<T>& value) {
    if (!value) {
        out += "null";
    } else if constexpr (std::is_floating_point_v<T>) {
        AppendNumber(out, *value);
    } else {
        AppendInteger(out, *value);
    }
}

template <typename T> std::optional<T> Finite(T value) {
    return std::isfinite(value) ? std::optional<T>(value) : std::nullopt;
}

} // namespace

std::int64_t CTrackModel::Wrap(std::int64_t j) const {
    const std::int64_t s = SampleCount();
    return ((j % s) + s) % s;
}

CVector3D CTrackModel::Edge(std::int64_t j, int e) const {
    // Ring j holds A, B in the road part and E, A, B, G in the kerb part.
    const std::vector<float>& values = e < 2 ? m_mesh.road.positions : m_mesh.kerb.positions;
    const std::size_t vertex =
        e < 2 ? static_cast<std::size_t>(j) * kRoadVerticesPerRing + static_cast<std::size_t>(e)
              : static_cast<std::size_t>(j) * kKerbVerticesPerRing + (e == 2 ? 0u : 3u);
    return {values[3 * vertex], values[3 * vertex + 1], values[3 * vertex + 2]};
}

void CTrackModel::SettleTexture() {
    if (m_state == TrackModelState::Ok) {
        UpdateRoadMeshTexture(m_mesh, m_halfWidth);
    }
}

ModelChange CTrackModel::Update(std::span<const CVector3D> points, int divisions, float halfWidth,
                                const TrackChange& edit) {
    const std::size_t n = points.size();
    const bool sameShape =
        m_built && n == m_points.size() && divisions == m_divisions &&
        std::bit_cast<std::uint32_t>(halfWidth) == std::bit_cast<std::uint32_t>(m_halfWidth);
    const bool moved = edit.kind == TrackChange::Kind::Moved && edit.first >= 0 && edit.count > 0 &&
                       static_cast<std::size_t>(edit.first) < n;
    const bool settingsOnly = edit.kind == TrackChange::Kind::Settings;
    if (!sameShape || m_state != TrackModelState::Ok || !(moved || settingsOnly)) {
        m_points.assign(points.begin(), points.end());
        m_divisions = divisions;
        m_halfWidth = halfWidth;
        RebuildAll();
        return {0, SampleCount(), true};
    }
    if (settingsOnly) {
        return {}; // neither setting the road depends on changed
    }

    // The control points the edit moved.
    const std::size_t first = static_cast<std::size_t>(edit.first);
    const std::size_t last = std::min(n - 1, first + static_cast<std::size_t>(edit.count) - 1);
    std::copy(points.begin() + static_cast<std::ptrdiff_t>(first),
              points.begin() + static_cast<std::ptrdiff_t>(last) + 1,
              m_points.begin() + static_cast<std::ptrdiff_t>(first));

    // Segment k runs from point k to k+1 and its spline also reads points k-1 and k+2.
    const std::size_t segments = last - first + 4;
    if (segments >= n) {
        RebuildAll();
        return {0, SampleCount(), true};
    }
    const std::size_t firstSegment = (first + n - 2) % n;
    const std::int64_t d = m_divisions;
    const std::int64_t firstSample = static_cast<std::int64_t>(firstSegment) * d;
    const std::int64_t sampleCount = static_cast<std::int64_t>(segments) * d;
    UpdateRoadMeshGeometry(m_mesh, m_points, m_divisions, m_halfWidth, firstSample, sampleCount);
    // A fold compares a sample with the next one, so the sample before the range changes too.
    for (std::int64_t j = -1; j < sampleCount; ++j) {
        UpdateFold(Wrap(firstSample + j));
    }
    // Readouts at j read samples j-1 .. j+1: one more segment on either side.
    const std::size_t summaries = std::min(segments + 2, n);
    const std::size_t firstSummary = (firstSegment + n - 1) % n;
    for (std::size_t s = 0; s < summaries; ++s) {
        SetSummary((firstSummary + s) % n);
    }
    return {Wrap(firstSample - 1), sampleCount + 1, false};
}

void CTrackModel::RebuildAll() {
    m_built = true;
    m_mesh = RoadMesh{};
    m_folded.clear();
    m_tree.clear();
    m_leaves = 0;
    const std::size_t n = m_points.size();
    if (n < 4 || m_divisions < 1) {
        m_state = TrackModelState::NoRoad;
        return;
    }
    const std::int64_t samples = static_cast<std::int64_t>(n) * m_divisions;
    if (samples > kMaxModelSamples) {
        m_state = TrackModelState::TooLarge;
        return;
    }
    m_state = TrackModelState::Ok;
    BuildRoadMesh(m_points, m_divisions, m_halfWidth, m_mesh);
    m_folded.resize(static_cast<std::size_t>(samples));
    for (std::int64_t j = 0; j < samples; ++j) {
        UpdateFold(j);
    }
    m_leaves = std::bit_ceil(n);
    m_tree.assign(2 * m_leaves, Summary{});
    for (std::size_t k = 0; k < n; ++k) {
        m_tree[m_leaves + k] = Summarise(k);
    }
    for (std::size_t i = m_leaves - 1; i >= 1; --i) {
        m_tree[i] = Combine(m_tree[2 * i], m_tree[2 * i + 1]);
    }
}

void CTrackModel::UpdateFold(std::int64_t j) {
    const std::int64_t next = Wrap(j + 1);
    const auto& c = m_mesh.centre;
    const D3 centre = Minus(c[static_cast<std::size_t>(next)], c[static_cast<std::size_t>(j)]);
    bool folded = false;
    for (int e = 0; e < 4; ++e) {
        if (Dot(Minus(Edge(next, e), Edge(j, e)), centre) <= 0.0) {
            folded = true;
        }
    }
    m_folded[static_cast<std::size_t>(j)] = folded ? 1 : 0;
}

CTrackModel::Summary CTrackModel::Summarise(std::size_t k) const {
    Summary sum;
    const auto d = static_cast<std::int64_t>(m_divisions);
    const std::int64_t begin = static_cast<std::int64_t>(k) * d;
    for (std::int64_t j = begin; j < begin + d; ++j) {
        const CVector3D& prev = m_mesh.centre[static_cast<std::size_t>(Wrap(j - 1))];
        const CVector3D& c = m_mesh.centre[static_cast<std::size_t>(j)];
        const CVector3D& next = m_mesh.centre[static_cast<std::size_t>(Wrap(j + 1))];
        const D3 u = Minus(c, prev);
        const D3 v = Minus(next, c);
        sum.length += Norm(v);

        // The circle through prev, c and next: R = |u| |v| |u + v| / (2 |u x v|).
        const double twiceArea = Norm(Cross(u, v));
        if (twiceArea > 0.0) {
            const D3 w{u.x + v.x, u.y + v.y, u.z + v.z};
            const double radius = Norm(u) * Norm(v) * Norm(w) / (2.0 * twiceArea);
            if (radius >= 0.0 && (sum.minRadius < 0.0 || radius < sum.minRadius)) {
                sum.minRadius = radius;
                sum.minRadiusSample = j;
            }
        }

        const double horizontal = std::hypot(v.x, v.z);
        if (horizontal > 0.0) {
            const double grade = std::fabs(v.y) / horizontal;
            if (grade > sum.maxGrade) {
                sum.maxGrade = grade;
            }
        }

        if (!std::isnan(c.y)) {
            if (!sum.hasHeight || c.y < sum.heightMin) {
                sum.heightMin = c.y;
            }
            if (!sum.hasHeight || c.y > sum.heightMax) {
                sum.heightMax = c.y;
            }
            sum.hasHeight = true;
        }
        sum.folds += m_folded[static_cast<std::size_t>(j)];
    }
    return sum;
}

void CTrackModel::SetSummary(std::size_t k) {
    std::size_t i = m_leaves + k;
    m_tree[i] = Summarise(k);
    for (i /= 2; i >= 1; i /= 2) {
        m_tree[i] = Combine(m_tree[2 * i], m_tree[2 * i + 1]);
    }
}

CTrackModel::Summary CTrackModel::Combine(const Summary& a, const Summary& b) {
    // a covers lower sample numbers than b; on equal radii the lower sample number wins.
    Summary s;
    s.length = a.length + b.length;
    s.minRadius = a.minRadius;
    s.minRadiusSample = a.minRadiusSample;
    if (b.minRadius >= 0.0 && (s.minRadius < 0.0 || b.minRadius < s.minRadius)) {
        s.minRadius = b.minRadius;
        s.minRadiusSample = b.minRadiusSample;
    }
    s.hasHeight = a.hasHeight || b.hasHeight;
    if (a.hasHeight && b.hasHeight) {
        s.heightMin = std::min(a.heightMin, b.heightMin);
        s.heightMax = std::max(a.heightMax, b.heightMax);
    } else {
        const Summary& one = a.hasHeight ? a : b;
        s.heightMin = one.heightMin;
        s.heightMax = one.heightMax;
    }
    s.maxGrade = std::max(a.maxGrade, b.maxGrade);
    s.folds = a.folds + b.folds;
    return s;
}

TrackReadouts CTrackModel::Readouts() const {
    TrackReadouts r;
    if (m_state != TrackModelState::Ok) {
        return r;
    }
    const Summary& all = m_tree[1];
    r.samples = SampleCount();
    r.length = Finite(all.length);
    if (all.minRadius >= 0.0 && std::isfinite(all.minRadius)) {
        r.minRadius = all.minRadius;
        r.minRadiusSample = all.minRadiusSample;
    }
    if (all.hasHeight) {
        r.heightMin = Finite(all.heightMin);
        r.heightMax = Finite(all.heightMax);
    }
    if (all.maxGrade >= 0.0) {
        r.maxGrade = Finite(all.maxGrade);
    }
    r.folds = all.folds;
    return r;
}

std::vector<std::int64_t> CTrackModel::FoldSamples() const {
    std::vector<std::int64_t> folds;
    for (std::size_t j = 0; j < m_folded.size(); ++j) {
        if (m_folded[j] != 0) {
            folds.push_back(static_cast<std::int64_t>(j));
        }
    }
    return folds;
}

std::string TrackInfoJson(std::size_t pointCount, int divisions, int width,
                          const CTrackModel& model) {
    const TrackReadouts r = model.Readouts();
    std::string out = "{\"points\":";
    AppendInteger(out, static_cast<std::int64_t>(pointCount));
    out += ",\"divisions\":";
    AppendInteger(out, divisions);
    out += ",\"width\":";
    AppendInteger(out, width);
    out += ",\"samples\":";
    AppendInteger(out, r.samples);
    out += ",\"length\":";
    AppendOptional(out, r.length);
    out += ",\"minRadius\":";
    AppendOptional(out, r.minRadius);
    out += ",\"minRadiusSample\":";
    AppendOptional(out, r.minRadiusSample);
    out += ",\"heightMin\":";
    AppendOptional(out, r.heightMin);
    out += ",\"heightMax\":";
    AppendOptional(out, r.heightMax);
    out += ",\"maxGrade\":";
    AppendOptional(out, r.maxGrade);
    out += ",\"folds\":";
    AppendOptional(out, r.folds);
    out += ",\"foldSamples\":";
    if (r.folds) {
        out += '[';
        bool firstFold = true;
        for (const std::int64_t j : model.FoldSamples()) {
            if (!firstFold) {
                out += ',';
            }
            firstFold = false;
            AppendInteger(out, j);
        }
        out += ']';
    } else {
        out += "null";
    }
    out += '}';
    return out;
}

} // namespace rolvet
