// The triangle mesh of the road shared by the engine formats and the preview.
#include "IsolatedHome.h"
#include "TestUtil.h"
#include "export/MqoWriter.h"
#include "export/RoadMesh.h"
#include "export/RoadRibbon.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

using namespace rolvet;

namespace {

const std::vector<CVector3D> kSquare = {{0, 0, 0}, {1000, 0, 0}, {1000, 0, 1000}, {0, 0, 1000}};

std::vector<CVector3D> Circle(int n, double radius) {
    std::vector<CVector3D> points;
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * std::numbers::pi * i / n;
        points.emplace_back(static_cast<float>(radius * std::cos(a)), 0.0f,
                            static_cast<float>(radius * std::sin(a)));
    }
    return points;
}

CVector3D At(const std::vector<float>& values, std::uint32_t vertex) {
    return {values[3 * vertex], values[3 * vertex + 1], values[3 * vertex + 2]};
}

// Twice the signed area of a triangle seen from above (+y): positive when counter-clockwise.
double UpArea(const RoadMeshPart& part, std::size_t t) {
    const CVector3D a = At(part.positions, part.indices[3 * t]);
    const CVector3D b = At(part.positions, part.indices[3 * t + 1]);
    const CVector3D c = At(part.positions, part.indices[3 * t + 2]);
    const double ux = b.x - a.x, uz = b.z - a.z, vx = c.x - a.x, vz = c.z - a.z;
    return uz * vx - ux * vz; // the y component of (b − a) × (c − a)
}

double UvArea(const RoadMeshPart& part, std::size_t t) {
    auto uv = [&](int corner) {
        const std::uint32_t v = part.indices[3 * t + corner];
        return std::pair<double, double>(part.uvs[2 * v], part.uvs[2 * v + 1]);
    };
    const auto [u0, v0] = uv(0);
    const auto [u1, v1] = uv(1);
    const auto [u2, v2] = uv(2);
    return std::fabs((u1 - u0) * (v2 - v0) - (u2 - u0) * (v1 - v0));
}

} // namespace

class TestRoadMesh : public QObject {
    Q_OBJECT

private slots:
    // The mesh holds the very vertices of the Metasequoia model: its vertex lines, printed the
    // same way, are those of the golden file.
    void sameVerticesAsModel() {
        RoadMesh mesh;
        QCOMPARE(BuildRoadMesh(kSquare, 1, HalfRoadWidth(100), mesh), WriteOutcome::Written);
        QCOMPARE(mesh.road.indices.size() + mesh.kerb.indices.size(), std::size_t{3 * 6 * 4});
        const QByteArray golden =
            testutil::ReadAll(QStringLiteral(ROLVET_TEST_DATA_DIR "/square.mqo"));
        QVERIFY(!golden.isEmpty());
        auto line = [](const CVector3D& v) {
            char buffer[3 * kMaxFixedLength + 8];
            char* p = buffer;
            *p++ = '\t';
            *p++ = '\t';
            for (float c : {v.x, v.y, v.z}) {
                p = FormatFixed6(p, c);
                *p++ = ' ';
            }
            p[-1] = '\r';
            *p++ = '\n';
            return QByteArray(buffer, p - buffer);
        };
        QByteArray vertexLines;
        for (std::uint32_t j = 0; j < 4; ++j) {
            // A, B from the road part; E, G from the kerb part.
            vertexLines +=
                line(At(mesh.road.positions, 2 * j)) + line(At(mesh.road.positions, 2 * j + 1)) +
                line(At(mesh.kerb.positions, 4 * j)) + line(At(mesh.kerb.positions, 4 * j + 3));
        }
        QVERIFY(golden.contains("\tvertex 16 {\r\n" + vertexLines + "\t}\r\n"));
    }

    // Every triangle faces up, every normal is a unit vector pointing up, and the texture
    // repeats a whole number of times per lap at about the surface width.
    void facesUpWithSquareTexels() {
        const double radius = 5000.0;
        const std::vector<CVector3D> circle = Circle(64, radius);
        RoadMesh mesh;
        QCOMPARE(BuildRoadMesh(circle, 5, HalfRoadWidth(100), mesh), WriteOutcome::Written);
        QCOMPARE(mesh.samples, std::int64_t{320});
        QCOMPARE(mesh.road.indices.size() / 3 + mesh.kerb.indices.size() / 3,
                 std::size_t{6 * 64 * 5});
        QVERIFY(mesh.finite);
        for (const RoadMeshPart* part : {&mesh.road, &mesh.kerb}) {
            for (std::size_t t = 0; t < part->indices.size() / 3; ++t) {
                QVERIFY(UpArea(*part, t) > 0.0);
            }
            for (std::uint32_t v = 0; v < part->VertexCount(); ++v) {
                const CVector3D n = At(part->normals, v);
                QVERIFY(std::fabs(std::hypot(n.x, n.y, n.z) - 1.0f) < 1e-6f);
                QVERIFY(n.y > 0.999f);
            }
        }
        // Lap 2π·5000 ≈ 31416, surface 90 wide: 349 repeats, the last ring at exactly 349.
        QVERIFY(std::fabs(mesh.length - 2 * std::numbers::pi * radius) < 5.0);
        QCOMPARE(mesh.repeats, 349);
        QCOMPARE(mesh.road.uvs[2 * 2 * 320], 349.0f);
        QCOMPARE(mesh.road.uvs[0], 0.0f);
        // Texture area per world area of the surface: one texture square is 90 × 90 world
        // units, and it varies only with the curvature (inner and outer edge 45 from a
        // radius of 5000, ±0.9%).
        const double expected = 1.0 / (90.0 * 90.0);
        for (std::size_t t = 0; t < mesh.road.indices.size() / 3; ++t) {
            const double ratio = UvArea(mesh.road, t) / std::fabs(UpArea(mesh.road, t));
            QVERIFY2(std::fabs(ratio / expected - 1.0) < 0.015, qPrintable(QString::number(ratio)));
        }
    }

    // Updating the samples a moved point changes gives the same mesh as building it anew, for
    // points at the start, in the middle and at the end of the loop.
    void rangeUpdateMatchesRebuild() {
        std::vector<CVector3D> points = Circle(9, 800.0);
        RoadMesh mesh;
        QCOMPARE(BuildRoadMesh(points, 3, 20.0f, mesh), WriteOutcome::Written);
        for (std::size_t moved : {std::size_t{0}, std::size_t{4}, std::size_t{8}}) {
            points[moved] = points[moved] + CVector3D(150.0f, 30.0f, -70.0f);
            const SampleRange range = SamplesMovedByPoint(points.size(), 3, moved);
            QCOMPARE(range.count, std::int64_t{12});
            UpdateRoadMeshSamples(mesh, points, 3, 20.0f, range.first, range.count);
            RoadMesh fresh;
            QCOMPARE(BuildRoadMesh(points, 3, 20.0f, fresh), WriteOutcome::Written);
            QVERIFY(mesh.road.positions == fresh.road.positions);
            QVERIFY(mesh.kerb.positions == fresh.kerb.positions);
            QVERIFY(mesh.kerb.normals == fresh.kerb.normals);
            QVERIFY(mesh.road.uvs == fresh.road.uvs);
            QVERIFY(mesh.kerb.indices == fresh.kerb.indices);
        }
    }

    void refusesWhatNoMeshCanHold() {
        RoadMesh mesh;
        QCOMPARE(BuildRoadMesh(kSquare, 0, 50.0f, mesh), WriteOutcome::Failed);
        QCOMPARE(BuildRoadMesh(kSquare, -3, 50.0f, mesh), WriteOutcome::Failed);
        QVERIFY(mesh.road.positions.empty());
        // Finite points whose spline overflows are caught, not written as infinities.
        std::vector<CVector3D> huge = kSquare;
        huge[0] = CVector3D(-3e38f, 0.0f, 0.0f);
        huge[2] = CVector3D(3e38f, 0.0f, 0.0f);
        QCOMPARE(BuildRoadMesh(huge, 2, 50.0f, mesh), WriteOutcome::Written);
        QVERIFY(!mesh.finite);
        // Cancelling leaves nothing behind.
        auto cancel = [](std::uint64_t, std::uint64_t) { return false; };
        QCOMPARE(BuildRoadMesh(kSquare, 4, 50.0f, mesh, cancel), WriteOutcome::Cancelled);
        QCOMPARE(mesh.samples, std::int64_t{0});
    }
};

ROLVET_TEST_APPLESS_MAIN(TestRoadMesh)
#include "tst_roadmesh.moc"
