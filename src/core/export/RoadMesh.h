// The road as an indexed triangle mesh with two materials, for the engine formats (GLB, OBJ) and
// the 3D preview. It is built from CRoadRibbon, so it has exactly the samples and the four
// vertices per sample of the Metasequoia model; only the triangulation, the normals and the
// texture coordinates are its own.
//
// Layout. Vertices come ring by ring: ring j (0 <= j <= S) holds sample j, and ring S repeats
// sample 0 with the texture coordinate of a whole lap, so the texture closes the loop without a
// seam. The road part holds 2 vertices a ring (inner line plus side A, minus side B), the kerb
// part 4 (outer plus E, inner plus A, inner minus B, outer minus G). Sample j owns 2 road and 4
// kerb triangles, stored in that order at index 6j (road) and 12j (kerb), counter-clockwise seen
// from above: 6·S triangles in all. Indices depend only on S, so updating samples never
// changes them.
//
// Texture coordinates: u runs along the road, one unit per texture repeat, measured by the
// centre line's arc length, with a whole number of repeats per lap; v runs across, 0 at the
// inner line and 1 at the other edge of the band (road: A = 0, B = 1; kerb: inner 0, outer 1).
// The texture images are the two bands of the road texture, cut apart (see RoadTextureBands).
#pragma once

#include "export/ExportProgress.h"
#include "export/RoadRibbon.h"
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

struct RoadMesh {
    std::int64_t samples = 0;      // S = n·d
    RoadMeshPart road;             // the surface between the inner lines, material "road"
    RoadMeshPart kerb;             // the two edge strips, material "kerb"
    std::vector<CVector3D> centre; // the centre point of every sample, in order
    double length = 0.0;           // lap length: the chords between consecutive centres
    int repeats = 1;               // texture repeats per lap
    bool finite = true;            // every position is a finite number
};

inline constexpr int kRoadVerticesPerRing = 2;
inline constexpr int kKerbVerticesPerRing = 4;
inline constexpr int kTrianglesPerSample = 6;
// More repeats than this would lose the texture coordinate's precision in a float.
inline constexpr int kMaxTextureRepeats = 65536;

// Where the surface band (the "road" image) and the kerb band (the "kerb" image) lie in the
// road texture, as fractions of its width (u) and height (v).
struct RoadTextureBands {
    static constexpr double kRoadU0 = 0.26, kRoadU1 = 1.0, kRoadV0 = 0.26, kRoadV1 = 1.0;
    static constexpr double kKerbU0 = 0.0, kKerbU1 = 1.0, kKerbV0 = 0.0, kKerbV1 = 0.24;
};

// The mesh computed ring by ring, for writers that stream a large road without holding all of
// it in memory; BuildRoadMesh fills its vectors with the same code. Construction walks the
// centre line once (lap length, repeats, u of every ring, and whether every vertex is finite).
class CRoadMeshRings {
public:
    // Needs at least one point and one division (Samples() is 0 otherwise). points must stay
    // alive and unchanged while the object is used.
    CRoadMeshRings(std::span<const CVector3D> points, int divisions, float halfWidth,
                   const ExportProgress& progress = {});

    std::int64_t Samples() const { return m_samples; }
    double Length() const { return m_length; }
    int Repeats() const { return m_repeats; }
    bool Finite() const { return m_finite; }
    // The smallest and largest x, y and z of the road part's and the kerb part's positions.
    const std::array<CVector3D, 2>& RoadBounds() const { return m_roadBounds; }
    const std::array<CVector3D, 2>& KerbBounds() const { return m_kerbBounds; }
    bool Cancelled() const { return m_cancelled; }
    // The centre point of sample j (0 <= j < S).
    CVector3D Centre(std::int64_t j) const;

    // Writes rings first .. first + count − 1 (0 <= first, first + count <= S + 1) into the
    // parts starting at their ring `at`; the parts must already hold that many rings. centres,
    // when given, receives the centre of each ring's sample at the same offset.
    void Fill(std::int64_t first, std::int64_t count, RoadMeshPart& road, RoadMeshPart& kerb,
              std::size_t at = 0, CVector3D* centres = nullptr) const;

    // The triangles of samples first .. first + count − 1: 6 road and 12 kerb indices each
    // (either output may be null).
    static void FillIndices(std::int64_t first, std::int64_t count, std::uint32_t* road,
                            std::uint32_t* kerb);

private:
    CRoadRibbon m_ribbon;
    int m_divisions;
    std::int64_t m_samples = 0;
    std::vector<float> m_u; // u of every ring, S + 1 of them
    double m_length = 0.0;
    int m_repeats = 1;
    bool m_finite = true;
    bool m_cancelled = false;
    std::array<CVector3D, 2> m_roadBounds{};
    std::array<CVector3D, 2> m_kerbBounds{};
};

// Memory the mesh of `samples` samples takes, to check limits before building it.
std::uint64_t RoadMeshBytes(std::int64_t samples);

// Builds the mesh of the closed loop through points. Needs at least one point and one division;
// otherwise the mesh is left empty and the result is Failed. progress (may be empty) is told
// how many of the S samples are done and may cancel (Cancelled). Allocates about
// RoadMeshBytes(S): check that first when the counts come from a file.
WriteOutcome BuildRoadMesh(std::span<const CVector3D> points, int divisions, float halfWidth,
                           RoadMesh& mesh, const ExportProgress& progress = {});

// Recomputes samples first .. first + count - 1 (taken modulo S, so a range may wrap; ring S
// follows sample 0) of a mesh built with the same point count and divisions, then the texture
// coordinates and the lap length, which depend on every sample, and the finite flag.
void UpdateRoadMeshSamples(RoadMesh& mesh, std::span<const CVector3D> points, int divisions,
                           float halfWidth, std::int64_t first, std::int64_t count);

struct SampleRange {
    std::int64_t first = 0;
    std::int64_t count = 0;
};

// The samples that moving control point `point` changes: the 4·d samples of the four segments
// whose spline uses it (segments point − 2 .. point + 1), or all of them on shorter loops.
SampleRange SamplesMovedByPoint(std::size_t pointCount, int divisions, std::size_t point);

} // namespace rolvet
