#include "BaselineTrackModel.h"

#include "export/CatmullRom.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>

namespace rolvet::baseline {

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

} // namespace rolvet::baseline

namespace rolvet::baseline {

namespace {

// Progress is reported (and cancellation checked) once per this many samples.
constexpr std::int64_t kProgressInterval = 4096;

void Put3(std::vector<float>& out, std::size_t vertex, const CVector3D& v) {
    out[3 * vertex] = v.x;
    out[3 * vertex + 1] = v.y;
    out[3 * vertex + 2] = v.z;
}

// The unit normal of the surface at a sample: perpendicular to the direction of travel and to
// the side vector, on the upper side. Where the ribbon has no extent it points straight up.
CVector3D UpNormal(const RoadFrame& frame) {
    const double sx = frame.side.x, sy = frame.side.y, sz = frame.side.z;
    const double dx = frame.direction.x, dy = frame.direction.y, dz = frame.direction.z;
    // side × direction: for a level road this is (0, |d|², 0), never downwards.
    const double nx = sy * dz - sz * dy;
    const double ny = sz * dx - sx * dz;
    const double nz = sx * dy - sy * dx;
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(length > 1e-12) || !std::isfinite(length)) {
        return {0.0f, 1.0f, 0.0f};
    }
    return {static_cast<float>(nx / length), static_cast<float>(ny / length),
            static_cast<float>(nz / length)};
}

// Positions and normals of ring `ring` from one ribbon frame.
void PutRing(RoadMeshPart& road, RoadMeshPart& kerb, std::size_t ring, const RoadFrame& frame) {
    const auto& [a, b, e, g] = frame.vertices;
    const CVector3D n = UpNormal(frame);
    const std::size_t r = kRoadVerticesPerRing * ring;
    Put3(road.positions, r, a);
    Put3(road.positions, r + 1, b);
    const std::size_t k = kKerbVerticesPerRing * ring;
    Put3(kerb.positions, k, e);
    Put3(kerb.positions, k + 1, a);
    Put3(kerb.positions, k + 2, b);
    Put3(kerb.positions, k + 3, g);
    for (std::size_t v = 0; v < kRoadVerticesPerRing; ++v) {
        Put3(road.normals, r + v, n);
    }
    for (std::size_t v = 0; v < kKerbVerticesPerRing; ++v) {
        Put3(kerb.normals, k + v, n);
    }
}

// Texture coordinates of ring `ring`: u along, v 0 at the inner line and 1 at the band's edge.
void PutU(RoadMeshPart& road, RoadMeshPart& kerb, std::size_t ring, float u) {
    const float roadUv[] = {u, 0.0f, u, 1.0f};
    std::copy(std::begin(roadUv), std::end(roadUv),
              road.uvs.begin() + 2 * kRoadVerticesPerRing * ring);
    const float kerbUv[] = {u, 1.0f, u, 0.0f, u, 0.0f, u, 1.0f};
    std::copy(std::begin(kerbUv), std::end(kerbUv),
              kerb.uvs.begin() + 2 * kKerbVerticesPerRing * ring);
}

double Distance(const CVector3D& a, const CVector3D& b) {
    const double dx = static_cast<double>(b.x) - static_cast<double>(a.x);
    const double dy = static_cast<double>(b.y) - static_cast<double>(a.y);
    const double dz = static_cast<double>(b.z) - static_cast<double>(a.z);
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// One repeat should be about as long as the road surface is wide (0.9 of the width), so the
// surface's square texels stay square; a whole number of them fits the lap.
int RepeatsFor(double length, float halfWidth) {
    const double ideal = length / (1.8 * std::fabs(static_cast<double>(halfWidth)));
    if (std::isnan(ideal)) {
        return 1;
    }
    return static_cast<int>(
        std::clamp(std::round(ideal), 1.0, static_cast<double>(kMaxTextureRepeats)));
}

// u of rings 0 .. S: the arc length from sample 0 in repeats; ring S is exactly `repeats`.
// centre(j) gives the centre of sample j; length is the sum of the chords in sample order.
template <typename CentreOf>
void ForEachU(std::int64_t samples, double length, int repeats, CentreOf centre, auto&& put) {
    const bool byLength = std::isfinite(length) && length > 0.0;
    const double scale = byLength ? repeats / length : 0.0;
    double along = 0.0;
    CVector3D previous = samples > 0 ? centre(0) : CVector3D();
    for (std::int64_t ring = 0; ring <= samples; ++ring) {
        double u = 0.0;
        if (ring == samples) {
            u = repeats;
        } else if (byLength) {
            const CVector3D c = centre(ring);
            along += Distance(previous, c);
            previous = c;
            u = along * scale;
        } else {
            u = static_cast<double>(repeats) * static_cast<double>(ring) /
                static_cast<double>(samples);
        }
        put(ring, static_cast<float>(u));
    }
}

// The lap length: the chords between consecutive centres, in sample order, closing the loop.
template <typename CentreOf> double LapLength(std::int64_t samples, CentreOf centre) {
    double length = 0.0;
    CVector3D first = centre(0), previous = first;
    for (std::int64_t j = 1; j < samples; ++j) {
        const CVector3D c = centre(j);
        length += Distance(previous, c);
        previous = c;
    }
    return length + Distance(previous, first);
}

void Allocate(RoadMeshPart& part, std::size_t vertices) {
    part.positions.assign(3 * vertices, 0.0f);
    part.normals.assign(3 * vertices, 0.0f);
    part.uvs.assign(2 * vertices, 0.0f);
}

bool IsFinite(const CVector3D& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

void Widen(std::array<CVector3D, 2>& box, const CVector3D& v) {
    box[0] = {std::min(box[0].x, v.x), std::min(box[0].y, v.y), std::min(box[0].z, v.z)};
    box[1] = {std::max(box[1].x, v.x), std::max(box[1].y, v.y), std::max(box[1].z, v.z)};
}

} // namespace

CRoadMeshRings::CRoadMeshRings(std::span<const CVector3D> points, int divisions, float halfWidth,
                               const ExportProgress& progress)
    : m_ribbon(points, divisions, halfWidth), m_divisions(divisions) {
    if (points.empty() || divisions < 1) {
        return;
    }
    const std::int64_t samples = static_cast<std::int64_t>(points.size()) * divisions;
    // One walk: finiteness, the bounds of both parts and the lap length, in sample order.
    CVector3D first, previous;
    double length = 0.0;
    for (std::int64_t j = 0; j < samples; ++j) {
        if (j % kProgressInterval == 0 && progress &&
            !progress(static_cast<std::uint64_t>(j), static_cast<std::uint64_t>(samples))) {
            m_cancelled = true;
            return;
        }
        const RoadFrame frame = m_ribbon.Frame(static_cast<std::size_t>(j / divisions),
                                               static_cast<int>(j % divisions));
        const auto& [a, b, e, g] = frame.vertices;
        if (j == 0) {
            first = previous = frame.centre;
            m_roadBounds = {a, a};
            m_kerbBounds = {a, a};
        } else {
            length += Distance(previous, frame.centre);
            previous = frame.centre;
        }
        m_finite = m_finite && IsFinite(a) && IsFinite(b) && IsFinite(e) && IsFinite(g);
        Widen(m_roadBounds, a);
        Widen(m_roadBounds, b);
        for (const CVector3D& v : frame.vertices) {
            Widen(m_kerbBounds, v);
        }
    }
    m_length = length + Distance(previous, first);
    m_repeats = RepeatsFor(m_length, halfWidth);
    m_samples = samples;
    m_u.resize(static_cast<std::size_t>(samples) + 1);
    ForEachU(
        samples, m_length, m_repeats, [this](std::int64_t j) { return Centre(j); },
        [this](std::int64_t ring, float u) { m_u[static_cast<std::size_t>(ring)] = u; });
}

CVector3D CRoadMeshRings::Centre(std::int64_t j) const {
    return m_ribbon.Centre(static_cast<std::size_t>(j / m_divisions),
                           static_cast<int>(j % m_divisions));
}

void CRoadMeshRings::Fill(std::int64_t first, std::int64_t count, RoadMeshPart& road,
                          RoadMeshPart& kerb, std::size_t at, CVector3D* centres) const {
    for (std::int64_t r = first; r < first + count; ++r) {
        const std::int64_t j = r == m_samples ? 0 : r;
        const RoadFrame frame = m_ribbon.Frame(static_cast<std::size_t>(j / m_divisions),
                                               static_cast<int>(j % m_divisions));
        const std::size_t ring = at + static_cast<std::size_t>(r - first);
        PutRing(road, kerb, ring, frame);
        PutU(road, kerb, ring, m_u[static_cast<std::size_t>(r)]);
        if (centres) {
            centres[ring] = frame.centre;
        }
    }
}

void CRoadMeshRings::FillIndices(std::int64_t first, std::int64_t count, std::uint32_t* road,
                                 std::uint32_t* kerb) {
    for (std::int64_t j = first; j < first + count; ++j) {
        // Road: A, B on this ring and A', B' on the next; the Metasequoia quad A B B' A' reversed.
        const auto a = static_cast<std::uint32_t>(kRoadVerticesPerRing * j);
        const std::uint32_t b = a + 1, a1 = a + 2, b1 = a + 3;
        const std::uint32_t roadTriangles[] = {a, a1, b1, a, b1, b};
        if (road) {
            road = std::copy(std::begin(roadTriangles), std::end(roadTriangles), road);
        }
        // Kerb: E A | B G on this ring, the next ring 4 further on.
        const auto e = static_cast<std::uint32_t>(kKerbVerticesPerRing * j);
        const std::uint32_t ka = e + 1, kb = e + 2, g = e + 3;
        const std::uint32_t kerbTriangles[] = {e,  e + 4,  ka + 4, e,  ka + 4, ka,
                                               kb, kb + 4, g + 4,  kb, g + 4,  g};
        if (kerb) {
            kerb = std::copy(std::begin(kerbTriangles), std::end(kerbTriangles), kerb);
        }
    }
}

std::uint64_t RoadMeshBytes(std::int64_t samples) {
    if (samples <= 0) {
        return 0;
    }
    const auto s = static_cast<std::uint64_t>(samples);
    constexpr std::uint64_t kVertexBytes = (3 + 3 + 2) * sizeof(float);
    constexpr std::uint64_t kRingBytes =
        (kRoadVerticesPerRing + kKerbVerticesPerRing) * kVertexBytes;
    constexpr std::uint64_t kSampleBytes =
        kTrianglesPerSample * 3 * sizeof(std::uint32_t) + sizeof(CVector3D);
    return (s + 1) * kRingBytes + s * kSampleBytes;
}

WriteOutcome BuildRoadMesh(std::span<const CVector3D> points, int divisions, float halfWidth,
                           RoadMesh& mesh, const ExportProgress& progress) {
    mesh = RoadMesh{};
    if (points.empty() || divisions < 1) {
        return WriteOutcome::Failed;
    }
    const std::uint64_t total = 2 * static_cast<std::uint64_t>(points.size()) * divisions;
    const CRoadMeshRings rings(
        points, divisions, halfWidth,
        [&](std::uint64_t done, std::uint64_t) { return !progress || progress(done, total); });
    if (rings.Cancelled()) {
        return WriteOutcome::Cancelled;
    }
    const std::int64_t samples = rings.Samples();
    const auto s = static_cast<std::size_t>(samples);
    mesh.samples = samples;
    mesh.length = rings.Length();
    mesh.repeats = rings.Repeats();
    mesh.finite = rings.Finite();
    mesh.centre.resize(s);
    Allocate(mesh.road, kRoadVerticesPerRing * (s + 1));
    Allocate(mesh.kerb, kKerbVerticesPerRing * (s + 1));
    for (std::int64_t j = 0; j < samples; j += kProgressInterval) {
        if (progress && !progress(total / 2 + static_cast<std::uint64_t>(j), total)) {
            mesh = RoadMesh{};
            return WriteOutcome::Cancelled;
        }
        const std::int64_t count = std::min(kProgressInterval, samples - j);
        rings.Fill(j, count, mesh.road, mesh.kerb, static_cast<std::size_t>(j), mesh.centre.data());
    }
    rings.Fill(samples, 1, mesh.road, mesh.kerb, s);
    mesh.road.indices.resize(6 * s);
    mesh.kerb.indices.resize(12 * s);
    CRoadMeshRings::FillIndices(0, samples, mesh.road.indices.data(), mesh.kerb.indices.data());
    return WriteOutcome::Written;
}

void UpdateRoadMeshSamples(RoadMesh& mesh, std::span<const CVector3D> points, int divisions,
                           float halfWidth, std::int64_t first, std::int64_t count) {
    if (divisions < 1 || mesh.samples != static_cast<std::int64_t>(points.size()) * divisions) {
        return;
    }
    UpdateRoadMeshGeometry(mesh, points, divisions, halfWidth, first, count);
    UpdateRoadMeshTexture(mesh, halfWidth);
}

void UpdateRoadMeshGeometry(RoadMesh& mesh, std::span<const CVector3D> points, int divisions,
                            float halfWidth, std::int64_t first, std::int64_t count) {
    if (divisions < 1 || mesh.samples != static_cast<std::int64_t>(points.size()) * divisions) {
        return;
    }
    const CRoadRibbon ribbon(points, divisions, halfWidth);
    const std::int64_t samples = mesh.samples;
    count = std::min(count, samples);
    first = ((first % samples) + samples) % samples;
    for (std::int64_t c = 0; c < count; ++c) {
        const std::int64_t j = (first + c) % samples;
        const RoadFrame frame =
            ribbon.Frame(static_cast<std::size_t>(j / divisions), static_cast<int>(j % divisions));
        mesh.centre[static_cast<std::size_t>(j)] = frame.centre;
        PutRing(mesh.road, mesh.kerb, static_cast<std::size_t>(j), frame);
        if (j == 0) {
            PutRing(mesh.road, mesh.kerb, static_cast<std::size_t>(samples), frame);
        }
    }
}

void UpdateRoadMeshTexture(RoadMesh& mesh, float halfWidth) {
    const std::int64_t samples = mesh.samples;
    if (samples <= 0) {
        return;
    }
    // The lap length and so every u change with any sample.
    auto centre = [&mesh](std::int64_t j) { return mesh.centre[static_cast<std::size_t>(j)]; };
    mesh.length = LapLength(samples, centre);
    mesh.repeats = RepeatsFor(mesh.length, halfWidth);
    ForEachU(samples, mesh.length, mesh.repeats, centre, [&mesh](std::int64_t ring, float u) {
        PutU(mesh.road, mesh.kerb, static_cast<std::size_t>(ring), u);
    });
    auto finite = [](const std::vector<float>& values) {
        return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
    };
    mesh.finite = finite(mesh.road.positions) && finite(mesh.kerb.positions);
}

SampleRange SamplesMovedByPoint(std::size_t pointCount, int divisions, std::size_t point) {
    if (pointCount == 0 || divisions < 1) {
        return {};
    }
    const std::int64_t n = static_cast<std::int64_t>(pointCount);
    const std::int64_t samples = n * divisions;
    if (n <= 4) {
        return {0, samples};
    }
    const std::int64_t firstSegment = (static_cast<std::int64_t>(point) + n - 2) % n;
    return {firstSegment * divisions, 4 * static_cast<std::int64_t>(divisions)};
}

} // namespace rolvet::baseline

namespace rolvet::baseline {

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

bool SameBits(std::span<const CVector3D> a, std::size_t i, const CVector3D& b) {
    return std::bit_cast<std::array<std::uint32_t, 3>>(a[i]) ==
           std::bit_cast<std::array<std::uint32_t, 3>>(b);
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

ModelChange CTrackModel::Update(std::span<const CVector3D> points, int divisions, float halfWidth) {
    const std::size_t n = points.size();
    const bool sameShape =
        m_built && n == m_points.size() && divisions == m_divisions &&
        std::bit_cast<std::uint32_t>(halfWidth) == std::bit_cast<std::uint32_t>(m_halfWidth);
    if (!sameShape || m_state != TrackModelState::Ok) {
        m_points.assign(points.begin(), points.end());
        m_divisions = divisions;
        m_halfWidth = halfWidth;
        RebuildAll();
        return {0, SampleCount(), true};
    }

    // The first and last control points that differ from the model's copy.
    std::size_t first = 0;
    while (first < n && SameBits(points, first, m_points[first])) {
        ++first;
    }
    if (first == n) {
        return {};
    }
    std::size_t last = n - 1;
    while (SameBits(points, last, m_points[last])) {
        --last;
    }
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

} // namespace rolvet::baseline
