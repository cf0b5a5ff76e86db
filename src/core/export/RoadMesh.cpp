#include "export/RoadMesh.h"

#include "export/Parallel.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace rolvet {

namespace {

// The arc length within a segment is a running sum from the segment's first sample; it is
// remembered every this many samples, so the rings can be computed from there on.
constexpr std::int64_t kCheckpoint = 1024;
// Samples computed at a time by one thread.
constexpr int kPiece = 256;
// Progress is reported (and cancellation checked) about once per this many samples.
constexpr std::int64_t kProgressInterval = 65536;
constexpr std::size_t kRingsPerThread = 1024;
// A vertex whose centre and width both stay below this in every coordinate is finite: their sum
// is far from the largest float.
constexpr double kSafeReach = 1e37;

void Put3(std::vector<float>& out, std::size_t vertex, const CVector3D& v) {
    out[3 * vertex] = v.x;
    out[3 * vertex + 1] = v.y;
    out[3 * vertex + 2] = v.z;
}

void Widen(std::array<CVector3D, 2>& box, const CVector3D& v) {
    box[0] = {std::min(box[0].x, v.x), std::min(box[0].y, v.y), std::min(box[0].z, v.z)};
    box[1] = {std::max(box[1].x, v.x), std::max(box[1].y, v.y), std::max(box[1].z, v.z)};
}

bool IsFinite(const CVector3D& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Room for kPiece samples.
struct Scratch {
    std::vector<CVector3D> centre, direction, side;
    std::vector<RoadSample> section;
    std::vector<double> along;

    Scratch() : centre(kPiece), direction(kPiece), side(kPiece), section(kPiece), along(kPiece) {}
    SampleArrays Arrays() {
        return {centre.data(), direction.data(), side.data(), section.data(), along.data()};
    }
};

} // namespace

CRoadMeshRings::CRoadMeshRings(std::span<const CVector3D> points, int divisions, float halfWidth,
                               const ExportProgress& progress, const CRoadShape* shape)
    : m_sampler(points, divisions, halfWidth, shape), m_divisions(divisions) {
    if (points.empty() || divisions < 1) {
        return;
    }
    const std::size_t n = points.size();
    const std::int64_t samples = static_cast<std::int64_t>(n) * divisions;
    m_lengths.Reset(n);
    m_checkpoints.assign(static_cast<std::size_t>(samples / kCheckpoint) + 1, 0.0);
    const bool shaped = m_sampler.Shaped();
    const double width = m_sampler.HalfWidth();
    // Whether every vertex is finite for certain: each lies within its width of its centre, the
    // side being of unit length, so centres and widths far inside the float range are enough.
    std::atomic<bool> inRange{true};
    // Whole segments at a time, as many as make about kProgressInterval samples.
    const std::size_t block =
        std::max<std::size_t>(1, static_cast<std::size_t>(kProgressInterval / divisions));
    for (std::size_t first = 0; first < n; first += block) {
        if (progress && !progress(static_cast<std::uint64_t>(first) * divisions,
                                  static_cast<std::uint64_t>(samples))) {
            m_cancelled = true;
            return;
        }
        const std::size_t count = std::min(block, n - first);
        ParallelFor(
            count, std::max<std::size_t>(1, kRingsPerThread / divisions),
            [&](std::size_t begin, std::size_t end) {
                std::vector<CVector3D> centres(kPiece);
                bool fits = true;
                for (std::size_t k = first + begin; k < first + end; ++k) {
                    const std::int64_t base = static_cast<std::int64_t>(k) * divisions;
                    double along = 0.0;
                    for (int i = 0; i < divisions;) {
                        // Pieces end on checkpoints, where the running sum is kept.
                        const std::int64_t j = base + i;
                        const int stop = static_cast<int>(std::min<std::int64_t>(
                            {divisions, i + kPiece, (j / kCheckpoint + 1) * kCheckpoint - base}));
                        along =
                            m_sampler.ComputeSteps(k, i, stop, along, {.centre = centres.data()});
                        for (int s = 0; s < stop - i; ++s) {
                            const CVector3D& c = centres[static_cast<std::size_t>(s)];
                            double reach = width;
                            if (shaped) {
                                const SampleShape here = m_sampler.Shape(k, i + s);
                                reach = std::max(std::fabs(here.left), std::fabs(here.right));
                            }
                            // Each coordinate on its own, which also fails a NaN.
                            for (const float v : {c.x, c.y, c.z}) {
                                fits =
                                    fits && std::fabs(static_cast<double>(v)) + reach < kSafeReach;
                            }
                        }
                        i = stop;
                        if ((base + i) % kCheckpoint == 0 && i < divisions) {
                            m_checkpoints[static_cast<std::size_t>((base + i) / kCheckpoint)] =
                                along;
                        }
                    }
                    m_lengths.Set(k, along);
                }
                if (!fits) {
                    inRange = false;
                }
            });
    }
    m_finite = inRange || AllSectionsFinite();
    m_lengths.Sum();
    m_repeats = TextureRepeats(m_lengths.Total(), m_sampler.Shaped()
                                                      ? static_cast<float>(shape->MeanHalfWidth())
                                                      : m_sampler.HalfWidth());
    m_samples = samples;
}

bool CRoadMeshRings::AllSectionsFinite() const {
    std::atomic<bool> finite{true};
    const std::size_t n = m_sampler.SegmentCount();
    ParallelFor(n,
                std::max<std::size_t>(1, kRingsPerThread / static_cast<std::size_t>(m_divisions)),
                [&](std::size_t begin, std::size_t end) {
                    std::vector<RoadSample> sections(kPiece);
                    for (std::size_t k = begin; k < end && finite; ++k) {
                        for (int i = 0; i < m_divisions; i += kPiece) {
                            const int stop = std::min(m_divisions, i + kPiece);
                            m_sampler.ComputeSteps(k, i, stop, 0.0, {.section = sections.data()});
                            for (int s = 0; s < stop - i; ++s) {
                                for (const CVector3D& v : sections[static_cast<std::size_t>(s)]) {
                                    if (!IsFinite(v)) {
                                        finite = false;
                                    }
                                }
                            }
                        }
                    }
                });
    return finite;
}

void RoadMeshBounds::Add(const MeshRing* rings, std::size_t count) {
    if (count == 0) {
        return;
    }
    const RoadSample& v0 = rings[0].vertices;
    RoadMeshBounds piece{{v0[0], v0[0]}, {v0[0], v0[0]}, {v0[2], v0[2]}, true};
    for (std::size_t r = 0; r < count; ++r) {
        const auto& [a, b, e, g] = rings[r].vertices;
        Widen(piece.road, a);
        Widen(piece.road, b);
        Widen(piece.edge, e);
        Widen(piece.edge, g);
    }
    piece.kerb = piece.road;
    Widen(piece.kerb, piece.edge[0]);
    Widen(piece.kerb, piece.edge[1]);
    Add(piece);
}

void RoadMeshBounds::Add(const RoadMeshBounds& other) {
    if (!other.any) {
        return;
    }
    if (!any) {
        *this = other;
        return;
    }
    for (auto [box, with] : {std::pair{&road, &other.road}, std::pair{&kerb, &other.kerb},
                             std::pair{&edge, &other.edge}}) {
        Widen(*box, (*with)[0]);
        Widen(*box, (*with)[1]);
    }
}

void CRoadMeshRings::Centres(std::int64_t first, std::int64_t count, CVector3D* out) const {
    for (std::int64_t j = first; j < first + count;) {
        const std::int64_t i = j % m_divisions;
        const std::int64_t end = std::min<std::int64_t>(m_divisions, i + (first + count - j));
        m_sampler.Centres(static_cast<std::size_t>(j / m_divisions), static_cast<int>(i),
                          static_cast<int>(end), out);
        out += end - i;
        j += end - i;
    }
}

CVector3D CRoadMeshRings::Centre(std::int64_t j) const {
    if (m_centresFrom < 0 || j < m_centresFrom ||
        j >= m_centresFrom + static_cast<std::int64_t>(m_centres.size())) {
        // From j to the end of its segment, at most kPiece of them.
        const std::int64_t i = j % m_divisions;
        const std::int64_t end = std::min<std::int64_t>(m_divisions, i + kPiece);
        m_centres.resize(static_cast<std::size_t>(end - i));
        m_sampler.Centres(static_cast<std::size_t>(j / m_divisions), static_cast<int>(i),
                          static_cast<int>(end), m_centres.data());
        m_centresFrom = j;
    }
    return m_centres[static_cast<std::size_t>(j - m_centresFrom)];
}

RoadFrame CRoadMeshRings::FrameAt(std::int64_t j, double& along) const {
    const std::int64_t d = m_divisions;
    const std::int64_t k = j / d;
    const std::int64_t base = k * d;
    const auto segment = static_cast<std::size_t>(k);
    // The running arc length from the last checkpoint in this segment, as Fill computes it.
    const std::int64_t mark = std::max(base, j / kCheckpoint * kCheckpoint);
    double a = mark == base ? 0.0 : m_checkpoints[static_cast<std::size_t>(mark / kCheckpoint)];
    for (std::int64_t i = mark - base; i < j - base;) {
        const std::int64_t next = std::min(i + kPiece, j - base);
        a = m_sampler.ComputeSteps(segment, static_cast<int>(i), static_cast<int>(next), a, {});
        i = next;
    }
    RoadFrame frame;
    double within = 0.0;
    m_sampler.ComputeSteps(
        segment, static_cast<int>(j - base), static_cast<int>(j - base + 1), a,
        {&frame.centre, &frame.direction, &frame.side, &frame.vertices, &within});
    along = m_lengths.Before(segment) + within;
    return frame;
}

MeshRing CRoadMeshRings::RingOf(std::int64_t ring, const RoadFrame& frame, double along,
                                double lap) const {
    return {frame.vertices, RoadUp(frame.direction, frame.side),
            TextureU(along, lap, m_repeats, ring, m_samples)};
}

template <typename Put>
void CRoadMeshRings::EachRing(std::int64_t first, std::int64_t end, Put&& put) const {
    const std::int64_t d = m_divisions;
    Scratch scratch;
    const SampleArrays arrays = scratch.Arrays();
    for (std::int64_t j = first; j < end;) {
        const std::int64_t k = j / d;
        const std::int64_t base = k * d;
        const auto segment = static_cast<std::size_t>(k);
        // The running arc length from the last checkpoint in this segment.
        const std::int64_t mark = std::max(base, j / kCheckpoint * kCheckpoint);
        double along =
            mark == base ? 0.0 : m_checkpoints[static_cast<std::size_t>(mark / kCheckpoint)];
        for (std::int64_t i = mark - base; i < j - base;) {
            const std::int64_t next = std::min(i + kPiece, j - base);
            along = m_sampler.ComputeSteps(segment, static_cast<int>(i), static_cast<int>(next),
                                           along, {});
            i = next;
        }
        const std::int64_t last = std::min({base + d, j + kPiece, end});
        const double before = m_lengths.Before(segment);
        m_sampler.ComputeSteps(segment, static_cast<int>(j - base), static_cast<int>(last - base),
                               along, arrays);
        for (std::int64_t s = j; s < last; ++s) {
            const auto o = static_cast<std::size_t>(s - j);
            put(s,
                RoadFrame{scratch.centre[o], scratch.direction[o], scratch.side[o],
                          scratch.section[o]},
                before + scratch.along[o]);
        }
        j = last;
    }
}

void CRoadMeshRings::Fill(std::int64_t first, std::int64_t count, RoadMeshPart& road,
                          RoadMeshPart& kerb, std::size_t at, CVector3D* centres) const {
    const double lap = m_lengths.Total();
    auto put = [&](std::int64_t ring, const RoadFrame& frame, double along) {
        const auto r = at + static_cast<std::size_t>(ring - first);
        const MeshRing made = RingOf(ring, frame, along, lap);
        const auto& [a, b, e, g] = made.vertices;
        const CVector3D& up = made.up;
        const float u = made.u;
        const std::size_t rv = kRoadVerticesPerRing * r;
        Put3(road.positions, rv, a);
        Put3(road.positions, rv + 1, b);
        const std::size_t kv = kKerbVerticesPerRing * r;
        Put3(kerb.positions, kv, e);
        Put3(kerb.positions, kv + 1, a);
        Put3(kerb.positions, kv + 2, b);
        Put3(kerb.positions, kv + 3, g);
        for (std::size_t v = 0; v < kRoadVerticesPerRing; ++v) {
            Put3(road.normals, rv + v, up);
        }
        for (std::size_t v = 0; v < kKerbVerticesPerRing; ++v) {
            Put3(kerb.normals, kv + v, up);
        }
        const float roadUv[] = {u, 0.0f, u, 1.0f};
        std::copy(std::begin(roadUv), std::end(roadUv), road.uvs.begin() + 2 * rv);
        const float kerbUv[] = {u, 1.0f, u, 0.0f, u, 0.0f, u, 1.0f};
        std::copy(std::begin(kerbUv), std::end(kerbUv), kerb.uvs.begin() + 2 * kv);
        if (centres) {
            centres[r] = frame.centre;
        }
    };
    // Ring S closes the loop on sample 0.
    const std::int64_t end = std::min(first + count, m_samples);
    if (first + count > m_samples) {
        put(m_samples, m_sampler.Frame(0, 0), 0.0);
    }
    if (first >= end) {
        return;
    }
    ParallelFor(static_cast<std::size_t>(end - first), kRingsPerThread,
                [&](std::size_t begin, std::size_t stop) {
                    EachRing(first + static_cast<std::int64_t>(begin),
                             first + static_cast<std::int64_t>(stop), put);
                });
}

void CRoadMeshRings::Rings(std::int64_t first, std::int64_t count, MeshRing* out) const {
    const double lap = m_lengths.Total();
    auto put = [&](std::int64_t ring, const RoadFrame& frame, double along) {
        out[ring - first] = RingOf(ring, frame, along, lap);
    };
    const std::int64_t end = std::min(first + count, m_samples);
    EachRing(first, end, put);
    if (first + count > m_samples) {
        put(m_samples, m_sampler.Frame(0, 0), 0.0);
    }
}

void CRoadMeshRings::FillIndices(std::int64_t first, std::int64_t count, std::uint32_t* road,
                                 std::uint32_t* kerb) {
    // Road: A, B on this ring and A', B' on the next; the Metasequoia quad A B B' A' reversed.
    constexpr std::uint32_t kRoad[] = {0, 2, 3, 0, 3, 1};
    // Kerb: E A | B G on this ring, the next ring 4 further on.
    constexpr std::uint32_t kKerb[] = {0, 4, 5, 0, 5, 1, 2, 6, 7, 2, 7, 3};
    const auto n = static_cast<std::size_t>(std::max<std::int64_t>(count, 0));
    if (road) {
        for (std::size_t s = 0; s < n; ++s) {
            const auto a = static_cast<std::uint32_t>(kRoadVerticesPerRing * (first + s));
            for (std::size_t v = 0; v < 6; ++v) {
                road[6 * s + v] = a + kRoad[v];
            }
        }
    }
    if (kerb) {
        for (std::size_t s = 0; s < n; ++s) {
            const auto e = static_cast<std::uint32_t>(kKerbVerticesPerRing * (first + s));
            for (std::size_t v = 0; v < 12; ++v) {
                kerb[12 * s + v] = e + kKerb[v];
            }
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

} // namespace rolvet
