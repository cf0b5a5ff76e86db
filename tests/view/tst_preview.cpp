// The 3D preview window: what it draws, how it follows the dialogs and New, the menu item and what
// is remembered, and the message where OpenGL cannot start. CTest runs it twice: under Xvfb, where
// Mesa gives an OpenGL context, and without any display, where none can start.
#include "IsolatedHome.h"
#include "ScriptedPrompts.h"
#include "TestUtil.h"
#include "app/Commands.h"
#include "app/DesktopIntegration.h"
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

    // The desktop's database tools are not started: run in the background, they would go on
    // after a test function and write into its home after it was removed.
    rolvet::desktop::CScopedToolLauncher m_noTools{
        [](const QString&, const QStringList&) { return true; }};

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

    // Drags at point 0 and at point n − 1 send only the rings they shape, wrapping round the
    // end of the lap; once the texture has settled the picture is that of a preview that sent
    // the whole road.
    void partialUploadsMatchAWholeUpload() {
        if (!CPreviewWindow::OpenGLAvailable()) {
            QSKIP("The preview cannot use OpenGL here.");
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
        CPreviewWindow live(doc, nullptr);
        live.resize(480, 400);
        live.show();
        QVERIFY(QTest::qWaitForWindowExposed(&live));
        CPreviewView* view = live.View();
        view->grabFramebuffer();
        const int wholeUploads = view->WholeUploads();
        // Points 0 and 15 of the circle at the plan's scale 4, dragged 20 pixels each way.
        for (const QPoint from : {QPoint(350, 150), QPoint(338, 92)}) {
            QTest::mousePress(&plan, Qt::LeftButton, {}, from);
            const QPointF to = from + QPointF(20, 20);
            QMouseEvent move(QEvent::MouseMove, to, to, plan.mapToGlobal(to), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&plan, &move);
            view->grabFramebuffer();
            QTest::mouseRelease(&plan, Qt::LeftButton, {}, to.toPoint());
        }
        QCOMPARE(view->WholeUploads(), wholeUploads);

        CPreviewWindow fresh(doc, nullptr);
        fresh.resize(480, 400);
        fresh.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fresh));
        QTest::keyClick(view, Qt::Key_Home);
        QTest::keyClick(fresh.View(), Qt::Key_Home);
        const QImage whole = fresh.View()->grabFramebuffer();
        QTRY_VERIFY_WITH_TIMEOUT(view->grabFramebuffer() == whole, 20000);
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
