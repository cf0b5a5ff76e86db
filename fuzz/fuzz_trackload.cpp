// libFuzzer target for the track loader: any input must load or fail cleanly, never allocate
// more vertices than the input holds, and a loaded track must write back as the input's prefix.
#include "track/TrackFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
    rolvet::TrackData track;
    const rolvet::TrackError error = rolvet::ParseTrack(bytes, track);
    if (error) {
        if (error.kind != rolvet::TrackErrorKind::BadFormat &&
            error.kind != rolvet::TrackErrorKind::ReadFailed) {
            std::abort();
        }
        return 0;
    }
    if (track.vertices.capacity() * rolvet::kTrackVertexSize > size) {
        std::abort(); // allocated more than the input could hold
    }
    if (size == 0) {
        return 0;
    }
    const auto again = rolvet::SerializeTrack(track.divisionCount, track.roadWidth, track.vertices);
    if (again.size() > size || std::memcmp(again.data(), data, again.size()) != 0) {
        std::abort();
    }
    return 0;
}
