#include "track/BackgroundImage.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace rolvet {

namespace {

constexpr unsigned char kBackgroundTag[4] = {'B', 'G', 'I', 'M'};
constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kFixedSize = 8 * 8 + 4 + 4; // eight doubles, opacity, path length

std::uint32_t LoadLE32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void StoreLE32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<unsigned char>(v >> (8 * i));
    }
}

double LoadDouble(const unsigned char* p) {
    const std::uint64_t lo = LoadLE32(p), hi = LoadLE32(p + 4);
    return std::bit_cast<double>(lo | (hi << 32));
}

void StoreDouble(unsigned char* p, double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    StoreLE32(p, static_cast<std::uint32_t>(bits));
    StoreLE32(p + 4, static_cast<std::uint32_t>(bits >> 32));
}

double* Fields(BackgroundImage& image, int i) {
    double* fields[8] = {&image.u1, &image.v1, &image.u2, &image.v2,
                         &image.x1, &image.z1, &image.x2, &image.z2};
    return fields[i];
}

bool ReadChunk(std::span<const unsigned char> data, BackgroundImage& out) {
    if (data.size() < kFixedSize) {
        return false;
    }
    BackgroundImage image;
    for (int i = 0; i < 8; ++i) {
        *Fields(image, i) = LoadDouble(data.data() + 8 * i);
        if (!std::isfinite(*Fields(image, i))) {
            return false;
        }
    }
    const std::uint32_t opacity = LoadLE32(data.data() + 64);
    const std::uint32_t length = LoadLE32(data.data() + 68);
    if (opacity > 100 || length == 0 || data.size() - kFixedSize != length) {
        return false;
    }
    image.opacity = static_cast<int>(opacity);
    const auto* text = reinterpret_cast<const char*>(data.data() + kFixedSize);
    image.path.assign(text, length);
    if (image.path.find('\0') != std::string::npos) {
        return false; // no file name holds a NUL
    }
    out = std::move(image);
    return true;
}

// Calls visit(offset, size) for every whole chunk; stops at the first that does not fit.
template <typename Visit> void ForEachChunk(std::span<const std::byte> chunks, Visit visit) {
    std::size_t at = 0;
    while (chunks.size() - at >= kChunkHeaderSize) {
        const auto* header = reinterpret_cast<const unsigned char*>(chunks.data() + at);
        const std::uint32_t size = LoadLE32(header + 4);
        if (size > chunks.size() - at - kChunkHeaderSize) {
            return;
        }
        visit(at, kChunkHeaderSize + size);
        at += kChunkHeaderSize + size;
    }
}

bool IsBackgroundChunk(std::span<const std::byte> chunks, std::size_t at) {
    return std::memcmp(chunks.data() + at, kBackgroundTag, 4) == 0;
}

void AppendChunk(std::vector<std::byte>& out, const BackgroundImage& image) {
    const std::size_t at = out.size();
    out.resize(at + kChunkHeaderSize + kFixedSize + image.path.size());
    auto* p = reinterpret_cast<unsigned char*>(out.data() + at);
    std::memcpy(p, kBackgroundTag, 4);
    StoreLE32(p + 4, static_cast<std::uint32_t>(kFixedSize + image.path.size()));
    p += kChunkHeaderSize;
    BackgroundImage copy = image;
    for (int i = 0; i < 8; ++i) {
        StoreDouble(p + 8 * i, *Fields(copy, i));
    }
    StoreLE32(p + 64, static_cast<std::uint32_t>(image.opacity));
    StoreLE32(p + 68, static_cast<std::uint32_t>(image.path.size()));
    std::memcpy(p + kFixedSize, image.path.data(), image.path.size());
}

} // namespace

std::optional<ImagePlacement> PlaceImage(const BackgroundImage& image) {
    // (x + iz) = w (u + iv) + t with complex w = a + ib: one rotation and scale, no mirroring.
    const double du = image.u2 - image.u1, dv = image.v2 - image.v1;
    const double dx = image.x2 - image.x1, dz = image.z2 - image.z1;
    const double n = du * du + dv * dv;
    if (!(n > 0.0) || !std::isfinite(n) || !std::isfinite(dx) || !std::isfinite(dz)) {
        return std::nullopt;
    }
    ImagePlacement p;
    p.a = (dx * du + dz * dv) / n;
    p.b = (dz * du - dx * dv) / n;
    p.tx = image.x1 - (p.a * image.u1 - p.b * image.v1);
    p.tz = image.z1 - (p.b * image.u1 + p.a * image.v1);
    if (!std::isfinite(p.a) || !std::isfinite(p.b) || !std::isfinite(p.tx) ||
        !std::isfinite(p.tz)) {
        return std::nullopt;
    }
    return p;
}

std::optional<std::pair<double, double>> PointAtDistance(const BackgroundImage& image,
                                                         double distance) {
    const double du = image.u2 - image.u1, dv = image.v2 - image.v1;
    const double length = std::hypot(du, dv);
    if (!(length > 0.0) || !std::isfinite(length)) {
        return std::nullopt;
    }
    return std::pair{image.x1 + du / length * distance, image.z1 + dv / length * distance};
}

BackgroundChunkState FindBackgroundChunk(std::span<const std::byte> chunks, BackgroundImage& out) {
    BackgroundChunkState state = BackgroundChunkState::None;
    ForEachChunk(chunks, [&](std::size_t at, std::size_t size) {
        if (state == BackgroundChunkState::None && IsBackgroundChunk(chunks, at)) {
            const auto* data = reinterpret_cast<const unsigned char*>(chunks.data() + at);
            const std::span<const unsigned char> body(data + kChunkHeaderSize,
                                                      size - kChunkHeaderSize);
            state =
                ReadChunk(body, out) ? BackgroundChunkState::Read : BackgroundChunkState::Damaged;
        }
    });
    return state;
}

std::vector<std::byte> WithBackgroundChunk(std::span<const std::byte> chunks,
                                           const BackgroundImage* image) {
    std::vector<std::byte> out;
    out.reserve(chunks.size() + (image ? kChunkHeaderSize + kFixedSize + image->path.size() : 0));
    bool placed = false;
    std::size_t end = 0;
    ForEachChunk(chunks, [&](std::size_t at, std::size_t size) {
        end = at + size;
        if (!IsBackgroundChunk(chunks, at)) {
            out.insert(out.end(), chunks.begin() + at, chunks.begin() + at + size);
        } else if (image != nullptr && !placed) {
            AppendChunk(out, *image);
            placed = true;
        }
    });
    // Bytes that are no whole chunk cannot come from a file (its extension was checked when it
    // was read); they are kept rather than lost.
    out.insert(out.end(), chunks.begin() + end, chunks.end());
    if (image != nullptr && !placed) {
        AppendChunk(out, *image);
    }
    return out;
}

std::string StoredBackgroundPath(const std::filesystem::path& image,
                                 const std::filesystem::path& trackFile) {
    const std::filesystem::path absolute = image.lexically_normal();
    if (trackFile.empty() || !absolute.is_absolute()) {
        return absolute.generic_string();
    }
    const std::filesystem::path folder = trackFile.lexically_normal().parent_path();
    const std::filesystem::path relative = absolute.lexically_relative(folder);
    return relative.empty() ? absolute.generic_string() : relative.generic_string();
}

std::filesystem::path ResolveBackgroundPath(const std::string& stored,
                                            const std::filesystem::path& trackFile) {
    const std::filesystem::path path(stored);
    if (path.is_absolute() || trackFile.empty()) {
        return path.lexically_normal();
    }
    return (trackFile.parent_path() / path).lexically_normal();
}

} // namespace rolvet
