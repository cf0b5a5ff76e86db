// libFuzzer target for the track loader: any input must load or fail cleanly, never allocate
// more than the input holds, and a loaded track must write back as the input's prefix, or, with
// an extension, as bytes that load again to the same track and write back unchanged.
#include "track/TrackFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

// Loaded values are finite, so comparing numbers compares the road (a zero of either sign
// counts as zero).
bool SameShape(const rolvet::ResolvedShape& a, const rolvet::ResolvedShape& b) {
    return a.widthLeft == b.widthLeft && a.widthRight == b.widthRight && a.bank == b.bank;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
    rolvet::TrackData track;
    const rolvet::TrackError error = rolvet::ParseTrack(bytes, track);
    if (error) {
        Check(error.kind == rolvet::TrackErrorKind::BadFormat ||
              error.kind == rolvet::TrackErrorKind::ReadFailed);
        return 0;
    }
    Check(track.vertices.capacity() * rolvet::kTrackVertexSize <= size);
    Check(track.shapes.empty() || track.shapes.size() == track.vertices.size());
    Check(track.otherChunks.size() <= size);
    if (error.shapeDamaged) {
        Check(track.shapes.empty() && track.otherChunks.empty());
    }
    if (size == 0) {
        return 0;
    }
    const auto again = rolvet::SerializeTrack(track.divisionCount, track.roadWidth, track.vertices,
                                              track.shapes, track.otherChunks);
    if (track.shapes.empty() && track.otherChunks.empty()) {
        // Nothing beyond the plain record: what was read is the input's start.
        Check(again.size() <= size && std::memcmp(again.data(), data, again.size()) == 0);
        return 0;
    }
    // What this editor writes reads back as the same track and writes the same bytes again.
    rolvet::TrackData back;
    const rolvet::TrackError reread = rolvet::ParseTrack(again, back);
    Check(!reread && !reread.shapeDamaged);
    Check(back.vertices.size() == track.vertices.size() && back.otherChunks == track.otherChunks);
    for (std::size_t i = 0; i < track.shapes.size(); ++i) {
        Check(SameShape(rolvet::Resolve(track.shapes[i], track.roadWidth),
                        rolvet::Resolve(back.shapes.empty() ? rolvet::PointShape{} : back.shapes[i],
                                        back.roadWidth)));
    }
    Check(rolvet::SerializeTrack(back.divisionCount, back.roadWidth, back.vertices, back.shapes,
                                 back.otherChunks) == again);
    return 0;
}
