// The sampled road of a track, kept up to date edit by edit, and the readouts a track builder
// needs: lap length, the tightest radius, the height range, the steepest grade and the folds.
#pragma once

#include "export/RoadMesh.h"
#include "export/RoadRibbon.h"
#include "track/TrackChange.h"
#include "track/Vector3D.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace rolvet {

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
    // Brings the model in line with the track after edit, the change record of what changed
    // since the last update (Whole by default: everything is rebuilt). When the point count,
    // division count and width are unchanged and the record names moved control points, only
    // the samples those points shape are rebuilt: moving point k changes segments k-2 .. k+1,
    // that is 4·d samples.
    // The texture coordinates along the road are left as they were by such a partial update;
    // SettleTexture lays them along the new lap once the edits pause.
    ModelChange Update(std::span<const CVector3D> points, int divisions, float halfWidth,
                       const TrackChange& edit = TrackChange::Whole());
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

// The readouts of a track as one JSON object (the command line's --info): "points",
// "divisions", "width", "samples", "length", "minRadius", "minRadiusSample", "heightMin",
// "heightMax", "maxGrade", "folds" and "foldSamples"; the geometric fields are null when the
// road has no samples. Numbers are written independently of the process locale.
std::string TrackInfoJson(std::size_t pointCount, int divisions, int width,
                          const CTrackModel& model);

} // namespace rolvet
