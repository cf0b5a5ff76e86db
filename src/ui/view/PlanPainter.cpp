#include "view/PlanPainter.h"

#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace rolvet::plan {

namespace {

QPen CosmeticPen(QRgb colour, Qt::PenStyle style = Qt::SolidLine) {
    // One pixel wide whatever the transformation; flat caps leave the far end pixel out, as a
    // window-system line-to does.
    QPen pen(QColor::fromRgb(colour), 1, style, Qt::FlatCap, Qt::MiterJoin);
    pen.setCosmetic(true);
    return pen;
}

QPoint ToQPoint(Pixel p) {
    return {p.x, p.y};
}

Centre SceneCentre(const PlanScene& scene) {
    Centre c = CentreOf(scene.width, scene.height);
    c.panX = scene.panX;
    c.panY = scene.panY;
    return c;
}

// Axes, the dotted square and the four labels: everything drawn before the track.
void PaintReference(QPainter& painter, const PlanScene& scene) {
    const Centre c = SceneCentre(scene);
    const int width = scene.width;
    const int height = scene.height;
    // The axes cross at the world origin, which is the client centre until the user pans.
    const Pixel o = OriginPixel(c);

    painter.setPen(CosmeticPen(kAxisColour));
    painter.drawLine(o.x, 0, o.x, height);
    painter.drawLine(0, o.y, width, o.y);

    // The square is dotted over an opaque background: the gaps are painted in the background
    // colour, also where the square crosses an axis.
    const SquareCorners sq = ReferenceSquare(scene.scale, c);
    const QPoint corners[5] = {ToQPoint(sq.topLeft), ToQPoint(sq.topRight),
                               ToQPoint(sq.bottomRight), ToQPoint(sq.bottomLeft),
                               ToQPoint(sq.topLeft)};
    painter.setPen(CosmeticPen(kGreyColour, Qt::DotLine));
    painter.setBackground(QColor::fromRgb(kBackgroundColour));
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.drawPolyline(corners, 5);

    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(QColor::fromRgb(kGreyColour));
    QFont font = scene.font;
    font.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(font);
    // Each label is placed by the top-left corner of its text.
    const int ascent = painter.fontMetrics().ascent();
    const auto label = [&](int x, int y, const char* text) {
        painter.drawText(x, y + ascent, QString::fromLatin1(text));
    };
    label(0, o.y - 7, "-X");
    label(width - 20, o.y - 7, "+X");
    label(o.x - 8, 0, "-Z");
    label(o.x - 8, height - 15, "+Z");
}

void BeginPlan(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

QRect MarkerRect(Pixel p) {
    return {p.x - 2, p.y - 2, 5, 5};
}

// The 32-bit pixels of an image that a painter is drawing into.
struct Raster {
    quint32* bits = nullptr;
    qsizetype stride = 0; // pixels per line
    int width = 0;
    int height = 0;

    bool Contains(Pixel p) const { return p.x >= 0 && p.y >= 0 && p.x < width && p.y < height; }

    void Fill(Pixel p, quint32 colour) const {
        if (p.x >= 2 && p.y >= 2 && p.x < width - 2 && p.y < height - 2) {
            // The common case, the whole marker inside the image: five runs of five pixels.
            quint32* row = bits + (p.y - 2) * stride + (p.x - 2);
            for (int y = 0; y < 5; ++y, row += stride) {
                row[0] = colour;
                row[1] = colour;
                row[2] = colour;
                row[3] = colour;
                row[4] = colour;
            }
            return;
        }
        const int left = std::max(p.x - 2, 0);
        const int right = std::min(p.x + 2, width - 1);
        const int top = std::max(p.y - 2, 0);
        const int bottom = std::min(p.y + 2, height - 1);
        for (int y = top; y <= bottom; ++y) {
            quint32* row = bits + y * stride;
            for (int x = left; x <= right; ++x) {
                row[x] = colour;
            }
        }
    }

    // A line between two points inside the image, with exactly the pixels that QPainter's raster
    // engine sets for an aliased, solid, one-pixel, flat-capped line: the major axis covers the
    // half-open range from the smaller to the larger end coordinate, and the minor coordinate
    // advances in 16.16 fixed point by the truncated slope, starting half a step in when it
    // grows. The drawing tests compare this with QPainter on many random lines.
    void Line(Pixel a, Pixel b, quint32 colour) const {
        const int dx = b.x - a.x;
        const int dy = b.y - a.y;
        if (std::abs(dx) >= std::abs(dy)) {
            if (dx == 0) {
                return;
            }
            if (a.x > b.x) {
                std::swap(a, b);
            }
            const long long step = (static_cast<long long>(b.y - a.y) * 65536) / (b.x - a.x);
            long long y = static_cast<long long>(a.y) * 65536 + (step > 0 ? step / 2 : 0);
            for (int x = a.x; x < b.x; ++x) {
                bits[(y >> 16) * stride + x] = colour;
                y += step;
            }
        } else {
            if (a.y > b.y) {
                std::swap(a, b);
            }
            const long long step = (static_cast<long long>(b.x - a.x) * 65536) / (b.y - a.y);
            long long x = static_cast<long long>(a.x) * 65536 + (step > 0 ? step / 2 : 0);
            for (int y = a.y; y < b.y; ++y) {
                bits[y * stride + (x >> 16)] = colour;
                x += step;
            }
        }
    }
};

// Whether the segment from a to b comes near an image of width x height pixels: false only when
// it stays more than two pixels outside it, where QPainter, which clips lines to the image
// widened by one pixel before drawing them, sets no pixel either. Skipping such lines gives the
// same picture without handing QPainter millions of lines it has to clip away one by one.
bool MayTouchImage(Pixel a, Pixel b, int width, int height) {
    constexpr double kMargin = 2.0;
    const double xmin = -kMargin, ymin = -kMargin;
    const double xmax = width + kMargin, ymax = height + kMargin;
    const double x0 = a.x, y0 = a.y;
    const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
    // Liang-Barsky: the part of the segment (parameter t in [0, 1]) inside the widened image.
    double t0 = 0.0, t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - xmin, xmax - x0, y0 - ymin, ymax - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) {
                return false;
            }
        } else {
            const double t = q[i] / p[i];
            if (p[i] < 0.0) {
                t0 = std::max(t0, t);
            } else {
                t1 = std::min(t1, t);
            }
            if (t0 > t1) {
                return false;
            }
        }
    }
    return true;
}

// The image that painter writes into, when its pixels can be written directly with the same
// result as painting: a 32-bit image, no clip, no transformation, full opacity, plain overdraw.
QImage* DirectTarget(QPainter& painter) {
    QImage* image = dynamic_cast<QImage*>(painter.device());
    if (image == nullptr || image->isNull()) {
        return nullptr;
    }
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied) {
        return nullptr;
    }
    if (painter.hasClipping() || !painter.combinedTransform().isIdentity() ||
        painter.opacity() != 1.0 ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver ||
        image->devicePixelRatio() != 1.0) {
        return nullptr;
    }
    return image;
}

// Whether vertex i is drawn red: only a selection inside the store marks anything.
bool IsSelected(const PlanScene& scene, std::size_t i) {
    return scene.selected >= 0 && static_cast<std::size_t>(scene.selected) == i;
}

// Calls line(a, b) for each piece of the closed outer edge `edge` (2: E, 3: G) of the sections
// that draws anything.
template <typename Line> void ForEachEdgeLine(const PlanScene& scene, std::size_t edge, Line line) {
    if (scene.sections.empty()) {
        return;
    }
    const Centre c = SceneCentre(scene);
    auto pixel = [&](std::size_t j) {
        const CVector3D& v = scene.sections[j][edge];
        return WorldToPixel(v.x, v.z, scene.scale, c);
    };
    Pixel previous = pixel(scene.sections.size() - 1);
    for (std::size_t j = 0; j < scene.sections.size(); ++j) {
        const Pixel p = pixel(j);
        if (p != previous) {
            line(previous, p);
            previous = p;
        }
    }
}

} // namespace

void PaintPlanStraight(QPainter& painter, const PlanScene& scene) {
    painter.save();
    BeginPlan(painter);
    PaintReference(painter, scene);

    painter.setPen(CosmeticPen(kEdgeColour));
    for (const std::size_t edge : {2u, 3u}) {
        ForEachEdgeLine(scene, edge,
                        [&](Pixel a, Pixel b) { painter.drawLine(ToQPoint(a), ToQPoint(b)); });
    }

    const Centre c = SceneCentre(scene);
    const QBrush selectedBrush{QColor::fromRgb(kSelectedColour)};
    const QBrush markerBrush{QColor::fromRgb(kMarkerColour)};
    painter.setPen(CosmeticPen(kLineColour));
    Pixel previous;
    for (std::size_t i = 0; i < scene.vertices.size(); ++i) {
        const CVector3D& v = scene.vertices[i];
        const Pixel p = WorldToPixel(v.x, v.z, scene.scale, c);
        // Each marker is filled before the line that ends at its vertex, so lines lie on top.
        painter.fillRect(MarkerRect(p), IsSelected(scene, i) ? selectedBrush : markerBrush);
        // A line to the point it starts from draws nothing (QPainter alone would set a pixel).
        if (i > 0 && p != previous) {
            painter.drawLine(ToQPoint(previous), ToQPoint(p));
        }
        previous = p;
    }
    painter.restore();
}

void PaintPlan(QPainter& painter, const PlanScene& scene) {
    QImage* image = DirectTarget(painter);
    if (image == nullptr) {
        PaintPlanStraight(painter, scene);
        return;
    }
    painter.save();
    BeginPlan(painter);
    PaintReference(painter, scene);

    // The painter has made the image's pixels its own when it began; write into that same
    // memory, so painter calls and direct writes land in one buffer, in program order.
    Raster raster;
    raster.bits = reinterpret_cast<quint32*>(const_cast<uchar*>(image->constBits()));
    raster.stride = image->bytesPerLine() / 4;
    raster.width = image->width();
    raster.height = image->height();
    // QPainter clips lines that leave the image; those that never come near it are left out
    // before they reach it.
    auto line = [&](Pixel a, Pixel b, QRgb colour) {
        if (raster.Contains(a) && raster.Contains(b)) {
            raster.Line(a, b, colour);
        } else if (MayTouchImage(a, b, raster.width, raster.height)) {
            painter.drawLine(ToQPoint(a), ToQPoint(b));
        }
    };

    painter.setPen(CosmeticPen(kEdgeColour));
    for (const std::size_t edge : {2u, 3u}) {
        ForEachEdgeLine(scene, edge, [&](Pixel a, Pixel b) { line(a, b, kEdgeColour); });
    }

    const Centre c = SceneCentre(scene);
    painter.setPen(CosmeticPen(kLineColour));
    Pixel previous;
    for (std::size_t i = 0; i < scene.vertices.size(); ++i) {
        const CVector3D& v = scene.vertices[i];
        const Pixel p = WorldToPixel(v.x, v.z, scene.scale, c);
        raster.Fill(p, IsSelected(scene, i) ? kSelectedColour : kMarkerColour);
        if (i > 0 && p != previous) {
            line(previous, p, kLineColour);
        }
        previous = p;
    }
    painter.restore();
}

} // namespace rolvet::plan
