// The height profile: a handle drag through the widget, the drawn curve against the road model,
// and the main window's profile pane, which must leave the plan as it was while hidden.
#include "IsolatedHome.h"
#include "ScriptedPrompts.h"
#include "app/Commands.h"
#include "app/MainFrame.h"
#include "app/RolvetApp.h"
#include "document/RolvetDoc.h"
#include "track/TrackFile.h"
#include "track/VertexStore.h"
#include "view/PlanPainter.h"
#include "view/ProfileView.h"
#include "view/RolvetView.h"

#include <QAction>
#include <QSignalSpy>
#include <QSplitter>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

// n points on a circle of radius r, at heights h(angle).
template <typename Height> std::vector<CVector3D> Loop(int n, double r, Height h) {
    std::vector<CVector3D> v;
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * std::numbers::pi * i / n;
        v.emplace_back(static_cast<float>(r * std::cos(a)), static_cast<float>(h(a)),
                       static_cast<float>(r * std::sin(a)));
    }
    return v;
}

QPoint HandlePixel(const CProfileView& view, int k) {
    const rolvet::CRoadModel& model = view.Model();
    const auto axes = view.Axes();
    return {
        static_cast<int>(std::lround(axes.X(model.ArcLength(std::int64_t{k} * model.Divisions())))),
        static_cast<int>(std::lround(axes.Y(model.Points()[static_cast<std::size_t>(k)].y)))};
}

bool Same(const CVector3D& a, const CVector3D& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

class TestProfileView : public QObject {
    Q_OBJECT

private slots:
    void init() { TheVertexStore().Clear(); }

    // Pressing a handle, moving up and releasing lifts that point alone, live, as one step of
    // the history; undo gives back the exact bytes.
    void dragLiftsOnePointInOneStep() {
        CRolvetDoc doc;
        TheVertexStore().Assign(Loop(8, 300.0, [](double) { return 0.0; }));
        const CVector3D before = TheVertexStore().At(2);
        CProfileView view;
        view.resize(400, 200);
        view.show();
        view.SetDocument(&doc);
        view.grab(); // lays out the axes
        const QPoint start = HandlePixel(view, 2);
        QSignalSpy changes(&doc, &CRolvetDoc::trackChanged);

        QTest::mousePress(&view, Qt::LeftButton, {}, start);
        QCOMPARE(doc.SelectedIndex(), 2);
        for (int dy = 10; dy <= 40; dy += 10) {
            QTest::mouseMove(&view, start - QPoint(0, dy));
        }
        QVERIFY(changes.count() >= 4);   // every move reaches the plan and the preview at once
        QCOMPARE(doc.HistoryCount(), 0); // not a step until the button comes up
        const double expected = view.Axes().HeightAt(start.y() - 40);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, start - QPoint(0, 40));
        QCOMPARE(doc.HistoryCount(), 1);

        const CVector3D after = TheVertexStore().At(2);
        QVERIFY2(std::abs(static_cast<double>(after.y) - expected) <
                     1.0 / view.Axes().pixelsPerUnit,
                 qPrintable(QString::number(after.y)));
        QVERIFY(after.y > 1.0f);
        QCOMPARE(after.x, before.x);
        QCOMPARE(after.z, before.z);
        for (int k : {0, 1, 3, 7}) {
            QCOMPARE(TheVertexStore().At(k).y, 0.0f);
        }
        doc.OnEditUndo();
        QVERIFY(Same(TheVertexStore().At(2), before));
        // A press away from every handle changes nothing.
        QTest::mousePress(&view, Qt::LeftButton, {}, start - QPoint(0, 60));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, start - QPoint(0, 80));
        QVERIFY(Same(TheVertexStore().At(2), before));
        QCOMPARE(doc.HistoryCount(), 1);
    }

    // The drawn curve spans, in each pixel column, the heights of the model's samples there.
    void curveFollowsTheModelColumnByColumn() {
        CRolvetDoc doc;
        doc.SetDivisionCount(128);
        TheVertexStore().Assign(Loop(
            16, 500.0, [](double a) { return 10.0 * std::sin(3.0 * a) + 2.0 * std::sin(7 * a); }));
        CProfileView view;
        view.resize(300, 160);
        view.show();
        view.SetDocument(&doc);
        const QImage image = view.grab().toImage();
        const rolvet::CRoadModel& model = view.Model();
        const auto axes = view.Axes();
        const std::int64_t samples = model.SampleCount();
        QCOMPARE(samples, 16 * 128);
        // What a line through every sample covers in each pixel column: each piece between two
        // samples, cut at the column borders.
        std::vector<double> lo(300, 1e9), hi(300, -1e9);
        auto at = [&](std::int64_t j) {
            const std::size_t s = static_cast<std::size_t>(j % samples);
            return QPointF(axes.X(model.ArcLength(j)), axes.Y(model.Centres()[s].y));
        };
        for (std::int64_t j = 0; j < samples; ++j) {
            const QPointF a = at(j), b = at(j + 1);
            for (int c = static_cast<int>(a.x()); c <= static_cast<int>(b.x()) && c < 300; ++c) {
                for (const double x : {std::max(a.x(), double(c)), std::min(b.x(), c + 1.0)}) {
                    const double t = b.x() > a.x() ? (x - a.x()) / (b.x() - a.x()) : 0.0;
                    const double y = a.y() + t * (b.y() - a.y());
                    lo[c] = std::min(lo[c], y);
                    hi[c] = std::max(hi[c], y);
                }
            }
        }
        int checked = 0;
        for (int column = 20; column < 280; column += 7) {
            int top = -1, bottom = -1;
            bool handle = false;
            for (int y = 0; y < image.height(); ++y) {
                const QRgb c = image.pixel(column, y) & 0xffffff;
                handle |= c == (rolvet::plan::kMarkerColour & 0xffffff);
                if (c == (rolvet::profile::kCurveColour & 0xffffff)) {
                    top = top < 0 ? y : top;
                    bottom = y;
                }
            }
            if (handle) {
                continue; // a handle covers part of the line here
            }
            QVERIFY2(top >= 0, qPrintable(QString::number(column)));
            const QString where = QStringLiteral("column %1: %2..%3 drawn, %4..%5 expected")
                                      .arg(column)
                                      .arg(top)
                                      .arg(bottom)
                                      .arg(lo[column])
                                      .arg(hi[column]);
            QVERIFY2(std::abs(top - lo[column]) <= 1.5 && std::abs(bottom - hi[column]) <= 1.5,
                     qPrintable(where));
            ++checked;
        }
        QVERIFY(checked > 20);

        // A rough track, about sixty samples a column: each column's part of the curve reaches
        // exactly the lowest and the highest sample there.
        TheVertexStore().Assign(Loop(4000, 5000.0, [](double a) {
            return 10.0 * std::sin(3.0 * a) + 3.0 * std::sin(997.0 * a) + std::sin(3989.0 * a);
        }));
        doc.SetDivisionCount(4);
        view.OnTrackChanged(rolvet::TrackChange::Whole());
        view.grab();
        const rolvet::CRoadModel& rough = view.Model();
        const auto roughAxes = view.Axes();
        // Samples within eps of a column border may be counted on either side.
        constexpr double eps = 1e-6;
        std::vector<double> innerLo(300, 1e9), innerHi(300, -1e9), outerLo(300, 1e9),
            outerHi(300, -1e9);
        for (std::int64_t j = 0; j < rough.SampleCount(); ++j) {
            const double x = roughAxes.X(rough.ArcLength(j));
            const double y = roughAxes.Y(rough.Centres()[static_cast<std::size_t>(j)].y);
            for (const double probe : {x - eps, x + eps}) {
                const auto c = static_cast<std::size_t>(probe);
                outerLo[c] = std::min(outerLo[c], y);
                outerHi[c] = std::max(outerHi[c], y);
            }
            if (std::floor(x - eps) == std::floor(x + eps)) {
                const auto c = static_cast<std::size_t>(x);
                innerLo[c] = std::min(innerLo[c], y);
                innerHi[c] = std::max(innerHi[c], y);
            }
        }
        std::vector<double> drawnLo(300, 1e9), drawnHi(300, -1e9);
        for (const QPointF& p : view.Lines().height) {
            const auto c = static_cast<std::size_t>(p.x());
            drawnLo[c] = std::min(drawnLo[c], p.y());
            drawnHi[c] = std::max(drawnHi[c], p.y());
        }
        for (std::size_t c = 13; c < 287; ++c) {
            const QString where = QStringLiteral("column %1: %2..%3 drawn, %4..%5 in the model")
                                      .arg(c)
                                      .arg(drawnLo[c])
                                      .arg(drawnHi[c])
                                      .arg(innerLo[c])
                                      .arg(innerHi[c]);
            QVERIFY2(drawnLo[c] >= outerLo[c] - eps && drawnLo[c] <= innerLo[c] + eps &&
                         drawnHi[c] <= outerHi[c] + eps && drawnHi[c] >= innerHi[c] - eps,
                     qPrintable(where));
        }
    }

    // Off by default; while hidden the plan has the whole client area and paints exactly what a
    // plan of that size paints; the choice is remembered for the next start.
    void hiddenProfileLeavesThePlanAsItWas() {
        CScriptedPrompts prompts;
        rolvet::TrackData track;
        track.vertices = Loop(12, 40.0, [](double a) { return 5.0 * std::sin(a); });
        {
            CRolvetApp app;
            QVERIFY(app.InitInstance({}));
            CMainFrame* frame = app.MainFrame();
            app.Document().RestoreTrack(QStringLiteral("loop"), {}, track);
            app.Document().SetModifiedFlag(false);
            app.Document().SetSelectedIndex(3);
            QApplication::processEvents();
            QAction* toggle = frame->Action(cmd::ID_VIEW_PROFILE);
            QVERIFY(!frame->Profile()->isVisible());
            QVERIFY(!toggle->isChecked());
            QCOMPARE(frame->View()->size(), frame->centralWidget()->size());
            CRolvetView alone;
            alone.SetDocument(&app.Document());
            alone.resize(frame->View()->size());
            const QImage plan = alone.grab().toImage();
            QCOMPARE(frame->View()->grab().toImage(), plan);

            toggle->trigger();
            QApplication::processEvents();
            QVERIFY(frame->Profile()->isVisible());
            QVERIFY(toggle->isChecked());
            frame->Profile()->grab(); // lays out its axes
            QVERIFY(frame->View()->height() < frame->centralWidget()->height());
            // Selecting in the profile selects in the plan.
            QTest::mousePress(frame->Profile(), Qt::LeftButton, {},
                              HandlePixel(*frame->Profile(), 7));
            QTest::mouseRelease(frame->Profile(), Qt::LeftButton, {},
                                HandlePixel(*frame->Profile(), 7));
            QCOMPARE(app.Document().SelectedIndex(), 7);
            app.Document().SetSelectedIndex(3);

            toggle->trigger();
            QApplication::processEvents();
            QVERIFY(!frame->Profile()->isVisible());
            QCOMPARE(frame->View()->grab().toImage(), plan);
            toggle->trigger();
            frame->close();
        }
        CRolvetApp again;
        QVERIFY(again.InitInstance({}));
        QVERIFY(again.MainFrame()->Profile()->isVisible());
    }
};

ROLVET_TEST_MAIN(TestProfileView)
#include "tst_profileview.moc"
