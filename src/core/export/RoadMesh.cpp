#include "export/RoadMesh.h"

#include <algorithm>
#include <cmath>

namespace rolvet {

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

} // namespace rolvet
