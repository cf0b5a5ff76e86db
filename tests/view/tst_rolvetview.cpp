// The plan view as a widget: what it shows, and the mouse editing and zoom state machine.
#include "IsolatedHome.h"
#include "TestUtil.h"
#include "document/RolvetDoc.h"
#include "track/VertexStore.h"
#include "view/PlanPainter.h"
#include "view/PlanTransform.h"
#include "view/RolvetView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

using namespace rolvet::plan;

namespace {

constexpr int kCx = 200; // the centre of the 400 x 300 view
constexpr int kCy = 150;

QPoint Px(int dx, int dy) {
    return {kCx + dx, kCy + dy};
}

void Wheel(QWidget& w, int delta, QPointF pos = {10, 10}) {
    QWheelEvent event(pos, w.mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &event);
}

void Press(QWidget& w, Qt::MouseButton b, QPoint p) {
    QTest::mousePress(&w, b, {}, p);
}
void Release(QWidget& w, Qt::MouseButton b, QPoint p) {
    QTest::mouseRelease(&w, b, {}, p);
}
void Move(QWidget& w, QPoint p) {
    QTest::mouseMove(&w, p);
}

void SetTrack(const std::vector<CVector3D>& v) {
    TheVertexStore().Clear();
    for (const CVector3D& p : v) {
        TheVertexStore().Append(p);
    }
}

std::vector<CVector3D> Track() {
    const auto all = TheVertexStore().All();
    return {all.begin(), all.end()};
}

QRgb PixelAt(QWidget& w, QPoint p) {
    return w.grab().toImage().pixel(p);
}

// Whether two colours differ by at most tolerance in every channel.
bool Near(QRgb a, QRgb b, int tolerance = 3) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

bool Same(const CVector3D& a, const CVector3D& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

} // namespace

class TestRolvetView : public QObject {
    Q_OBJECT

    CRolvetDoc* m_doc = nullptr;
    CRolvetView* m_view = nullptr;

private slots:
    void init() {
        TheVertexStore().Clear();
        m_doc = new CRolvetDoc;
        m_view = new CRolvetView;
        m_view->SetDocument(m_doc);
        m_view->resize(400, 300);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view, testutil::kDeadlineMs));
    }
    void cleanup() {
        delete m_view;
        delete m_doc;
    }

    void startsAtScaleFourWithoutADrag() {
        QCOMPARE(m_view->Scale(), 4.0f);
        QCOMPARE(m_view->DragIndex(), -1);
    }

    void showsThePlanOfTheStoreAndTheSelection() {
        SetTrack({{-1, 0, -1}, {300, 0, 120}, {-400, 0, 200}});
        m_doc->SetSelectedIndex(1);
        const QImage shown = m_view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        PlanScene scene;
        scene.width = 400;
        scene.height = 300;
        scene.vertices = TheVertexStore().All();
        scene.selected = 1;
        scene.font = m_view->font();
        QImage expected(400, 300, QImage::Format_RGB32);
        expected.fill(Qt::white);
        {
            QPainter painter(&expected);
            PaintPlanStraight(painter, scene);
        }
        QCOMPARE(shown, expected);
        // (-1, -1) lands on (199, 149); the line to vertex 1 leaves its marker to the lower right.
        for (const QPoint corner : {QPoint(197, 147), QPoint(197, 151), QPoint(201, 147)}) {
            QCOMPARE(shown.pixel(corner) & 0xffffffu, 0x0000ffu);
        }
        QCOMPARE(shown.pixel(196, 149) & 0xffffffu, 0xffffffu);
        QCOMPARE(shown.pixel(199, 146) & 0xffffffu, 0xffffffu);

        // Without a document only the white background is painted.
        m_view->SetDocument(nullptr);
        QImage blank(400, 300, QImage::Format_RGB32);
        blank.fill(Qt::white);
        QCOMPARE(m_view->grab().toImage().convertToFormat(QImage::Format_RGB32), blank);
        Press(*m_view, Qt::LeftButton, Px(50, 50));
        Press(*m_view, Qt::RightButton, Px(0, 0));
        QCOMPARE(TheVertexStore().Count(), 3);
    }

    // The outer edges show once a point has a width of its own (a bank alone shows nothing), follow
    // the shape edit at once, and undoing it gives back the plan pixel for pixel.
    void ownWidthsShowTheOuterEdges() {
        for (const CVector3D& v : {CVector3D(-200, 0, -200), CVector3D(200, 0, -200),
                                   CVector3D(200, 0, 200), CVector3D(-200, 0, 200)}) {
            m_doc->AppendVertex(v);
        }
        auto shown = [&] { return m_view->grab().toImage().convertToFormat(QImage::Format_RGB32); };
        auto edgePixels = [](const QImage& image) {
            int n = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    n += (image.pixel(x, y) & 0xffffffu) == (kEdgeColour & 0xffffffu) ? 1 : 0;
                }
            }
            return n;
        };
        m_doc->SetSelectedIndex(2); // each shape edit selects its point
        const QImage plain = shown();
        QCOMPARE(edgePixels(plain), 0);
        m_doc->SetPointShape(2, {std::nullopt, std::nullopt, 10.0f});
        QCOMPARE(shown(), plain);
        m_doc->SetPointShape(2, {std::nullopt, 180.0f, 10.0f});
        const QImage wide = shown();
        QVERIFY(edgePixels(wide) > 100);
        // The loop runs clockwise in the plan, so its right side (direction × up) is the inside:
        // at point 2 the right edge lies 180 in from (200, 200) along the diagonal, at
        // (72.7, 72.7), 18 pixels from the centre at scale 4.
        QVERIFY(edgePixels(wide.copy(QRect(Px(16, 16), Px(20, 20)))) > 0);
        m_doc->OnEditUndo();
        QCOMPARE(shown(), plain);
    }

    void nonFiniteCoordinatesPaintAndAreNeverCaught() {
        const float inf = std::numeric_limits<float>::infinity();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        SetTrack({{nan, 0, nan}, {inf, 0, -inf}, {1e38f, 0, 0}, {0, 0, 0}, {-3.4e38f, 0, 5}});
        m_doc->SetSelectedIndex(0);
        const QImage shown = m_view->grab().toImage();
        QCOMPARE(shown.pixel(kCx, kCy) & 0xffffffu, 0x80c0ffu); // the line back out from (0, 0)
        Press(*m_view, Qt::LeftButton, Px(0, 0));
        QCOMPARE(m_doc->SelectedIndex(), 3);
        Release(*m_view, Qt::LeftButton, Px(0, 0));
        Press(*m_view, Qt::RightButton, Px(0, 0));
        QCOMPARE(TheVertexStore().Count(), 4);
        QVERIFY(std::isnan(TheVertexStore().At(0).x));
    }

    void repaintsOnDocumentUpdatesAndEditsOnlyRepaintTheView() {
        PaintCounter counter;
        m_view->installEventFilter(&counter);
        QCoreApplication::processEvents();
        counter.paints = 0;
        m_doc->UpdateAllViews();
        QTRY_VERIFY_WITH_TIMEOUT(counter.paints > 0, testutil::kDeadlineMs);

        QSignalSpy updates(m_doc, &CRolvetDoc::viewsNeedUpdate);
        counter.paints = 0;
        Press(*m_view, Qt::LeftButton, Px(20, 20));
        QTRY_VERIFY_WITH_TIMEOUT(counter.paints > 0, testutil::kDeadlineMs);
        Release(*m_view, Qt::LeftButton, Px(20, 20));
        Press(*m_view, Qt::LeftButton, Px(20, 20));
        Move(*m_view, Px(25, 20));
        Release(*m_view, Qt::LeftButton, Px(25, 20));
        Press(*m_view, Qt::RightButton, Px(25, 20));
        Wheel(*m_view, 120);
        QCOMPARE(updates.count(), 0);
    }

    void leftClickOnEmptyGroundAppendsAndSelects() {
        QVERIFY(!m_doc->IsModified());
        Press(*m_view, Qt::LeftButton, Px(3, -10));
        Release(*m_view, Qt::LeftButton, Px(3, -10));
        QCOMPARE(TheVertexStore().Count(), 1);
        QVERIFY(Same(TheVertexStore().At(0), {12, 0, -40}));
        QCOMPARE(m_doc->SelectedIndex(), 0);
        QVERIFY(m_doc->IsModified());
        QCOMPARE(m_view->DragIndex(), -1);

        // Always appended at the end, also when clicking between two points.
        Press(*m_view, Qt::LeftButton, Px(100, -10));
        Press(*m_view, Qt::LeftButton, Px(50, -10));
        QCOMPARE(TheVertexStore().Count(), 3);
        QVERIFY(Same(TheVertexStore().At(1), {400, 0, -40}));
        QVERIFY(Same(TheVertexStore().At(2), {200, 0, -40}));
        QCOMPARE(m_doc->SelectedIndex(), 2);
        QCOMPARE(m_view->DragIndex(), -1); // a new point is not dragged
        Move(*m_view, Px(60, 60));
        QVERIFY(Same(TheVertexStore().At(2), {200, 0, -40}));
    }

    void catchAreaIsFourPixelsAndTheLowerIndexWins() {
        SetTrack({{400, 0, 400}, {0, 0, 0}, {8, 0, 0}});
        // Four pixels beside vertex 1 catch it (vertex 2 is within reach too but comes later).
        Press(*m_view, Qt::LeftButton, Px(4, 0));
        QCOMPARE(m_doc->SelectedIndex(), 1);
        QCOMPARE(m_view->DragIndex(), 1);
        QVERIFY(!m_doc->IsModified()); // selecting is no change
        Release(*m_view, Qt::LeftButton, Px(4, 0));
        // Five pixels to the left of vertex 1 are empty ground.
        Press(*m_view, Qt::LeftButton, Px(-5, 0));
        QCOMPARE(TheVertexStore().Count(), 4);
        QCOMPARE(m_doc->SelectedIndex(), 3);
        Release(*m_view, Qt::LeftButton, Px(-5, 0));
        // The right button deletes the lower index as well.
        Press(*m_view, Qt::RightButton, Px(2, 0));
        QCOMPARE(TheVertexStore().Count(), 3);
        QVERIFY(Same(TheVertexStore().At(1), {8, 0, 0}));
        // 16.5 world units away truncates to 16: still four pixels.
        SetTrack({{16.5f, 0, 0}});
        Press(*m_view, Qt::LeftButton, Px(0, 0));
        QCOMPARE(TheVertexStore().Count(), 1);
        QCOMPARE(m_view->DragIndex(), 0);
    }

    void dragMovesXAndZAndKeepsTheHeight() {
        SetTrack({{0, 5, 0}, {100, 0, 100}});
        Press(*m_view, Qt::LeftButton, Px(3, 0)); // caught 3 pixels beside the marker
        QVERIFY(!m_doc->IsModified());
        Move(*m_view, Px(4, 0)); // one pixel further: the vertex jumps under the cursor
        QVERIFY(Same(TheVertexStore().At(0), {16, 5, 0}));
        QVERIFY(m_doc->IsModified());
        Move(*m_view, Px(-30, 12));
        QVERIFY(Same(TheVertexStore().At(0), {-120, 5, 48}));
        QCOMPARE(m_doc->SelectedIndex(), 0);
        Release(*m_view, Qt::LeftButton, Px(-30, 12));
        QCOMPARE(m_view->DragIndex(), -1);
        Move(*m_view, Px(70, 70));
        QVERIFY(Same(TheVertexStore().At(0), {-120, 5, 48}));
        QCOMPARE(TheVertexStore().Count(), 2);

        // Any move during a drag marks the track modified, even one that changes nothing.
        m_doc->SetModifiedFlag(false);
        Press(*m_view, Qt::LeftButton, Px(25, 25));
        Move(*m_view, Px(25, 25));
        QVERIFY(Same(TheVertexStore().At(1), {100, 0, 100}));
        QVERIFY(m_doc->IsModified());

        // A move without a drag is ignored; a release without a drag changes nothing.
        Release(*m_view, Qt::LeftButton, Px(25, 25));
        m_doc->SetModifiedFlag(false);
        Release(*m_view, Qt::LeftButton, Px(0, 0));
        Move(*m_view, Px(1, 1));
        QCOMPARE(Track().size(), std::size_t(2));
        QVERIFY(!m_doc->IsModified());
        QCOMPARE(m_doc->SelectedIndex(), 1);
    }

    void rightClickDeletesWithTheSelectionRules() {
        const std::vector<CVector3D> three{{-200, 0, 0}, {0, 0, -200}, {200, 0, 0}};
        // Off any point: the last point goes; a selection of it is cleared...
        SetTrack(three);
        m_doc->SetSelectedIndex(2);
        Press(*m_view, Qt::RightButton, Px(0, 40));
        QCOMPARE(TheVertexStore().Count(), 2);
        QCOMPARE(m_doc->SelectedIndex(), -1);
        QVERIFY(m_doc->IsModified());
        // ...and a selection of an earlier point survives.
        SetTrack(three);
        m_doc->SetSelectedIndex(0);
        m_doc->SetModifiedFlag(false);
        Press(*m_view, Qt::RightButton, Px(0, 40));
        QCOMPARE(TheVertexStore().Count(), 2);
        QCOMPARE(m_doc->SelectedIndex(), 0);
        QVERIFY(m_doc->IsModified());
        // On a point: that point goes and the selection is cleared, whichever it was.
        SetTrack(three);
        m_doc->SetSelectedIndex(2);
        Press(*m_view, Qt::RightButton, Px(-50, 0));
        QCOMPARE(TheVertexStore().Count(), 2);
        QVERIFY(Same(TheVertexStore().At(0), three[1]));
        QVERIFY(Same(TheVertexStore().At(1), three[2]));
        QCOMPARE(m_doc->SelectedIndex(), -1);
        // With an empty store nothing changes.
        TheVertexStore().Clear();
        m_doc->SetSelectedIndex(4);
        m_doc->SetModifiedFlag(false);
        Press(*m_view, Qt::RightButton, Px(0, 0));
        QCOMPARE(TheVertexStore().Count(), 0);
        QCOMPARE(m_doc->SelectedIndex(), 4);
        QVERIFY(!m_doc->IsModified());
    }

    void wheelZoomsInSteps() {
        Wheel(*m_view, 120);
        QCOMPARE(m_view->Scale(), 4.12f);
        Wheel(*m_view, -240);
        QCOMPARE(m_view->Scale(), 3.88f);
        // To 0.15, then one notch towards the user: 0.03 is raised to 0.1 (single precision).
        Wheel(*m_view, -3730);
        QCOMPARE(m_view->Scale(), 0.15f);
        Wheel(*m_view, -120);
        QCOMPARE(m_view->Scale(), 0.1f);
        Wheel(*m_view, -32768);
        QCOMPARE(m_view->Scale(), 0.1f);
        // No upper limit.
        for (int i = 0; i < 10; ++i) {
            Wheel(*m_view, 32767);
        }
        QVERIFY(m_view->Scale() > 327.0f);
        QVERIFY(!m_doc->IsModified()); // zooming is no change to the track
    }

    void wheelOrRightClickEndsADrag() {
        SetTrack({{0, 0, 0}, {400, 0, 400}});
        Press(*m_view, Qt::LeftButton, Px(0, 0));
        QCOMPARE(m_view->DragIndex(), 0);
        Wheel(*m_view, 120);
        QCOMPARE(m_view->DragIndex(), -1);
        Move(*m_view, Px(30, 30));
        QVERIFY(Same(TheVertexStore().At(0), {0, 0, 0}));
        Release(*m_view, Qt::LeftButton, Px(30, 30));

        Press(*m_view, Qt::LeftButton, Px(0, 0));
        QCOMPARE(m_view->DragIndex(), 0);
        Press(*m_view, Qt::RightButton, Px(-40, -40)); // empty ground: removes the last point
        QCOMPARE(m_view->DragIndex(), -1);
        QCOMPARE(TheVertexStore().Count(), 1);
        Move(*m_view, Px(30, 30));
        QVERIFY(Same(TheVertexStore().At(0), {0, 0, 0}));
    }

    void dragOfAVanishedVertexEndsQuietly() {
        SetTrack({{0, 0, 0}, {40, 0, 0}, {80, 0, 0}});
        Press(*m_view, Qt::LeftButton, Px(20, 0));
        QCOMPARE(m_view->DragIndex(), 2);
        // A new track arrives from the keyboard while the button is held.
        QVERIFY(m_doc->OnNewDocument());
        Move(*m_view, Px(30, 30));
        QCOMPARE(TheVertexStore().Count(), 0);
        QCOMPARE(m_view->DragIndex(), -1);
        QVERIFY(!m_doc->IsModified());
        Release(*m_view, Qt::LeftButton, Px(30, 30));

        // A shorter track: the vertices that remain are left alone.
        SetTrack({{0, 0, 0}, {40, 0, 0}, {80, 0, 0}});
        Press(*m_view, Qt::LeftButton, Px(20, 0));
        TheVertexStore().Resize(2);
        Move(*m_view, Px(30, 30));
        QVERIFY(Same(TheVertexStore().At(0), {0, 0, 0}));
        QVERIFY(Same(TheVertexStore().At(1), {40, 0, 0}));
        QCOMPARE(m_view->DragIndex(), -1);
    }

    void zoomAndDragCarryOverToTheNextTrack() {
        Wheel(*m_view, 120);
        SetTrack({{0, 0, 0}});
        Press(*m_view, Qt::LeftButton, Px(0, 0));
        QVERIFY(m_doc->OnNewDocument());
        QCOMPARE(m_view->Scale(), 4.12f);
        QCOMPARE(m_view->DragIndex(), 0);
        // The next track's vertex 0 follows the held button, as the old one would have.
        SetTrack({{5, 1, 5}});
        Move(*m_view, Px(10, 0));
        QVERIFY(Same(TheVertexStore().At(0), {float(10 * double(4.12f)), 1, 0}));
    }

    void secondPressOfADoubleClickIsIgnored() {
        Press(*m_view, Qt::LeftButton, Px(100, 100));
        Release(*m_view, Qt::LeftButton, Px(100, 100));
        QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(Px(100, 100)),
                        m_view->mapToGlobal(QPointF(Px(100, 100))), Qt::LeftButton, Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(m_view, &dbl);
        QCOMPARE(TheVertexStore().Count(), 1);
        QCOMPARE(m_view->DragIndex(), -1);
        QMouseEvent rdbl(QEvent::MouseButtonDblClick, QPointF(Px(100, 100)),
                         m_view->mapToGlobal(QPointF(Px(100, 100))), Qt::RightButton,
                         Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(m_view, &rdbl);
        QCOMPARE(TheVertexStore().Count(), 1);
    }

    void panningMovesThePlanWithoutEditing() {
        SetTrack({{0, 0, 0}});
        m_doc->SetModifiedFlag(false);
        Press(*m_view, Qt::MiddleButton, Px(0, 0));
        Move(*m_view, Px(10, 5));
        Move(*m_view, Px(30, 20));
        Release(*m_view, Qt::MiddleButton, Px(30, 20));
        QCOMPARE(m_view->Pan(), QPointF(30, 20));
        QCOMPARE(TheVertexStore().Count(), 1);
        QCOMPARE(m_doc->SelectedIndex(), -1);
        QVERIFY(!m_doc->IsModified());
        QCOMPARE(PixelAt(*m_view, Px(30, 20)), kMarkerColour);
        // Clicks land where the plan now shows the point.
        Press(*m_view, Qt::LeftButton, Px(30, 20));
        QCOMPARE(m_view->DragIndex(), 0);
        Release(*m_view, Qt::LeftButton, Px(30, 20));

        // Space + left drag pans as well; once Space is up a left click adds a point again.
        QTest::keyPress(m_view, Qt::Key_Space);
        Press(*m_view, Qt::LeftButton, Px(0, 0));
        Move(*m_view, Px(-10, 0));
        Release(*m_view, Qt::LeftButton, Px(-10, 0));
        QTest::keyRelease(m_view, Qt::Key_Space);
        QCOMPARE(m_view->Pan(), QPointF(20, 20));
        QCOMPARE(TheVertexStore().Count(), 1);
        Press(*m_view, Qt::LeftButton, Px(100, 100));
        Release(*m_view, Qt::LeftButton, Px(100, 100));
        QCOMPARE(TheVertexStore().Count(), 2);
        QVERIFY(Same(TheVertexStore().At(1), {320, 0, 320})); // (100 - 20) pixels at 4 units
    }

    void wheelZoomsAboutTheCursorOncePanned() {
        // Until the user pans, the zoom is about the world origin: the plan does not move.
        Wheel(*m_view, 120, Px(-150, 90));
        QCOMPARE(m_view->Pan(), QPointF());
        m_view->PanBy({10, 0});
        const QPoint cursor = Px(-150, 90);
        const auto under = [&] {
            const QPointF pan = m_view->Pan();
            return PixelToWorld(cursor.x(), cursor.y(), m_view->Scale(),
                                {kCx, kCy, pan.x(), pan.y()});
        };
        const WorldXZ before = under();
        Wheel(*m_view, 1200, cursor);
        QCOMPARE(m_view->Scale(), 5.32f);
        const WorldXZ after = under();
        QVERIFY(std::abs(after.x - before.x) < 0.01f && std::abs(after.z - before.z) < 0.01f);
    }

    void homeFitsTheTrackAndThePicture() {
        // 7 km across: every point ends up inside the view, the widest span nearly filling it.
        SetTrack({{-3500, 0, 0}, {3500, 0, -1000}, {0, 0, 1500}});
        m_view->FitToView();
        QVERIFY(m_view->HasPanned());
        const auto pixel = [&](double x, double z) {
            const QPointF pan = m_view->Pan();
            return WorldToPixel(float(x), float(z), m_view->Scale(), {kCx, kCy, pan.x(), pan.y()});
        };
        QVERIFY(pixel(-3500, 0).x >= 0 && pixel(-3500, 0).x <= 25);
        QVERIFY(pixel(3500, 0).x >= 375 && pixel(3500, 0).x < 400);
        QVERIFY(pixel(0, -1000).y >= 0 && pixel(0, 1500).y < 300);

        // A picture far off is fitted too: 100 x 50 pixels, 40 world units each, at (8000, 0).
        rolvet::BackgroundImage b;
        b.path = "/picture.png";
        b.u2 = 100, b.x1 = 8000, b.x2 = 12000;
        QImage blank(100, 50, QImage::Format_ARGB32_Premultiplied);
        blank.fill(Qt::gray);
        m_doc->SetBackground(b, blank);
        m_view->FitToView();
        QVERIFY(pixel(-3500, 0).x >= 0 && pixel(12000, 2000).x < 400 && pixel(12000, 2000).y < 300);

        // With nothing to show the plan is as it first was.
        m_doc->SetBackground(std::nullopt, {});
        TheVertexStore().Clear();
        m_view->FitToView();
        QCOMPARE(m_view->Scale(), 4.0f);
        QCOMPARE(m_view->Pan(), QPointF());
        QVERIFY(!m_view->HasPanned());
    }

    void pictureLiesUnderThePlanAndMovesWithIt() {
        // Red left half, green right half; 4 world units a picture pixel: one client pixel.
        QImage picture(100, 50, QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::red);
        for (int y = 0; y < 50; ++y) {
            for (int x = 50; x < 100; ++x) {
                picture.setPixel(x, y, qRgb(0, 255, 0));
            }
        }
        rolvet::BackgroundImage b;
        b.path = "/picture.png";
        b.u2 = 100, b.x2 = 400;
        b.opacity = 100;
        m_doc->SetBackground(b, picture);
        SetTrack({{100, 0, 100}});
        m_doc->UpdateAllViews();
        QCOMPARE(PixelAt(*m_view, Px(10, 10)), qRgb(255, 0, 0));
        QCOMPARE(PixelAt(*m_view, Px(75, 10)), qRgb(0, 255, 0));
        QCOMPARE(PixelAt(*m_view, Px(150, 10)), kBackgroundColour);
        QCOMPARE(PixelAt(*m_view, Px(25, 25)), kMarkerColour); // the track on top

        b.opacity = 50; // half over white
        m_doc->SetBackground(b, picture);
        QVERIFY(Near(PixelAt(*m_view, Px(10, 10)), qRgb(255, 128, 128)));

        m_view->PanBy({30, 20});
        QVERIFY(Near(PixelAt(*m_view, Px(40, 30)), qRgb(255, 128, 128)));
        QVERIFY(Near(PixelAt(*m_view, Px(105, 30)), qRgb(128, 255, 128)));
        QCOMPARE(PixelAt(*m_view, Px(10, 10)), kBackgroundColour);

        // Zoomed out eight times, the picture is 12 x 6 pixels and still red left, green right.
        m_view->PanBy({-30, -20});
        m_doc->SetBackground(std::nullopt, {});
        b.opacity = 100;
        m_doc->SetBackground(b, picture);
        TheVertexStore().Clear();
        Wheel(*m_view, 28000, Px(0, 0)); // about the origin, which lies at the centre again
        QCOMPARE(m_view->Scale(), 32.0f);
        QVERIFY(Near(PixelAt(*m_view, Px(2, 2)), qRgb(255, 0, 0), 10));
        QVERIFY(Near(PixelAt(*m_view, Px(10, 2)), qRgb(0, 255, 0), 10));
        QCOMPARE(PixelAt(*m_view, Px(14, 2)), kBackgroundColour);
    }
};

ROLVET_TEST_MAIN(TestRolvetView)
#include "tst_rolvetview.moc"
