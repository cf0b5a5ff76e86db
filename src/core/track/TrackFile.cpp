#include "track/TrackFile.h"

#include "common/AtomicFile.h"
#include "common/Strings.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

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
    out = std::move(track);
    return {};
}

} // namespace

std::string TrackErrorMessage(const TrackError& error) {
    switch (error.kind) {
    case TrackErrorKind::None:
        return {};
    case TrackErrorKind::BadFormat:
        return Translate(str::kBadFormat);
    case TrackErrorKind::ReadFailed:
        return Translate(str::kOpenFailed);
    case TrackErrorKind::SaveFailed:
        return Translate(str::kSaveFailed);
    case TrackErrorKind::CannotOpen:
    case TrackErrorKind::File:
        return FileErrorMessage(error.cause, error.path);
    }
    return Translate(str::kOpenFailed);
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
        if (result.kind == TrackErrorKind::File) {
            result.path = shown;
        }
    }
    ::close(fd);
    return result;
}

std::vector<std::byte> SerializeTrack(std::int32_t divisionCount, std::int32_t roadWidth,
                                      std::span<const CVector3D> vertices) {
    std::vector<std::byte> bytes(kTrackHeaderSize + vertices.size() * kTrackVertexSize);
    auto* p = reinterpret_cast<unsigned char*>(bytes.data());
    EncodeHeader(p, divisionCount, roadWidth, vertices.size());
    if (!vertices.empty()) {
        std::memcpy(p + kTrackHeaderSize, vertices.data(), vertices.size_bytes());
        SwapVerticesIfBigEndian(
            {reinterpret_cast<CVector3D*>(p + kTrackHeaderSize), vertices.size()});
    }
    return bytes;
}

TrackError SaveTrackFile(const std::filesystem::path& path, std::int32_t divisionCount,
                         std::int32_t roadWidth, std::span<const CVector3D> vertices) {
    const std::string shown = path.string();
    if (vertices.size() > UINT32_MAX) {
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
    EncodeHeader(header, divisionCount, roadWidth, vertices.size());
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
    if (auto s = file.Commit(); !s.ok) {
        return fail(s);
    }
    return {};
}

} // namespace rolvet
