#include "track/TrackFile.h"

#include "common/AtomicFile.h"
#include "common/Strings.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace rolvet {

namespace {

constexpr bool kLittleEndianHost = std::endian::native == std::endian::little;

std::uint32_t LoadLE32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void StoreLE32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

void EncodeHeader(unsigned char* p, std::int32_t divisionCount, std::int32_t roadWidth,
                  std::size_t count) {
    StoreLE32(p, static_cast<std::uint32_t>(divisionCount));
    StoreLE32(p + 4, static_cast<std::uint32_t>(roadWidth));
    StoreLE32(p + 8, static_cast<std::uint32_t>(count));
}

// Converts vertices between the host's order and the file's little-endian order, in place.
void SwapVerticesIfBigEndian(std::span<CVector3D> vertices) {
    if constexpr (!kLittleEndianHost) {
        for (auto& v : vertices) {
            for (float* f : {&v.x, &v.y, &v.z}) {
                unsigned char b[4];
                std::memcpy(b, f, 4);
                const std::uint32_t u = LoadLE32(b);
                std::memcpy(f, &u, 4);
            }
        }
    }
}

// A byte source with a known upper bound on what it can still deliver.
class CByteSource {
public:
    virtual ~CByteSource() = default;
    // Reads up to size bytes; returns the count read (0 at the end) or -1 with errno set.
    virtual long long Read(void* data, std::size_t size) = 0;
    // The most bytes the source can still deliver, or -1 when unknown.
    virtual long long Remaining() const = 0;
};

class CMemorySource final : public CByteSource {
public:
    explicit CMemorySource(std::span<const std::byte> bytes) : m_bytes(bytes) {}
    long long Read(void* data, std::size_t size) override {
        const std::size_t n = std::min(size, m_bytes.size());
        if (n > 0) {
            std::memcpy(data, m_bytes.data(), n);
        }
        m_bytes = m_bytes.subspan(n);
        return static_cast<long long>(n);
    }
    long long Remaining() const override { return static_cast<long long>(m_bytes.size()); }

private:
    std::span<const std::byte> m_bytes;
};

class CFileSource final : public CByteSource {
public:
    CFileSource(int fd, long long size) : m_fd(fd), m_remaining(size) {}
    long long Read(void* data, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::read(m_fd, data, size);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n > 0) {
                m_remaining = std::max(0LL, m_remaining - n);
            }
            return n;
        }
    }
    long long Remaining() const override { return m_remaining; }

private:
    int m_fd;
    long long m_remaining;
};

// Reads exactly size bytes. Returns None, BadFormat at a premature end, or File on an error.
TrackError ReadExactly(CByteSource& source, void* data, std::size_t size) {
    auto* p = static_cast<unsigned char*>(data);
    while (size > 0) {
        const long long n = source.Read(p, size);
        if (n < 0) {
            return {TrackErrorKind::File, FileCauseFromErrno(errno), {}};
        }
        if (n == 0) {
            return {TrackErrorKind::BadFormat, FileCause::Generic, {}};
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return {};
}

constexpr unsigned char kExtensionMagic[4] = {'R', 'V', 'E', 'X'};
constexpr unsigned char kPointsTag[4] = {'P', 'N', 'T', 'S'};
constexpr std::uint32_t kExtensionVersion = 1;
constexpr std::size_t kChunkHeaderSize = 8; // tag, byte size
constexpr std::size_t kShapeSize = 12;      // left width, right width, bank

std::uint32_t Crc32(const unsigned char* data, std::size_t size) {
    return static_cast<std::uint32_t>(crc32_z(crc32_z(0L, Z_NULL, 0), data, size));
}

float LoadFloat(const unsigned char* p) {
    return std::bit_cast<float>(LoadLE32(p));
}

// A value read from a file counts as not set when it is what the settings give (a zero of
// either sign counting as zero, as when deciding whether to write the extension).
std::optional<float> ReadProperty(float value, float byDefault) {
    if (value == byDefault) {
        return std::nullopt;
    }
    return value;
}

// Reads the "PNTS" chunk's data into track.shapes. False when it does not fit the track.
bool ReadPointsChunk(std::span<const unsigned char> data, TrackData& track) {
    if (data.size() < 4) {
        return false;
    }
    const std::uint32_t count = LoadLE32(data.data());
    if (count != track.vertices.size() ||
        data.size() - 4 != static_cast<std::uint64_t>(count) * kShapeSize) {
        return false;
    }
    const float side = DefaultSideWidth(track.roadWidth);
    std::vector<PointShape> shapes(count); // no larger than the vertices already read
    bool anySet = false;
    const unsigned char* p = data.data() + 4;
    for (PointShape& shape : shapes) {
        const float left = LoadFloat(p), right = LoadFloat(p + 4), bank = LoadFloat(p + 8);
        p += kShapeSize;
        if (!std::isfinite(left) || !std::isfinite(right) || !std::isfinite(bank)) {
            return false;
        }
        shape = {ReadProperty(left, side), ReadProperty(right, side), ReadProperty(bank, 0.0f)};
        anySet = anySet || !shape.IsUnset();
    }
    if (anySet) {
        track.shapes = std::move(shapes);
    }
    return true;
}

// Reads the extension (everything after the last vertex, which begins with "RVEX") into
// track's shapes and other chunks. False, with neither set, when it is damaged.
bool ReadExtension(std::span<const unsigned char> ext, TrackData& track) {
    if (ext.size() < sizeof kExtensionMagic + 4 + 4) {
        return false;
    }
    const std::size_t end = ext.size() - 4;
    if (Crc32(ext.data(), end) != LoadLE32(ext.data() + end) ||
        LoadLE32(ext.data() + 4) != kExtensionVersion) {
        return false;
    }
    bool seenPoints = false;
    std::size_t at = 8;
    while (at < end) {
        if (end - at < kChunkHeaderSize) {
            return false;
        }
        const unsigned char* tag = ext.data() + at;
        const std::uint32_t size = LoadLE32(tag + 4);
        const std::size_t dataAt = at + kChunkHeaderSize;
        if (size > end - dataAt) {
            return false;
        }
        if (std::memcmp(tag, kPointsTag, 4) == 0) {
            if (seenPoints || !ReadPointsChunk(ext.subspan(dataAt, size), track)) {
                return false;
            }
            seenPoints = true;
        } else {
            const auto* chunk = reinterpret_cast<const std::byte*>(tag);
            track.otherChunks.insert(track.otherChunks.end(), chunk,
                                     chunk + kChunkHeaderSize + size);
        }
        at = dataAt + size;
    }
    return true;
}

// Reads what follows the last vertex. Bytes that are not an extension are ignored, as a reader
// of the plain record does; a damaged extension leaves every shape at its default.
TrackError ReadTail(CByteSource& source, TrackData& track) {
    const long long remaining = source.Remaining();
    if (remaining < static_cast<long long>(sizeof kExtensionMagic)) {
        return {};
    }
    unsigned char magic[sizeof kExtensionMagic];
    if (auto err = ReadExactly(source, magic, sizeof magic)) {
        return err.kind == TrackErrorKind::BadFormat ? TrackError{} : err;
    }
    if (std::memcmp(magic, kExtensionMagic, sizeof magic) != 0) {
        return {};
    }
    TrackError result;
    try {
        // Sized by what the file really holds, as the vertices are.
        std::vector<unsigned char> ext(static_cast<std::size_t>(remaining));
        std::memcpy(ext.data(), magic, sizeof magic);
        if (auto err = ReadExactly(source, ext.data() + sizeof magic, ext.size() - sizeof magic)) {
            if (err.kind != TrackErrorKind::BadFormat) {
                return err; // a read error is a failed open, as for the vertices
            }
            result.shapeDamaged = true; // the file became shorter while it was read
        } else if (!ReadExtension(ext, track)) {
            result.shapeDamaged = true;
        }
    } catch (const std::bad_alloc&) {
        result.shapeDamaged = true;
    } catch (const std::length_error&) {
        result.shapeDamaged = true;
    }
    if (result.shapeDamaged) {
        track.shapes.clear();
        track.otherChunks.clear();
    }
    return result;
}

TrackError ReadTrack(CByteSource& source, TrackData& out) {
    unsigned char header[kTrackHeaderSize];
    const long long available = source.Remaining();
    if (available == 0) {
        out = TrackData{};
        return {};
    }
    if (auto err = ReadExactly(source, header, sizeof header)) {
        return err;
    }
    TrackData track;
    track.divisionCount = static_cast<std::int32_t>(LoadLE32(header));
    track.roadWidth = static_cast<std::int32_t>(LoadLE32(header + 4));
    const std::uint32_t count = LoadLE32(header + 8);
    const auto needed = static_cast<unsigned long long>(count) * kTrackVertexSize;
    const long long remaining = source.Remaining();
    if (remaining >= 0 && needed > static_cast<unsigned long long>(remaining)) {
        // The count claims more vertices than the data holds: refuse before allocating.
        return {TrackErrorKind::BadFormat, FileCause::Generic, {}};
    }
    if (count > static_cast<std::uint32_t>(INT_MAX)) {
        // The store indexes vertices with signed 32-bit numbers.
        return {TrackErrorKind::ReadFailed, FileCause::Generic, {}};
    }
    try {
        track.vertices.resize(count);
        if (auto err = ReadExactly(source, track.vertices.data(), needed)) {
            return err;
        }
    } catch (const std::bad_alloc&) {
        return {TrackErrorKind::ReadFailed, FileCause::Generic, {}};
    } catch (const std::length_error&) {
        return {TrackErrorKind::ReadFailed, FileCause::Generic, {}};
    }
    SwapVerticesIfBigEndian(track.vertices);
    TrackError result = ReadTail(source, track);
    if (result) {
        return result;
    }
    out = std::move(track);
    return result;
}

} // namespace

std::string TrackErrorMessage(const TrackError& error) {
    switch (error.kind) {
    case TrackErrorKind::None:
        return {};
    case TrackErrorKind::BadFormat:
        return str::kBadFormat;
    case TrackErrorKind::ReadFailed:
        return str::kOpenFailed;
    case TrackErrorKind::SaveFailed:
        return str::kSaveFailed;
    case TrackErrorKind::CannotOpen:
    case TrackErrorKind::File:
        return FileErrorMessage(error.cause, error.path);
    }
    return str::kOpenFailed;
}

std::string ShapeDamagedMessage(const TrackError& error) {
    return SubstituteArg(str::kShapeDamaged, error.path);
}

TrackError ParseTrack(std::span<const std::byte> bytes, TrackData& out) {
    CMemorySource source(bytes);
    return ReadTrack(source, out);
}

TrackError LoadTrackFile(const std::filesystem::path& path, TrackData& out) {
    const std::string shown = path.string();
    // Only regular files are tracks: a pipe or device could block or deliver data forever.
    // A device is not even opened (opening some has effects); O_NONBLOCK keeps the open from
    // waiting for a pipe's writer should one take the file's place meanwhile.
    struct stat before {};
    if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
        return {TrackErrorKind::CannotOpen, FileCause::AccessDenied, shown};
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return {TrackErrorKind::CannotOpen, FileCauseFromErrno(errno), shown};
    }
    struct stat st {};
    TrackError result;
    if (::fstat(fd, &st) != 0) {
        result = {TrackErrorKind::File, FileCauseFromErrno(errno), shown};
    } else if (!S_ISREG(st.st_mode)) {
        result = {TrackErrorKind::CannotOpen, FileCause::AccessDenied, shown};
    } else {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        CFileSource source(fd, static_cast<long long>(st.st_size));
        result = ReadTrack(source, out);
        if (result.kind == TrackErrorKind::File || result.shapeDamaged) {
            result.path = shown;
        }
    }
    ::close(fd);
    return result;
}

TrackTail MakeTrackTail(std::int32_t roadWidth, std::size_t vertexCount,
                        std::span<const PointShape> shapes,
                        std::span<const std::byte> otherChunks) {
    TrackTail tail;
    tail.widthField = roadWidth;
    const bool haveShapes = shapes.size() == vertexCount && vertexCount > 0;
    const float side = DefaultSideWidth(roadWidth);
    bool anyWidth = false, anyShape = false;
    double widthSum = 0.0;
    if (haveShapes) {
        for (const PointShape& shape : shapes) {
            const ResolvedShape r = Resolve(shape, roadWidth);
            anyWidth = anyWidth || r.widthLeft != side || r.widthRight != side;
            anyShape = anyShape || r.bank != 0.0f;
            widthSum += static_cast<double>(r.widthLeft) + static_cast<double>(r.widthRight);
        }
    }
    anyShape = anyShape || anyWidth;
    if (!anyShape && otherChunks.empty()) {
        return tail;
    }
    if (anyWidth) {
        const double mean = std::round(widthSum / static_cast<double>(vertexCount));
        tail.widthField =
            static_cast<std::int32_t>(std::clamp(mean, double{INT32_MIN}, double{INT32_MAX}));
    }
    const std::uint64_t pointsSize = 4 + std::uint64_t{vertexCount} * kShapeSize;
    if (anyShape && pointsSize > UINT32_MAX) {
        tail.fits = false; // the chunk's size field cannot hold it
        return tail;
    }
    const std::size_t size = sizeof kExtensionMagic + 4 +
                             (anyShape ? kChunkHeaderSize + pointsSize : 0) + otherChunks.size() +
                             4;
    tail.extension.resize(size);
    auto* p = reinterpret_cast<unsigned char*>(tail.extension.data());
    std::memcpy(p, kExtensionMagic, 4);
    StoreLE32(p + 4, kExtensionVersion);
    p += 8;
    if (anyShape) {
        std::memcpy(p, kPointsTag, 4);
        StoreLE32(p + 4, static_cast<std::uint32_t>(pointsSize));
        StoreLE32(p + 8, static_cast<std::uint32_t>(vertexCount));
        p += 12;
        for (const PointShape& shape : shapes) {
            const ResolvedShape r = Resolve(shape, roadWidth);
            for (const float f : {r.widthLeft, r.widthRight, r.bank}) {
                StoreLE32(p, std::bit_cast<std::uint32_t>(f));
                p += 4;
            }
        }
    }
    if (!otherChunks.empty()) {
        std::memcpy(p, otherChunks.data(), otherChunks.size());
        p += otherChunks.size();
    }
    auto* begin = reinterpret_cast<unsigned char*>(tail.extension.data());
    StoreLE32(p, Crc32(begin, static_cast<std::size_t>(p - begin)));
    return tail;
}

std::vector<std::byte> SerializeTrack(std::int32_t divisionCount, std::int32_t roadWidth,
                                      std::span<const CVector3D> vertices,
                                      std::span<const PointShape> shapes,
                                      std::span<const std::byte> otherChunks) {
    const TrackTail tail = MakeTrackTail(roadWidth, vertices.size(), shapes, otherChunks);
    if (!tail.fits) {
        return {};
    }
    std::vector<std::byte> bytes(kTrackHeaderSize + vertices.size() * kTrackVertexSize +
                                 tail.extension.size());
    auto* p = reinterpret_cast<unsigned char*>(bytes.data());
    EncodeHeader(p, divisionCount, tail.widthField, vertices.size());
    if (!vertices.empty()) {
        std::memcpy(p + kTrackHeaderSize, vertices.data(), vertices.size_bytes());
        SwapVerticesIfBigEndian(
            {reinterpret_cast<CVector3D*>(p + kTrackHeaderSize), vertices.size()});
    }
    if (!tail.extension.empty()) {
        std::memcpy(p + kTrackHeaderSize + vertices.size_bytes(), tail.extension.data(),
                    tail.extension.size());
    }
    return bytes;
}

TrackError SaveTrackFile(const std::filesystem::path& path, std::int32_t divisionCount,
                         std::int32_t roadWidth, std::span<const CVector3D> vertices,
                         std::span<const PointShape> shapes,
                         std::span<const std::byte> otherChunks) {
    const std::string shown = path.string();
    if (vertices.size() > UINT32_MAX) {
        return {TrackErrorKind::SaveFailed, FileCause::Generic, shown};
    }
    const TrackTail tail = MakeTrackTail(roadWidth, vertices.size(), shapes, otherChunks);
    if (!tail.fits) {
        return {TrackErrorKind::SaveFailed, FileCause::Generic, shown};
    }
    auto fail = [&](const FileStatus& s) {
        return TrackError{TrackErrorKind::File, s.cause, shown};
    };
    CAtomicFile file(path);
    if (auto s = file.Open(); !s.ok) {
        return {TrackErrorKind::CannotOpen, s.cause, shown};
    }
    unsigned char header[kTrackHeaderSize];
    EncodeHeader(header, divisionCount, tail.widthField, vertices.size());
    if (auto s = file.Write(header, sizeof header); !s.ok) {
        return fail(s);
    }
    if constexpr (kLittleEndianHost) {
        if (auto s = file.Write(vertices.data(), vertices.size_bytes()); !s.ok) {
            return fail(s);
        }
    } else {
        for (CVector3D v : vertices) {
            SwapVerticesIfBigEndian({&v, 1});
            if (auto s = file.Write(&v, sizeof v); !s.ok) {
                return fail(s);
            }
        }
    }
    if (!tail.extension.empty()) {
        if (auto s = file.Write(tail.extension.data(), tail.extension.size()); !s.ok) {
            return fail(s);
        }
    }
    if (auto s = file.Commit(); !s.ok) {
        return fail(s);
    }
    return {};
}

} // namespace rolvet
