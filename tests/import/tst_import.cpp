// Centre lines read from CSV, GPX and GeoJSON, checked against outside facts (GeographicLib's
// geodesic for geographic input, the circle's circumference, the generated circuit's figures),
// every refusal with the line it names, and "rolvet --import".
#include "GeneratedCircuit.h"
#include "IsolatedHome.h"
#include "export/RoadModel.h"
#include "import/PolylineImport.h"
#include "import/TrackFit.h"
#include "track/MonotoneCubic.h"
#include "track/TrackFile.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

using namespace rolvet;

namespace {

constexpr double kPi = std::numbers::pi;

ImportResult Parse(const std::string& text, ImportFormat format) {
    return ParseImport(text, format, "in");
}

double PlanDistance(const std::array<double, 3>& a, const std::array<double, 3>& b) {
    return std::hypot(a[0] - b[0], a[2] - b[2]);
}

// How far the fitted road's centre line (sampled densely, independently of the fit's own
// measure) lies from each input point: the largest plan distance from a point to the nearest
// chord, and the largest width difference at the nearest sample.
struct Deviation {
    double plan = 0.0, width = 0.0;
};
Deviation MeasureFit(const ImportedLine& line, const TrackData& track) {
    constexpr int kDense = 64;
    CRoadModel model;
    model.Update(track.vertices, kDense, 0.0f);
    const auto& c = model.Centres();
    const std::size_t s = c.size();
    std::vector<double> left, right;
    for (const PointShape& shape : track.shapes) {
        left.push_back(*shape.widthLeft);
        right.push_back(*shape.widthRight);
    }
    const MonotoneLoop wl(left), wr(right);
    Deviation worst;
    for (std::size_t i = 0; i < line.points.size(); ++i) {
        const auto& q = line.points[i];
        double best = 1e300;
        std::size_t at = 0;
        for (std::size_t j = 0; j < s; ++j) {
            const double ax = c[j].x, az = c[j].z;
            const double dx = double(c[(j + 1) % s].x) - ax, dz = double(c[(j + 1) % s].z) - az;
            const double len2 = dx * dx + dz * dz;
            double t = len2 > 0 ? ((q[0] - ax) * dx + (q[2] - az) * dz) / len2 : 0.0;
            t = std::clamp(t, 0.0, 1.0);
            const double d = std::hypot(ax + t * dx - q[0], az + t * dz - q[2]);
            if (d < best) {
                best = d;
                at = j;
            }
        }
        worst.plan = std::max(worst.plan, best);
        if (!left.empty()) {
            const std::size_t k = at / kDense;
            const int step = static_cast<int>(at % kDense);
            worst.width =
                std::max({worst.width, std::fabs(wl.Sample(k, step, kDense) - line.widthLeft[i]),
                          std::fabs(wr.Sample(k, step, kDense) - line.widthRight[i])});
        }
    }
    return worst;
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT

private slots:
    // The four-column circuit format and plain x,y,z columns: map north becomes the plan's −z,
    // the third column of four is the right width, a closing row is dropped.
    void csvColumns() {
        const ImportResult circuit = Parse("# x_m,y_m,w_tr_right_m,w_tr_left_m\n"
                                           "0,0,4.5,5.5\n"
                                           "100,0,4,5\r\n"
                                           "100,100,4,5\n"
                                           "# a comment\n"
                                           "\n"
                                           "0,100,4,5\n"
                                           "0.0005,0,4.5,5.5\n",
                                           ImportFormat::Csv);
        QVERIFY2(circuit.Ok(), circuit.message.c_str());
        QCOMPARE(circuit.line.points.size(), std::size_t{4});
        QCOMPARE(circuit.line.points[2], (std::array<double, 3>{100, 0, -100}));
        QCOMPARE(circuit.line.widthRight[0], 4.5);
        QCOMPARE(circuit.line.widthLeft[0], 5.5);

        // Semicolons with decimal commas and a header of names; the closing row lies within a
        // tenth of the mean spacing (10 m) of the first.
        const ImportResult plain =
            Parse("x;y;z\n0;0;1,5\n100;0;2\n100;100;2\n0;100;2\n5;3;1\n", ImportFormat::Csv);
        QVERIFY2(plain.Ok(), plain.message.c_str());
        QCOMPARE(plain.line.points.size(), std::size_t{4});
        QCOMPARE(plain.line.points[0][1], 1.5);
        QVERIFY(plain.line.widthLeft.empty());
        // A fifth row farther away is a point of the loop.
        QCOMPARE(Parse("0,0\n100,0\n100,100\n0,100\n0,50\n", ImportFormat::Csv).line.points.size(),
                 std::size_t{5});
    }

    // Every refusal names the file and the line, and yields no points.
    void refusals_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const int csv = int(ImportFormat::Csv), gpx = int(ImportFormat::Gpx),
                  json = int(ImportFormat::GeoJson);
        const QString square = "0,0\n1,0\n1,1\n";
        QTest::newRow("csv word") << csv << "x,y\n0,0\n1,abc\n1,1\n0,1\n"
                                  << "in の 3 行目に数値でない値があります。";
        QTest::newRow("csv nan") << csv << square + "nan,1\n"
                                 << "in の 4 行目に無限大";
        QTest::newRow("csv inf") << csv << square + "0,-inf\n"
                                 << "in の 4 行目に無限大";
        QTest::newRow("csv overflow") << csv << square + "1e999,1\n"
                                      << "in の 4 行目に無限大";
        QTest::newRow("csv columns") << csv << square + "0,1,2,3\n"
                                     << "in の 4 行目の列の数";
        QTest::newRow("csv five") << csv << "1,2,3,4,5\n"
                                  << "in の 1 行目の列の数";
        QTest::newRow("csv width") << csv << "0,0,1,1\n1,0,1,-1\n"
                                   << "in の 2 行目の幅が負";
        QTest::newRow("too few") << csv << "0,0\n1,0\n1,1\n1,0\n0,0\n"
                                 << "in には異なる点が 3 個しかありません。";
        QTest::newRow("gpx syntax")
            << gpx << "<gpx>\n<trk><trkseg>\n<trkpt lat='1' lon='2'>\n</gpx>"
            << "in の 4 行目が読めません。";
        QTest::newRow("gpx lat") << gpx
                                 << "<gpx><trk><trkseg>\n\n<trkpt lon='2'/></trkseg></trk></gpx>"
                                 << "in の 3 行目の点に緯度か経度がありません。";
        QTest::newRow("gpx ele")
            << gpx << "<gpx><rte>\n<rtept lat='1' lon='2'><ele>x</ele></rtept></rte></gpx>"
            << "in の 2 行目に数値でない値";
        QTest::newRow("gpx range") << gpx << "<gpx><rte>\n<rtept lat='91' lon='2'/></rte></gpx>"
                                   << "in の 2 行目の緯度か経度が範囲外";
        QTest::newRow("gpx empty") << gpx << "<gpx><wpt lat='1' lon='1'/></gpx>"
                                   << "in に中心線がありません。";
        QTest::newRow("json syntax")
            << json << "{\"type\": \"LineString\",\n\"coordinates\": [[1,2],]}"
            << "in の 2 行目が読めません。";
        QTest::newRow("json string")
            << json << "{\"type\": \"LineString\", \"coordinates\": [\n[1, 2],\n[\"3\", 4]]}"
            << "in の 3 行目に数値でない値";
        QTest::newRow("json huge")
            << json << "{\"type\": \"LineString\",\n\"coordinates\": [[1e999, 2]]}"
            << "in の 2 行目に無限大";
        QTest::newRow("json point") << json << "{\"type\": \"Point\", \"coordinates\": [1, 2]}"
                                    << "in に中心線がありません。";
    }
    void refusals() {
        QFETCH(int, format);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const ImportResult result = Parse(text.toStdString(), ImportFormat(format));
        QVERIFY2(QString::fromStdString(result.message).startsWith(expected),
                 result.message.c_str());
        QVERIFY(result.line.points.empty());
    }

    // Files: one over 50 MiB is refused unread, a missing one with its cause; a name without a
    // known extension is read by its contents.
    void files() {
        QTemporaryDir dir;
        const std::filesystem::path big = dir.filePath("big.csv").toStdString();
        std::ofstream(big).put('0');
        std::filesystem::resize_file(big, 50 * 1024 * 1024 + 1);
        QVERIFY(QString::fromStdString(ReadImportFile(big).message)
                    .endsWith("50 MB を超えているため読み込めません。"));
        std::filesystem::resize_file(big, 50 * 1024 * 1024); // read: one row of no number
        QVERIFY(QString::fromStdString(ReadImportFile(big).message).contains("異なる点が 0 個"));
        QVERIFY(
            QString::fromStdString(ReadImportFile(dir.filePath("none.gpx").toStdString()).message)
                .endsWith("が見つかりませんでした。"));
        const std::filesystem::path dat = dir.filePath("trace.dat").toStdString();
        std::ofstream(dat)
            << "<gpx><rte><rtept lat='0' lon='0'/><rtept lat='0.01' lon='0'/>"
               "<rtept lat='0.01' lon='0.01'/><rtept lat='0' lon='0.01'/></rte></gpx>";
        const ImportResult trace = ReadImportFile(dat);
        QVERIFY2(trace.Ok(), trace.message.c_str());
        QCOMPARE(trace.line.points.size(), std::size_t{4});
    }

    // A square near latitude 60° with 400 m sides, its corners and points every 50 m along its
    // sides found with GeographicLib's geodesic: the projected sides have the geodesic's length,
    // north runs to −z, and GPX and GeoJSON give the same points.
    void geographicSquare() {
        const GeographicLib::Geodesic& wgs84 = GeographicLib::Geodesic::WGS84();
        std::vector<std::array<double, 2>> corners = {{60.0, 10.0}};
        for (const double azimuth : {0.0, 90.0, 180.0}) {
            double lat = 0.0, lon = 0.0;
            wgs84.Direct(corners.back()[0], corners.back()[1], azimuth, 400.0, lat, lon);
            corners.push_back({lat, lon});
        }
        std::string gpx = "<?xml version='1.0'?>\n<gpx version='1.1' "
                          "xmlns='http://www.topografix.com/GPX/1/1'><trk><trkseg>\n";
        std::string json = R"({"type":"FeatureCollection","features":[{"type":"Feature",)"
                           R"("geometry":{"type":"Polygon","coordinates":[[)";
        char row[200];
        for (int c = 0; c <= 4; ++c) { // back to the first corner, which closes the loop
            const auto& a = corners[c % 4];
            const auto& b = corners[(c + 1) % 4];
            const GeographicLib::GeodesicLine side = wgs84.InverseLine(a[0], a[1], b[0], b[1]);
            for (int k = 0; k < (c == 4 ? 1 : 8); ++k) {
                double lat = 0.0, lon = 0.0;
                side.Position(side.Distance() * k / 8, lat, lon);
                std::snprintf(row, sizeof row,
                              "<trkpt lat='%.12f' lon='%.12f'><ele>%d</ele></trkpt>\n", lat, lon,
                              100 + c);
                gpx += row;
                std::snprintf(row, sizeof row, "%s[%.12f,%.12f,%d]", json.back() == '[' ? "" : ",",
                              lon, lat, 100 + c);
                json += row;
            }
        }
        gpx += "</trkseg></trk></gpx>\n";
        json += "]]}}]}";
        const ImportResult fromGpx = Parse(gpx, ImportFormat::Gpx);
        const ImportResult fromJson = Parse(json, ImportFormat::GeoJson);
        QVERIFY2(fromGpx.Ok(), fromGpx.message.c_str());
        QVERIFY2(fromJson.Ok(), fromJson.message.c_str());
        const auto& p = fromGpx.line.points;
        QCOMPARE(p.size(), std::size_t{32});
        for (int c = 0; c < 4; ++c) {
            double geodesic = 0.0;
            wgs84.Inverse(corners[c][0], corners[c][1], corners[(c + 1) % 4][0],
                          corners[(c + 1) % 4][1], geodesic);
            const double projected = PlanDistance(p[8 * c], p[(8 * c + 8) % 32]);
            QVERIFY2(
                std::fabs(projected - geodesic) < 0.005,
                qPrintable(
                    QString("side %1: %2 m, geodesic %3 m").arg(c).arg(projected).arg(geodesic)));
            QCOMPARE(p[8 * c][1], double(c)); // elevation above the first point's
        }
        QVERIFY(std::fabs(p[0][0]) < 1e-9 && std::fabs(p[0][2]) < 1e-9);
        QVERIFY(p[8][2] < -399.0); // the first side runs north
        QVERIFY(p[16][0] > 399.0); // then east
        for (std::size_t i = 0; i < p.size(); ++i) {
            QVERIFY(PlanDistance(p[i], fromJson.line.points[i]) < 1e-6);
        }
    }

    // A circle of radius 100 m sampled every 5 m: few points, a lap within 0.1 % of 2π·100, every
    // input point within the tolerance of the road, no folds.
    void circleFit() {
        ImportedLine circle;
        const int n = 126;
        for (int i = 0; i < n; ++i) {
            const double a = 2.0 * kPi * i / n;
            circle.points.push_back({100.0 * std::cos(a), 0.0, 100.0 * std::sin(a)});
        }
        const FitResult fit = FitTrack(circle);
        QVERIFY(fit.report.withinTolerance);
        QVERIFY2(fit.track.vertices.size() <= 12,
                 qPrintable(QString::number(fit.track.vertices.size())));
        CRoadModel model;
        model.Update(fit.track.vertices, fit.track.divisionCount, 0.0f);
        const double lap = model.LapLength();
        QVERIFY2(std::fabs(lap - 2.0 * kPi * 100.0) < 0.001 * 2.0 * kPi * 100.0,
                 qPrintable(QString::number(lap)));
        QVERIFY(MeasureFit(circle, fit.track).plan <= 0.5);
        QCOMPARE(model.Readouts().folds.value_or(-1), std::int64_t{0});
        const double spacing = lap / double(model.SampleCount());
        QVERIFY2(spacing >= 2.0 && spacing <= 3.0, qPrintable(QString::number(spacing)));
    }

    // The generated 7 km circuit (every 5 m, varying widths): at most 130 points, every point
    // within 0.5 m, widths within 1 m, samples 2-3 m apart, no folds at the input's widths; the
    // plain import keeping every row has 1,400 points.
    void generatedCircuit() {
        const ImportedLine line = test::GeneratedCircuit();
        const FitResult fit = FitTrack(line);
        const TrackData& track = fit.track;
        QVERIFY2(track.vertices.size() <= 130, qPrintable(QString::number(track.vertices.size())));
        const Deviation d = MeasureFit(line, track);
        QVERIFY2(d.plan <= 0.5, qPrintable(QString::number(d.plan)));
        QVERIFY2(d.width <= 1.0, qPrintable(QString::number(d.width)));
        CRoadModel model;
        model.Update(track.vertices, track.divisionCount, 6.0f);
        const double spacing = model.LapLength() / double(model.SampleCount());
        QVERIFY2(spacing >= 2.0 && spacing <= 3.0, qPrintable(QString::number(spacing)));
        QVERIFY2(std::fabs(model.LapLength() - 7000.0) < 7.0,
                 qPrintable(QString::number(model.LapLength())));
        QCOMPARE(model.Readouts().folds.value_or(-1), std::int64_t{0});
        QCOMPARE(KeepEveryPoint(line).vertices.size(), std::size_t{1400});
    }

    // rolvet --import: silent success, a track file that opens; failures on standard error with
    // exit 1 and nothing written; usage errors exit 2.
    void commandLine() {
        QTemporaryDir dir;
        const auto run = [&](const QStringList& args, QByteArray* err = nullptr) {
            QProcess process;
            process.start(QStringLiteral(ROLVET_EXECUTABLE), args);
            process.waitForFinished(120000);
            const QByteArray out = process.readAllStandardOutput();
            if (err) {
                *err = process.readAllStandardError();
            }
            return out.isEmpty() && process.exitStatus() == QProcess::NormalExit
                       ? process.exitCode()
                       : -1;
        };
        const QString in = dir.filePath("circuit.csv"), out = dir.filePath("out.rolvet");
        {
            std::ofstream csv(in.toStdString());
            csv << "# x_m,y_m,w_tr_right_m,w_tr_left_m\n";
            for (int i = 0; i < 200; ++i) {
                const double a = 2.0 * kPi * i / 200;
                csv << 300 * std::cos(a) << ',' << 200 * std::sin(a) << ",5,6\n";
            }
        }
        QByteArray err;
        QCOMPARE(run({"--import", in, out, "--tolerance", "0.2"}, &err), 0);
        QVERIFY(err.isEmpty());
        TrackData track;
        QVERIFY(!LoadTrackFile(out.toStdString(), track));
        QVERIFY(track.vertices.size() >= 4 && track.vertices.size() < 40);
        QCOMPARE(track.roadWidth, 11);
        QCOMPARE(*track.shapes.at(0).widthLeft, 6.0f);

        const QString bad = dir.filePath("bad.csv"), none = dir.filePath("none.rolvet");
        std::ofstream(bad.toStdString()) << "0,0\n1,0\n1,x\n";
        QCOMPARE(run({"--import", bad, none}, &err), 1);
        QVERIFY(QString::fromUtf8(err).contains(QString::fromUtf8("の 3 行目")));
        QVERIFY(!QFile::exists(none));
        for (const QStringList& usage : {QStringList{"--import", in},
                                         {"--import", in, dir.filePath("x.mqo")},
                                         {"--import", in, none, "--tolerance", "0"},
                                         {"--import", in, none, "--width-tolerance", "abc"}}) {
            QCOMPARE(run(usage), 2);
        }
        QVERIFY(!QFile::exists(none));
    }
};

ROLVET_TEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
