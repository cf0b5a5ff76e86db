// Draws the road texture Road.png (run once; the result is kept in data/Road.png).
//
// Texture space of the exported model: u runs along the road, v across it. The road surface
// uses u and v from 0.26 to 1 (v = 0.26 at the plus-side inner line, 1 at the minus-side one);
// each edge strip uses the band v = 0 (inner line) to 0.24 (outer edge).
#include <QColor>
#include <QImage>
#include <QString>

#include <cstdint>
#include <cstdio>

namespace {

constexpr int kSize = 256; // square with power-of-two sides, read by every common loader

// A small deterministic hash for the grain of the asphalt.
int Grain(int x, int y) {
    std::uint32_t h =
        static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<int>((h ^ (h >> 16)) % 17u) - 8;
}

QRgb Asphalt(int x, int y) {
    const int g = 72 + Grain(x, y);
    return qRgb(g, g, g + 2);
}

// v of pixel row y (row centre).
double V(int y) {
    return (y + 0.5) / kSize;
}
double U(int x) {
    return (x + 0.5) / kSize;
}

QRgb Pixel(int x, int y) {
    const double u = U(x);
    const double v = V(y);
    if (v < 0.24) {
        // Kerb: red and white blocks along the road, a darker line at the road side.
        if (v < 0.02) {
            return qRgb(60, 60, 60);
        }
        const bool red = static_cast<int>(u * 4.0) % 2 == 0;
        return red ? qRgb(200, 30, 30) : qRgb(235, 235, 235);
    }
    if (v < 0.26 || u < 0.26) {
        return Asphalt(x, y); // unused margin, kept as asphalt so filtering bleeds nothing odd
    }
    // Road surface: v 0.26..1 across, u 0.26..1 along.
    const double across = (v - 0.26) / 0.74; // 0 at the plus side, 1 at the minus side
    const double along = (u - 0.26) / 0.74;
    if ((across > 0.04 && across < 0.07) || (across > 0.93 && across < 0.96)) {
        return qRgb(240, 240, 240); // solid edge lines
    }
    if (across > 0.485 && across < 0.515 && static_cast<int>(along * 4.0) % 2 == 0) {
        return qRgb(240, 240, 240); // dashed centre line
    }
    return Asphalt(x, y);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
        return 2;
    }
    QImage image(kSize, kSize, QImage::Format_RGB32);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            image.setPixel(x, y, Pixel(x, y));
        }
    }
    if (!image.convertToFormat(QImage::Format_RGB888)
             .save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
