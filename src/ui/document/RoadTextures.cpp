#include "document/RoadTextures.h"

#include "export/RoadMesh.h"

#include <QBuffer>
#include <QFile>

#include <algorithm>
#include <bit>
#include <cmath>
#include <mutex>

namespace {

constexpr int kMaxSide = 4096;
// PNG quality for the embedded images: light compression, several times faster than the
// default at a few per cent more bytes.
constexpr int kPngQuality = 80;

// The pixels whose centres lie in [from, to) of a side of `size` pixels.
std::pair<int, int> PixelSpan(int size, double from, double to) {
    const int first = static_cast<int>(std::ceil(from * size - 0.5));
    const int end = static_cast<int>(std::ceil(to * size - 0.5));
    return {std::clamp(first, 0, size), std::clamp(end, 0, size)};
}

QImage Band(const QImage& texture, double u0, double u1, double v0, double v1) {
    const auto [x0, x1] = PixelSpan(texture.width(), u0, u1);
    const auto [y0, y1] = PixelSpan(texture.height(), v0, v1);
    if (x1 <= x0 || y1 <= y0) {
        return {};
    }
    const QImage band = texture.copy(x0, y0, x1 - x0, y1 - y0);
    const int w =
        std::min(static_cast<int>(std::bit_ceil(static_cast<unsigned>(band.width()))), kMaxSide);
    const int h =
        std::min(static_cast<int>(std::bit_ceil(static_cast<unsigned>(band.height()))), kMaxSide);
    return band.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The bands last made and the bytes of the file they were cut from, kept for files up to this
// size.
constexpr qsizetype kMaxKeptSource = qsizetype{16} << 20;
struct LastBands {
    std::mutex mutex;
    QByteArray source;
    rolvet::RoadTextureImages images;
};
LastBands& Last() {
    static LastBands last;
    return last;
}

std::string Png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) ||
        !image.save(&buffer, "PNG", kPngQuality)) {
        return {};
    }
    return bytes.toStdString();
}

} // namespace

RoadTextureBandImages CutRoadTextureBands(const QImage& texture) {
    if (texture.isNull()) {
        return {};
    }
    using Bands = rolvet::RoadTextureBands;
    const QImage rgb = texture.convertToFormat(texture.hasAlphaChannel() ? QImage::Format_RGBA8888
                                                                         : QImage::Format_RGB888);
    return {Band(rgb, Bands::kRoadU0, Bands::kRoadU1, Bands::kRoadV0, Bands::kRoadV1),
            Band(rgb, Bands::kKerbU0, Bands::kKerbU1, Bands::kKerbV0, Bands::kKerbV1)};
}

rolvet::RoadTextureImages LoadRoadTextureImages(const QString& source, bool reuse) {
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    LastBands& last = Last();
    if (reuse) {
        const std::lock_guard lock(last.mutex);
        if (!last.images.Empty() && last.source == bytes) {
            return last.images;
        }
    }
    QImage texture;
    if (!texture.loadFromData(bytes)) {
        return {};
    }
    const RoadTextureBandImages bands = CutRoadTextureBands(texture);
    rolvet::RoadTextureImages images{Png(bands.road), Png(bands.kerb)};
    if (images.Empty()) {
        return {};
    }
    if (bytes.size() <= kMaxKeptSource) {
        const std::lock_guard lock(last.mutex);
        last.source = bytes;
        last.images = images;
    }
    return images;
}
