// The ".rolvet" track file: a flat little-endian record with no header.
//   int32 division count, int32 road width, uint32 n, then n times float x, y, z.
// A track whose points have a shape of their own continues with an extension that readers of
// the plain record never look at:
//   char[4] "RVEX", uint32 version 1, chunks (char[4] tag, uint32 byte size, data),
//   uint32 CRC-32 (zlib) of every extension byte before it.
// Chunk "PNTS": uint32 n, then n times float left width, right width, bank. Chunks of other
// tags are kept as they are. With the extension the width field holds the rounded mean of
// left + right width, so a reader of the plain record still sees about the right road.
#pragma once

#include "common/FileError.h"
#include "track/PointShape.h"
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
    // Empty (no point has a shape of its own) or one per vertex. A value read from a file that
    // equals what the settings give (half the width, bank 0) is read as not set.
    std::vector<PointShape> shapes;
    // The extension's chunks that this editor does not know, each with its tag and size, in
    // file order; written back unchanged.
    std::vector<std::byte> otherChunks;
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
    // Set on a successful open whose extension was damaged (bad checksum, cut short, a count
    // that is not the vertex count, values that are not numbers, an unknown version): the
    // points and settings were read, every shape is at its default and the extension's chunks
    // are dropped. The user is told with ShapeDamagedMessage.
    bool shapeDamaged = false;

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
// The text the user is shown after an open with shapeDamaged set; names error.path.
std::string ShapeDamagedMessage(const TrackError& error);

// Reads a whole track from memory. Bytes after the last vertex that do not begin with the
// extension's "RVEX" are ignored. An empty input is the fresh default track. Nothing is
// allocated beyond what the input can hold.
TrackError ParseTrack(std::span<const std::byte> bytes, TrackData& out);

// Reads a whole track file. `out` is only written on success.
TrackError LoadTrackFile(const std::filesystem::path& path, TrackData& out);

// What follows the settings and the vertices: the width field and the extension's bytes.
// The extension is empty, and the width field the road width, when no point's shape differs
// from the default and there are no other chunks: such a track is exactly the plain record.
// shapes is empty or one per vertex.
// fits is false when the extension cannot be written (a chunk of 4 GiB or more).
struct TrackTail {
    std::int32_t widthField = kDefaultRoadWidth;
    std::vector<std::byte> extension;
    bool fits = true;
};
TrackTail MakeTrackTail(std::int32_t roadWidth, std::size_t vertexCount,
                        std::span<const PointShape> shapes, std::span<const std::byte> otherChunks);

// The exact bytes of a track file; empty when its extension cannot be written.
std::vector<std::byte> SerializeTrack(std::int32_t divisionCount, std::int32_t roadWidth,
                                      std::span<const CVector3D> vertices,
                                      std::span<const PointShape> shapes = {},
                                      std::span<const std::byte> otherChunks = {});

// Writes a track file through a temporary file; an existing file is replaced only when the
// new one is complete.
TrackError SaveTrackFile(const std::filesystem::path& path, std::int32_t divisionCount,
                         std::int32_t roadWidth, std::span<const CVector3D> vertices,
                         std::span<const PointShape> shapes = {},
                         std::span<const std::byte> otherChunks = {});

} // namespace rolvet
