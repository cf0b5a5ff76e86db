// The road as an indexed triangle mesh with two materials, for the engine formats (GLB, OBJ). It
// is laid out from the road model (RoadModel.h): the same samples, frames and cross-sections;
// only the triangulation, the normals and the texture coordinates are its own.
//
// Layout. Vertices come ring by ring: ring j (0 <= j <= S) holds sample j, and ring S repeats
// sample 0 with the texture coordinate of a whole lap, so the texture closes the loop without a
// seam. The road part holds 2 vertices a ring (inner line plus side A, minus side B), the kerb
// part 4 (outer plus E, inner plus A, inner minus B, outer minus G). Sample j owns 2 road and 4
// kerb triangles, stored in that order at index 6j (road) and 12j (kerb), counter-clockwise seen
// from above: 6·S triangles in all. Indices depend only on S.
//
// Texture coordinates: u runs along the road, one unit per texture repeat, measured by the
// centre line's arc length, with a whole number of repeats per lap; v runs across, 0 at the
// inner line and 1 at the other edge of the band (road: A = 0, B = 1; kerb: inner 0, outer 1).
// The texture images are the two bands of the road texture, cut apart (see RoadTextureBands).
#pragma once

#include "export/ExportProgress.h"
#include "export/RoadModel.h"
#include "track/Vector3D.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace rolvet {

struct RoadMeshPart {
    std::vector<float> positions;       // x, y, z per vertex
    std::vector<float> normals;         // unit length, pointing up from the surface
    std::vector<float> uvs;             // u along the road, v across
    std::vector<std::uint32_t> indices; // three per triangle

    std::size_t VertexCount() const { return positions.size() / 3; }
};

inline constexpr int kRoadVerticesPerRing = 2;
inline constexpr int kKerbVerticesPerRing = 4;
inline constexpr int kTrianglesPerSample = 6;

// Where the surface band (the "road" image) and the kerb band (the "kerb" image) lie in the
// road texture, as fractions of its width (u) and height (v).
struct RoadTextureBands {
    static constexpr double kRoadU0 = 0.26, kRoadU1 = 1.0, kRoadV0 = 0.26, kRoadV1 = 1.0;
    static constexpr double kKerbU0 = 0.0, kKerbU1 = 1.0, kKerbV0 = 0.0, kKerbV1 = 0.24;
};

// What the parts' vertices of one ring are made of: the cross-section A, B, E, G, the surface's
// normal and the texture coordinate u (see the layout above).
struct MeshRing {
    RoadSample vertices;
    CVector3D up;
    float u = 0.0f;
};

// The smallest and largest x, y and z of the road part's positions (A, B), of the kerb part's
// (all four) and of the outer edge points E and G alone, gathered ring by ring.
struct RoadMeshBounds {
    std::array<CVector3D, 2> road{}, kerb{}, edge{};
    bool any = false; // false: nothing added yet, the boxes mean nothing

    void Add(const MeshRing* rings, std::size_t count);
    void Add(const RoadMeshBounds& other);
};

// The mesh ring by ring, for writers that stream a large road without holding it in memory:
// each call computes the rings it is asked for from the road model's sampler. Construction walks
// the centre line once for what a writer needs first: the lap length, the texture repeats and
// whether every vertex is finite (the cross-sections themselves only where the centre line comes
// near the end of the float range). Memory grows with the control points, not the samples.
class CRoadMeshRings {
public:
    // Needs at least one point and one division (Samples() is 0 otherwise). points must stay
    // alive and unchanged while the object is used. progress is told how many of the S samples
    // are walked and may cancel (Cancelled()). shape, when given, must stay alive too; the
    // texture then repeats by the mean of its widths.
    CRoadMeshRings(std::span<const CVector3D> points, int divisions, float halfWidth,
                   const ExportProgress& progress = {}, const CRoadShape* shape = nullptr);

    std::int64_t Samples() const { return m_samples; }
    double Length() const { return m_lengths.Total(); }
    int Repeats() const { return m_repeats; }
    bool Finite() const { return m_finite; }
    bool Cancelled() const { return m_cancelled; }
    // Whether the road has a shape of its own, and the shape at sample j (0 <= j < S).
    bool Shaped() const { return m_sampler.Shaped(); }
    SampleShape Shape(std::int64_t j) const {
        return m_sampler.Shape(static_cast<std::size_t>(j / m_divisions),
                               static_cast<int>(j % m_divisions));
    }
    // The centre point of sample j (0 <= j < S). Asked in order, the centres are computed a
    // few hundred at a time; not for use from several threads at once.
    CVector3D Centre(std::int64_t j) const;
    // The centre points of samples first .. first + count − 1 (within 0 .. S − 1) into out; safe
    // to call from several threads at once.
    void Centres(std::int64_t first, std::int64_t count, CVector3D* out) const;
    // The frame of sample j (0 <= j < S) and, in along, its arc length from sample 0 (the same
    // number the texture coordinates are computed from).
    RoadFrame FrameAt(std::int64_t j, double& along) const;

    // Writes rings first .. first + count − 1 (0 <= first, first + count <= S + 1) into the
    // parts starting at their ring `at`; the parts must already hold that many rings. centres,
    // when given, receives the centre of each ring's sample at the same offset.
    void Fill(std::int64_t first, std::int64_t count, RoadMeshPart& road, RoadMeshPart& kerb,
              std::size_t at = 0, CVector3D* centres = nullptr) const;
    // The same rings into out[0 .. count − 1], all on the calling thread: for callers that
    // spread their own work over the cores.
    void Rings(std::int64_t first, std::int64_t count, MeshRing* out) const;

    // The triangles of samples first .. first + count − 1: 6 road and 12 kerb indices each
    // (either output may be null).
    static void FillIndices(std::int64_t first, std::int64_t count, std::uint32_t* road,
                            std::uint32_t* kerb);

private:
    // Whether every cross-section is finite, computed in full.
    bool AllSectionsFinite() const;
    // Ring `ring` from its sample's frame and arc length, on a lap of length `lap`.
    MeshRing RingOf(std::int64_t ring, const RoadFrame& frame, double along, double lap) const;
    // Calls put(ring, frame, along) for the rings of samples first .. end − 1 (end <= S), on
    // the calling thread.
    template <typename Put> void EachRing(std::int64_t first, std::int64_t end, Put&& put) const;

    CRoadSampler m_sampler;
    int m_divisions;
    std::int64_t m_samples = 0;
    CSegmentLengths m_lengths;
    std::vector<double> m_checkpoints; // the running arc length at every 1024th sample
    int m_repeats = 1;
    bool m_finite = true;
    bool m_cancelled = false;
    // The centres last computed for Centre(): samples m_centresFrom on.
    mutable std::vector<CVector3D> m_centres;
    mutable std::int64_t m_centresFrom = -1;
};

// Memory the mesh of `samples` samples takes when held whole, to bound file sizes before any
// work.
std::uint64_t RoadMeshBytes(std::int64_t samples);

} // namespace rolvet
