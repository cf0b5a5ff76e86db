// The road model: frames and readouts against hand-worked values, edits against a rebuild, the
// engine mesh laid out from it, and "rolvet --info".
#include "IsolatedHome.h"
#include "export/RoadMesh.h"
#include "export/RoadModel.h"
#include "export/TrackInfo.h"
#include "track/TrackFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

using namespace rolvet;

namespace {

constexpr double kPi = std::numbers::pi;
const std::vector<CVector3D> kSquare = {{0, 0, 0}, {1000, 0, 0}, {1000, 0, 1000}, {0, 0, 1000}};

// n points on a circle of the given radius about the origin, at height y(angle).
template <typename Height> std::vector<CVector3D> Circle(int n, double radius, Height height) {
    std::vector<CVector3D> points;
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * kPi * i / n;
        points.emplace_back(static_cast<float>(radius * std::cos(a)), static_cast<float>(height(a)),
                            static_cast<float>(radius * std::sin(a)));
    }
    return points;
}

std::vector<CVector3D> FlatCircle(int n, double radius) {
    return Circle(n, radius, [](double) { return 0.0; });
}

CRoadModel Model(std::span<const CVector3D> points, int divisions, int width,
                 std::span<const PointShape> shapes = {}) {
    CRoadModel model;
    model.Update(points, shapes, divisions, HalfRoadWidth(width), TrackChange::Whole());
    return model;
}

double Length(const CVector3D& v) {
    return std::hypot(static_cast<double>(v.x), static_cast<double>(v.y), static_cast<double>(v.z));
}

bool Near(const CVector3D& a, const CVector3D& b, double tolerance) {
    auto d = [](double p, double q) { return std::fabs(p - q); };
    return d(a.x, b.x) <= tolerance && d(a.y, b.y) <= tolerance && d(a.z, b.z) <= tolerance;
}

template <typename A, typename B> bool SameBytes(const A& a, const B& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(a[0])) == 0;
}

// Where two models differ, bit for bit: samples, frames, sections, folds, arc length, readouts.
QString Difference(const CRoadModel& a, const CRoadModel& b) {
    if (a.SampleCount() != b.SampleCount()) {
        return QStringLiteral("sample count");
    }
    if (!SameBytes(a.Centres(), b.Centres()) || !SameBytes(a.Directions(), b.Directions()) ||
        !SameBytes(a.Sides(), b.Sides()) || !SameBytes(a.Sections(), b.Sections())) {
        return QStringLiteral("samples");
    }
    if (!SameBytes(a.Folded(), b.Folded())) {
        return QStringLiteral("folds");
    }
    for (std::int64_t j = 0; j <= a.SampleCount(); ++j) {
        if (std::bit_cast<std::uint64_t>(a.ArcLength(j)) !=
            std::bit_cast<std::uint64_t>(b.ArcLength(j))) {
            return QStringLiteral("arc length at %1").arg(j);
        }
    }
    for (std::size_t k = 0; k < a.Shape().Count(); ++k) {
        const SampleShape sa = a.Shape().Point(k), sb = b.Shape().Point(k);
        if (sa.left != sb.left || sa.right != sb.right || sa.bank != sb.bank) {
            return QStringLiteral("shape of point %1").arg(k);
        }
    }
    const TrackReadouts ra = a.Readouts(), rb = b.Readouts();
    if (ra.widthMin != rb.widthMin || ra.widthMax != rb.widthMax || ra.bankMax != rb.bankMax) {
        return QStringLiteral("shape readouts");
    }
    if (ra.length != rb.length || ra.minRadius != rb.minRadius ||
        ra.minRadiusSample != rb.minRadiusSample || ra.heightMin != rb.heightMin ||
        ra.heightMax != rb.heightMax || ra.maxGrade != rb.maxGrade || ra.folds != rb.folds) {
        return QStringLiteral("readouts");
    }
    return {};
}

QJsonObject Info(const std::vector<CVector3D>& points, int divisions, int width,
                 std::span<const PointShape> shapes = {}) {
    const std::string json =
        TrackInfoJson(points.size(), divisions, width, Model(points, divisions, width, shapes));
    return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
}

} // namespace

class TestRoadModel : public QObject {
    Q_OBJECT

private slots:
    // On a slope the cross-section stays level: the side vector is horizontal and at right angles
    // to the direction, which is the spline's exact tangent. The Metasequoia model keeps its own,
    // tilted side vector.
    void levelFrameOnASlope() {
        // The square lifted onto the plane y = x / 2. Sample 1 of segment 0 (t = 0.5) lies at
        // (500, 250, −125); there C'(t) = 1.5 (p2 − p1) − 0.25 m1 − 0.25 m2 = (1250, 625, 0).
        const std::vector<CVector3D> ramp = {
            {0, 0, 0}, {1000, 500, 0}, {1000, 500, 1000}, {0, 0, 1000}};
        const CRoadModel model = Model(ramp, 2, 100);
        const RoadFrame f = model.Frame(1);
        QVERIFY(Near(f.centre, {500, 250, -125}, 0));
        const double r5 = 1.0 / std::sqrt(5.0);
        QVERIFY(Near(f.direction, {static_cast<float>(2 * r5), static_cast<float>(r5), 0}, 1e-7));
        QVERIFY(Near(f.side, {0, 0, 1}, 0));
        QVERIFY(Near(RoadUp(f.direction, f.side),
                     {static_cast<float>(-r5), static_cast<float>(2 * r5), 0}, 1e-7));
        // A, B at 45 either side, E, G at 50, all at the centre's height.
        QVERIFY(Near(f.vertices[0], {500, 250, -80}, 0));
        QVERIFY(Near(f.vertices[1], {500, 250, -170}, 0));
        QVERIFY(Near(f.vertices[2], {500, 250, -75}, 0));
        QVERIFY(Near(f.vertices[3], {500, 250, -175}, 0));

        // The Metasequoia model's side vector keeps the direction's height: 50 · 1/√5 above.
        const RoadSample plain = CRoadSampler(ramp, 2, 50.0f).PlainSection(0, 1);
        QVERIFY(std::fabs(static_cast<double>(plain[2].y) - 250.0 - 50.0 * r5) < 0.01);
    }

    // 20,000 points 1 m apart on a circle about 3 km out: single-precision differences of
    // points 0.25 m apart there are a few units in the last place, which used to turn most of the
    // road on its edge (53,028 of the 80,000 samples folded). The exact tangent keeps it flat,
    // and the Metasequoia model takes it where its difference means nothing.
    void farFromTheOrigin() {
        const int n = 20000;
        const std::vector<CVector3D> circle = FlatCircle(n, n / (2 * kPi));
        const CRoadModel model = Model(circle, 4, 100);
        QCOMPARE(model.Readouts().folds, std::optional<std::int64_t>(0));
        QVERIFY(std::fabs(*model.Readouts().length - n) < 0.01);
        const CRoadSampler sampler(circle, 4, 50.0f);
        const double cos1deg = std::cos(kPi / 180.0);
        for (int k = 0; k < n; ++k) {
            for (int i = 0; i < 4; ++i) {
                const RoadSample v = sampler.PlainSection(static_cast<std::size_t>(k), i);
                const CVector3D across = v[2] - v[3];
                const CVector3D radial = model.Centres()[static_cast<std::size_t>(4 * k + i)];
                const double cosine =
                    std::fabs(across.x * radial.x + across.z * radial.z) /
                    (std::hypot(across.x, across.y, across.z) * std::hypot(radial.x, radial.z));
                QVERIFY2(cosine > cos1deg, qPrintable(QStringLiteral("sample %1").arg(4 * k + i)));
            }
        }
    }

    // Uneven spacing makes the centre line double back on itself: with points at x = 0, 500, 501
    // and 1000, the segment from 500 to 501 runs x(t) = 500 + 250.5 h10 + h01 + 250 h11, whose
    // derivative 1495.5 t² − 1496 t + 250.5 is negative for 0.2126 < t < 0.7877: at d = 16 the
    // chords from steps 3 .. 12 run backwards. A road 2 wide has no edge that folds.
    void loopOfTheCentreLineFolds() {
        const std::vector<CVector3D> points = {{0, 0, 0},    {500, 0, 0},     {501, 0, 0},
                                               {1000, 0, 0}, {1000, 0, 1000}, {0, 0, 1000}};
        const CRoadModel model = Model(points, 16, 2);
        std::vector<std::int64_t> expected;
        for (std::int64_t i = 3; i <= 12; ++i) {
            expected.push_back(16 + i);
        }
        QCOMPARE(model.FoldSamples(), expected);
    }

    // On a circle of radius 100 a road 210 wide puts its outer edge on the inside 105 from the
    // centre line, past the centre of the circle, while its inner line (94.5) stays short of it:
    // only the kerb's outer edge runs backwards, at every sample. 180 wide (90): nothing folds.
    void outerKerbEdgeFolds() {
        const std::vector<CVector3D> circle = FlatCircle(24, 100.0);
        QCOMPARE(Model(circle, 8, 210).Readouts().folds, std::optional<std::int64_t>(192));
        QCOMPARE(Model(circle, 8, 180).Readouts().folds, std::optional<std::int64_t>(0));
        // A hairpin: tight turns at both ends fold, the straights do not.
        const std::vector<CVector3D> hairpin = {{-1000, 0, -30}, {0, 0, -30},   {1000, 0, -30},
                                                {1030, 0, 0},    {1000, 0, 30}, {0, 0, 30},
                                                {-1000, 0, 30},  {-1030, 0, 0}};
        const CRoadModel model = Model(hairpin, 16, 100);
        QVERIFY(!model.FoldSamples().empty());
        for (const std::int64_t j : model.FoldSamples()) {
            QVERIFY(std::fabs(model.Centres()[static_cast<std::size_t>(j)].x) > 900.0f);
        }
    }

    // The grade is rise over horizontal run: on the plane y = x / 2 it is 0.5 where the road runs
    // along x (and less elsewhere), not the 0.447 of rise over slope length.
    void gradeIsRiseOverRun() {
        std::vector<CVector3D> loop;
        auto add = [&](float x, float z) { loop.emplace_back(x, x / 2, z); };
        for (int i = 0; i < 10; ++i) {
            add(100.0f * static_cast<float>(i), 0.0f);
        }
        for (int i = 0; i < 10; ++i) {
            add(1000.0f - 100.0f * static_cast<float>(i), 300.0f);
        }
        const TrackReadouts r = Model(loop, 4, 20).Readouts();
        QVERIFY(std::fabs(*r.maxGrade - 0.5) < 1e-6);

        // A circle of radius 1000 at 4 samples a segment: a lap of 2π·1000, its tightest circle
        // of radius 1000, all within the roundings of sampling.
        const TrackReadouts c = Model(FlatCircle(64, 1000.0), 4, 100).Readouts();
        QVERIFY(std::fabs(*c.length / (2 * kPi * 1000.0) - 1.0) < 1e-4);
        QVERIFY(std::fabs(*c.minRadius / 1000.0 - 1.0) < 5e-3);
        QCOMPARE(*c.maxGrade, 0.0);
        // A straight there and back has only collinear triples, hence no circle.
        const std::vector<CVector3D> line = {{0, 0, 0}, {100, 0, 0}, {200, 0, 0}, {300, 0, 0}};
        QVERIFY(!Model(line, 1, 100).Readouts().minRadius);
    }

    // Every edit updates only the segments its points shape, and the model is then bit for bit
    // what a rebuild gives; the reported range holds every sample that changed. Shapes reach
    // further than coordinates: the monotone slope at a point reads two values either side.
    void editsMatchRebuild() {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> offset(-400.0f, 400.0f);
        std::uniform_real_distribution<float> width(10.0f, 120.0f);
        std::vector<CVector3D> points =
            Circle(40, 2000.0, [](double a) { return 30 * std::cos(3 * a); });
        std::vector<PointShape> shapes(points.size());
        const int d = 7;
        const float hw = 60.0f;
        CRoadModel live;
        live.Update(points, shapes, d, hw, TrackChange::Whole());
        auto check = [&](const char* what) {
            CRoadModel fresh;
            fresh.Update(points, shapes, d, hw, TrackChange::Whole());
            const QString difference = Difference(live, fresh);
            QVERIFY2(difference.isEmpty(),
                     qPrintable(QString::fromLatin1(what) + ": " + difference));
        };
        auto editAndCheck = [&](int first, int count, bool withRecord, bool shape) {
            const auto before = live.Sections();
            for (int k = first; k < first + count; ++k) {
                const auto at = static_cast<std::size_t>(k);
                if (shape) {
                    shapes[at] = {width(random), width(random), offset(random) / 40.0f};
                } else {
                    points[at] = points[at] + CVector3D(offset(random), 20, offset(random));
                }
            }
            const ModelChange change =
                withRecord ? live.Update(points, shapes, d, hw, TrackChange::Moved(first, count))
                           : live.Update(points, shapes, d, hw);
            QVERIFY(!change.all);
            const std::int64_t s = live.SampleCount();
            for (std::int64_t j = 0; j < s; ++j) {
                const bool inRange = (j - change.first + s) % s < change.count;
                const auto at = static_cast<std::size_t>(j);
                QVERIFY2(inRange || std::memcmp(&before[at], &live.Sections()[at],
                                                sizeof(RoadSample)) == 0,
                         qPrintable(QStringLiteral("sample %1 outside the range").arg(j)));
            }
            check(shape ? "shape" : "move");
        };
        for (const int k : {0, 1, 17, 38, 39}) {
            editAndCheck(k, 1, true, false);
        }
        editAndCheck(20, 3, false, false); // found by comparing with the model's copy
        editAndCheck(37, 3, true, false);
        // The first shape turns the whole road from one width to shaped.
        editAndCheck(10, 1, true, true);
        // Right widths in steps of 0.1 and 9.9 keep the slope limiter at work everywhere, so the
        // slope two points away from an edit changes too.
        for (std::size_t k = 0; k < shapes.size(); ++k) {
            shapes[k].widthRight = 5.0f + 10.0f * static_cast<float>(k / 2) + (k % 2 ? 0.1f : 0.0f);
        }
        live.Update(points, shapes, d, hw);
        check("steps");
        for (const int k : {0, 39, 25, 26}) {
            editAndCheck(k, 1, true, true);
        }
        editAndCheck(30, 2, false, true);
        editAndCheck(26, 1, true, false);

        // Points come and go at the start, in the middle and at the end, shaped or not.
        for (const int at : {0, 13, 40}) {
            points.insert(points.begin() + at, CVector3D(offset(random), 5, offset(random)));
            shapes.insert(shapes.begin() + at, PointShape{width(random), std::nullopt, 3.0f});
            live.Update(points, shapes, d, hw, TrackChange::Inserted(at));
            check("insert");
        }
        for (const int where : {0, 20, -1}) { // -1: the last point
            const int at = where < 0 ? static_cast<int>(points.size()) - 1 : where;
            points.erase(points.begin() + at);
            shapes.erase(shapes.begin() + at);
            live.Update(points, shapes, d, hw, TrackChange::Removed(at));
            check("remove");
        }
        points.insert(points.begin() + 5, 2, CVector3D(1, 2, 3));
        shapes.insert(shapes.begin() + 5, 2, PointShape{});
        live.Update(points, shapes, d, hw, TrackChange::Inserted(5, 2));
        check("insert two");
        // Back to one width everywhere: the road is laid out as one that never had a shape.
        shapes.assign(points.size(), PointShape{});
        live.Update(points, shapes, d, hw);
        QCOMPARE(Difference(live, Model(points, d, 120)), QString());
        // A record that does not match the points is not trusted.
        points.pop_back();
        shapes.pop_back();
        QVERIFY(live.Update(points, shapes, d, hw, TrackChange::Moved(3)).all);
        check("mismatched record");
        QCOMPARE(live.Update(points, shapes, d, hw).count, std::int64_t{0});
    }

    // The cross-section of a shaped road against hand-worked numbers. A right width of
    // 2, 4, 6, 8, 6, 4, 2, 2 at the points: between 4 and 6 the secants either side are 2, so
    // the slopes are 2 and the cubic is the straight line 4 + 2t; between 6 and 8 the slope at
    // 8 (a peak) is 0 and at 6 it is 2, so w(t) = 6 h00 + 2 h10 + 8 h01: 6.59375 at t = 1/4 and
    // 7.25 at t = 1/2. The right edge lies on the side direction × up, at that width.
    void shapedCrossSection() {
        const std::vector<CVector3D> circle = FlatCircle(8, 1000.0);
        std::vector<PointShape> shapes;
        for (const float w : {2.0f, 4.0f, 6.0f, 8.0f, 6.0f, 4.0f, 2.0f, 2.0f}) {
            shapes.push_back({std::nullopt, w, std::nullopt});
        }
        const CRoadModel model = Model(circle, 4, 10, shapes);
        const std::pair<std::int64_t, double> expected[] = {
            {4, 4.0}, {5, 4.5}, {6, 5.0}, {8, 6.0}, {9, 6.59375}, {10, 7.25}, {12, 8.0}};
        for (const auto& [j, w] : expected) {
            const RoadFrame f = model.Frame(j);
            const CVector3D right(-f.direction.z, 0.0f, f.direction.x); // direction × up
            const CVector3D e = f.vertices[2] - f.centre;
            QVERIFY2(std::fabs(Length(e) - w) < 2e-4, qPrintable(QString::number(j)));
            QVERIFY(e.x * right.x + e.z * right.z > 0.0f);
            QVERIFY(std::fabs(Length(f.vertices[0] - f.centre) - 0.9 * w) < 2e-4);
            QVERIFY(std::fabs(Length(f.vertices[3] - f.centre) - 5.0) < 2e-4);
            QCOMPARE(model.ShapeAt(j).right, w);
        }
        const TrackReadouts r = model.Readouts();
        QCOMPARE(*r.widthMin, 7.0);  // 5 + 2
        QCOMPARE(*r.widthMax, 13.0); // 5 + 8
        QCOMPARE(*r.bankMax, 0.0);

        // A bank of 10° lifts the left edge by 5 sin 10° = 0.868241 and lowers the right edge
        // as much, 5 cos 10° = 4.924039 out; the surface's normal leans by the same angle.
        const std::vector<PointShape> banked(8, PointShape{std::nullopt, std::nullopt, 10.0f});
        const CRoadModel bank = Model(circle, 4, 10, banked);
        for (const std::int64_t j : {0, 13, 31}) {
            const RoadFrame f = bank.Frame(j);
            const CVector3D e = f.vertices[2] - f.centre, g = f.vertices[3] - f.centre;
            QVERIFY(std::fabs(e.y + 0.868241f) < 1e-4f && std::fabs(g.y - 0.868241f) < 1e-4f);
            QVERIFY(std::fabs(std::hypot(e.x, e.z) - 4.924039f) < 2e-4f);
            QVERIFY(std::fabs(RoadUp(f.direction, f.side).y - 0.984808f) < 1e-6f);
        }
        QCOMPARE(*bank.Readouts().bankMax, 10.0);
        QCOMPARE(Info(circle, 4, 10, banked).value("bankMax").toDouble(), 10.0);

        // One width at every point lays the road out as a road of that width, bit for bit.
        const std::vector<PointShape> asDefault(8, PointShape{5.0f, 5.0f, 0.0f});
        QCOMPARE(Difference(Model(circle, 4, 10, asDefault), Model(circle, 4, 10)), QString());
        const std::vector<PointShape> wider(8, PointShape{8.0f, 8.0f, std::nullopt});
        QCOMPARE(Difference(Model(circle, 4, 10, wider), Model(circle, 4, 16)), QString());
    }

    // Folds are judged on the shaped edges. On a circle of radius 100 the right side
    // (direction × up) faces the centre: a right width of 105 crosses it and folds at every
    // sample, the same width on the left (outside) folds nowhere.
    void foldsOnShapedEdges() {
        const std::vector<CVector3D> circle = FlatCircle(24, 100.0);
        const std::vector<PointShape> inside(24, PointShape{5.0f, 105.0f, std::nullopt});
        const std::vector<PointShape> outside(24, PointShape{105.0f, 5.0f, std::nullopt});
        QCOMPARE(Model(circle, 8, 10, inside).Readouts().folds, std::optional<std::int64_t>(192));
        QCOMPARE(Model(circle, 8, 10, outside).Readouts().folds, std::optional<std::int64_t>(0));
    }

    // A tight corner at point k + 2: moving point k changes the radius measured at that corner,
    // at the first sample after the samples the move recomputes. At the end of the loop the
    // corner is point 0 or 1.
    void readoutAtTheEdgeOfAnUpdate() {
        for (const int k : {5, 14, 15}) {
            std::vector<CVector3D> points = FlatCircle(16, 3000.0);
            const auto corner = static_cast<std::size_t>((k + 2) % 16);
            points[corner] = points[corner] * 1.3f;
            CRoadModel live = Model(points, 8, 100);
            QCOMPARE(*live.Readouts().minRadiusSample, static_cast<std::int64_t>(8 * corner));
            const double before = *live.Readouts().minRadius;
            points[static_cast<std::size_t>(k)].x += 150.0f;
            live.Update(points, 8, HalfRoadWidth(100), TrackChange::Moved(k));
            const CRoadModel fresh = Model(points, 8, 100);
            QCOMPARE(*fresh.Readouts().minRadiusSample, static_cast<std::int64_t>(8 * corner));
            QVERIFY(*fresh.Readouts().minRadius != before);
            QCOMPARE(Difference(live, fresh), QString());
        }
    }

    void noRoad() {
        // Fewer than four points or no divisions: no samples and null geometry.
        const std::vector<CVector3D> three = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}};
        QCOMPARE(TrackInfoJson(3, 4, 100, Model(three, 4, 100)),
                 std::string("{\"points\":3,\"divisions\":4,\"width\":100,\"samples\":0,"
                             "\"length\":null,\"minRadius\":null,\"minRadiusSample\":null,"
                             "\"heightMin\":null,\"heightMax\":null,\"maxGrade\":null,"
                             "\"folds\":null,\"foldSamples\":null,\"widthMin\":null,"
                             "\"widthMax\":null,\"bankMax\":null}"));
        QCOMPARE(Info(kSquare, 0, 100).value("samples").toInteger(), 0);
        QVERIFY(Info(kSquare, -3, 100).value("length").isNull());
        // A division count from a file can be huge: nothing is allocated for it.
        const CRoadModel huge = Model(kSquare, 1 << 30, 100);
        QCOMPARE(huge.State(), RoadModelState::TooLarge);
        QCOMPARE(huge.SampleCount(), 0);
    }

    // The engine mesh is the model's road: the same cross-sections bit for bit, texture u from
    // the same arc length, however the rings are asked for; its triangles face up and its
    // texture repeats a whole number of times at about the surface's width.
    void engineMeshFromTheModel() {
        const double radius = 5000.0;
        // 1500 samples a segment: the rings start within a segment, past remembered arc lengths.
        for (const int d : {5, 1500}) {
            const std::vector<CVector3D> circle =
                Circle(64, radius, [](double a) { return 40 * std::sin(2 * a); });
            const CRoadModel model = Model(circle, d, 100);
            const CRoadMeshRings rings(circle, d, HalfRoadWidth(100));
            const std::int64_t s = rings.Samples();
            QCOMPARE(s, 64 * std::int64_t{d});
            QVERIFY(rings.Finite());
            QCOMPARE(rings.Length(), model.LapLength());
            // Lap 2π·5000 ≈ 31416, surface 90 wide: 349 repeats.
            QCOMPARE(rings.Repeats(), 349);
            RoadMeshPart road, kerb;
            const std::int64_t first = 2 * s / 3 + 7, count = s + 1 - first;
            road.positions.resize(static_cast<std::size_t>(6 * count));
            road.normals.resize(static_cast<std::size_t>(6 * count));
            road.uvs.resize(static_cast<std::size_t>(4 * count));
            kerb.positions.resize(static_cast<std::size_t>(12 * count));
            kerb.normals.resize(static_cast<std::size_t>(12 * count));
            kerb.uvs.resize(static_cast<std::size_t>(8 * count));
            rings.Fill(first, count, road, kerb);
            for (std::int64_t r = 0; r < count; ++r) {
                const auto j = static_cast<std::size_t>((first + r) % s);
                const RoadSample& v = model.Sections()[j];
                const auto at = static_cast<std::size_t>(r);
                QVERIFY(std::memcmp(&road.positions[6 * at], &v[0], 2 * sizeof(CVector3D)) == 0);
                QVERIFY(std::memcmp(&kerb.positions[12 * at], &v[2], sizeof(CVector3D)) == 0);
                QVERIFY(std::memcmp(&kerb.positions[12 * at + 9], &v[3], sizeof(CVector3D)) == 0);
                QCOMPARE(road.uvs[4 * at], TextureU(model.ArcLength(first + r), model.LapLength(),
                                                    349, first + r, s));
                QVERIFY(road.normals[6 * at + 1] > 0.99f);
            }
            QCOMPARE(road.uvs[4 * static_cast<std::size_t>(count - 1)], 349.0f);
        }
        // Every triangle faces up, and one texture square covers 90 × 90 world units of the
        // surface, varying only with the curvature (its edges lie 45 from a radius of 5000).
        const std::vector<CVector3D> circle = FlatCircle(64, radius);
        const CRoadMeshRings rings(circle, 5, HalfRoadWidth(100));
        const std::int64_t s = rings.Samples();
        RoadMeshPart parts[2];
        for (int p = 0; p < 2; ++p) {
            const auto vertices = static_cast<std::size_t>((s + 1) * (p == 0 ? 2 : 4));
            parts[p].positions.resize(3 * vertices);
            parts[p].normals.resize(3 * vertices);
            parts[p].uvs.resize(2 * vertices);
            parts[p].indices.resize(static_cast<std::size_t>(s * (p == 0 ? 6 : 12)));
        }
        rings.Fill(0, s + 1, parts[0], parts[1]);
        CRoadMeshRings::FillIndices(0, s, parts[0].indices.data(), parts[1].indices.data());
        for (const RoadMeshPart& part : parts) {
            auto at = [&](std::size_t corner, int c) {
                return static_cast<double>(part.positions[3 * part.indices[corner] + c]);
            };
            auto uv = [&](std::size_t corner, int c) {
                return static_cast<double>(part.uvs[2 * part.indices[corner] + c]);
            };
            for (std::size_t t = 0; t < part.indices.size(); t += 3) {
                // The y component of (b − a) × (c − a): positive when counter-clockwise from above.
                const double up = (at(t + 1, 2) - at(t, 2)) * (at(t + 2, 0) - at(t, 0)) -
                                  (at(t + 1, 0) - at(t, 0)) * (at(t + 2, 2) - at(t, 2));
                QVERIFY(up > 0.0);
                if (&part == &parts[0]) {
                    const double uvArea =
                        std::fabs((uv(t + 1, 0) - uv(t, 0)) * (uv(t + 2, 1) - uv(t, 1)) -
                                  (uv(t + 2, 0) - uv(t, 0)) * (uv(t + 1, 1) - uv(t, 1)));
                    QVERIFY(std::fabs(uvArea / up * 90.0 * 90.0 - 1.0) < 0.015);
                }
            }
        }
    }

    void meshRefusals() {
        QCOMPARE(CRoadMeshRings(kSquare, 0, 50.0f).Samples(), std::int64_t{0});
        QCOMPARE(CRoadMeshRings(kSquare, -3, 50.0f).Samples(), std::int64_t{0});
        // Finite points whose spline overflows are caught, not written as infinities.
        std::vector<CVector3D> huge = kSquare;
        huge[0] = CVector3D(-3e38f, 0.0f, 0.0f);
        huge[2] = CVector3D(3e38f, 0.0f, 0.0f);
        QVERIFY(!CRoadMeshRings(huge, 2, 50.0f).Finite());
        // A road far out whose every vertex still is a float is finite, however close to the
        // end of the range, 3.4e38 (the centre line reaches 1.13e38 here); a width that carries
        // its edges past it is caught.
        std::vector<CVector3D> far = kSquare;
        for (CVector3D& p : far) {
            p = CVector3D(p.x * 1e35f, p.y, p.z * 1e35f);
        }
        QVERIFY(CRoadMeshRings(far, 2, 1e38f).Finite());
        QVERIFY(!CRoadMeshRings(far, 2, 3e38f).Finite());
        auto cancel = [](std::uint64_t, std::uint64_t) { return false; };
        const CRoadMeshRings cancelled(kSquare, 4, 50.0f, cancel);
        QVERIFY(cancelled.Cancelled());
        QCOMPARE(cancelled.Samples(), std::int64_t{0});
    }

    void commandLine() {
        QTemporaryDir dir;
        const QString track = dir.filePath(QStringLiteral("circle.rolvet"));
        QVERIFY(!SaveTrackFile(track.toStdString(), 16, 100, FlatCircle(64, 1000.0)));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(ROLVET_EXECUTABLE), {QStringLiteral("--info"), track});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray out = process.readAllStandardOutput();
        QVERIFY(out.endsWith('\n') && out.count('\n') == 1);
        const QJsonObject info = QJsonDocument::fromJson(out).object();
        QCOMPARE(info.keys(),
                 QStringList({"bankMax", "divisions", "foldSamples", "folds", "heightMax",
                              "heightMin", "length", "maxGrade", "minRadius", "minRadiusSample",
                              "points", "samples", "width", "widthMax", "widthMin"}));
        QCOMPARE(info.value("samples").toInteger(), 1024);
        // A track without shapes is as wide as the file says, everywhere, and level.
        QCOMPARE(info.value("widthMin").toDouble(), 100.0);
        QCOMPARE(info.value("widthMax").toDouble(), 100.0);
        QCOMPARE(info.value("bankMax").toDouble(), 0.0);
        QVERIFY(std::fabs(info.value("length").toDouble() / (2 * kPi * 1000.0) - 1.0) < 1e-4);

        // An unreadable file: the editor's message, exit status 1, nothing on stdout.
        const QString missing = dir.filePath(QStringLiteral("missing.rolvet"));
        process.start(QStringLiteral(ROLVET_EXECUTABLE), {QStringLiteral("--info"), missing});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
                 missing + QString::fromUtf8(" が見つかりませんでした。\n"));
        QVERIFY(process.readAllStandardOutput().isEmpty());

        // A full disk behind standard output is a failure with its cause, not a success.
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.start(QStringLiteral(ROLVET_EXECUTABLE), {QStringLiteral("--info"), track});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
                 QString::fromUtf8("標準出力 へのアクセス中にディスクがいっぱいになりました。\n"));
    }
};

ROLVET_TEST_GUILESS_MAIN(TestRoadModel)
#include "tst_roadmodel.moc"
