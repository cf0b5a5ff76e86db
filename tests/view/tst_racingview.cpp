// The racing line in the editor: solved in the background once editing stops, a newer edit
// winning over an older solve, and drawn in the plan where the analytic line lies.
#include "IsolatedHome.h"
#include "document/RacingLineService.h"
#include "document/RolvetDoc.h"
#include "racing/RacingLineFile.h"
#include "track/VertexStore.h"
#include "view/RolvetView.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

// A ring of n control points of radius r around the origin.
void SetRing(CRolvetDoc& doc, int n, double r) {
    doc.ResetToUntitled();
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * std::numbers::pi * i / n;
        doc.AppendVertex(CVector3D(static_cast<float>(r * std::cos(a)), 0.0f,
                                   static_cast<float>(r * std::sin(a))));
    }
}

// The line solved directly for the track as it is now.
rolvet::RacingLine Direct(const CRolvetDoc& doc, double vehicle) {
    rolvet::RacingRoad road;
    const auto all = TheVertexStore().All();
    rolvet::SampleRacingRoad(all, doc.DivisionCount(), doc.RoadWidth(), road);
    return rolvet::SolveRacingLine(road.Input(vehicle));
}

} // namespace

class TestRacingView : public QObject {
    Q_OBJECT

private slots:
    // On a ring of constant width the line is the widest circle the bounds allow: the ring's
    // radius plus half the road less half the vehicle.
    void ringLineIsTheWidestCircle() {
        CRolvetDoc doc;
        SetRing(doc, 32, 400.0);
        doc.SetSettings(40, 8);
        CRacingLineService& racing = doc.RacingLine();
        racing.SetSettleInterval(0);
        QVERIFY(racing.Line().points.empty());
        racing.SetEnabled(true);
        QTRY_VERIFY_WITH_TIMEOUT(!racing.IsBusy(), 60000);
        const rolvet::RacingLine& line = racing.Line();
        QCOMPARE(line.status, rolvet::RacingStatus::Ok);
        QCOMPARE(line.points.size(), std::size_t{32 * 8});
        for (const rolvet::RacingPoint& p : line.points) {
            QVERIFY2(std::fabs(std::hypot(p.x, p.z) - 419.0) < 0.5,
                     qPrintable(QString::number(std::hypot(p.x, p.z))));
        }

        // The plan draws it: green at the line's radius in pixels (4 world units a pixel),
        // half-way between two control points, and nowhere when switched off.
        CRolvetView view;
        view.SetDocument(&doc);
        view.resize(400, 400);
        const auto render = [&] {
            QImage image(400, 400, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            view.OnDraw(painter);
            return image;
        };
        const auto green = [](QRgb c) { return qGreen(c) > 100 && qRed(c) < 80 && qBlue(c) < 80; };
        const QImage on = render();
        const double a = std::numbers::pi / 32.0;
        const int x = 200 + static_cast<int>(419.0 * std::cos(a) / 4.0);
        const int y = 200 + static_cast<int>(419.0 * std::sin(a) / 4.0);
        bool found = false;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                found = found || green(on.pixel(x + dx, y + dy));
            }
        }
        QVERIFY(found);
        racing.SetEnabled(false);
        QVERIFY(racing.Line().points.empty());
        const QImage off = render();
        for (int px = 0; px < 400; ++px) {
            QVERIFY(!green(off.pixel(px, y)));
        }
    }

    // Edits cancel the solve in progress and the last edit's line is the one shown; a held drag
    // starts no solve until it ends.
    void newestEditWinsAndDragsWait() {
        CRolvetDoc doc;
        SetRing(doc, 12, 300.0);
        doc.SetSettings(30, 6);
        CRacingLineService& racing = doc.RacingLine();
        racing.SetSettleInterval(0);
        racing.SetEnabled(true);
        doc.SetVertex(3, CVector3D(200.0f, 0.0f, 250.0f));
        doc.SetVertex(5, CVector3D(-150.0f, 0.0f, 280.0f));
        racing.SetVehicleWidth(3.0);
        QTRY_VERIFY_WITH_TIMEOUT(!racing.IsBusy(), 60000);
        QCOMPARE(racing.Line().points.size(), Direct(doc, 3.0).points.size());
        const rolvet::RacingLine expected = Direct(doc, 3.0);
        for (std::size_t i = 0; i < expected.points.size(); ++i) {
            QCOMPARE(racing.Line().points[i].x, expected.points[i].x);
            QCOMPARE(racing.Line().points[i].z, expected.points[i].z);
        }

        const int started = racing.SolvesStarted();
        doc.BeginVertexDrag(0);
        QVERIFY(doc.DragVertexTo(0, 320.0f, 10.0f));
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
        }
        QCOMPARE(racing.SolvesStarted(), started);
        doc.EndVertexDrag();
        QTRY_VERIFY_WITH_TIMEOUT(racing.SolvesStarted() > started && !racing.IsBusy(), 60000);
        QCOMPARE(racing.Line().points.front().x, Direct(doc, 3.0).points.front().x);
    }
};

ROLVET_TEST_MAIN(TestRacingView)
#include "tst_racingview.moc"
