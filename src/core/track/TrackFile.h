// The ".rolvet" track file: a flat little-endian record with no header.
//   int32 division count, int32 road width, uint32 n, then n times float x, y, z.
#pragma once

#include "common/FileError.h"
#include "track/Vector3D.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace rolvet {

inline constexpr std::int32_t kDefaultDivisionCount = 4;
inline constexpr std::int32_t kDefaultRoadWidth = 100;
inline constexpr std::size_t kTrackHeaderSize = 12;
inline constexpr std::size_t kTrackVertexSize = 12;

struct TrackData {
    std::int32_t divisionCount = kDefaultDivisionCount;
    std::int32_t roadWidth = kDefaultRoadWidth;
    std::vector<CVector3D> vertices;
};

enum class TrackErrorKind {
    None,
    BadFormat,  // data ends before a field or vertex is complete
    ReadFailed, // the vertices cannot be held, or any other read failure
    SaveFailed, // any failure while writing that is not a file-system error
    CannotOpen, // the file could not be opened at all; see cause
    File,       // a file-system error after the file was opened; see cause
};

struct TrackError {
    TrackErrorKind kind = TrackErrorKind::None;
    FileCause cause = FileCause::Generic;
    std::string path;

    explicit operator bool() const { return kind != TrackErrorKind::None; }
};

// What a failed open leaves in the editor. A file that could not be opened at all (missing, a
// folder, no permission: CannotOpen) leaves the open track exactly as it was, modified flag
// included. Every other failure happens after the file was opened, when replacing the open track
// has begun, so the editor resets to a fresh untitled track.
constexpr bool OpenFailureKeepsTrack(const TrackError& error) {
    return error.kind == TrackErrorKind::CannotOpen;
}

// The text the user is shown for a failed open or save.
std::string TrackErrorMessage(const TrackError& error);

// Reads a whole track from memory. Trailing bytes are ignored. An empty input is the fresh
// default track. Nothing is allocated beyond what the input can hold.
TrackError ParseTrack(std::span<const std::byte> bytes, TrackData& out);

// Reads a whole track file. `out` is only written on success.
TrackError LoadTrackFile(const std::filesystem::path& path, TrackData& out);

// The exact bytes of a track file.
std::vector<std::byte> SerializeTrack(std::int32_t divisionCount, std::int32_t roadWidth,
                                      std::span<const CVector3D> vertices);

// Writes a track file through a temporary file; an existing file is replaced only when the
// new one is complete.
TrackError SaveTrackFile(const std::filesystem::path& path, std::int32_t divisionCount,
                         std::int32_t roadWidth, std::span<const CVector3D> vertices);

} // namespace rolvet
