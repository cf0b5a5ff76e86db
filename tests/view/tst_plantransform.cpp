// The plan transform, the reference square and the search for the vertex under the cursor.
#include "IsolatedHome.h"
#include "track/Vector3D.h"
#include "view/PlanTransform.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

using namespace rolvet::plan;

class TestPlanTransform : public QObject {
    Q_OBJECT

private slots:
    void centreDropsTheRemainder() {
        QCOMPARE(CentreOf(101, 75).cx, 50);
        QCOMPARE(CentreOf(101, 75).cy, 37);
        QCOMPARE(CentreOf(0, 1).cx, 0);
    }

    void worldToPixelTruncatesTowardZero() {
        // -0.25 added to 200 and 150: 199.75 and 149.75 truncate to 199 and 149.
        QCOMPARE(WorldToPixel(-1.0f, -1.0f, 4.0f, {200, 150}), (Pixel{199, 149}));
        // 10 - 10.5 = -0.5 truncates to 0, not down to -1; -1.5 goes to -1.
        QCOMPARE(WorldToPixel(-42.0f, 0.0f, 4.0f, {10, 10}).x, 0);
        QCOMPARE(WorldToPixel(-46.0f, 0.0f, 4.0f, {10, 10}).x, -1);
        // Far but in range keeps the exact truncation.
        QCOMPARE(WorldToPixel(4.0e8f, -4.0e8f, 4.0f, {0, 0}), (Pixel{100000000, -100000000}));
    }

    void panMovesTheOriginBothWays() {
        const Centre c{200, 150, 10.5, -3.0};
        QCOMPARE(OriginPixel(c), (Pixel{210, 147}));
        // 200 + 10.5 - 0.25 = 210.25 and 150 - 3 + 2.5 = 149.5.
        QCOMPARE(WorldToPixel(-1.0f, 10.0f, 4.0f, c), (Pixel{210, 149}));
        // (215 - 200 - 10.5) * 4 = 18, (140 - 150 + 3) * 4 = -28.
        QCOMPARE(PixelToWorld(215, 140, 4.0f, c).x, 18.0f);
        QCOMPARE(PixelToWorld(215, 140, 4.0f, c).z, -28.0f);
        QCOMPARE(ReferenceSquare(4.0f, c).topLeft, (Pixel{-39, -103}));
    }

    void unrepresentableCoordinatesSaturate() {
        const float inf = std::numeric_limits<float>::infinity();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        QCOMPARE(WorldToPixel(inf, -inf, 4.0f, {5, 5}), (Pixel{kPixelLimit, -kPixelLimit}));
        QCOMPARE(WorldToPixel(1e38f, -3.4e38f, 0.1f, {5, 5}), (Pixel{kPixelLimit, -kPixelLimit}));
        // NaN has no place on the plan: it is put off-screen.
        QCOMPARE(WorldToPixel(nan, nan, 4.0f, {5, 5}), (Pixel{-kPixelLimit, -kPixelLimit}));
        QCOMPARE(TruncToPixel(double(kPixelLimit) - 0.5), kPixelLimit - 1);
        QCOMPARE(TruncToPixel(-double(kPixelLimit) + 0.5), -kPixelLimit + 1);
        QCOMPARE(TruncToPixel(1e300), kPixelLimit);
    }

    void pixelToWorldRoundsToSinglePrecision() {
        const WorldXZ w = PixelToWorld(203, 140, 4.12f, {200, 150});
        QCOMPARE(w.x, float(3 * double(4.12f)));
        QCOMPARE(w.z, float(-10 * double(4.12f)));
        // 0.1f is slightly above one tenth; 7 pixels of it round to the float nearest 0.7000000104.
        QCOMPARE(PixelToWorld(7, 0, 0.1f, {0, 0}).x, float(7 * double(0.1f)));
        QCOMPARE(PixelToWorld(-2147483647, 0, 3e38f, {2147483647, 0}).x,
                 -std::numeric_limits<float>::infinity());
    }

    void referenceSquareCorners() {
        const SquareCorners four = ReferenceSquare(4.0f, {200, 150});
        QCOMPARE(four.topLeft, (Pixel{-50, -100}));
        QCOMPARE(four.bottomRight, (Pixel{450, 400}));
        // At the minimum scale (the float nearest 0.1, slightly above it) the half-size is just
        // under 10000 pixels.
        const SquareCorners tiny = ReferenceSquare(0.1f, {200, 150});
        QCOMPARE(tiny.topLeft, (Pixel{-9799, -9849}));
        QCOMPARE(tiny.topRight, (Pixel{10199, -9849}));
        QCOMPARE(tiny.bottomRight, (Pixel{10199, 10149}));
        QCOMPARE(tiny.bottomLeft, (Pixel{-9799, 10149}));
    }

    void catchAreaIsASquareOfTruncatedDistances() {
        // Scale 4: four pixels are 16 world units.
        const std::vector<CVector3D> v{{0, 0, 0}};
        QCOMPARE(FindVertexNear(v, 16.0f, 0.0f, 4.0f), 0);
        QCOMPARE(FindVertexNear(v, -16.0f, 16.0f, 4.0f), 0); // a corner of the square catches
        QCOMPARE(FindVertexNear(v, 20.0f, 0.0f, 4.0f), -1);  // five pixels do not
        QCOMPARE(FindVertexNear(v, 0.0f, -20.0f, 4.0f), -1);
        // 16.5 is truncated to 16 before the comparison; 17 is too far.
        const std::vector<CVector3D> half{{16.5f, 0, 0}};
        QCOMPARE(FindVertexNear(half, 0.0f, 0.0f, 4.0f), 0);
        QCOMPARE(FindVertexNear(half, -0.5f, 0.0f, 4.0f), -1);
        // A fractional reach: at 4.12 it is 16.48 units; 16.9 truncates to 16 and is caught.
        QCOMPARE(FindVertexNear(std::vector<CVector3D>{{16.9f, 0, 0}}, 0, 0, 4.12f), 0);
        QCOMPARE(FindVertexNear(std::vector<CVector3D>{{17.0f, 0, 0}}, 0, 0, 4.12f), -1);
        // Height plays no part.
        QCOMPARE(FindVertexNear(std::vector<CVector3D>{{0, 1e30f, 0}}, 0, 0, 4.0f), 0);
        QCOMPARE(FindVertexNear(std::vector<CVector3D>{}, 0, 0, 4.0f), -1);
    }

    void lowestIndexWins() {
        const std::vector<CVector3D> v{{100, 0, 100}, {10, 0, 0}, {-10, 0, 0}, {0, 0, 0}};
        QCOMPARE(FindVertexNear(v, 0.0f, 0.0f, 4.0f), 1);
        QCOMPARE(FindVertexNear(v, -12.0f, 0.0f, 4.0f), 2);
    }

    void unrepresentableVerticesAreNeverCaught() {
        const float inf = std::numeric_limits<float>::infinity();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const std::vector<CVector3D> v{
            {nan, 0, 0}, {0, 0, nan}, {inf, 0, 0}, {3e38f, 0, 0}, {1, 0, 1}};
        QCOMPARE(FindVertexNear(v, 0.0f, 0.0f, 4.0f), 4);
        // Even with a reach beyond the int range, huge distances stay too far.
        QCOMPARE(FindVertexNear(v, 0.0f, 0.0f, 1e12f), 4);
        QCOMPARE(FindVertexNear(v, -3e38f, 0.0f, 1e30f), -1); // 3e38 - -3e38 overflows to infinity
        QCOMPARE(FindVertexNear(std::vector<CVector3D>{{3e38f, 0, 0}}, -3e38f, 0.0f, 1e12f), -1);
    }
};

ROLVET_TEST_MAIN(TestPlanTransform)
#include "tst_plantransform.moc"
