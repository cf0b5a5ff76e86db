// Track readouts against analytic values, folds of tight corners, edit-by-edit updates against a
// full rebuild, and "rolvet --info".
#include "IsolatedHome.h"
#include "TestUtil.h"
#include "common/Strings.h"
#include "export/RoadRibbon.h"
#include "export/TrackModel.h"
#include "track/TrackFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

using namespace rolvet;

namespace {

constexpr double kPi = std::numbers::pi;

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

// Samples, mesh and readouts bit for bit (the texture coordinates only once settled).
bool SameModel(const CTrackModel& a, const CTrackModel& b, bool texture) {
    const RoadMesh& ma = a.Mesh();
    const RoadMesh& mb = b.Mesh();
    auto same = [](const auto& x, const auto& y) {
        return x.size() == y.size() &&
               std::memcmp(x.data(), y.data(), x.size() * sizeof(x[0])) == 0;
    };
    if (a.Folded() != b.Folded() || !same(ma.centre, mb.centre) ||
        !same(ma.road.positions, mb.road.positions) ||
        !same(ma.kerb.positions, mb.kerb.positions) || !same(ma.road.normals, mb.road.normals) ||
        !same(ma.kerb.normals, mb.kerb.normals)) {
        return false;
    }
    if (texture && (!same(ma.road.uvs, mb.road.uvs) || !same(ma.kerb.uvs, mb.kerb.uvs))) {
        return false;
    }
    const TrackReadouts ra = a.Readouts(), rb = b.Readouts();
    return ra.length == rb.length && ra.minRadius == rb.minRadius &&
           ra.minRadiusSample == rb.minRadiusSample && ra.heightMin == rb.heightMin &&
           ra.heightMax == rb.heightMax && ra.maxGrade == rb.maxGrade && ra.folds == rb.folds;
}

QJsonObject Info(const std::vector<CVector3D>& points, int divisions, int width) {
    CTrackModel model;
    model.Update(points, divisions, HalfRoadWidth(width));
    const std::string json = TrackInfoJson(points.size(), divisions, width, model);
    return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
}

} // namespace

class TestTrackModel : public QObject {
    Q_OBJECT

private slots:
    void circleReadouts() {
        // 64 points on a circle of radius 1000, 4 samples a segment: the sampled lap is a
        // polygon of 256 sides inscribed in (very nearly) that circle. The spline bends a
        // little less at its control points, and the samples are single precision.
        const double r = 1000.0;
        const QJsonObject info = Info(FlatCircle(64, r), 4, 100);
        QCOMPARE(info.value("samples").toInteger(), 256);
        QVERIFY(std::fabs(info.value("length").toDouble() / (2 * kPi * r) - 1.0) < 1e-4);
        QVERIFY(std::fabs(info.value("minRadius").toDouble() / r - 1.0) < 5e-3);
        QCOMPARE(info.value("heightMin").toDouble(), 0.0);
        QCOMPARE(info.value("heightMax").toDouble(), 0.0);
        QCOMPARE(info.value("maxGrade").toDouble(), 0.0);
        QCOMPARE(info.value("folds").toInteger(), 0);
        QCOMPARE(info.value("foldSamples").toArray().size(), 0);

        // A lap that climbs and falls by y = 100 sin(a): steepest grade dy/ds = 100 / r.
        const QJsonObject wave =
            Info(Circle(64, r, [](double a) { return 100.0 * std::sin(a); }), 16, 100);
        QVERIFY(std::fabs(wave.value("maxGrade").toDouble() / 0.1 - 1.0) < 1e-2);
        QVERIFY(std::fabs(wave.value("heightMax").toDouble() - 100.0) < 0.1);
        QVERIFY(std::fabs(wave.value("heightMin").toDouble() + 100.0) < 0.1);

        // A straight there and back has only collinear triples, hence no circle.
        const std::vector<CVector3D> line = {{0, 0, 0}, {100, 0, 0}, {200, 0, 0}, {300, 0, 0}};
        const QJsonObject flat = Info(line, 1, 100);
        QVERIFY(flat.value("minRadius").isNull());
        QVERIFY(flat.value("minRadiusSample").isNull());
    }

    void folds() {
        // On a circle of radius 100, a road 300 wide puts its inner edges past the centre, so
        // they run backwards at every sample; a road 100 wide never folds.
        const std::vector<CVector3D> small = FlatCircle(12, 100.0);
        QCOMPARE(Info(small, 8, 300).value("folds").toInteger(), 96);
        QCOMPARE(Info(small, 8, 100).value("folds").toInteger(), 0);

        // A hairpin: two long straights joined by tight turns of radius about 30 at both ends.
        // Only samples at the turns fold; the straights stay clean.
        const std::vector<CVector3D> hairpin = {{-1000, 0, -30}, {0, 0, -30},   {1000, 0, -30},
                                                {1030, 0, 0},    {1000, 0, 30}, {0, 0, 30},
                                                {-1000, 0, 30},  {-1030, 0, 0}};
        const QJsonObject info = Info(hairpin, 16, 100);
        const QJsonArray where = info.value("foldSamples").toArray();
        QVERIFY(where.size() > 0);
        QCOMPARE(info.value("folds").toInteger(), where.size());
        CTrackModel model;
        model.Update(hairpin, 16, HalfRoadWidth(100));
        for (const QJsonValue& j : where) {
            QVERIFY(std::fabs(model.Centres()[static_cast<std::size_t>(j.toInteger())].x) > 900.0f);
        }
        // The tightest circle lies in a turn.
        const auto tightest = static_cast<std::size_t>(info.value("minRadiusSample").toInteger());
        QVERIFY(std::fabs(model.Centres()[tightest].x) > 1000.0f);
        QVERIFY(info.value("minRadius").toDouble() < 50.0);
    }

    void noRoad() {
        // Fewer than four points or no divisions: no samples and null geometry.
        const std::vector<CVector3D> three = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}};
        CTrackModel model;
        model.Update(three, 4, 50.0f);
        QCOMPARE(TrackInfoJson(3, 4, 100, model),
                 std::string("{\"points\":3,\"divisions\":4,\"width\":100,\"samples\":0,"
                             "\"length\":null,\"minRadius\":null,\"minRadiusSample\":null,"
                             "\"heightMin\":null,\"heightMax\":null,\"maxGrade\":null,"
                             "\"folds\":null,\"foldSamples\":null}"));
        const std::vector<CVector3D> four = FlatCircle(4, 10.0);
        QCOMPARE(Info(four, 0, 100).value("samples").toInteger(), 0);
        QVERIFY(Info(four, -3, 100).value("length").isNull());

        // A division count from a file can be huge: nothing is allocated for it.
        model.Update(four, 1 << 30, 50.0f);
        QCOMPARE(model.State(), TrackModelState::TooLarge);
        QCOMPARE(model.SampleCount(), 0);
    }

    void incrementalEqualsRebuild() {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> coordinate(-500.0f, 500.0f);
        std::vector<CVector3D> points =
            Circle(40, 2000.0, [](double a) { return 30 * std::cos(a); });
        const int d = 7;
        CTrackModel live;
        live.Update(points, d, 60.0f);

        // Single moves rebuild 4·d samples plus the one before, whose fold looks ahead; the
        // first and last points wrap round the lap.
        for (const std::size_t k :
             {std::size_t{0}, std::size_t{1}, std::size_t{17}, std::size_t{38}, std::size_t{39}}) {
            points[k].x += coordinate(random);
            points[k].z += coordinate(random);
            const ModelChange range = live.Update(points, d, 60.0f);
            QVERIFY(!range.all);
            QCOMPARE(range.count, 4 * d + 1);
            CTrackModel fresh;
            fresh.Update(points, d, 60.0f);
            QVERIFY2(SameModel(live, fresh, false), qPrintable(QStringLiteral("point %1").arg(k)));
        }
        // Several neighbouring points at once (a height edit through the dialog is one).
        points[20].y = 75.0f;
        points[22].x -= 300.0f;
        QCOMPARE(live.Update(points, d, 60.0f).count, 6 * d + 1);
        // Nothing changed: nothing rebuilt. Once settled, the texture runs as if built afresh.
        QCOMPARE(live.Update(points, d, 60.0f).count, 0);
        live.SettleTexture();
        CTrackModel settled;
        settled.Update(points, d, 60.0f);
        QVERIFY(SameModel(live, settled, true));
        // Other width, more points: a full rebuild.
        QVERIFY(live.Update(points, d, 61.0f).all);
        points.push_back({0, 0, 0});
        QVERIFY(live.Update(points, d, 61.0f).all);
        CTrackModel fresh;
        fresh.Update(points, d, 61.0f);
        QVERIFY(SameModel(live, fresh, true));
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
        QCOMPARE(info.keys(), QStringList({"divisions", "foldSamples", "folds", "heightMax",
                                           "heightMin", "length", "maxGrade", "minRadius",
                                           "minRadiusSample", "points", "samples", "width"}));
        QCOMPARE(info.value("points").toInteger(), 64);
        QCOMPARE(info.value("samples").toInteger(), 1024);
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

ROLVET_TEST_GUILESS_MAIN(TestTrackModel)
#include "tst_trackmodel.moc"
