// Draws the program's pictures and writes them as PNG files into the folder named on the
// command line: the application icon and the document icon at 16, 24, 32, 48 and 256
// pixels, and the nine toolbar images at 16 pixels (plus 32-pixel "@2x" copies for
// high-density screens). The PNGs are committed; run this only after changing a drawing:
//   cmake --build <build dir> --target update_icons
#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QPolygonF>
#include <QRadialGradient>
#include <QString>
#include <QTransform>

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using DrawFunction = std::function<void(QPainter&)>;

QImage Render(int pixels, double units, const DrawFunction& draw) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(pixels / units, pixels / units);
    draw(p);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QPen Pen(const QColor& color, double width = 1.0) {
    QPen pen(color, width);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

QPolygonF Poly(std::initializer_list<QPointF> points) {
    return QPolygonF(QList<QPointF>(points));
}

// ---------------------------------------------------------------------------------------
// The track loop shared by the application and document icons: a closed Catmull-Rom curve
// through a few control points, like the roads the editor makes.

const std::vector<QPointF> kTrackPoints = {{70, 74},   {140, 60},  {196, 84}, {200, 146},
                                           {150, 166}, {118, 200}, {62, 188}, {50, 128}};

QPainterPath TrackPath(const std::vector<QPointF>& pts) {
    QPainterPath path;
    const std::size_t n = pts.size();
    path.moveTo(pts[0]);
    for (std::size_t i = 0; i < n; ++i) {
        const QPointF& p0 = pts[(i + n - 1) % n];
        const QPointF& p1 = pts[i];
        const QPointF& p2 = pts[(i + 1) % n];
        const QPointF& p3 = pts[(i + 2) % n];
        path.cubicTo(p1 + (p2 - p0) / 6.0, p2 - (p3 - p1) / 6.0, p2);
    }
    path.closeSubpath();
    return path;
}

// Draws the road in a 256-unit square; `pixels` decides how much detail is legible.
void DrawRoad(QPainter& p, int pixels, const QTransform& placement, bool markers) {
    const std::vector<QPointF> pts = [&] {
        std::vector<QPointF> out;
        for (const QPointF& q : kTrackPoints) {
            out.push_back(placement.map(q));
        }
        return out;
    }();
    const double unitsPerPixel = 256.0 / pixels;
    const QPainterPath road = TrackPath(pts);
    const double scale = std::sqrt(std::abs(placement.determinant()));
    // Small sizes get a plain, slightly narrower road without kerbs or centre line: at 16
    // pixels anything more turns the loop into a blob.
    const bool small = pixels <= 24;
    const double width = std::max(34.0 * scale, (small ? 2.2 : 2.6) * unitsPerPixel);
    if (!small) {
        QPen edge(QColor(0x2b, 0x2b, 0x2b),
                  width + 2.0 * std::max(3.0 * scale, 0.6 * unitsPerPixel));
        edge.setJoinStyle(Qt::RoundJoin);
        p.strokePath(road, edge);
    }
    QPen asphalt(small ? QColor(0x45, 0x48, 0x4e) : QColor(0x62, 0x66, 0x6c), width);
    asphalt.setJoinStyle(Qt::RoundJoin);
    p.strokePath(road, asphalt);
    if (pixels >= 48) {
        QPen centre(QColor(0xff, 0xff, 0xff), std::max(3.0 * scale, 0.9 * unitsPerPixel));
        centre.setDashPattern({4.0, 3.0});
        centre.setCapStyle(Qt::FlatCap);
        p.strokePath(road, centre);
    }
    if (markers && pixels >= 128) {
        const double half = std::max(7.0 * scale, 1.5 * unitsPerPixel);
        for (std::size_t i = 0; i < pts.size(); ++i) {
            const QColor fill = (i == 2) ? QColor(0xe0, 0x20, 0x20) : QColor(0x1e, 0x4f, 0xc8);
            p.setPen(Pen(Qt::white, std::max(2.5 * scale, 0.8 * unitsPerPixel)));
            p.setBrush(fill);
            p.drawRect(QRectF(pts[i].x() - half, pts[i].y() - half, 2 * half, 2 * half));
        }
    }
}

// Application icon: a closed road loop on a green field.
void DrawAppIcon(QPainter& p, int pixels) {
    const double upp = 256.0 / pixels;
    const double inset = pixels >= 48 ? 10.0 : 0.5 * upp;
    const QRectF field(inset, inset, 256.0 - 2 * inset, 256.0 - 2 * inset);
    QLinearGradient grass(0, 0, 0, 256);
    grass.setColorAt(0.0, QColor(0x7c, 0xc5, 0x5a));
    grass.setColorAt(1.0, QColor(0x3f, 0x8f, 0x34));
    p.setPen(Pen(QColor(0x2a, 0x5e, 0x22), upp));
    p.setBrush(grass);
    const double radius = pixels >= 48 ? 40.0 : 3.0 * upp;
    p.drawRoundedRect(field.adjusted(upp / 2, upp / 2, -upp / 2, -upp / 2), radius, radius);
    const QTransform placement =
        pixels <= 24 ? QTransform().translate(128, 128).scale(1.12, 1.12).translate(-128, -131)
                     : QTransform();
    DrawRoad(p, pixels, placement, true);
}

// Document icon: a page with a folded corner that carries a small road loop.
void DrawDocumentIcon(QPainter& p, int pixels) {
    const double upp = 256.0 / pixels;
    const double left = pixels >= 48 ? 40.0 : 2.0 * upp;
    const double right = 256.0 - left;
    const double top = pixels >= 48 ? 12.0 : 0.0;
    const double bottom = 256.0 - top;
    const double fold = pixels >= 48 ? 60.0 : 4.0 * upp;
    const double h = upp / 2; // half a pixel: keeps 1-pixel outlines crisp
    const QPolygonF page = Poly({{left + h, top + h},
                                 {right - fold, top + h},
                                 {right - h, top + fold},
                                 {right - h, bottom - h},
                                 {left + h, bottom - h}});
    QLinearGradient paper(0, 0, 256, 256);
    paper.setColorAt(0.0, QColor(0xff, 0xff, 0xff));
    paper.setColorAt(1.0, QColor(0xe4, 0xe8, 0xee));
    p.setPen(Pen(QColor(0x5a, 0x60, 0x68), std::max(upp, 4.0)));
    p.setBrush(paper);
    p.drawPolygon(page);
    p.setBrush(QColor(0xc8, 0xce, 0xd6));
    p.drawPolygon(
        Poly({{right - fold, top + h}, {right - fold, top + fold}, {right - h, top + fold}}));

    // A patch of grass under the road keeps the page recognisable as a track at 16 pixels.
    const double patchTop = pixels >= 48 ? 92.0 : 5.0 * upp;
    const double patchInset = pixels >= 48 ? 26.0 : 1.0 * upp;
    const QRectF patch(left + patchInset, patchTop, right - left - 2 * patchInset,
                       bottom - patchInset - patchTop - (pixels >= 48 ? 8.0 : 0.0));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x6d, 0xb8, 0x4f));
    p.drawRect(patch);
    const QPointF c = patch.center();
    const double s = std::min(patch.width(), patch.height()) / (pixels >= 48 ? 180.0 : 196.0);
    const QTransform placement =
        QTransform().translate(c.x(), c.y()).scale(s, s).translate(-125, -130);
    DrawRoad(p, pixels, placement, false);
}

// ---------------------------------------------------------------------------------------
// Toolbar images, drawn in a 16-unit square. One-unit outlines sit on half units so they
// fall on whole pixels.

const QColor kInk(0x3a, 0x3e, 0x44);

void DrawPage(QPainter& p, double x0, double y0, double x1, double y1, double fold) {
    p.setPen(Pen(kInk));
    p.setBrush(Qt::white);
    p.drawPolygon(Poly({{x0, y0}, {x1 - fold, y0}, {x1, y0 + fold}, {x1, y1}, {x0, y1}}));
    if (fold > 0) {
        p.setBrush(QColor(0xd4, 0xd8, 0xde));
        p.drawPolygon(Poly({{x1 - fold, y0}, {x1 - fold, y0 + fold}, {x1, y0 + fold}}));
    }
}

void DrawTextLines(QPainter& p, double x0, double x1, double y0, int count) {
    p.setPen(Pen(QColor(0x8a, 0x9a, 0xb0)));
    for (int i = 0; i < count; ++i) {
        const double y = y0 + 2.0 * i;
        p.drawLine(QPointF(x0, y), QPointF(x1, y));
    }
}

void DrawNew(QPainter& p) {
    DrawPage(p, 2.5, 1.5, 12.5, 14.5, 3.0);
    // A sparkle: this page has just been made.
    p.setPen(Pen(QColor(0xd8, 0x9a, 0x00), 1.0));
    p.drawLine(QPointF(12.5, 9.0), QPointF(12.5, 16.0));
    p.drawLine(QPointF(9.0, 12.5), QPointF(16.0, 12.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xc8, 0x1e));
    p.drawPolygon(Poly({{12.5, 10},
                        {13.4, 11.6},
                        {15, 12.5},
                        {13.4, 13.4},
                        {12.5, 15},
                        {11.6, 13.4},
                        {10, 12.5},
                        {11.6, 11.6}}));
}

void DrawOpen(QPainter& p) {
    const QColor outline(0x8a, 0x5e, 0x0c);
    p.setPen(Pen(outline));
    p.setBrush(QColor(0xd9, 0xa4, 0x38));
    p.drawPolygon(
        Poly({{0.5, 2.5}, {5.5, 2.5}, {6.5, 3.5}, {12.5, 3.5}, {12.5, 13.5}, {0.5, 13.5}}));
    // A sheet showing from the open folder.
    p.setPen(Pen(kInk));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 5.5, 8.0, 5.0));
    p.setPen(Pen(outline));
    p.setBrush(QColor(0xf6, 0xcf, 0x5c));
    p.drawPolygon(Poly({{3.5, 7.5}, {15.5, 7.5}, {12.5, 13.5}, {0.5, 13.5}}));
}

void DrawSave(QPainter& p) {
    const QColor outline(0x1c, 0x3a, 0x6e);
    p.setPen(Pen(outline));
    p.setBrush(QColor(0x3d, 0x6f, 0xc2));
    p.drawPolygon(Poly({{1.5, 1.5}, {12.5, 1.5}, {14.5, 3.5}, {14.5, 14.5}, {1.5, 14.5}}));
    // Metal shutter with its window.
    p.setPen(Pen(QColor(0x60, 0x66, 0x70)));
    p.setBrush(QColor(0xc8, 0xcd, 0xd4));
    p.drawRect(QRectF(4.5, 1.5, 7.0, 4.0));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3a, 0x3e, 0x44));
    p.drawRect(QRectF(9.0, 2.0, 1.5, 3.0));
    // Label.
    p.setPen(Pen(outline));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 8.5, 9.0, 6.0));
    p.setPen(Pen(QColor(0x8a, 0x9a, 0xb0)));
    p.drawLine(QPointF(5, 10.5), QPointF(11, 10.5));
    p.drawLine(QPointF(5, 12.5), QPointF(11, 12.5));
}

void DrawCut(QPainter& p) {
    // Blades.
    QPen blade(QColor(0x5a, 0x60, 0x68), 1.6);
    blade.setCapStyle(Qt::RoundCap);
    p.setPen(blade);
    p.drawLine(QPointF(4.5, 1.0), QPointF(10.0, 10.0));
    p.drawLine(QPointF(11.5, 1.0), QPointF(6.0, 10.0));
    // Handles.
    p.setPen(Pen(QColor(0xc0, 0x28, 0x28), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(4.8, 12.2), 2.3, 2.3);
    p.drawEllipse(QPointF(11.2, 12.2), 2.3, 2.3);
    // Pivot.
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(QPointF(8.0, 6.6), 1.0, 1.0);
}

void DrawCopy(QPainter& p) {
    DrawPage(p, 1.5, 0.5, 9.5, 10.5, 0.0);
    DrawTextLines(p, 3.0, 8.0, 3.5, 2);
    DrawPage(p, 5.5, 4.5, 14.5, 15.5, 3.0);
    DrawTextLines(p, 7.0, 13.0, 9.5, 3);
}

void DrawPaste(QPainter& p) {
    p.setPen(Pen(QColor(0x6b, 0x40, 0x18)));
    p.setBrush(QColor(0xb5, 0x7a, 0x3c));
    p.drawRoundedRect(QRectF(1.5, 2.5, 10.0, 12.0), 1.0, 1.0);
    p.setPen(Pen(QColor(0x50, 0x56, 0x5e)));
    p.setBrush(QColor(0xc8, 0xcd, 0xd4));
    p.drawRect(QRectF(4.5, 1.5, 4.0, 2.0));
    DrawPage(p, 6.5, 6.5, 14.5, 15.5, 0.0);
    DrawTextLines(p, 8.0, 13.0, 9.5, 3);
}

void DrawSettings(QPainter& p) {
    const QColor metal(0x5d, 0x6b, 0x7a);
    QPainterPath gear;
    const QPointF c(8.0, 8.0);
    const int teeth = 8;
    for (int i = 0; i < teeth; ++i) {
        const double a0 = (i - 0.22) * 2 * M_PI / teeth;
        const double a1 = (i + 0.22) * 2 * M_PI / teeth;
        const double b0 = (i + 0.32) * 2 * M_PI / teeth;
        const double b1 = (i + 0.68) * 2 * M_PI / teeth;
        auto at = [&](double angle, double r) {
            return QPointF(c.x() + r * std::cos(angle), c.y() + r * std::sin(angle));
        };
        if (i == 0) {
            gear.moveTo(at(a0, 7.4));
        } else {
            gear.lineTo(at(a0, 7.4));
        }
        gear.lineTo(at(a1, 7.4));
        gear.lineTo(at(b0, 5.2));
        gear.lineTo(at(b1, 5.2));
    }
    gear.closeSubpath();
    gear.addEllipse(c, 2.2, 2.2); // the hole (odd-even fill)
    p.setPen(Pen(QColor(0x2e, 0x36, 0x40), 1.0));
    p.setBrush(metal);
    p.drawPath(gear);
}

void DrawVertexCoordinates(QPainter& p) {
    const QPointF o(5.5, 10.5);
    auto arrow = [&](const QColor& color, QPointF tip, QPointF back1, QPointF back2) {
        p.setPen(Pen(color, 1.0));
        p.drawLine(o, tip);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawPolygon(Poly({tip, back1, back2}));
    };
    arrow(QColor(0xd0, 0x30, 0x30), {15.5, 10.5}, {12.0, 8.5}, {12.0, 12.5}); // x
    arrow(QColor(0x2e, 0x9a, 0x2e), {5.5, 0.5}, {3.5, 4.0}, {7.5, 4.0});      // y
    arrow(QColor(0x2a, 0x5c, 0xd6), {0.5, 15.5}, {1.0, 11.6}, {4.4, 15.0});   // z
    // The selected vertex, drawn like the plan's red marker.
    p.setPen(Pen(kInk));
    p.setBrush(QColor(0xe0, 0x20, 0x20));
    p.drawRect(QRectF(10.5, 2.5, 4.0, 4.0));
}

void DrawAbout(QPainter& p) {
    QRadialGradient ball(QPointF(6, 5), 10);
    ball.setColorAt(0.0, QColor(0x5b, 0x9b, 0xf0));
    ball.setColorAt(1.0, QColor(0x1f, 0x58, 0xb8));
    p.setPen(Pen(QColor(0x17, 0x3f, 0x86)));
    p.setBrush(ball);
    p.drawEllipse(QPointF(8, 8), 7.0, 7.0);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.6), 1.3, 1.3);
    p.drawRect(QRectF(7.0, 6.8, 2.0, 5.7));
}

bool Save(const QImage& image, const QString& path) {
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "make_icons: cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    for (const int size : {16, 24, 32, 48, 256}) {
        ok &= Save(Render(size, 256.0, [size](QPainter& p) { DrawAppIcon(p, size); }),
                   out.filePath(QString("app-%1.png").arg(size)));
        ok &= Save(Render(size, 256.0, [size](QPainter& p) { DrawDocumentIcon(p, size); }),
                   out.filePath(QString("document-%1.png").arg(size)));
    }
    const std::vector<std::pair<const char*, void (*)(QPainter&)>> toolbar = {
        {"new", DrawNew},           {"open", DrawOpen},
        {"save", DrawSave},         {"cut", DrawCut},
        {"copy", DrawCopy},         {"paste", DrawPaste},
        {"settings", DrawSettings}, {"vertex", DrawVertexCoordinates},
        {"about", DrawAbout}};
    for (const auto& [name, draw] : toolbar) {
        ok &= Save(Render(16, 16.0, draw), out.filePath(QString("%1.png").arg(name)));
        ok &= Save(Render(32, 16.0, draw), out.filePath(QString("%1@2x.png").arg(name)));
    }
    return ok ? 0 : 1;
}
