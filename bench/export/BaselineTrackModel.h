// The road sampling as it was before the road model: the ribbon, the engine mesh and the track
// model with its readouts, kept unchanged as the yardstick of the preview benchmark.
#pragma once

#include "export/ExportProgress.h"
#include "track/Vector3D.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The road ribbon: four vertices across the road at every sample of the closed centre line.

namespace rolvet::baseline {

// Sample, vertex and face counts of a road: S = n·d, V = 4·S, F = 3·S. The division count may
// be zero or negative, which gives zero or negative counts and no samples.
struct RoadCounts {
    std::int64_t samples = 0;
    std::int64_t vertices = 0;
    std::int64_t faces = 0;
};

// The counts for n control points and d divisions, or nothing when the vertex count does not
// fit the 32-bit signed integers of the model format (so no count or index can overflow).
std::optional<RoadCounts> RoadCountsFor(std::size_t pointCount, int divisions);

// Half the road width as the export uses it: the integer width times 0.5, as a float.
float HalfRoadWidth(int roadWidth);

// Vertices 4j .. 4j+3 of one sample: inner line plus side, inner line minus side, outer edge
// plus side, outer edge minus side.
using RoadSample = std::array<CVector3D, 4>;

// Everything the ribbon knows at one sample: the centre point, the unit direction of travel
// (zero where the curve stands still), the side vector and the four vertices.
struct RoadFrame {
    CVector3D centre;
    CVector3D direction;
    CVector3D side;
    RoadSample vertices;
};

class CRoadRibbon {
public:
    // points must stay alive and unchanged while the ribbon is used.
    CRoadRibbon(std::span<const CVector3D> points, int divisions, float halfWidth);

    std::size_t SegmentCount() const { return m_points.size(); }
    // Steps per segment; zero when the division count is zero or negative.
    int StepCount() const { return m_divisions > 0 ? m_divisions : 0; }

    // The sample at step i (0 <= i < StepCount()) of segment k (0 <= k < SegmentCount()).
    RoadSample Sample(std::size_t k, int i) const { return Frame(k, i).vertices; }
    RoadFrame Frame(std::size_t k, int i) const;
    // Only the centre point of that sample (the same value as Frame(k, i).centre).
    CVector3D Centre(std::size_t k, int i) const;

private:
    std::span<const CVector3D> m_points;
    int m_divisions;
    float m_halfWidth;
    float m_fd;  // the division count as a float
    float m_eps; // the parameter step of the difference quotient
};

} // namespace rolvet::baseline

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

namespace rolvet::baseline {

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

// The first part of UpdateRoadMeshSamples: only the centres, positions and normals of the given
// samples. Texture coordinates, lap length and the finite flag stay as they were, so live
// editing can follow every mouse move without a pass over the whole lap; it calls
// UpdateRoadMeshTexture once the edits pause.
void UpdateRoadMeshGeometry(RoadMesh& mesh, std::span<const CVector3D> points, int divisions,
                            float halfWidth, std::int64_t first, std::int64_t count);

// The second part: texture coordinates, lap length and the finite flag from the current samples.
void UpdateRoadMeshTexture(RoadMesh& mesh, float halfWidth);

struct SampleRange {
    std::int64_t first = 0;
    std::int64_t count = 0;
};

// The samples that moving control point `point` changes: the 4·d samples of the four segments
// whose spline uses it (segments point − 2 .. point + 1), or all of them on shorter loops.
SampleRange SamplesMovedByPoint(std::size_t pointCount, int divisions, std::size_t point);

} // namespace rolvet::baseline

// The sampled road of a track, kept up to date edit by edit, and the readouts a track builder
// needs: lap length, the tightest radius, the height range, the steepest grade and the folds.

namespace rolvet::baseline {

// The largest road (in samples, n·d) that is sampled for the preview and measured (the mesh
// takes about 300 bytes a sample). Larger tracks are left alone instead of allocating memory
// in proportion to an untrusted division count.
inline constexpr std::int64_t kMaxModelSamples = std::int64_t{1} << 21;

// Every field but samples is empty when the road has no samples (fewer than four control
// points or a division count below 1) or when a value is not a finite number.
struct TrackReadouts {
    std::int64_t samples = 0;
    std::optional<double> length;                // closed length of the sampled centre line
    std::optional<double> minRadius;             // tightest circle through three samples
    std::optional<std::int64_t> minRadiusSample; // the middle sample of that circle
    std::optional<float> heightMin;              // height range of the centre samples
    std::optional<float> heightMax;
    std::optional<double> maxGrade;    // largest |dy| over the horizontal distance of two samples
    std::optional<std::int64_t> folds; // samples where a road edge runs backwards
};

enum class TrackModelState {
    NoRoad,   // fewer than four control points or a division count below 1
    Ok,       // sampled
    TooLarge, // more than kMaxModelSamples samples
};

// Samples whose data changed in an update: count samples from first on, wrapping past the last
// sample to sample 0 (ring S of the mesh follows sample 0). all is set when every sample was
// rebuilt (or the road went away).
struct ModelChange {
    std::int64_t first = 0;
    std::int64_t count = 0;
    bool all = false;
};

class CTrackModel {
public:
    // Brings the model in line with the track. When the point count, division count and width
    // are unchanged and only a few control points moved, only the samples those points shape
    // are rebuilt: moving point k changes segments k-2 .. k+1, that is 4·d samples.
    // The texture coordinates along the road are left as they were by such a partial update;
    // SettleTexture lays them along the new lap once the edits pause.
    ModelChange Update(std::span<const CVector3D> points, int divisions, float halfWidth);
    void SettleTexture();

    TrackModelState State() const { return m_state; }
    std::int64_t SampleCount() const { return m_state == TrackModelState::Ok ? m_mesh.samples : 0; }
    int Divisions() const { return m_divisions; }

    // The road mesh of the engine export; empty unless State() is Ok.
    const RoadMesh& Mesh() const { return m_mesh; }
    // Per sample j: the centre point C, vertex e (0 A, 1 B, 2 E, 3 G) of the export's four, and
    // whether at least one of the four road edges runs backwards from j to j+1 (j+1 wrapping
    // to 0).
    const std::vector<CVector3D>& Centres() const { return m_mesh.centre; }
    CVector3D Edge(std::int64_t j, int e) const;
    const std::vector<std::uint8_t>& Folded() const { return m_folded; }

    TrackReadouts Readouts() const;
    // The folded samples in increasing order.
    std::vector<std::int64_t> FoldSamples() const;

private:
    struct Summary {
        double length = 0.0;
        double minRadius = -1.0; // below 0: no circle (every triple collinear)
        std::int64_t minRadiusSample = -1;
        float heightMin = 0.0f;
        float heightMax = 0.0f;
        bool hasHeight = false;
        double maxGrade = -1.0; // below 0: no pair with a horizontal distance
        std::int64_t folds = 0;
    };
    static Summary Combine(const Summary& a, const Summary& b);

    void RebuildAll();
    void UpdateFold(std::int64_t j);
    Summary Summarise(std::size_t k) const;
    void SetSummary(std::size_t k);
    std::int64_t Wrap(std::int64_t j) const;

    std::vector<CVector3D> m_points;
    int m_divisions = 0;
    float m_halfWidth = 0.0f;
    bool m_built = false;
    TrackModelState m_state = TrackModelState::NoRoad;

    RoadMesh m_mesh;
    std::vector<std::uint8_t> m_folded;
    // Per-segment summaries in a binary tree (leaves from m_leaves on), so a change of a few
    // segments updates the whole-lap readouts in logarithmic time.
    std::vector<Summary> m_tree;
    std::size_t m_leaves = 0;
};

} // namespace rolvet::baseline
