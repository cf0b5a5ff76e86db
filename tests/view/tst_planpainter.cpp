// The plan's picture: the reference drawing, markers, the polyline, the paint order, and the
// direct-to-image painter checked pixel for pixel against plain QPainter calls.
#include "IsolatedHome.h"
#include "track/BackgroundImage.h"
#include "track/Vector3D.h"
#include "view/PlanBackground.h"
#include "view/PlanPainter.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace rolvet::plan;

namespace {

// The colours the plan must show, as the plan's description gives them.
constexpr QRgb kBlack = qRgb(0, 0, 0);           // axes
constexpr QRgb kGrey = qRgb(128, 128, 128);      // dotted square and labels
constexpr QRgb kLightBlue = qRgb(128, 192, 255); // lines between the points
constexpr QRgb kBlue = qRgb(0, 0, 255);          // markers
constexpr QRgb kRed = qRgb(255, 0, 0);           // the selected marker
constexpr QRgb kWhite = qRgb(255, 255, 255);     // window background
constexpr QRgb kEdge = qRgb(96, 128, 160);       // the road's outer edges

QImage Blank(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(kWhite));
    return image;
}

QImage RenderFast(const PlanScene& scene) {
    QImage image = Blank(scene.width, scene.height);
    QPainter painter(&image);
    PaintPlan(painter, scene);
    return image;
}

QImage RenderStraight(const PlanScene& scene) {
    QImage image = Blank(scene.width, scene.height);
    QPainter painter(&image);
    PaintPlanStraight(painter, scene);
    return image;
}

PlanScene Scene(int w, int h, const std::vector<CVector3D>& v, int selected = -1,
                float scale = 4.0f) {
    PlanScene s;
    s.width = w;
    s.height = h;
    s.scale = scale;
    s.vertices = v;
    s.selected = selected;
    return s;
}

QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xffffffu;
}
constexpr QRgb Rgb(QRgb c) {
    return c & 0xffffffu;
}

// Bounding box of the pixels of one colour, or a null rectangle.
QRect BoxOf(const QImage& image, QRgb colour) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (At(image, x, y) == Rgb(colour)) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

int CountOf(const QImage& image, QRgb colour, QRect area) {
    int n = 0;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            n += At(image, x, y) == Rgb(colour) ? 1 : 0;
        }
    }
    return n;
}

// Where the two pictures differ, for a readable failure.
QString FirstDifference(const QImage& a, const QImage& b) {
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                return QStringLiteral("(%1,%2): %3 vs %4")
                    .arg(x)
                    .arg(y)
                    .arg(a.pixel(x, y), 8, 16)
                    .arg(b.pixel(x, y), 8, 16);
            }
        }
    }
    return {};
}

#define COMPARE_PICTURES(scene)                                                                    \
    do {                                                                                           \
        const QImage fast_ = RenderFast(scene);                                                    \
        const QImage straight_ = RenderStraight(scene);                                            \
        QVERIFY2(fast_ == straight_, qPrintable(FirstDifference(fast_, straight_)));               \
    } while (false)

} // namespace

class TestPlanPainter : public QObject {
    Q_OBJECT

private slots:
    void referenceDrawingWithoutVertices() {
        const std::vector<CVector3D> none;
        const QImage img = RenderFast(Scene(640, 600, none));
        const int cx = 320, cy = 300;
        // Axes through the centre, in black, edge to edge (the labels lie over their ends).
        for (int y : {20, 150, 400, 580}) {
            QCOMPARE(At(img, cx, y), Rgb(kBlack));
        }
        for (int x : {25, 100, 600}) {
            QCOMPARE(At(img, x, cy), Rgb(kBlack));
        }
        // The dotted square of +-1000 units lies 250 pixels from the centre at scale 4. It is
        // dotted, and its gaps are painted in the background colour, also over the axes.
        for (const QRect edge :
             {QRect(cx - 250, cy - 250, 501, 1), QRect(cx + 250, cy - 250, 1, 501),
              QRect(cx - 250, cy + 250, 501, 1), QRect(cx - 250, cy - 250, 1, 501)}) {
            const int dots = CountOf(img, kGrey, edge);
            QVERIFY2(dots > 501 / 4 && dots < 501 / 2, qPrintable(QString::number(dots)));
            QCOMPARE(CountOf(img, kBlack, edge), 0);
        }
        QCOMPARE(CountOf(img, kGrey, QRect(cx - 240, cy - 240, 230, 230)), 0);
        // The labels, each with its top-left corner where it belongs: every pixel around them
        // as the axes and the grey text alone would paint it.
        QImage expected = Blank(640, 600);
        {
            QPainter p(&expected);
            p.setPen(QColor::fromRgb(kBlack));
            p.drawLine(cx, 0, cx, 600);
            p.drawLine(0, cy, 640, cy);
            p.setPen(QColor::fromRgb(kGrey));
            QFont font; // the scene's font, drawn without smoothing
            font.setStyleStrategy(QFont::NoAntialias);
            p.setFont(font);
            const int ascent = p.fontMetrics().ascent();
            p.drawText(0, cy - 7 + ascent, "-X");
            p.drawText(640 - 20, cy - 7 + ascent, "+X");
            p.drawText(cx - 8, 0 + ascent, "-Z");
            p.drawText(cx - 8, 600 - 15 + ascent, "+Z");
        }
        for (const QRect around : {QRect(0, cy - 20, 60, 40), QRect(640 - 60, cy - 20, 60, 40),
                                   QRect(cx - 30, 0, 60, 40), QRect(cx - 30, 600 - 40, 60, 40)}) {
            QVERIFY(CountOf(expected, kGrey, around) > 5);
            QCOMPARE(img.copy(around), expected.copy(around));
        }
        // No track.
        QVERIFY(BoxOf(img, kBlue).isNull());
        QVERIFY(BoxOf(img, kLightBlue).isNull());
        QVERIFY(BoxOf(img, kRed).isNull());
        COMPARE_PICTURES(Scene(640, 600, none));

        // An odd width: the vertical axis lies at 101 / 2 = 50.
        const QImage odd = RenderFast(Scene(101, 100, none));
        QCOMPARE(At(odd, 50, 25), Rgb(kBlack));
        QCOMPARE(At(odd, 51, 25), Rgb(kWhite));
        QCOMPARE(At(odd, 49, 25), Rgb(kWhite));
    }

    void markerPositionsTruncateTowardZero() {
        // (-1, -1) at scale 4 and centre (200, 150): 199.75 and 149.75 truncate to (199, 149).
        const std::vector<CVector3D> one{{-1.0f, 0.0f, -1.0f}};
        const QImage img = RenderFast(Scene(400, 300, one));
        QCOMPARE(BoxOf(img, kBlue), QRect(197, 147, 5, 5));
        QVERIFY(BoxOf(img, kLightBlue).isNull()); // a single vertex draws no line

        // Centre x 10, world x -42: 10 - 10.5 = -0.5 truncates to 0, not -1.
        const std::vector<CVector3D> left{{-42.0f, 0.0f, 0.0f}};
        const QImage edge = RenderFast(Scene(20, 40, left));
        QCOMPARE(BoxOf(edge, kBlue), QRect(0, 18, 3, 5));

        // The height y has no effect on the picture.
        const std::vector<CVector3D> low{{10, 0, 20}, {-30, 0, 5}};
        const std::vector<CVector3D> high{{10, 7, 20}, {-30, -99, 5}};
        QCOMPARE(RenderFast(Scene(120, 90, low)), RenderFast(Scene(120, 90, high)));
    }

    void polylineIsOpenAndOnlyAValidSelectionIsRed() {
        // A triangle: two segments, none from the last point back to the first.
        const std::vector<CVector3D> tri{{-200, 0, -200}, {200, 0, -200}, {200, 0, 200}};
        for (int selected : {-1, 3, 7}) {
            const QImage img = RenderFast(Scene(400, 300, tri, selected));
            QVERIFY(BoxOf(img, kRed).isNull());
        }
        const QImage img = RenderFast(Scene(400, 300, tri, 1));
        const int cx = 200, cy = 150;
        QCOMPARE(BoxOf(img, kRed), QRect(cx + 50 - 2, cy - 50 - 2, 5, 5));
        QCOMPARE(At(img, cx, cy - 50), Rgb(kLightBlue));  // first segment
        QCOMPARE(At(img, cx + 50, cy), Rgb(kLightBlue));  // second segment
        QCOMPARE(At(img, cx + 10, cy + 10), Rgb(kWhite)); // closing one is absent
        QCOMPARE(CountOf(img, kLightBlue, QRect(cx - 40, cy - 40, 80, 80)), 0);
        COMPARE_PICTURES(Scene(400, 300, tri, 1));
    }

    void markersAndLinesOverlapInVertexOrder() {
        // Vertex 2 lies two pixels below the first segment: its marker, filled after that
        // segment was drawn, covers it. The line that ends at vertex 1 covers marker 1's row.
        const std::vector<CVector3D> v{{-40, 0, 0}, {40, 0, 0}, {0, 0, 8}};
        const QImage img = RenderFast(Scene(200, 100, v));
        const int cx = 100, cy = 50;
        QCOMPARE(At(img, cx - 2, cy), Rgb(kBlue));       // marker 2 over segment 0-1
        QCOMPARE(At(img, cx - 3, cy), Rgb(kLightBlue));  // segment 0-1 beside it
        QCOMPARE(At(img, cx - 10, cy), Rgb(kLightBlue)); // segment 0-1 over marker 0
        QCOMPARE(At(img, cx + 9, cy), Rgb(kLightBlue));  // segment 0-1 over marker 1
        COMPARE_PICTURES(Scene(200, 100, v));
    }

    void nonFiniteAndHugeCoordinatesAreSafe() {
        const float inf = std::numeric_limits<float>::infinity();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        // A point far to the right: the line from the centre runs to the right edge.
        const std::vector<CVector3D> right{{0, 0, 0}, {1e38f, 0, 0}};
        const QImage img = RenderFast(Scene(300, 200, right));
        for (int x = 160; x < 300; x += 7) {
            QCOMPARE(At(img, x, 100), Rgb(kLightBlue));
        }
        COMPARE_PICTURES(Scene(300, 200, right));

        const std::vector<CVector3D> wild{{0, 0, 0},       {inf, 0, 0},   {-inf, 0, 10},
                                          {nan, 0, 0},     {5, 0, nan},   {-1e38f, 0, 1e38f},
                                          {40, 0, -30},    {inf, 0, inf}, {nan, nan, nan},
                                          {3.4e38f, 0, 3}, {-20, 0, 20}};
        for (float scale : {0.1f, 4.0f, 1e30f}) {
            COMPARE_PICTURES(Scene(300, 200, wild, 4, scale));
        }
        // A NaN point lies off-screen: no marker of it shows.
        const std::vector<CVector3D> lost{{nan, 0, nan}};
        QVERIFY(BoxOf(RenderFast(Scene(300, 200, lost, 0)), kRed).isNull());
    }

    void directPaintingMatchesQPainterLineForLine() {
        // Two-point tracks in a small image isolate single lines: every slope, both directions,
        // ends on the border, short and long lines, and lines that leave the image.
        std::mt19937 rng(20240501);
        std::uniform_int_distribution<int> inside(-160, 160);
        std::uniform_int_distribution<int> outside(-2000, 2000);
        for (int trial = 0; trial < 1500; ++trial) {
            std::uniform_int_distribution<int>& d = trial % 5 == 0 ? outside : inside;
            const std::vector<CVector3D> v{{float(d(rng)), 0, float(d(rng))},
                                           {float(d(rng)), 0, float(d(rng))}};
            const PlanScene s = Scene(81, 61, v, trial % 3 - 1);
            const QImage fast = RenderFast(s);
            const QImage straight = RenderStraight(s);
            if (fast != straight) {
                QFAIL(qPrintable(QStringLiteral("line (%1,%2)-(%3,%4): %5")
                                     .arg(v[0].x)
                                     .arg(v[0].z)
                                     .arg(v[1].x)
                                     .arg(v[1].z)
                                     .arg(FirstDifference(fast, straight))));
            }
        }
    }

    void directPaintingMatchesQPainterOnWholeTracks() {
        std::mt19937 rng(7);
        // Dense tracks (points closer than a marker), sparse tracks, tracks that cross
        // themselves and leave the view, duplicated points, and a selected vertex.
        for (int trial = 0; trial < 40; ++trial) {
            const int n = 50 + trial * 40;
            const float spread = trial % 2 ? 600.0f : 3000.0f;
            std::normal_distribution<float> step(0.0f, trial % 3 == 0 ? 6.0f : 60.0f);
            std::uniform_real_distribution<float> anywhere(-spread, spread);
            std::vector<CVector3D> v;
            CVector3D p{0, 0, 0};
            for (int i = 0; i < n; ++i) {
                if (trial % 4 == 3) {
                    p = {anywhere(rng), 0, anywhere(rng)};
                } else if (i % 17 != 5) { // every 17th point repeats the previous one
                    p = {p.x + step(rng), 0, p.z + step(rng)};
                }
                v.push_back(p);
            }
            COMPARE_PICTURES(Scene(320 + trial, 240, v, n / 2, trial % 5 == 0 ? 1.5f : 4.0f));
        }
    }

    // The outer edges E and G of the cross-sections are two closed thin lines under the track:
    // squares 120 and 80 out at scale 4 lie 30 and 20 pixels from the centre, the centre line
    // crossing them keeps its own colour, and the direct painter draws the same pixels.
    void outerEdgesUnderTheTrack() {
        auto square = [](float r) {
            return std::vector<CVector3D>{{r, 0, r}, {-r, 0, r}, {-r, 0, -r}, {r, 0, -r}};
        };
        const std::vector<CVector3D> e = square(120), g = square(80);
        std::vector<std::array<CVector3D, 4>> sections;
        for (std::size_t j = 0; j < 4; ++j) {
            sections.push_back({CVector3D(), CVector3D(), e[j], g[j]});
        }
        const std::vector<CVector3D> track{{-400, 0, 40}, {400, 0, 40}};
        PlanScene s = Scene(201, 161, track);
        s.sections = sections;
        const QImage image = RenderFast(s);
        const int cx = 100, cy = 80;
        for (const int d : {30, 20}) {
            QCOMPARE(At(image, cx + d, cy + 5), Rgb(kEdge)); // the right side, closing the loop
            QCOMPARE(At(image, cx - d, cy - 5), Rgb(kEdge));
            QCOMPARE(At(image, cx + 5, cy - d), Rgb(kEdge));
        }
        QCOMPARE(At(image, cx + 25, cy + 5), Rgb(kWhite));
        QCOMPARE(At(image, cx + 30, cy + 10), Rgb(kLightBlue)); // the track lies on top
        COMPARE_PICTURES(s);
        s.sections = {};
        QCOMPARE(BoxOf(RenderFast(s), kEdge), QRect());
    }

    void paintsStraightWhereTheImageCannotBeWrittenDirectly() {
        const std::vector<CVector3D> v{{-100, 0, 30}, {120, 0, -60}, {10, 0, 90}};
        const PlanScene s = Scene(200, 160, v, 1);
        const QImage reference = RenderStraight(s);
        // A clipped painter and an image format other than 32-bit both go through QPainter.
        QImage clipped = Blank(200, 160);
        {
            QPainter painter(&clipped);
            painter.setClipRect(QRect(0, 0, 100, 160));
            PaintPlan(painter, s);
        }
        QCOMPARE(clipped.copy(0, 0, 100, 160), reference.copy(0, 0, 100, 160));
        QCOMPARE(At(clipped, 150, 80), Rgb(kWhite));
        QImage rgb888(200, 160, QImage::Format_RGB888);
        rgb888.fill(Qt::white);
        {
            QPainter painter(&rgb888);
            PaintPlan(painter, s);
        }
        QCOMPARE(rgb888.convertToFormat(QImage::Format_RGB32), reference);
    }

    // A pan by whole pixels moves the frame drawn before and draws only what comes into view;
    // the result must be the picture a fresh paint gives. Qt's filtered drawing starts each span
    // at a slightly different fixed-point position, so a noise picture may differ by a few
    // levels in a pixel; a frame moved the wrong way differs by about half the range.
    void pannedBackgroundMatchesAFreshPaint() {
        QImage picture(64, 48, QImage::Format_ARGB32_Premultiplied);
        std::mt19937 rng(7);
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                picture.setPixel(x, y, qRgb(int(rng() % 256), int(rng() % 256), int(rng() % 256)));
            }
        }
        rolvet::BackgroundImage b;
        b.u2 = 10, b.v2 = 5, b.x2 = 40, b.z2 = 30; // turned and enlarged
        const rolvet::ImagePlacement placement = *rolvet::PlaceImage(b);
        CPlanBackground moving;
        QImage frame(200, 150, QImage::Format_RGB32);
        for (const QPointF pan :
             {QPointF(0, 0), QPointF(5, -3), QPointF(-40, 12), QPointF(0.5, 0)}) {
            const Centre c{100, 75, pan.x(), pan.y()};
            moving.Paint(frame, picture, placement, 70, 0.8f, c);
            CPlanBackground fresh;
            QImage expected(200, 150, QImage::Format_RGB32);
            fresh.Paint(expected, picture, placement, 70, 0.8f, c);
            int worst = 0;
            long long sum = 0;
            for (int y = 0; y < 150; ++y) {
                for (int x = 0; x < 200; ++x) {
                    const QRgb a = frame.pixel(x, y), e = expected.pixel(x, y);
                    const int d =
                        std::max({std::abs(qRed(a) - qRed(e)), std::abs(qGreen(a) - qGreen(e)),
                                  std::abs(qBlue(a) - qBlue(e))});
                    worst = std::max(worst, d);
                    sum += d;
                }
            }
            QVERIFY2(worst <= 12 && sum < 200 * 150 / 2, qPrintable(QString::number(worst)));
        }
    }
};

ROLVET_TEST_MAIN(TestPlanPainter)
#include "tst_planpainter.moc"
