#include "view/PreviewMesh.h"

#include <cmath>

namespace rolvet::preview {

namespace {

double Distance(const CVector3D& a, const CVector3D& b) {
    const double dx = static_cast<double>(b.x) - static_cast<double>(a.x);
    const double dy = static_cast<double>(b.y) - static_cast<double>(a.y);
    const double dz = static_cast<double>(b.z) - static_cast<double>(a.z);
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// One texture repeat along the road: the surface band is square in the texture and spans the
// road between its inner lines (0.9 of the width), so a repeat of that length keeps its texels
// square; the length is then adjusted so a whole number of repeats fills the lap.
double RepeatLengthFor(double lapLength, int roadWidth) {
    const double square = 0.9 * static_cast<double>(roadWidth);
    if (!(lapLength > 0.0) || !std::isfinite(lapLength) || !(square > 0.0)) {
        return 1.0;
    }
    const double repeats = std::max(1.0, std::round(lapLength / square));
    return lapLength / repeats;
}

} // namespace

void CPreviewMesh::FillSample(const CTrackModel& model, std::int64_t slot, std::int64_t sample) {
    const auto j = static_cast<std::size_t>(sample);
    const RoadSample& edges = model.Edges()[j];
    const float along = static_cast<float>(m_arc[static_cast<std::size_t>(slot)] / m_repeat);
    const float fold = model.Folded()[j] != 0 ? 4.0f : 0.0f;
    Vertex* v = &m_vertices[static_cast<std::size_t>(slot) * kVerticesPerSample];
    for (int e = 0; e < kVerticesPerSample; ++e) {
        const CVector3D& p = edges[static_cast<std::size_t>(e)];
        v[e] = {p.x, p.y, p.z, along, static_cast<float>(e) + fold};
    }
}

void CPreviewMesh::Rebuild(const CTrackModel& model, int roadWidth) {
    const std::int64_t samples = model.SampleCount();
    m_vertices.clear();
    m_arc.clear();
    if (samples == 0) {
        return;
    }
    const auto& c = model.Centres();
    m_arc.resize(static_cast<std::size_t>(samples) + 1);
    m_arc[0] = 0.0;
    for (std::size_t j = 1; j <= static_cast<std::size_t>(samples); ++j) {
        m_arc[j] = m_arc[j - 1] + Distance(c[j - 1], c[j % c.size()]);
    }
    m_repeat = RepeatLengthFor(m_arc.back(), roadWidth);
    m_vertices.resize((static_cast<std::size_t>(samples) + 1) * kVerticesPerSample);
    for (std::int64_t j = 0; j < samples; ++j) {
        FillSample(model, j, j);
    }
    FillSample(model, samples, 0);
}

std::vector<SampleSpan> CPreviewMesh::Update(const CTrackModel& model, const SampleRange& range,
                                             int roadWidth) {
    const std::int64_t samples = model.SampleCount();
    if (range.all || samples + 1 != SampleCount()) {
        Rebuild(model, roadWidth);
        return {{0, SampleCount()}};
    }
    if (range.count == 0) {
        return {};
    }
    const auto& c = model.Centres();
    std::vector<SampleSpan> spans;
    std::int64_t runStart = range.first;
    for (std::int64_t i = 0; i < range.count; ++i) {
        const std::int64_t j = (range.first + i) % samples;
        if (j == 0 && i > 0) {
            spans.push_back({runStart, samples - runStart});
            runStart = 0;
        }
        // The first sample of the range did not move; its arc length stays.
        if (i > 0 && j > 0) {
            m_arc[static_cast<std::size_t>(j)] =
                m_arc[static_cast<std::size_t>(j) - 1] +
                Distance(c[static_cast<std::size_t>(j) - 1], c[static_cast<std::size_t>(j)]);
        }
        FillSample(model, j, j);
        if (j == samples - 1) {
            // The closing copy of sample 0 sits one lap on from it.
            m_arc[static_cast<std::size_t>(samples)] =
                m_arc[static_cast<std::size_t>(j)] + Distance(c.back(), c.front());
            FillSample(model, samples, 0);
        } else if (j == 0) {
            FillSample(model, samples, 0);
        }
    }
    const std::int64_t end = (range.first + range.count - 1) % samples + 1;
    spans.push_back({runStart, end - runStart});
    // The closing copy follows sample 0 and the last sample.
    spans.push_back({samples, 1});
    return spans;
}

std::vector<std::uint32_t> StripIndices(std::int64_t sampleSlots) {
    std::vector<std::uint32_t> indices;
    indices.reserve(static_cast<std::size_t>(sampleSlots) * 6);
    const std::uint32_t pairs[3][2] = {{0, 1}, {2, 0}, {1, 3}};
    for (const auto& pair : pairs) {
        for (std::int64_t j = 0; j < sampleSlots; ++j) {
            const auto base = static_cast<std::uint32_t>(j * kVerticesPerSample);
            indices.push_back(base + pair[0]);
            indices.push_back(base + pair[1]);
        }
    }
    return indices;
}

} // namespace rolvet::preview
