// The road model: everything about the sampled road that its readers need — the preview, the
// readouts and --info, the Metasequoia, GLB and OBJ writers, and later the profile view and the
// racing line — computed in one place from the control points, the division count and the road
// width.
//
// Samples. The closed loop of n control points has n segments; segment k runs from point k to
// point k + 1 and its spline also reads points k − 1 and k + 2. Sample j = k·d + i (0 <= i < d)
// lies at parameter t = i / d of segment k.
//
// At every sample the model holds
//   - the centre point C: the Catmull-Rom point in single precision, exactly the centre of the
//     Metasequoia model;
//   - the frame: the unit direction of travel (the spline's exact tangent, in double precision)
//     and the unit side vector at right angles to the direction, pointing to the plus (right)
//     side: level (direction × up) and then turned about the direction by the bank, so that a
//     positive bank lowers the plus side; both are zero where the curve has no such direction;
//   - the shape (RoadShape.h): the width to the outer edge on each side and the bank, each
//     carried between the control points by a monotone cubic over the spline's parameter;
//   - the cross-section along the side vector: A and B on the inner lines at 0.9 of the right
//     and the left width, E at the right width and G at the left one;
//   - the arc length: along the chords between consecutive centres, from sample 0;
//   - whether the road folds there (see CRoadModel::Folded).
//
// A road whose every point keeps the default shape (half the road width either side, no bank)
// has exactly the cross-section of a road of one width. Such a road's Metasequoia model keeps
// its own, older rule for the side vector (PlainSection): the direction from a difference
// quotient in single precision and a side vector that tilts with the grade, so existing exports
// stay byte for byte the same; a shaped road's model takes the frames' cross-sections.
#pragma once

#include "export/CatmullRom.h"
#include "export/RoadShape.h"
#include "export/SampleBuffer.h"
#include "track/TrackChange.h"
#include "track/Vector3D.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

namespace rolvet {

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

// Half the road width as the road uses it: the integer width times 0.5, as a float.
float HalfRoadWidth(int roadWidth);

// The four points across the road at one sample, in this order: inner line plus side (A), inner
// line minus side (B), outer edge plus side (E), outer edge minus side (G).
using RoadSample = std::array<CVector3D, 4>;

// The model's frame at one sample and its cross-section.
struct RoadFrame {
    CVector3D centre;
    CVector3D direction;
    CVector3D side;
    RoadSample vertices;
};

// The normal of the road surface for a frame: side × direction, pointing up; straight up where
// the frame has no extent. Inline: the meshes ask for it at every ring.
inline CVector3D RoadUp(const CVector3D& direction, const CVector3D& side) {
    const double dx = direction.x, dy = direction.y, dz = direction.z;
    const double sx = side.x, sy = side.y, sz = side.z;
    const double cx = sy * dz - sz * dy, cy = sz * dx - sx * dz, cz = sx * dy - sy * dx;
    const double length = std::sqrt(cx * cx + cy * cy + cz * cz);
    if (!(length > 0.0 && length < std::numeric_limits<double>::infinity())) {
        return {0.0f, 1.0f, 0.0f};
    }
    const double scale = 1.0 / length;
    const double uy = cy * scale;
    if (uy <= 0.0) {
        return {0.0f, 1.0f, 0.0f};
    }
    return {static_cast<float>(cx * scale), static_cast<float>(uy), static_cast<float>(cz * scale)};
}

// Per-sample output of CRoadSampler::ComputeSteps: each pointer (any may be null) receives one
// value a step, from the first step asked for on.
struct SampleArrays {
    CVector3D* centre = nullptr;
    CVector3D* direction = nullptr;
    CVector3D* side = nullptr;
    RoadSample* section = nullptr;
    double* along = nullptr; // arc length from the segment's first sample
    SampleShape* shape = nullptr;
};

// The geometry of single samples over a closed loop of points (which must stay alive and
// unchanged while the sampler is used, as must the shape). Cheap to make: it precomputes only
// the weights of the d parameters. Needs at least one point for anything but the counts. Without
// a shape (or with one of other than n points) every sample has the half width either side and
// no bank; an unshaped shape gives its own half width (CRoadShape::HalfWidth).
class CRoadSampler {
public:
    CRoadSampler(std::span<const CVector3D> points, int divisions, float halfWidth,
                 const CRoadShape* shape = nullptr);

    std::size_t SegmentCount() const { return m_points.size(); }
    // Steps per segment; zero when the division count is zero or negative.
    int StepCount() const { return m_steps; }
    std::int64_t SampleCount() const {
        return static_cast<std::int64_t>(m_points.size()) * m_steps;
    }
    // The half width of a road of one width (unshaped).
    float HalfWidth() const { return m_halfWidth; }
    // Whether the samples have a shape of their own (see CRoadShape::Shaped).
    bool Shaped() const { return m_shape != nullptr; }
    // The shape at step i of segment k.
    SampleShape Shape(std::size_t k, int i) const;

    // The centre point of step i (0 <= i < StepCount()) of segment k (k < SegmentCount()), and
    // those of steps begin .. end − 1 into out.
    CVector3D Centre(std::size_t k, int i) const;
    void Centres(std::size_t k, int begin, int end, CVector3D* out) const;
    // The model's frame and cross-section there.
    RoadFrame Frame(std::size_t k, int i) const;
    // The four vertices of the Metasequoia model there: the direction is the central difference
    // of the spline at t ± (1/d)/1000 in single precision, normalised in place, and the side
    // vector is that direction turned a quarter turn about the vertical axis with its height kept.
    // Where that difference is numerically meaningless (see the source) the spline's exact
    // tangent stands in for it, in the same arithmetic.
    RoadSample PlainSection(std::size_t k, int i) const;

    // Steps begin .. end − 1 of segment k into out (from out's first element on), the arc length
    // counting from `along` at step begin; returns the arc length at step end (step d being the
    // first sample of segment k + 1). The arc length of the whole segment is
    // ComputeSteps(k, 0, d, 0.0, out), and splitting that call into consecutive pieces gives the
    // same numbers bit for bit.
    double ComputeSteps(std::size_t k, int begin, int end, double along,
                        const SampleArrays& out) const;

private:
    CCatmullRomSegment Segment(std::size_t k) const;
    // Steps per pass of ComputeSteps.
    static constexpr int kStepChunk = 32;
    // Direction, side, section and shape (whichever out asks for; from out's first element on)
    // of steps first .. first + count − 1 (count <= kStepChunk) of the segment, whose centres
    // are given.
    void Frames(const CCatmullRomSegment& segment, std::size_t k, int first, int count,
                const CVector3D* centres, const SampleArrays& out) const;

    std::span<const CVector3D> m_points;
    int m_steps = 0;
    float m_halfWidth = 0.0f;
    const CRoadShape* m_shape = nullptr; // only a shaped shape of n points
    float m_eps = 0.0f; // the parameter step of the Metasequoia model's difference quotient
    std::vector<HermiteWeights> m_at, m_before, m_after; // at t, t − eps and t + eps
    std::vector<TangentWeights> m_tangent;
};

// The lengths of the segments, summed in a fixed binary tree, so the arc length at any sample
// is known in logarithmic time and stays bit for bit the same whether the tree was built at once
// or segment by segment.
class CSegmentLengths {
public:
    // n segments, all of length 0.
    void Reset(std::size_t segments);
    std::size_t Count() const { return m_count; }
    void Set(std::size_t k, double length) { m_tree[m_leaves + k] = length; }
    double Get(std::size_t k) const { return m_tree[m_leaves + k]; }
    // Recomputes the sums above the leaves: all of them, or those above leaves first .. last.
    void Sum();
    void Sum(std::size_t first, std::size_t last);
    // The length of segments 0 .. k − 1, and of the whole loop.
    double Before(std::size_t k) const;
    double Total() const { return m_count == 0 ? 0.0 : m_tree[1]; }
    // Opens `count` segments of length 0 at k, or closes segments k .. k + count − 1, moving the
    // later ones; the sums are left to Sum().
    void Insert(std::size_t k, std::size_t count);
    void Erase(std::size_t k, std::size_t count);

private:
    std::vector<double> m_tree; // leaves from m_leaves on
    std::size_t m_leaves = 0;
    std::size_t m_count = 0;
};

// How many times the texture repeats along a lap: about once per 0.9 road width (so the road
// surface's texels stay square), a whole number, at least 1 and at most kMaxTextureRepeats. A
// shaped road passes the mean of its half widths (CRoadShape::MeanHalfWidth).
inline constexpr int kMaxTextureRepeats = 65536;
int TextureRepeats(double lapLength, float halfWidth);
// u of the texture at arc length `along` of a lap of `lapLength` with `repeats` repeats; where
// the lap has no usable length, u runs evenly with the sample number instead. Inline, so that a
// loop over rings works out the repeats per unit length once.
inline float TextureU(double along, double lapLength, int repeats, std::int64_t sample,
                      std::int64_t samples) {
    if (sample >= samples) {
        return static_cast<float>(repeats); // the closing ring: exactly a whole lap
    }
    if (std::isfinite(lapLength) && lapLength > 0.0) {
        return static_cast<float>(along * (repeats / lapLength));
    }
    return static_cast<float>(static_cast<double>(repeats) * static_cast<double>(sample) /
                              static_cast<double>(samples));
}

// The largest road (in samples, n·d) that is held sample by sample (about 100 bytes a sample).
// Larger tracks are left alone instead of allocating memory in proportion to an untrusted
// division count; the exports stream and have limits of their own.
inline constexpr std::int64_t kMaxModelSamples = std::int64_t{1} << 21;

enum class RoadModelState {
    NoRoad,   // fewer than four control points or a division count below 1
    Ok,       // sampled
    TooLarge, // more than kMaxModelSamples samples
};

// Every field but samples is empty when the road has no samples or when a value is not a
// finite number.
struct TrackReadouts {
    std::int64_t samples = 0;
    std::optional<double> length;                // closed length of the sampled centre line
    std::optional<double> minRadius;             // tightest circle through three samples
    std::optional<std::int64_t> minRadiusSample; // the middle sample of that circle
    std::optional<float> heightMin;              // height range of the centre samples
    std::optional<float> heightMax;
    std::optional<double> maxGrade;    // largest rise over horizontal run between two samples
    std::optional<std::int64_t> folds; // samples where the road runs backwards
    std::optional<double> widthMin;    // narrowest and widest road (left + right width)
    std::optional<double> widthMax;
    std::optional<double> bankMax; // largest bank angle either way, in degrees
};

// Samples whose data changed in an update: count samples from first on, wrapping past the last
// sample to sample 0. all is set when every sample was rebuilt, renumbered or went away.
struct ModelChange {
    std::int64_t first = 0;
    std::int64_t count = 0;
    bool all = false;
};

// The road model of one track, held sample by sample and kept up to date edit by edit: an edit
// recomputes only the samples its points shape, and the result is bit for bit what building
// the model afresh gives.
class CRoadModel {
public:
    // Brings the model in line with the track after the edit described by change (the points
    // and settings are those after the edit).
    // shapes holds each point's own shape (points past its end have none).
    ModelChange Update(std::span<const CVector3D> points, std::span<const PointShape> shapes,
                       int divisions, float halfWidth, const TrackChange& change);
    // The same for a caller that does not know what changed: the points whose coordinates or
    // shape differ from the model's copy count as moved; other settings or another point count
    // rebuild everything.
    ModelChange Update(std::span<const CVector3D> points, std::span<const PointShape> shapes,
                       int divisions, float halfWidth);
    // The same for a track whose points have no shape of their own.
    ModelChange Update(std::span<const CVector3D> points, int divisions, float halfWidth,
                       const TrackChange& change) {
        return Update(points, {}, divisions, halfWidth, change);
    }
    ModelChange Update(std::span<const CVector3D> points, int divisions, float halfWidth) {
        return Update(points, {}, divisions, halfWidth);
    }

    RoadModelState State() const { return m_state; }
    std::int64_t SampleCount() const { return m_state == RoadModelState::Ok ? m_samples : 0; }
    int Divisions() const { return m_divisions; }
    float HalfWidth() const { return m_halfWidth; }
    std::span<const CVector3D> Points() const { return m_points; }
    // The control points' shapes as numbers, and whether any differs from the default.
    const CRoadShape& Shape() const { return m_shape; }
    // The half width the texture repeats by (see TextureRepeats).
    float TextureHalfWidth() const { return static_cast<float>(m_shape.MeanHalfWidth()); }

    // Per sample (empty unless State() is Ok).
    const SampleVector<CVector3D>& Centres() const { return m_centre; }
    const SampleVector<CVector3D>& Directions() const { return m_direction; }
    const SampleVector<CVector3D>& Sides() const { return m_side; }
    const SampleVector<RoadSample>& Sections() const { return m_section; }
    // The left and right width and the bank at sample j (0 <= j < SampleCount()), and those of
    // samples first .. first + count − 1 into out.
    SampleShape ShapeAt(std::int64_t j) const;
    void Shapes(std::int64_t first, std::int64_t count, SampleShape* out) const;
    // Whether the road folds from sample j to j + 1 (j + 1 wrapping to 0): one of the four edge
    // lines runs backwards against the centre line, or the centre line runs backwards against
    // its segment's chord (a loop of the centre line itself).
    const SampleVector<std::uint8_t>& Folded() const { return m_folded; }
    // The arc length from sample 0 to sample j (0 <= j <= S; S gives the lap length), and the
    // same for samples first .. first + count − 1 (< S) into out.
    double ArcLength(std::int64_t j) const;
    void ArcLengths(std::int64_t first, std::int64_t count, double* out) const;
    double LapLength() const { return m_lengths.Total(); }
    RoadFrame Frame(std::int64_t j) const;

    TrackReadouts Readouts() const;
    // The folded samples in increasing order.
    std::vector<std::int64_t> FoldSamples() const;

private:
    // What the readouts know of a run of samples. Sample numbers count from the run's start.
    struct Summary {
        double minRadius = -1.0; // squared; below 0: no circle (every triple collinear)
        std::int64_t minRadiusSample = -1;
        double maxGrade = -1.0; // squared; below 0: no pair with a horizontal distance
        std::int64_t folds = 0;
        float heightMin = 0.0f;
        float heightMax = 0.0f;
        bool hasHeight = false;
        double widthMin = 0.0;
        double widthMax = 0.0;
        double bankMax = 0.0;
        bool hasWidth = false;
    };
    static Summary Combine(const Summary& a, const Summary& b, std::int64_t samplesInA);

    void Rebuild();
    // How many segments from segment first − 3 on an edit of `count` points from `first` on
    // changes (see the source).
    std::int64_t AffectedSegments(std::int64_t count, bool shapeChanged) const;
    // Recomputes segments first .. first + count − 1 (modulo n) and the summaries they touch.
    void RecomputeSegments(std::int64_t first, std::int64_t count);
    void ComputeSegments(std::size_t first, std::size_t count); // no wrap
    void ComputeSegment(const CRoadSampler& sampler, std::size_t k);
    void Summarise(std::size_t first, std::size_t count); // no wrap
    Summary SummariseSegment(std::size_t k);
    void SumTree();
    void SumTree(std::size_t first, std::size_t last);
    std::size_t Wrap(std::int64_t segment) const;

    std::vector<CVector3D> m_points;
    CRoadShape m_shape;
    int m_divisions = 0;
    float m_halfWidth = 0.0f;
    bool m_built = false;
    RoadModelState m_state = RoadModelState::NoRoad;
    std::int64_t m_samples = 0;

    SampleVector<CVector3D> m_centre, m_direction, m_side;
    SampleVector<RoadSample> m_section;
    SampleVector<double> m_along; // arc length from the first sample of the sample's segment
    SampleVector<std::uint8_t> m_folded;
    CSegmentLengths m_lengths;
    // Per-segment summaries in a binary tree (leaves from m_leaves on), so a change of a few
    // segments updates the whole-lap readouts in logarithmic time.
    SampleVector<Summary> m_tree;
    std::size_t m_leaves = 0;
};

} // namespace rolvet
