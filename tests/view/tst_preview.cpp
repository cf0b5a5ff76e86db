// The 3D preview window: what it draws, how it follows every edit, the menu item and what is
// remembered, and the message where OpenGL cannot start. CTest runs it twice: under Xvfb, where
// Mesa gives an OpenGL context, and without any display, where none can start.
#include "IsolatedHome.h"
#include "ScriptedPrompts.h"
#include "TestUtil.h"
#include "app/Commands.h"
#include "app/MainFrame.h"
#include "app/RolvetApp.h"
#include "common/Strings.h"
#include "document/RolvetDoc.h"
#include "track/TrackFile.h"
#include "track/VertexStore.h"
#include "view/PreviewView.h"
#include "view/PreviewWindow.h"
#include "view/RolvetView.h"

#include <QAction>
#include <QLabel>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <numbers>
#include <optional>

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

void SetCircle(int n, double radius) {
    TheVertexStore().Clear();
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * std::numbers::pi * i / n;
        TheVertexStore().Append(CVector3D(static_cast<float>(radius * std::cos(a)), 0.0f,
                                          static_cast<float>(radius * std::sin(a))));
    }
}

struct PixelCounts {
    int asphalt = 0; // the dark road surface
    int fold = 0;    // the warning tint of folded samples
};

PixelCounts Count(const QImage& image) {
    PixelCounts counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() < 110 && c.green() < 110 && c.blue() < 110 &&
                std::abs(c.red() - c.blue()) < 20) {
                ++counts.asphalt;
            } else if (c.red() > 150 && c.blue() > c.green() + 40) {
                // Pink: unlike the red and white kerb, blue well above green.
                ++counts.fold;
            }
        }
    }
    return counts;
}

} // namespace

class TestPreview : public QObject {
    Q_OBJECT

    std::optional<testutil::CIsolatedHome> m_home;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { m_home.emplace(); } // settings: the preview remembers whether it was open
    void cleanup() { m_home.reset(); }

    void drawsTheRoadAndFollowsEveryEdit() {
        if (!CPreviewWindow::OpenGLAvailable()) {
            QSKIP("The preview cannot use OpenGL here (offscreen platform, or no display with "
                  "GLX): it shows its message instead, which messageWithoutOpenGL checks.");
        }
        CScriptedPrompts prompts;
        CRolvetDoc doc;
        doc.OnNewDocument();
        SetCircle(16, 600.0f);
        doc.SetDivisionCount(8);
        doc.UpdateAllViews();
        CRolvetView plan;
        plan.SetDocument(&doc);
        plan.resize(400, 300);
        CPreviewWindow window(doc, nullptr);
        window.resize(480, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, testutil::kDeadlineMs));
        CPreviewView* view = window.View();
        QVERIFY(view != nullptr);
        QCOMPARE(window.windowTitle(), U("3Dプレビュー - 無題"));

        // A ring of road, lit and textured, round an empty middle; nothing folds.
        QImage image = view->grabFramebuffer();
        PixelCounts counts = Count(image);
        QVERIFY2(counts.asphalt > image.width() * image.height() / 50,
                 qPrintable(QString::number(counts.asphalt)));
        QCOMPARE(counts.fold, 0);
        const QColor middle = image.pixelColor(image.width() / 2, image.height() / 2);
        QVERIFY(middle.red() > 120); // ground, not road
        QVERIFY(window.Readouts().at(4)->text() == U("折り返し 0"));
        const QString length = window.Readouts().at(0)->text();

        // A drag in the plan reaches the preview at once: no event loop turns in between.
        const CVector3D before = view->Model().Centres().at(0);
        // Point 0 is at world (600, 0): pixel (200 + 150, 150) at the plan's scale 4.
        QTest::mousePress(&plan, Qt::LeftButton, {}, QPoint(350, 150));
        QMouseEvent move(QEvent::MouseMove, QPointF(370, 170), QPointF(370, 170),
                         plan.mapToGlobal(QPointF(370, 170)), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&plan, &move);
        QCOMPARE(view->Model().Centres().at(0).x, 680.0f);
        QCOMPARE(view->Model().Centres().at(0).z, 80.0f);
        QVERIFY(view->Model().Centres().at(0).x != before.x);
        QVERIFY(window.Readouts().at(0)->text() != length);
        QTest::mouseRelease(&plan, Qt::LeftButton, {}, QPoint(370, 170));
        // Undo puts the point back, and the preview follows.
        doc.OnEditUndo();
        QCOMPARE(view->Model().Centres().at(0).x, 600.0f);
        QCOMPARE(window.Readouts().at(0)->text(), length);

        // Settings through the dialog: a road 900 wide on a circle of radius 600 folds its
        // inner edges, and the folds show in the warning colour and the status line.
        prompts.drive = [](QDialog& d) {
            auto* width = d.findChild<QSlider*>(QStringLiteral("slider1001"));
            width->setValue(1800);
            width->triggerAction(QAbstractSlider::SliderMove);
            QTest::keyClick(&d, Qt::Key_Return);
        };
        doc.OnSetUp(nullptr);
        QCOMPARE(doc.RoadWidth(), 1800);
        QVERIFY(view->Model().Readouts().folds.value_or(0) > 0);
        QVERIFY(window.Readouts().at(4)->text() != U("折り返し 0"));
        image = view->grabFramebuffer();
        QVERIFY(Count(image).fold > 0);

        // A new track empties the preview, and the title follows.
        doc.SetTitle(U("sample.rolvet"));
        QCOMPARE(window.windowTitle(), U("3Dプレビュー - sample.rolvet"));
        doc.OnNewDocument();
        doc.UpdateAllViews();
        QCOMPARE(view->Model().SampleCount(), 0);
        QCOMPARE(window.Readouts().at(0)->text(), U(rolvet::str::kPreviewNoRoad));
        image = view->grabFramebuffer();
        QCOMPARE(Count(image).asphalt, 0);
    }

    void cameraTurnsPansAndZooms() {
        if (!CPreviewWindow::OpenGLAvailable()) {
            QSKIP("The preview cannot use OpenGL here (offscreen platform, or no display with "
                  "GLX).");
        }
        CRolvetDoc doc;
        doc.OnNewDocument();
        SetCircle(12, 500.0f);
        CPreviewWindow window(doc, nullptr);
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, testutil::kDeadlineMs));
        CPreviewView* view = window.View();
        // Fitted, 30 degrees above the horizon.
        QCOMPARE(view->Camera().Pitch(), 30.0f);
        const float fitted = view->Camera().Distance();

        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(200, 150));
        QTest::mouseMove(view, QPoint(250, 170));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(250, 170));
        QVERIFY(view->Camera().Yaw() != -90.0f);
        QVERIFY(view->Camera().Pitch() > 30.0f);

        const QVector3D target = view->Camera().Target();
        QTest::mousePress(view, Qt::LeftButton, Qt::ShiftModifier, QPoint(200, 150));
        QTest::mouseMove(view, QPoint(260, 150));
        QTest::mouseRelease(view, Qt::LeftButton, Qt::ShiftModifier, QPoint(260, 150));
        QVERIFY((view->Camera().Target() - target).length() > 1.0f);

        QWheelEvent wheel(QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
        QVERIFY(view->Camera().Distance() < fitted);

        QTest::keyClick(view, Qt::Key_Home);
        QCOMPARE(view->Camera().Pitch(), 30.0f);
        QCOMPARE(view->Camera().Distance(), fitted);
        QCOMPARE(view->Camera().Target(), target);
    }

    void menuItemAndRemembering() {
        CScriptedPrompts prompts;
        {
            CRolvetApp app;
            QVERIFY(app.InitInstance({}));
            CMainFrame* frame = app.MainFrame();
            QAction* action = frame->Action(cmd::ID_VIEW_PREVIEW);
            QVERIFY(action->isCheckable() && !action->isChecked());
            QCOMPARE(action->statusTip(), U("道路を3Dで表示"));
            QCOMPARE(action->toolTip(), U("3Dプレビュー"));
            action->trigger();
            CPreviewWindow* preview = frame->Preview().Window();
            QVERIFY(preview && preview->isVisible() && action->isChecked());
            QCOMPARE(preview->windowTitle(), U("3Dプレビュー - 無題"));
            preview->setGeometry(40, 50, 520, 300);
            // Closing the main window closes the preview, which is remembered as open.
            QVERIFY(frame->close());
            QVERIFY(!preview->isVisible());
        }
        {
            CRolvetApp app;
            QVERIFY(app.InitInstance({}));
            CPreviewWindow* preview = app.MainFrame()->Preview().Window();
            QVERIFY(preview && preview->isVisible());
            QCOMPARE(preview->size(), QSize(520, 300));
            QVERIFY(app.MainFrame()->Action(cmd::ID_VIEW_PREVIEW)->isChecked());
            // Closed by the user: not open next time.
            app.MainFrame()->Action(cmd::ID_VIEW_PREVIEW)->trigger();
            QVERIFY(!preview->isVisible());
            QVERIFY(!app.MainFrame()->Action(cmd::ID_VIEW_PREVIEW)->isChecked());
        }
        CRolvetApp app;
        QVERIFY(app.InitInstance({}));
        QVERIFY(app.MainFrame()->Preview().Window() == nullptr);
    }

    void messageWithoutOpenGL() {
        if (CPreviewWindow::OpenGLAvailable()) {
            QSKIP("OpenGL is available here; the message is checked in the offscreen run.");
        }
        CScriptedPrompts prompts;
        CRolvetApp app;
        QVERIFY(app.InitInstance({}));
        app.MainFrame()->Action(cmd::ID_VIEW_PREVIEW)->trigger();
        CPreviewWindow* preview = app.MainFrame()->Preview().Window();
        QVERIFY(preview->View() == nullptr);
        QVERIFY(preview->Message()->isVisibleTo(preview));
        QCOMPARE(preview->Message()->text(), U(rolvet::str::kPreviewNoOpenGL));
        // The editor goes on working.
        QTest::mouseClick(app.MainFrame()->View(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(TheVertexStore().Count(), 1);
    }
};

ROLVET_TEST_MAIN(TestPreview)
#include "tst_preview.moc"
