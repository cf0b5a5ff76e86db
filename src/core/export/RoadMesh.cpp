#include "export/RoadMesh.h"

#include "export/RoadRibbon.h"

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

// Writes the positions and normals of ring `ring` from one ribbon frame.
void PutRing(RoadMesh& mesh, std::size_t ring, const RoadFrame& frame) {
    const auto& [a, b, e, g] = frame.vertices;
    const CVector3D n = UpNormal(frame);
    const std::size_t r = kRoadVerticesPerRing * ring;
    Put3(mesh.road.positions, r, a);
    Put3(mesh.road.positions, r + 1, b);
    const std::size_t k = kKerbVerticesPerRing * ring;
    Put3(mesh.kerb.positions, k, e);
    Put3(mesh.kerb.positions, k + 1, a);
    Put3(mesh.kerb.positions, k + 2, b);
    Put3(mesh.kerb.positions, k + 3, g);
    for (int v = 0; v < kRoadVerticesPerRing; ++v) {
        Put3(mesh.road.normals, r + v, n);
    }
    for (int v = 0; v < kKerbVerticesPerRing; ++v) {
        Put3(mesh.kerb.normals, k + v, n);
    }
}

void ComputeSample(RoadMesh& mesh, const CRoadRibbon& ribbon, int divisions, std::int64_t j) {
    const RoadFrame frame =
        ribbon.Frame(static_cast<std::size_t>(j / divisions), static_cast<int>(j % divisions));
    mesh.centre[static_cast<std::size_t>(j)] = frame.centre;
    PutRing(mesh, static_cast<std::size_t>(j), frame);
    if (j == 0) {
        PutRing(mesh, static_cast<std::size_t>(mesh.samples), frame);
    }
}

double Distance(const CVector3D& a, const CVector3D& b) {
    const double dx = static_cast<double>(b.x) - static_cast<double>(a.x);
    const double dy = static_cast<double>(b.y) - static_cast<double>(a.y);
    const double dz = static_cast<double>(b.z) - static_cast<double>(a.z);
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The lap length, the number of repeats and u of every ring. One repeat should be about as long
// as the road surface is wide (0.9 of the width), so the surface's square texels stay square.
void ComputeTextureCoordinates(RoadMesh& mesh, float halfWidth) {
    const std::size_t s = static_cast<std::size_t>(mesh.samples);
    double length = 0.0;
    for (std::size_t j = 0; j < s; ++j) {
        length += Distance(mesh.centre[j], mesh.centre[j + 1 == s ? 0 : j + 1]);
    }
    mesh.length = length;
    const double surfaceWidth = 1.8 * std::fabs(static_cast<double>(halfWidth));
    const double ideal = length / surfaceWidth;
    mesh.repeats = std::isnan(ideal)
                       ? 1
                       : static_cast<int>(std::clamp(std::round(ideal), 1.0,
                                                     static_cast<double>(kMaxTextureRepeats)));
    const bool byLength = std::isfinite(length) && length > 0.0;
    const double scale = byLength ? mesh.repeats / length : 0.0;
    double along = 0.0;
    for (std::size_t ring = 0; ring <= s; ++ring) {
        double u = 0.0;
        if (ring == s) {
            u = mesh.repeats; // exactly a whole number of repeats: no seam
        } else if (byLength) {
            u = along * scale;
            along += Distance(mesh.centre[ring], mesh.centre[ring + 1 == s ? 0 : ring + 1]);
        } else {
            u = static_cast<double>(mesh.repeats) * static_cast<double>(ring) /
                static_cast<double>(s);
        }
        const auto fu = static_cast<float>(u);
        float* road = &mesh.road.uvs[2 * kRoadVerticesPerRing * ring];
        const float roadUv[] = {fu, 0.0f, fu, 1.0f};
        std::copy(std::begin(roadUv), std::end(roadUv), road);
        float* kerb = &mesh.kerb.uvs[2 * kKerbVerticesPerRing * ring];
        const float kerbUv[] = {fu, 1.0f, fu, 0.0f, fu, 0.0f, fu, 1.0f};
        std::copy(std::begin(kerbUv), std::end(kerbUv), kerb);
    }
}

bool AllFinite(const std::vector<float>& values) {
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

void ComputeIndices(RoadMesh& mesh) {
    const std::size_t s = static_cast<std::size_t>(mesh.samples);
    mesh.road.indices.resize(6 * s);
    mesh.kerb.indices.resize(12 * s);
    for (std::size_t j = 0; j < s; ++j) {
        // Road: A, B on this ring and A', B' on the next; the Metasequoia quad A B B' A' reversed.
        const auto a = static_cast<std::uint32_t>(kRoadVerticesPerRing * j);
        const std::uint32_t b = a + 1, a1 = a + 2, b1 = a + 3;
        const std::uint32_t road[] = {a, a1, b1, a, b1, b};
        std::copy(std::begin(road), std::end(road), mesh.road.indices.begin() + 6 * j);
        // Kerb: E A | B G on this ring, the next ring 4 further on.
        const auto e = static_cast<std::uint32_t>(kKerbVerticesPerRing * j);
        const std::uint32_t ka = e + 1, kb = e + 2, g = e + 3;
        const std::uint32_t kerb[] = {e,  e + 4,  ka + 4, e,  ka + 4, ka,
                                      kb, kb + 4, g + 4,  kb, g + 4,  g};
        std::copy(std::begin(kerb), std::end(kerb), mesh.kerb.indices.begin() + 12 * j);
    }
}

void Allocate(RoadMeshPart& part, std::size_t vertices) {
    part.positions.assign(3 * vertices, 0.0f);
    part.normals.assign(3 * vertices, 0.0f);
    part.uvs.assign(2 * vertices, 0.0f);
}

} // namespace

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
    const std::int64_t samples = static_cast<std::int64_t>(points.size()) * divisions;
    const auto s = static_cast<std::size_t>(samples);
    mesh.samples = samples;
    mesh.centre.resize(s);
    Allocate(mesh.road, kRoadVerticesPerRing * (s + 1));
    Allocate(mesh.kerb, kKerbVerticesPerRing * (s + 1));

    const CRoadRibbon ribbon(points, divisions, halfWidth);
    const auto total = static_cast<std::uint64_t>(samples);
    for (std::int64_t j = 0; j < samples; ++j) {
        if (j % kProgressInterval == 0 && progress &&
            !progress(static_cast<std::uint64_t>(j), total)) {
            mesh = RoadMesh{};
            return WriteOutcome::Cancelled;
        }
        ComputeSample(mesh, ribbon, divisions, j);
    }
    ComputeTextureCoordinates(mesh, halfWidth);
    ComputeIndices(mesh);
    mesh.finite = AllFinite(mesh.road.positions) && AllFinite(mesh.kerb.positions);
    return WriteOutcome::Written;
}

void UpdateRoadMeshSamples(RoadMesh& mesh, std::span<const CVector3D> points, int divisions,
                           float halfWidth, std::int64_t first, std::int64_t count) {
    if (divisions < 1 || mesh.samples != static_cast<std::int64_t>(points.size()) * divisions) {
        return;
    }
    const CRoadRibbon ribbon(points, divisions, halfWidth);
    count = std::min(count, mesh.samples);
    first = ((first % mesh.samples) + mesh.samples) % mesh.samples;
    for (std::int64_t c = 0; c < count; ++c) {
        ComputeSample(mesh, ribbon, divisions, (first + c) % mesh.samples);
    }
    ComputeTextureCoordinates(mesh, halfWidth);
    mesh.finite = AllFinite(mesh.road.positions) && AllFinite(mesh.kerb.positions);
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
