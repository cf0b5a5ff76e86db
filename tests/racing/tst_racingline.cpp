// The racing line on shapes whose best line is known (a ring, a stadium oval), its bounds, its
// independence of the first control point, and "rolvet --racing-line".
#include "IsolatedHome.h"
#include "TestUtil.h"
#include "racing/RacingLine.h"
#include "racing/RacingLineFile.h"
#include "track/TrackFile.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

using namespace rolvet;

namespace {

constexpr double kPi = std::numbers::pi;

// A road given sample by sample, with the right-hand side vector of every sample.
struct Road {
    std::vector<CVector3D> centres, sides;
    std::vector<float> left, right;

    void Add(double x, double z, double dx, double dz, float wl, float wr) {
        const double len = std::hypot(dx, dz);
        centres.emplace_back(static_cast<float>(x), 0.0f, static_cast<float>(z));
        sides.emplace_back(static_cast<float>(-dz / len), 0.0f, static_cast<float>(dx / len));
        left.push_back(wl);
        right.push_back(wr);
    }
    RacingInput Input(double vehicle) const { return {centres, sides, left, right, vehicle, {}}; }
};

// Curvature of the circle through three plan points: 4·area / (product of the sides).
double CircleCurvature(const RacingPoint& a, const RacingPoint& b, const RacingPoint& c) {
    const double ab = std::hypot(b.x - a.x, b.z - a.z), bc = std::hypot(c.x - b.x, c.z - b.z),
                 ca = std::hypot(a.x - c.x, a.z - c.z);
    const double area2 = std::fabs((b.x - a.x) * (c.z - a.z) - (b.z - a.z) * (c.x - a.x));
    return 2.0 * area2 / (ab * bc * ca);
}

double SummedSquaredCurvature(const std::vector<RacingPoint>& p) {
    double sum = 0.0;
    const std::size_t n = p.size();
    for (std::size_t i = 0; i < n; ++i) {
        const double k = CircleCurvature(p[(i + n - 1) % n], p[i], p[(i + 1) % n]);
        sum += k * k;
    }
    return sum;
}

// Every point lies on its sample's side line, within the road less half the vehicle.
bool WithinRoad(const Road& road, const RacingLine& line, double vehicle) {
    for (std::size_t i = 0; i < road.centres.size(); ++i) {
        const double dx = line.points[i].x - double(road.centres[i].x);
        const double dz = line.points[i].z - double(road.centres[i].z);
        const double sx = road.sides[i].x, sz = road.sides[i].z;
        const double along = dx * sx + dz * sz, across = dx * sz - dz * sx;
        if (std::fabs(across) > 1e-6 || along > double(road.right[i]) - vehicle / 2 + 1e-6 ||
            along < vehicle / 2 - double(road.left[i]) - 1e-6) {
            return false;
        }
    }
    return true;
}

// A closed track of `corners` equal straights of length straight joined by circular corners of
// the given centre-line radius, each turning 2π / corners towards the right-hand side (so the
// infield lies to the right and positive offsets point inwards), samples about spacing apart. Two
// corners make a stadium oval. apexes receives the sample in the middle of each corner, straights
// the first and last sample of each straight.
Road RoundedPolygon(int corners, double straight, double radius, float halfWidth, double spacing,
                    std::vector<std::size_t>& apexes,
                    std::vector<std::pair<std::size_t, std::size_t>>& straights) {
    Road road;
    const double turn = 2 * kPi / corners;
    const int straightSteps = static_cast<int>(std::lround(straight / spacing));
    const int arcSteps = 2 * static_cast<int>(std::lround(turn * radius / spacing / 2));
    double x = 0.0, z = -radius, heading = 0.0;
    for (int c = 0; c < corners; ++c) {
        const double dx = std::cos(heading), dz = std::sin(heading);
        straights.emplace_back(road.centres.size(), road.centres.size() + straightSteps - 1);
        for (int i = 0; i < straightSteps; ++i) {
            road.Add(x + dx * straight * i / straightSteps, z + dz * straight * i / straightSteps,
                     dx, dz, halfWidth, halfWidth);
        }
        x += dx * straight;
        z += dz * straight;
        // The corner's centre lies on the right-hand side, (−dz, dx).
        const double cx = x - dz * radius, cz = z + dx * radius;
        for (int i = 0; i < arcSteps; ++i) {
            const double h = heading + turn * i / arcSteps;
            if (i == arcSteps / 2) {
                apexes.push_back(road.centres.size());
            }
            road.Add(cx + radius * std::sin(h), cz - radius * std::cos(h), std::cos(h), std::sin(h),
                     halfWidth, halfWidth);
        }
        heading += turn;
        x = cx + radius * std::sin(heading);
        z = cz - radius * std::cos(heading);
    }
    return road;
}

std::vector<RacingPoint> Centre(const Road& road) {
    std::vector<RacingPoint> points;
    for (const CVector3D& c : road.centres) {
        points.push_back({c.x, c.y, c.z});
    }
    return points;
}

// An irregular closed track of n control points.
std::vector<CVector3D> Trefoil(int n) {
    std::vector<CVector3D> points;
    for (int k = 0; k < n; ++k) {
        const double a = 2 * kPi * k / n;
        const double r = 120 + 45 * std::sin(3 * a) + 10 * std::cos(5 * a);
        points.emplace_back(static_cast<float>(r * std::cos(a)), static_cast<float>(k % 3),
                            static_cast<float>(r * std::sin(a)));
    }
    return points;
}

} // namespace

class TestRacingLine : public QObject {
    Q_OBJECT

private slots:
    // On a ring of constant width the best line is the widest circle the bounds allow, in
    // either direction of travel; the readouts follow from that circle.
    void ringTakesTheOuterEdge() {
        const double radius = 100.0;
        const int n = 360;
        for (const double turn : {1.0, -1.0}) {
            Road road;
            for (int i = 0; i < n; ++i) {
                const double a = turn * 2 * kPi * i / n;
                road.Add(radius * std::cos(a), radius * std::sin(a), -turn * std::sin(a),
                         turn * std::cos(a), 10.0f, 10.0f);
            }
            const RacingLine line = SolveRacingLine(road.Input(2.0));
            QCOMPARE(int(line.status), int(RacingStatus::Ok));
            QVERIFY(WithinRoad(road, line, 2.0));
            const double outer = radius + 10.0 - 1.0;
            for (const RacingPoint& p : line.points) {
                QVERIFY2(std::fabs(std::hypot(p.x, p.z) - outer) < 1e-3,
                         qPrintable(QString::number(std::hypot(p.x, p.z))));
            }
            QVERIFY(std::fabs(line.length - 2 * n * outer * std::sin(kPi / n)) < 1e-2);
            QVERIFY(line.minRadius && std::fabs(*line.minRadius - outer) < 0.1);
            QVERIFY(line.converged && line.iterations <= kRacingMaxIterations);
            QVERIFY(line.narrowSamples.empty());
        }
    }

    // A stadium oval: the line uses the whole width between the two outer edges (it runs along
    // the outside of every straight and is still in the outer half where the straights end)
    // and bends less than the centre line.
    void stadiumRunsWide() {
        std::vector<std::size_t> apexes;
        std::vector<std::pair<std::size_t, std::size_t>> straights;
        const Road road = RoundedPolygon(2, 200.0, 50.0, 7.0f, 2.5, apexes, straights);
        const double vehicle = 2.0, edge = 7.0 - vehicle / 2;
        const RacingLine line = SolveRacingLine(road.Input(vehicle));
        QCOMPARE(int(line.status), int(RacingStatus::Ok));
        QVERIFY(WithinRoad(road, line, vehicle));
        for (const auto& [first, last] : straights) {
            const auto begin = line.offsets.begin();
            QVERIFY(*std::min_element(begin + first, begin + last + 1) < -edge + 1e-3);
            QVERIFY(line.offsets[first] < -edge / 2 && line.offsets[last] < -edge / 2);
        }
        QVERIFY(SummedSquaredCurvature(line.points) < 0.8 * SummedSquaredCurvature(Centre(road)));
        QVERIFY(line.converged);
    }

    // Square corners (90°) between long straights: outside, inside at the apex, outside again.
    void squareTouchesEachApex() {
        std::vector<std::size_t> apexes;
        std::vector<std::pair<std::size_t, std::size_t>> straights;
        const Road road = RoundedPolygon(4, 150.0, 20.0, 7.0f, 2.5, apexes, straights);
        const double vehicle = 2.0, edge = 7.0 - vehicle / 2;
        const RacingLine line = SolveRacingLine(road.Input(vehicle));
        QCOMPARE(int(line.status), int(RacingStatus::Ok));
        QVERIFY(WithinRoad(road, line, vehicle));
        for (std::size_t apex : apexes) {
            QVERIFY2(line.offsets[apex] > edge - 0.01,
                     qPrintable(QString::number(line.offsets[apex])));
        }
        for (const auto& [first, last] : straights) {
            const auto begin = line.offsets.begin();
            QVERIFY(*std::min_element(begin + first, begin + last + 1) < -edge + 1e-3);
        }
        QVERIFY(SummedSquaredCurvature(line.points) < 0.5 * SummedSquaredCurvature(Centre(road)));
        // Cutting across the corner opens it wider than its outer edge.
        QVERIFY2(*line.minRadius > 20 + edge, qPrintable(QString::number(*line.minRadius)));
        QVERIFY(line.converged);
    }

    // Where the road is narrower than the vehicle the line stays on the centre and says so;
    // a vehicle wider than the whole road leaves the centre line.
    void narrowRoadKeepsToTheCentre() {
        std::vector<std::size_t> apexes;
        std::vector<std::pair<std::size_t, std::size_t>> straights;
        Road road = RoundedPolygon(2, 100.0, 30.0, 5.0f, 3.0, apexes, straights);
        for (std::size_t i = apexes[0] - 3; i <= apexes[0] + 3; ++i) {
            road.left[i] = 0.4f;
            road.right[i] = 1.5f; // 1.9 m of road for a 2 m vehicle
        }
        RacingLine line = SolveRacingLine(road.Input(2.0));
        QCOMPARE(int(line.status), int(RacingStatus::Ok));
        QCOMPARE(line.narrowSamples.size(), std::size_t{7});
        QCOMPARE(std::size_t(line.narrowSamples.front()), apexes[0] - 3);
        for (std::int64_t i : line.narrowSamples) {
            QCOMPARE(line.offsets[std::size_t(i)], 0.0);
        }
        line = SolveRacingLine(road.Input(12.0));
        QCOMPARE(line.narrowSamples.size(), road.centres.size());
        for (std::size_t i = 0; i < road.centres.size(); ++i) {
            QCOMPARE(line.points[i].x, double(road.centres[i].x));
            QCOMPARE(line.points[i].z, double(road.centres[i].z));
        }
    }

    // Inputs with no line: a cancelled solve, a coordinate that is not a number, a negative
    // vehicle, too few samples, and spans that do not match.
    void refusals() {
        std::vector<std::size_t> apexes;
        std::vector<std::pair<std::size_t, std::size_t>> straights;
        Road road = RoundedPolygon(2, 100.0, 30.0, 5.0f, 3.0, apexes, straights);
        int asked = 0;
        RacingOptions options;
        options.cancelled = [&asked] { return ++asked > 1; };
        RacingLine line = SolveRacingLine(road.Input(2.0), options);
        QCOMPARE(int(line.status), int(RacingStatus::Cancelled));
        QVERIFY(line.points.empty() && line.offsets.empty());
        QCOMPARE(int(SolveRacingLine(road.Input(-1.0)).status), int(RacingStatus::NotFinite));
        road.right[5] = std::numeric_limits<float>::infinity();
        QCOMPARE(int(SolveRacingLine(road.Input(2.0)).status), int(RacingStatus::NotFinite));
        RacingInput input = road.Input(2.0);
        input.sides = input.sides.first(10);
        QCOMPARE(int(SolveRacingLine(input).status), int(RacingStatus::NoRoad));
        input = road.Input(2.0);
        input.centres = input.centres.first(2), input.sides = input.sides.first(2);
        input.widthLeft = input.widthRight = input.widthLeft.first(1);
        QCOMPARE(int(SolveRacingLine(input).status), int(RacingStatus::NoRoad));
    }

    // The same track with its control points listed from another first point gives the same
    // line, shifted by whole segments; the sparse and the dense solve agree.
    void independentOfTheFirstPoint() {
        const std::vector<CVector3D> points = Trefoil(12);
        const int d = 8;
        RacingRoad road;
        QCOMPARE(int(SampleRacingRoad(points, d, 16, road)), int(RacingRoadStatus::Ok));
        const RacingLine line = SolveRacingLine(road.Input(2.0));
        QCOMPARE(int(line.status), int(RacingStatus::Ok));
        QCOMPARE(line.points.size(), points.size() * d);
        for (std::size_t shift : {1u, 5u, 11u}) {
            std::vector<CVector3D> rotated(points.begin() + shift, points.end());
            rotated.insert(rotated.end(), points.begin(), points.begin() + shift);
            RacingRoad other;
            QCOMPARE(int(SampleRacingRoad(rotated, d, 16, other)), int(RacingRoadStatus::Ok));
            const RacingLine moved = SolveRacingLine(other.Input(2.0));
            double worst = 0.0;
            for (std::size_t j = 0; j < line.points.size(); ++j) {
                const RacingPoint& p = line.points[(j + shift * d) % line.points.size()];
                const RacingPoint& q = moved.points[j];
                worst = std::max(worst, std::hypot(p.x - q.x, p.z - q.z));
                QCOMPARE(p.y, q.y);
            }
            QVERIFY2(worst < 1e-3, qPrintable(QString::number(worst)));
        }
        RacingOptions dense;
        dense.solver = RacingLinearSolver::Dense;
        const RacingLine reference = SolveRacingLine(road.Input(2.0), dense);
        for (std::size_t j = 0; j < line.offsets.size(); ++j) {
            QVERIFY(std::fabs(reference.offsets[j] - line.offsets[j]) < 1e-3);
        }
    }

    // A ring whose points set their own widths and a bank: the line is the widest circle the
    // outer side allows. Going from +x towards −z, the right-hand side (direction × up) points
    // away from the centre, so the outer edge is the right one: radius R + wr·cos b − v/2, on
    // the banked surface there, (wr·cos b − v/2)·tan b below the centre (a positive bank lowers
    // the right edge).
    void shapedRingFollowsTheOuterWidthAndBank() {
        const double R = 400.0, wl = 10.0, wr = 30.0;
        std::vector<CVector3D> points;
        for (int i = 0; i < 32; ++i) {
            const double a = -2.0 * kPi * i / 32;
            points.emplace_back(float(R * std::cos(a)), 0.0f, float(R * std::sin(a)));
        }
        for (double bank : {0.0, 10.0}) {
            const std::vector<PointShape> shapes(points.size(),
                                                 PointShape{float(wl), float(wr), float(bank)});
            RacingRoad road;
            QCOMPARE(int(SampleRacingRoad(points, shapes, 8, 20, road)), int(RacingRoadStatus::Ok));
            const RacingLine line = SolveRacingLine(road.Input(2.0));
            QCOMPARE(int(line.status), int(RacingStatus::Ok));
            const double b = bank * kPi / 180.0, plan = wr * std::cos(b) - 1.0;
            for (const RacingPoint& p : line.points) {
                QVERIFY2(std::fabs(std::hypot(p.x, p.z) - (R + plan)) < 0.5,
                         qPrintable(QString::number(std::hypot(p.x, p.z))));
                QVERIFY2(std::fabs(p.y + plan * std::tan(b)) < 0.01,
                         qPrintable(QString::number(p.y)));
            }
        }
    }

    // The command line: a CSV in map convention (x east, y north = −plan z, z height) with one
    // row per road sample inside the road, the vehicle width option, and every refusal.
    void commandLine() {
        QTemporaryDir dir;
        const QString track = dir.filePath("t.rolvet"), csv = dir.filePath("line.CSV");
        const std::vector<CVector3D> points = Trefoil(12);
        QVERIFY(!SaveTrackFile(track.toStdString(), 8, 20, points));
        QByteArray err;
        auto run = [&](const QStringList& args) {
            QProcess process;
            process.start(QStringLiteral(ROLVET_EXECUTABLE), args);
            process.waitForFinished(120000);
            err = process.readAllStandardError();
            return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        };
        RacingRoad road;
        QCOMPARE(int(SampleRacingRoad(points, 8, 20, road)), int(RacingRoadStatus::Ok));
        // Reads the CSV's rows and checks they lie across the road at their sample.
        auto rowsWithin = [&](double margin) {
            const QList<QByteArray> lines = testutil::ReadAll(csv).split('\n');
            if (lines.size() != qsizetype(road.centres.size()) + 2 || lines[0] != "x_m,y_m,z_m" ||
                !lines.back().isEmpty()) {
                return false;
            }
            for (std::size_t i = 0; i < road.centres.size(); ++i) {
                const QList<QByteArray> f = lines[qsizetype(i) + 1].split(',');
                const CVector3D& c = road.centres[i];
                const double dx = f.value(0).toDouble() - double(c.x);
                const double dz = -f.value(1).toDouble() - double(c.z);
                if (f.size() != 3 || std::fabs(f[2].toDouble() - double(c.y)) > 1e-3 ||
                    std::hypot(dx, dz) > margin + 2e-3) {
                    return false;
                }
            }
            return true;
        };
        QCOMPARE(run({"--racing-line", track, csv}), 0);
        QVERIFY(err.isEmpty());
        QVERIFY(rowsWithin(10.0 - 1.0));
        QCOMPARE(run({"--RACING-LINE", track, csv, "--vehicle-width", "18.5"}), 0);
        QVERIFY(rowsWithin(0.75));
        QCOMPARE(run({"--racing-line", track, csv, "--vehicle-width=25"}), 0);
        QVERIFY(rowsWithin(0.0));
        QVERIFY(QString::fromUtf8(err).contains(QString::fromUtf8("中央")));

        const QByteArray before = testutil::ReadAll(csv);
        for (const QStringList& args : {QStringList{"--racing-line", track},
                                        {"--racing-line", track, dir.filePath("l.txt")},
                                        {"--racing-line", track, csv, "--vehicle-width", "-1"},
                                        {"--racing-line", track, csv, "--vehicle-width", "2,5"},
                                        {"--racing-line", track, csv, "--vehicle-width"}}) {
            QCOMPARE(run(args), 2);
            QVERIFY(err.contains("Usage: rolvet --racing-line"));
        }
        QCOMPARE(run({"--racing-line", dir.filePath("none.rolvet"), csv}), 1);
        QVERIFY(QString::fromUtf8(err).contains(QString::fromUtf8("が見つかりませんでした")));
        QVERIFY(!SaveTrackFile(track.toStdString(), 8, 20, {points.begin(), points.begin() + 3}));
        QCOMPARE(run({"--racing-line", track, csv}), 1);
        QVERIFY(QString::fromUtf8(err).contains(QString::fromUtf8("頂点は4つ以上")));
        QVERIFY(!SaveTrackFile(track.toStdString(), 8, 20, points));
        QVERIFY(QDir(dir.path()).mkdir("folder.csv"));
        QCOMPARE(run({"--racing-line", track, dir.filePath("folder.csv")}), 1);
        QVERIFY(QString::fromUtf8(err).contains(QString::fromUtf8("の書き出しに失敗しました")));
        QCOMPARE(testutil::ReadAll(csv), before);
    }
};

ROLVET_TEST_GUILESS_MAIN(TestRacingLine)
#include "tst_racingline.moc"
