// The vertex data the 3D preview draws: the export's four road vertices at every sample, with
// the texture position along the road and a flag for folded samples.
#pragma once

#include "export/TrackModel.h"

#include <cstdint>
#include <span>
#include <vector>

namespace rolvet::preview {

// One vertex as the preview's shaders read it.
struct Vertex {
    float x, y, z;
    float along; // texture repeats along the road: centre-line arc length / repeat length
    float flags; // 0..3: A, B, E or G of the sample; plus 4 when the sample folds
};
static_assert(sizeof(Vertex) == 5 * sizeof(float));

inline constexpr int kVerticesPerSample = 4;

// A run of samples whose vertices changed: [first, first + count).
struct SampleSpan {
    std::int64_t first = 0;
    std::int64_t count = 0;
};

class CPreviewMesh {
public:
    // Vertices of every sample, then a copy of sample 0 that closes the lap at the full length,
    // so the texture runs on across the seam instead of winding back.
    void Rebuild(const CTrackModel& model, int roadWidth);
    // Refreshes the vertices of the samples the model reports as changed. The texture position
    // of the changed samples continues from the sample before them; later samples keep theirs
    // until the next Rebuild (a drag moves a texture seam at most, never the road).
    std::vector<SampleSpan> Update(const CTrackModel& model, const SampleRange& range,
                                   int roadWidth);

    std::span<const Vertex> Vertices() const { return m_vertices; }
    // Samples in the vertex array (the road's samples plus the closing copy); 0 without a road.
    std::int64_t SampleCount() const {
        return static_cast<std::int64_t>(m_vertices.size()) / kVerticesPerSample;
    }
    double RepeatLength() const { return m_repeat; }

private:
    void FillSample(const CTrackModel& model, std::int64_t slot, std::int64_t sample);

    std::vector<Vertex> m_vertices;
    std::vector<double> m_arc; // centre-line arc length from sample 0, per slot
    double m_repeat = 1.0;
};

// Triangle-strip indices over the vertex array of sampleSlots slots: the surface (A, B), then
// the plus-side kerb (E, A), then the minus-side kerb (B, G), each 2 · sampleSlots indices.
std::vector<std::uint32_t> StripIndices(std::int64_t sampleSlots);

} // namespace rolvet::preview
