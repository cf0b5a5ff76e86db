// The GLB and OBJ exports from the editor and the command line, judged by outside readers: the
// Khronos glTF validator and assimp.
#include "IsolatedHome.h"
#include "ScriptedPrompts.h"
#include "TestUtil.h"
#include "common/AtomicFile.h"
#include "common/Strings.h"
#include "document/RoadTextures.h"
#include "document/RolvetDoc.h"
#include "export/GltfScene.h"
#include "export/RoadExport.h"
#include "export/RoadMesh.h"
#include "track/TrackFile.h"
#include "track/VertexStore.h"

#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using testutil::ReadAll;
using testutil::WriteAll;

namespace {

QString Tr(const char* text) {
    return QString::fromUtf8(text);
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// A track with heights, an odd width and tight turns.
std::vector<CVector3D> WindingTrack() {
    std::vector<CVector3D> points;
    for (int i = 0; i < 23; ++i) {
        const float a = static_cast<float>(i) * 0.273f;
        points.emplace_back(3000.0f * std::cos(a) + static_cast<float>(i * 37 % 101),
                            static_cast<float>(i % 5) * 12.5f,
                            1700.0f * std::sin(2.0f * a) - static_cast<float>(i * i));
    }
    return points;
}

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run RunProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(QString::fromLatin1(name));
    }
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        return {};
    }
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

Run RunCli(const QStringList& arguments) {
    return RunProgram(QStringLiteral(ROLVET_EXECUTABLE), arguments);
}

bool HaveValidator() {
    return QFile::exists(QStringLiteral(ROLVET_GLTF_VALIDATOR_DIR "/package.json")) &&
           !QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty();
}

// The validator's verdict: empty when the file has no errors and no warnings.
QString ValidatorComplaints(const QString& file) {
    const Run r = RunProgram(QStandardPaths::findExecutable(QStringLiteral("node")),
                             {QStringLiteral(ROLVET_SOURCE_DIR "/tests/tools/validate_gltf.js"),
                              QStringLiteral(ROLVET_GLTF_VALIDATOR_DIR), file});
    if (r.exitCode == 0 && r.out.startsWith("errors=0 warnings=0")) {
        return {};
    }
    return QStringLiteral("exit %1: %2").arg(r.exitCode).arg(QString::fromUtf8(r.out + r.err));
}

// assimp's face count of a model, or -1 when it cannot read it.
int AssimpFaces(const QString& file) {
    const Run r = RunProgram(QStandardPaths::findExecutable(QStringLiteral("assimp")),
                             {QStringLiteral("info"), file});
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("\\nFaces:\\s+(\\d+)")).match(QString::fromUtf8(r.out));
    return r.exitCode == 0 && m.hasMatch() ? m.captured(1).toInt() : -1;
}

// A GLB split by the container rules alone: its JSON and its binary chunk.
struct Glb {
    QJsonObject json;
    QByteArray bin;

    QJsonObject At(const char* array, int index) const {
        return json[QLatin1String(array)].toArray()[index].toObject();
    }
    // The values of accessor i, read through its buffer view's offset and stride.
    template <typename T> std::vector<T> Accessor(int i) const {
        const QJsonObject a = At("accessors", i);
        const QJsonObject view = At("bufferViews", a["bufferView"].toInt());
        const QString type = a["type"].toString();
        const int n = type == "SCALAR" ? 1 : type == "VEC2" ? 2 : 3;
        const qsizetype stride = view["byteStride"].toInt(n * int(sizeof(T)));
        const qsizetype base = view["byteOffset"].toInteger() + a["byteOffset"].toInteger();
        std::vector<T> values(std::size_t(a["count"].toInteger()) * std::size_t(n));
        for (std::size_t k = 0; k < values.size(); ++k) {
            const qsizetype at = base + qsizetype(k) / n * stride + qsizetype(k) % n * sizeof(T);
            if (at + qsizetype(sizeof(T)) > bin.size()) {
                return {};
            }
            std::memcpy(&values[k], bin.constData() + at, sizeof(T));
        }
        return values;
    }
    QByteArray View(int i) const {
        const QJsonObject view = At("bufferViews", i);
        return bin.mid(view["byteOffset"].toInteger(), view["byteLength"].toInteger());
    }
};

Glb ReadGlb(const QByteArray& glb) {
    auto u32 = [&](qsizetype at) {
        std::uint32_t v = 0;
        std::memcpy(&v, glb.constData() + at, 4);
        return v;
    };
    if (glb.size() < 20 || u32(0) != 0x46546C67 || u32(4) != 2 ||
        u32(8) != static_cast<std::uint32_t>(glb.size()) || u32(16) != 0x4E4F534A) {
        return {};
    }
    const qsizetype bin = 20 + u32(12);
    if (glb.size() < bin + 8 || u32(bin + 4) != 0x004E4942) {
        return {QJsonDocument::fromJson(glb.mid(20, u32(12))).object(), {}};
    }
    return {QJsonDocument::fromJson(glb.mid(20, u32(12))).object(), glb.mid(bin + 8, u32(bin))};
}

// assimp's reading of a model as its JSON export ("assjson"); empty when it cannot read it.
QJsonObject AssimpJson(const QString& model, const QString& folder) {
    const QString out = folder + QStringLiteral("/assimp.json");
    const Run r = RunProgram(QStandardPaths::findExecutable(QStringLiteral("assimp")),
                             {QStringLiteral("export"), model, out, QStringLiteral("-fassjson")});
    return r.exitCode == 0 ? QJsonDocument::fromJson(ReadAll(out)).object() : QJsonObject();
}

// The value of a material property as assimp reports it.
QJsonValue AssimpProperty(const QJsonObject& material, const QString& key) {
    for (const QJsonValue& p : material["properties"].toArray()) {
        if (p["key"].toString() == key) {
            return p["value"];
        }
    }
    return {};
}

// An engine-format export of points, width 101, with the bundled texture's images.
rolvet::RoadExportRequest TexturedRequest(const QString& model, std::span<const CVector3D> points,
                                          int divisions) {
    rolvet::RoadExportRequest request;
    request.format = rolvet::RoadFormatOf(model.toStdString()).value();
    request.modelPath = model.toStdString();
    request.points = points;
    request.divisions = divisions;
    request.halfWidth = 50.5f;
    request.roadWidth = 101;
    request.textures = LoadRoadTextureImages(QStringLiteral(ROLVET_SOURCE_DIR "/data/Road.png"));
    return request;
}

// The whole mesh as the core lays it out for the writers: road and kerb parts, indices included.
struct WholeMesh {
    rolvet::RoadMeshPart road, kerb;
    std::int64_t samples = 0;
};

WholeMesh MeshOf(const std::vector<CVector3D>& points, int divisions, float halfWidth) {
    const rolvet::CRoadMeshRings rings(points, divisions, halfWidth);
    WholeMesh mesh;
    mesh.samples = rings.Samples();
    for (rolvet::RoadMeshPart* part : {&mesh.road, &mesh.kerb}) {
        const int perRing = part == &mesh.road ? 2 : 4;
        const auto vertices = static_cast<std::size_t>((mesh.samples + 1) * perRing);
        part->positions.resize(3 * vertices);
        part->normals.resize(3 * vertices);
        part->uvs.resize(2 * vertices);
        part->indices.resize(static_cast<std::size_t>(mesh.samples * 3 * perRing));
    }
    rings.Fill(0, mesh.samples + 1, mesh.road, mesh.kerb);
    rolvet::CRoadMeshRings::FillIndices(0, mesh.samples, mesh.road.indices.data(),
                                        mesh.kerb.indices.data());
    return mesh;
}

bool Near(double a, double b) {
    return std::fabs(a - b) <= 1e-5 * std::max(1.0, std::fabs(b));
}

// A smooth loop with hills and no fold: 16 points, radii 4000 and 2500.
std::vector<CVector3D> HillyLoop() {
    std::vector<CVector3D> points;
    for (int i = 0; i < 16; ++i) {
        const double a = 2.0 * M_PI * i / 16.0;
        points.emplace_back(static_cast<float>(4000.0 * std::cos(a)),
                            static_cast<float>(120.0 * std::sin(3.0 * a)),
                            static_cast<float>(2500.0 * std::sin(a)));
    }
    return points;
}

struct Vec {
    double x = 0, y = 0, z = 0;
    Vec operator-(const Vec& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec operator+(const Vec& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec operator*(double k) const { return {x * k, y * k, z * k}; }
    double Dot(const Vec& o) const { return x * o.x + y * o.y + z * o.z; }
    Vec Cross(const Vec& o) const {
        return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
    }
    double Length() const { return std::sqrt(Dot(*this)); }
};

Vec VecOf(const QJsonValue& v) {
    const QJsonArray a = v.toArray();
    return {a[0].toDouble(), a[1].toDouble(), a[2].toDouble()};
}

Vec VertexOf(const std::vector<float>& positions, std::size_t i) {
    return {positions[3 * i], positions[3 * i + 1], positions[3 * i + 2]};
}

// v turned by the unit quaternion q = [x, y, z, w].
Vec Rotate(const QJsonArray& q, const Vec& v) {
    const Vec u{q[0].toDouble(), q[1].toDouble(), q[2].toDouble()};
    const double w = q[3].toDouble();
    return u * (2.0 * u.Dot(v)) + v * (w * w - u.Dot(u)) + u.Cross(v) * (2.0 * w);
}

} // namespace

class TestEngineExport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init() {
        m_prompts.Reset();
        TheVertexStore().Assign({{0, 0, 0}, {1000, 0, 0}, {1000, 0, 1000}, {0, 0, 1000}});
        m_doc.SetDivisionCount(3);
        m_doc.SetRoadWidth(100);
        m_doc.SetModifiedFlag(false);
    }

    // The dialog offers the three formats, the Metasequoia model first; the extension in any
    // letter case picks the writer.
    void dialogWritesEveryFormat() {
        QTemporaryDir dir;
        m_prompts.fileAnswers = {dir.filePath(QStringLiteral("ROAD.GLB")),
                                 dir.filePath(QStringLiteral("road.Obj"))};
        m_doc.OnFileExport(nullptr);
        m_doc.OnFileExport(nullptr);
        QCOMPARE(m_prompts.messages, QStringList());
        const FileDialogRequest& request = m_prompts.fileRequests.first();
        QCOMPARE(request.filters,
                 QStringList({Tr("Metasequoiaファイル(*.mqo)"), Tr("glTFバイナリ(*.glb)"),
                              Tr("Wavefront OBJ(*.obj)"), Tr("レーシングライン CSV(*.csv)")}));
        QCOMPARE(request.defaultSuffix, QStringLiteral("mqo"));
        QCOMPARE(request.filterSuffixes,
                 QStringList({QStringLiteral("mqo"), QStringLiteral("glb"), QStringLiteral("obj"),
                              QStringLiteral("csv")}));
        QCOMPARE(Entries(dir.path()), QStringList({"ROAD.GLB", "RoadKerb.png", "RoadSurface.png",
                                                   "road.Obj", "road.mtl"}));
        QVERIFY(!m_doc.IsModified());

        const QJsonObject gltf = ReadGlb(ReadAll(dir.filePath(QStringLiteral("ROAD.GLB")))).json;
        const QJsonArray nodes = gltf[QStringLiteral("nodes")].toArray();
        QCOMPARE(nodes[0].toObject()[QStringLiteral("name")].toString(), QStringLiteral("road"));
        const QJsonObject centre = nodes[1].toObject();
        QCOMPARE(centre[QStringLiteral("name")].toString(), QStringLiteral("centerline"));
        const QJsonObject extras = centre[QStringLiteral("extras")].toObject();
        QCOMPARE(extras[QStringLiteral("closed")].toBool(), true);
        QCOMPARE(extras[QStringLiteral("width")].toInt(), 100);
        QCOMPARE(extras[QStringLiteral("divisions")].toInt(), 3);
        QCOMPARE(extras[QStringLiteral("controlPoints")].toArray()[1].toArray(),
                 QJsonArray({1000, 0, 0}));
        // n·d samples; the spline passes through the control points at t = 0.
        const QJsonArray samples = extras[QStringLiteral("samples")].toArray();
        QCOMPARE(samples.size(), 12);
        QCOMPARE(samples[6].toArray(), QJsonArray({1000, 0, 1000}));
        QVERIFY(ReadAll(dir.filePath(QStringLiteral("road.Obj"))).contains("mtllib road.mtl\n"));
    }

    // The outside readers accept what the command line writes for the bundled sample, with
    // 6·n·d triangles (the winding track with heights is judged by the two tests below).
    void outsideReadersAccept() {
        QTemporaryDir dir;
        const QString track = QStringLiteral(ROLVET_SOURCE_DIR "/data/sample.rolvet");
        rolvet::TrackData sample;
        QVERIFY(!rolvet::LoadTrackFile(track.toStdString(), sample));
        const int faces = 6 * static_cast<int>(sample.vertices.size()) * sample.divisionCount;
        const bool validator = HaveValidator();
        const bool assimp = !QStandardPaths::findExecutable(QStringLiteral("assimp")).isEmpty();
        for (const QString& name : {QStringLiteral("sample.glb"), QStringLiteral("sample.obj")}) {
            const Run r = RunCli({QStringLiteral("--export"), track, dir.filePath(name)});
            QCOMPARE(r.exitCode, 0);
            QCOMPARE(r.err, QByteArray());
            if (assimp) {
                QCOMPARE(AssimpFaces(dir.filePath(name)), faces);
            }
        }
        if (validator) {
            const QString complaints = ValidatorComplaints(dir.filePath("sample.glb"));
            QVERIFY2(complaints.isEmpty(), qPrintable(complaints));
        }
        if (!validator) {
            QSKIP("the Khronos glTF validator (npm package gltf-validator) could not be installed "
                  "in the build tree; the GLB files were not validated");
        }
        if (!assimp) {
            QSKIP("assimp (Debian package assimp-utils) is not installed; GLB and OBJ files were "
                  "not read back");
        }
    }

    // A GLB of more than one streamed piece (2,048 rings) holds the mesh index by index. Both
    // materials show their own image through a sampler that repeats in both directions, with the
    // across-road coordinates half a texel inside the image so no edge bleeds into the other.
    void glbHoldsTheMesh() {
        QTemporaryDir dir;
        const std::vector<CVector3D> points = WindingTrack();
        constexpr int kDivisions = 600; // 13,800 samples: many pieces of every part
        const rolvet::RoadExportRequest request =
            TexturedRequest(dir.filePath(QStringLiteral("road.glb")), points, kDivisions);
        QCOMPARE(rolvet::ExportRoad(request).status, rolvet::RoadExportStatus::Ok);
        const WholeMesh mesh = MeshOf(points, kDivisions, 50.5f);
        QVERIFY(mesh.samples > 2048);

        const Glb glb = ReadGlb(ReadAll(QString::fromStdString(request.modelPath)));
        // glTF's codes: LINEAR, LINEAR_MIPMAP_LINEAR, REPEAT.
        const QJsonObject sampler{
            {"magFilter", 9729}, {"minFilter", 9987}, {"wrapS", 10497}, {"wrapT", 10497}};
        QCOMPARE(glb.json["samplers"].toArray(), QJsonArray{sampler});
        const QJsonArray primitives = glb.At("meshes", 0)["primitives"].toArray();
        QCOMPARE(primitives.size(), 2);
        const rolvet::RoadMeshPart* parts[] = {&mesh.road, &mesh.kerb};
        for (int p = 0; p < 2; ++p) {
            const QJsonObject primitive = primitives[p].toObject();
            const QJsonObject attributes = primitive["attributes"].toObject();
            const rolvet::RoadMeshPart& part = *parts[p];
            QCOMPARE(glb.Accessor<std::uint32_t>(primitive["indices"].toInt()), part.indices);
            QCOMPARE(glb.Accessor<float>(attributes["POSITION"].toInt()), part.positions);
            QCOMPARE(glb.Accessor<float>(attributes["NORMAL"].toInt()), part.normals);

            // No metal, fully rough, coloured by the image of its own name alone.
            const QJsonObject material = glb.At("materials", primitive["material"].toInt());
            QCOMPARE(material["name"].toString(), p == 0 ? "road" : "kerb");
            const QJsonObject pbr = material["pbrMetallicRoughness"].toObject();
            QCOMPARE(pbr.keys(),
                     QStringList({"baseColorTexture", "metallicFactor", "roughnessFactor"}));
            QCOMPARE(pbr["metallicFactor"].toDouble(), 0.0);
            QCOMPARE(pbr["roughnessFactor"].toDouble(), 1.0);
            const QJsonObject texture =
                glb.At("textures", pbr["baseColorTexture"]["index"].toInt());
            QCOMPARE(texture["sampler"].toInt(), 0);
            const QJsonObject image = glb.At("images", texture["source"].toInt());
            QCOMPARE(image["name"].toString(), material["name"].toString());
            const QImage decoded = QImage::fromData(glb.View(image["bufferView"].toInt()), "PNG");
            QVERIFY(!decoded.isNull());
            const double halfTexel = 0.5 / decoded.height();
            const std::vector<float> uv = glb.Accessor<float>(attributes["TEXCOORD_0"].toInt());
            QCOMPARE(uv.size(), part.uvs.size());
            for (std::size_t i = 0; i < uv.size(); i += 2) {
                QCOMPARE(uv[i], part.uvs[i]);
                const double across = part.uvs[i + 1] == 0.0f ? halfTexel : 1.0 - halfTexel;
                QVERIFY2(std::fabs(static_cast<double>(uv[i + 1]) - across) < 1e-7,
                         qPrintable(QStringLiteral("vertex %1").arg(i / 2)));
            }
        }
        if (HaveValidator()) {
            const QString complaints =
                ValidatorComplaints(QString::fromStdString(request.modelPath));
            QVERIFY2(complaints.isEmpty(), qPrintable(complaints));
        }
    }

    // Points that all set one width on both sides give the export of a road of that width, byte
    // for byte, in every format. A bank of 10° on a level road 100 wide puts the right edge
    // 50 sin 10° = 8.682409 below the centre and the left edge as far above it, in the GLB and
    // the Metasequoia model written from a saved file; the GLB tells each sample's widths and
    // bank, and the glTF validator accepts it.
    void shapedExports() {
        QTemporaryDir dir;
        const std::vector<CVector3D> points = WindingTrack();
        const std::vector<rolvet::PointShape> one(points.size(), {60.0f, 60.0f, std::nullopt});
        for (const char* name : {"road.mqo", "road.glb", "road.obj"}) {
            rolvet::RoadExportRequest plain = TexturedRequest(dir.filePath(name), points, 6);
            plain.halfWidth = 60.0f;
            QCOMPARE(rolvet::ExportRoad(plain).status, rolvet::RoadExportStatus::Ok);
            const QByteArray expected = ReadAll(dir.filePath(name));
            rolvet::RoadExportRequest shaped = TexturedRequest(dir.filePath(name), points, 6);
            shaped.halfWidth = 50.0f;
            shaped.shapes = one;
            QCOMPARE(rolvet::ExportRoad(shaped).status, rolvet::RoadExportStatus::Ok);
            QVERIFY2(ReadAll(dir.filePath(name)) == expected, name);
        }

        // Level, so that the side turns about a level direction.
        std::vector<CVector3D> level = points;
        for (CVector3D& p : level) {
            p.y = 0.0f;
        }
        const QString track = dir.filePath(QStringLiteral("banked.rolvet"));
        const std::vector<rolvet::PointShape> banked(points.size(),
                                                     {std::nullopt, std::nullopt, 10.0f});
        QVERIFY(!rolvet::SaveTrackFile(track.toStdString(), 6, 100, level, banked));
        const QString glbPath = dir.filePath(QStringLiteral("banked.glb"));
        QCOMPARE(RunCli({QStringLiteral("--export"), track, glbPath}).exitCode, 0);
        const Glb glb = ReadGlb(ReadAll(glbPath));
        const QJsonObject extras = glb.At("nodes", 1)["extras"].toObject();
        const QJsonArray centres = extras["samples"].toArray();
        const qsizetype samples = 6 * qsizetype(points.size());
        for (const char* key : {"widthLeft", "widthRight", "bank"}) {
            const QJsonArray values = extras[QLatin1String(key)].toArray();
            QCOMPARE(values.size(), samples);
            for (const QJsonValue& v : values) {
                QCOMPARE(v.toDouble(), key == std::string_view("bank") ? 10.0 : 50.0);
            }
        }
        const QJsonObject kerb = glb.At("meshes", 0)["primitives"].toArray()[1].toObject();
        const std::vector<float> positions =
            glb.Accessor<float>(kerb["attributes"]["POSITION"].toInt());
        for (qsizetype j = 0; j < samples; ++j) {
            const double c = centres[j].toArray()[1].toDouble();
            const auto e = static_cast<double>(positions[std::size_t(12 * j + 1)]);
            const auto g = static_cast<double>(positions[std::size_t(12 * j + 10)]);
            QVERIFY2(std::fabs(e - c + 8.682409) < 1e-3 && std::fabs(g - c - 8.682409) < 1e-3,
                     qPrintable(QString::number(j)));
        }
        if (HaveValidator()) {
            const QString complaints = ValidatorComplaints(glbPath);
            QVERIFY2(complaints.isEmpty(), qPrintable(complaints));
        }

        // The Metasequoia model: A, B, E, G a sample, so E lies 2 · 8.682409 below G.
        const QString mqoPath = dir.filePath(QStringLiteral("banked.mqo"));
        QCOMPARE(RunCli({QStringLiteral("--export"), track, mqoPath}).exitCode, 0);
        const QString mqo = QString::fromLatin1(ReadAll(mqoPath));
        const qsizetype from = mqo.indexOf(QLatin1String("vertex ")), to = mqo.indexOf('}', from);
        const QStringList lines = mqo.mid(from, to - from).split(QLatin1String("\r\n"));
        QCOMPARE(lines.size() - 2, 4 * samples);
        for (qsizetype j = 0; j < samples; ++j) {
            const double e = lines[4 * j + 3].split(' ', Qt::SkipEmptyParts)[1].toDouble();
            const double g = lines[4 * j + 4].split(' ', Qt::SkipEmptyParts)[1].toDouble();
            QVERIFY2(std::fabs(g - e - 2 * 8.682409) < 1e-3, qPrintable(QString::number(j)));
        }
    }

    // assimp reads the OBJ's triangles corner by corner as the mesh has them, with v flipped to
    // OBJ's upward convention, and finds the material library of a model whose name has several
    // dots: both images and no ambient light.
    void objHoldsTheMesh() {
        if (QStandardPaths::findExecutable(QStringLiteral("assimp")).isEmpty()) {
            QSKIP("assimp (Debian package assimp-utils) is not installed");
        }
        QTemporaryDir dir;
        const std::vector<CVector3D> points = WindingTrack();
        constexpr int kDivisions = 3;
        const QString model = dir.filePath(QStringLiteral("my.track.v2.obj"));
        QCOMPARE(rolvet::ExportRoad(TexturedRequest(model, points, kDivisions)).status,
                 rolvet::RoadExportStatus::Ok);
        QVERIFY(ReadAll(model).contains("\nmtllib my.track.v2.mtl\n"));
        const WholeMesh mesh = MeshOf(points, kDivisions, 50.5f);

        const QJsonObject scene = AssimpJson(model, dir.path());
        const QJsonArray meshes = scene["meshes"].toArray();
        QCOMPARE(meshes.size(), 2);
        const rolvet::RoadMeshPart* parts[] = {&mesh.road, &mesh.kerb};
        for (int p = 0; p < 2; ++p) {
            const QJsonObject m = meshes[p].toObject();
            const rolvet::RoadMeshPart& part = *parts[p];
            const QJsonObject material =
                scene["materials"].toArray()[m["materialindex"].toInt()].toObject();
            QCOMPARE(AssimpProperty(material, "?mat.name").toString(), p == 0 ? "road" : "kerb");
            QCOMPARE(AssimpProperty(material, "$tex.file").toString(),
                     p == 0 ? "RoadSurface.png" : "RoadKerb.png");
            QCOMPARE(AssimpProperty(material, "$clr.ambient").toArray(), QJsonArray({0, 0, 0}));
            QCOMPARE(AssimpProperty(material, "$clr.diffuse").toArray(), QJsonArray({1, 1, 1}));

            const QJsonArray faces = m["faces"].toArray();
            const QJsonArray vertices = m["vertices"].toArray();
            const QJsonArray uvs = m["texturecoords"].toArray()[0].toArray();
            QCOMPARE(std::size_t(faces.size()) * 3, part.indices.size());
            int mismatches = 0;
            for (qsizetype t = 0; t < faces.size(); ++t) {
                for (qsizetype k = 0; k < 3; ++k) {
                    const qsizetype a = faces[t].toArray()[k].toInteger();
                    const std::size_t i = part.indices[std::size_t(3 * t + k)];
                    bool same = Near(uvs[2 * a].toDouble(), double(part.uvs[2 * i])) &&
                                Near(uvs[2 * a + 1].toDouble(), 1.0 - double(part.uvs[2 * i + 1]));
                    for (qsizetype c = 0; c < 3; ++c) {
                        same = same && Near(vertices[3 * a + c].toDouble(),
                                            double(part.positions[3 * i + std::size_t(c)]));
                    }
                    mismatches += same ? 0 : 1;
                }
            }
            QCOMPARE(mismatches, 0);
        }
    }

    // The scene builder's other parts: a positions-only mesh without a material, a plain-colour
    // material, and nodes placed and turned with extras, each one call; the validator judges.
    void sceneBuilderParts() {
        if (!HaveValidator()) {
            QSKIP("the Khronos glTF validator could not be installed in the build tree");
        }
        const float triangle[] = {0, 0, 0, 1, 0, 0, 0, 0, -1};
        const std::uint32_t indices[] = {0, 1, 2};
        auto bytes = [](const auto& data) {
            return [&data](rolvet::CGlbOutput& out) { return out.Write(data, sizeof data); };
        };
        rolvet::CGltfScene scene("test");
        const int wall = scene.AddMaterial({"wall \"A\"", -1, {0.5, 0.5, 0.5, 1}});
        auto box = [] { return std::array<CVector3D, 2>{{{0, 0, -1}, {1, 0, 0}}}; };
        const int solid = scene.AddMesh(
            "solid", {{{{"POSITION", 3, box}}, 3, bytes(triangle), 3, bytes(indices), -1},
                      {{{"POSITION", 3, box}}, 3, bytes(triangle), 3, bytes(indices), wall}});
        scene.AddNode({"road-colonly", solid, std::nullopt, std::nullopt, {}});
        scene.AddNode({"start", -1, std::array<double, 3>{1, 2, 3},
                       std::array<double, 4>{0, 0.7071067811865476, 0, 0.7071067811865476},
                       [](rolvet::CJson& json) { json.Raw("{\"width\":").Int(100).Raw("}"); }});
        rolvet::CStringSink sink;
        QVERIFY(scene.Write(sink).Written());
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("parts.glb"));
        QVERIFY(WriteAll(file, QByteArray::fromStdString(sink.Text())));
        const QString complaints = ValidatorComplaints(file);
        QVERIFY2(complaints.isEmpty(), qPrintable(complaints));
        const Glb glb = ReadGlb(ReadAll(file));
        QCOMPARE(glb.At("materials", 0)["name"].toString(), QStringLiteral("wall \"A\""));
        QCOMPARE(glb.At("nodes", 1)["extras"].toObject()["width"].toInt(), 100);

        // A part that writes less than it declared fails the file instead of corrupting it.
        rolvet::CGltfScene broken("test");
        broken.AddMesh("short", {{{{"POSITION", 3, {}}},
                                  3,
                                  [](rolvet::CGlbOutput& out) { return out.Write("", 0); },
                                  0,
                                  bytes(indices),
                                  -1}});
        rolvet::CStringSink ignored;
        QCOMPARE(broken.Write(ignored).outcome, rolvet::WriteOutcome::Failed);
    }

    // Tracks the formats cannot hold are refused with a message and nothing is written.
    void refusals() {
        QTemporaryDir dir;
        m_prompts.fileAnswer = dir.filePath(QStringLiteral("road.glb"));
        TheVertexStore().Assign({{0, 0, 0},
                                 {1000, std::numeric_limits<float>::quiet_NaN(), 0},
                                 {1000, 0, 1000},
                                 {0, 0, 1000}});
        m_doc.OnFileExport(nullptr);
        m_prompts.fileAnswer = dir.filePath(QStringLiteral("road.obj"));
        m_doc.OnFileExport(nullptr);
        QCOMPARE(m_prompts.messages,
                 QStringList({Tr(rolvet::str::kNotFinite), Tr(rolvet::str::kNotFinite)}));

        init();
        m_prompts.fileAnswer = dir.filePath(QStringLiteral("road.glb"));
        m_doc.SetDivisionCount(0);
        m_doc.OnFileExport(nullptr);
        QCOMPARE(m_prompts.messages, QStringList{Tr(rolvet::str::kDivisionsTooSmall)});
        QCOMPARE(Entries(dir.path()), QStringList());

        // The same from the command line: exit 1 and the message.
        const QString track = dir.filePath(QStringLiteral("inf.rolvet"));
        const std::vector<CVector3D> infinite = {
            {0, 0, 0}, {1000, 0, 0}, {std::numeric_limits<float>::infinity(), 0, 1}, {0, 0, 1}};
        QVERIFY(!rolvet::SaveTrackFile(track.toStdString(), 4, 100, infinite));
        const Run r = RunCli({QStringLiteral("--export"), track, dir.filePath("x.glb")});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(QString::fromUtf8(r.err), Tr(rolvet::str::kNotFinite) + QLatin1Char('\n'));
        QCOMPARE(Entries(dir.path()), QStringList({"inf.rolvet"}));
        QCOMPARE(RunCli({QStringLiteral("--export"), track, dir.filePath("x.gltf")}).exitCode, 2);

        // A road whose GLB would pass 4 GiB is refused before anything is computed or written.
        rolvet::RoadExportRequest huge;
        huge.points = TheVertexStore().All();
        huge.divisions = 20'000'000;
        huge.halfWidth = 50.0f;
        for (const char* name : {"huge.glb", "huge.obj"}) {
            huge.format = rolvet::RoadFormatOf(name).value();
            huge.modelPath = dir.filePath(QString::fromLatin1(name)).toStdString();
            const rolvet::RoadExportResult refused = rolvet::ExportRoad(huge);
            QCOMPARE(refused.status, rolvet::RoadExportStatus::TooLarge);
            QCOMPARE(refused.message, std::string(rolvet::str::kTooManyVertices));
        }
        QCOMPARE(Entries(dir.path()), QStringList({"inf.rolvet"}));
    }

    // Write failures name their cause in the texts that saving uses and keep the old file; a
    // missing texture source is a failed copy; a cancelled export leaves nothing.
    void failures() {
        QTemporaryDir dir;
        // A folder in place of the model, then a full disk over an existing model.
        for (const QString& name : {QStringLiteral("road.glb"), QStringLiteral("road.obj")}) {
            const QString model = dir.filePath(name);
            m_prompts.messages.clear();
            m_prompts.fileAnswer = model;
            QVERIFY(QDir(dir.path()).mkdir(name));
            m_doc.OnFileExport(nullptr);
            QVERIFY(QDir(model).removeRecursively());
            QVERIFY(WriteAll(model, "previous"));
            {
                rolvet::CAtomicFile::ScopedWriteHook full(
                    [](int, const void*, std::size_t) -> ssize_t {
                        errno = ENOSPC;
                        return -1;
                    });
                m_doc.OnFileExport(nullptr);
            }
            QCOMPARE(
                m_prompts.messages,
                QStringList({model + Tr(" へのアクセスは拒否されました。"),
                             model + Tr(" へのアクセス中にディスクがいっぱいになりました。")}));
            QCOMPARE(ReadAll(model), QByteArray("previous"));
        }
        QCOMPARE(Entries(dir.path()), QStringList({"road.glb", "road.obj"}));

        // An image that cannot be written after the model and its library were.
        m_prompts.messages.clear();
        const QString kerb = dir.filePath(QStringLiteral("RoadKerb.png"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("RoadKerb.png")));
        m_doc.OnFileExport(nullptr);
        QCOMPARE(m_prompts.messages, QStringList{kerb + Tr(" へのアクセスは拒否されました。")});
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("road.mtl"))).isFile());
        QVERIFY(QDir(kerb).removeRecursively());

        // Without a texture source the OBJ and its library are still whole; the first image is
        // named as a failed copy and none is written.
        QTemporaryDir plainDir;
        rolvet::RoadExportRequest obj;
        obj.format = rolvet::RoadFormat::Obj;
        obj.modelPath = plainDir.filePath(QStringLiteral("plain.obj")).toStdString();
        obj.points = TheVertexStore().All();
        obj.divisions = 2;
        obj.halfWidth = 50.0f;
        obj.textures = LoadRoadTextureImages(QStringLiteral("/nowhere/Road.png"));
        const rolvet::RoadExportResult missing = rolvet::ExportRoad(obj);
        QCOMPARE(missing.status, rolvet::RoadExportStatus::CopyFailed);
        QCOMPARE(QString::fromStdString(missing.message),
                 plainDir.filePath(QStringLiteral("RoadSurface.png")) +
                     Tr("のコピーに失敗しました。"));
        QCOMPARE(Entries(plainDir.path()), QStringList({"plain.mtl", "plain.obj"}));
        if (!QStandardPaths::findExecutable(QStringLiteral("assimp")).isEmpty()) {
            QCOMPARE(AssimpFaces(QString::fromStdString(obj.modelPath)), 6 * 4 * 2);
        }

        // Without a texture source the GLB keeps plain colours and the source is named.
        rolvet::RoadExportRequest request;
        request.format = rolvet::RoadFormat::Glb;
        request.modelPath = dir.filePath(QStringLiteral("plain.glb")).toStdString();
        request.points = TheVertexStore().All();
        request.divisions = 2;
        request.halfWidth = 50.0f;
        request.textureSource = "/nowhere/Road.png";
        request.textures = LoadRoadTextureImages(QStringLiteral("/nowhere/Road.png"));
        const rolvet::RoadExportResult plain = rolvet::ExportRoad(request);
        QCOMPARE(plain.status, rolvet::RoadExportStatus::CopyFailed);
        QCOMPARE(QString::fromStdString(plain.message),
                 Tr("/nowhere/Road.pngのコピーに失敗しました。"));
        if (HaveValidator()) {
            const QString complaints =
                ValidatorComplaints(QString::fromStdString(request.modelPath));
            QVERIFY2(complaints.isEmpty(), qPrintable(complaints));
        }

        // Cancelled half-way through the writing: no model, the old one kept.
        const QString glb = dir.filePath(QStringLiteral("road.glb"));
        request.modelPath = glb.toStdString();
        request.divisions = 20000;
        request.progress = [](std::uint64_t done, std::uint64_t total) {
            return done < total / 2 + 100;
        };
        QCOMPARE(rolvet::ExportRoad(request).status, rolvet::RoadExportStatus::Cancelled);
        QCOMPARE(ReadAll(glb), QByteArray("previous"));
    }

    // The two images are the two bands of the road texture, in power-of-two sizes.
    void textureBands() {
        QImage texture(QStringLiteral(ROLVET_SOURCE_DIR "/data/Road.png"));
        QCOMPARE(texture.size(), QSize(256, 256));
        const RoadTextureBandImages bands = CutRoadTextureBands(texture);
        QCOMPARE(bands.road.size(), QSize(256, 256));
        QCOMPARE(bands.kerb.size(), QSize(256, 64));
        // Kerb: a dark line along the road side, then red and white blocks.
        QCOMPARE(bands.kerb.pixelColor(100, 0), QColor(60, 60, 60));
        QCOMPARE(bands.kerb.pixelColor(10, 40), QColor(200, 30, 30));
        QCOMPARE(bands.kerb.pixelColor(100, 40), QColor(235, 235, 235));
        // Road: asphalt with a white edge line near both sides, no kerb colours.
        QCOMPARE(bands.road.pixelColor(128, 15), QColor(240, 240, 240));
        QCOMPARE(bands.road.pixelColor(128, 240), QColor(240, 240, 240));
        for (int x = 0; x < 256; x += 5) {
            QVERIFY(bands.road.pixelColor(x, 100).red() < 100);
        }

        // The bands are made again once the texture file changes, though its name stays.
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Road.png"));
        QVERIFY(texture.save(file));
        const rolvet::RoadTextureImages first = LoadRoadTextureImages(file);
        QVERIFY(!first.Empty());
        QCOMPARE(LoadRoadTextureImages(file).road, first.road);
        QImage blue(256, 256, QImage::Format_RGB888);
        blue.fill(QColor(0, 0, 255));
        QVERIFY(blue.save(file));
        const rolvet::RoadTextureImages changed = LoadRoadTextureImages(file);
        QVERIFY(changed.road != first.road);
        QCOMPARE(QImage::fromData(QByteArray::fromStdString(changed.road)).pixelColor(9, 9),
                 QColor(0, 0, 255));
        QVERIFY(QFile::remove(file));
        QVERIFY(LoadRoadTextureImages(file).Empty());
    }

    // A game-ready GLB: walls along both edges facing the road, a closed collision mesh of
    // road, kerbs and walls, the start and evenly spread checkpoints turned along the road, the
    // edges in the centre line's extras, all in metres. Judged from the file's own centre line.
    void glbGameParts() {
        QTemporaryDir dir;
        const std::vector<CVector3D> points = HillyLoop();
        constexpr int kDivisions = 1100; // 17,600 samples: many streamed pieces
        constexpr double kScale = 2.0, kWall = 1.5;
        rolvet::RoadExportRequest request =
            TexturedRequest(dir.filePath(QStringLiteral("game.glb")), points, kDivisions);
        request.game = {kScale, true, kWall, 8, 5, true};
        QCOMPARE(rolvet::ExportRoad(request).status, rolvet::RoadExportStatus::Ok);
        const Glb glb = ReadGlb(ReadAll(QString::fromStdString(request.modelPath)));
        const std::size_t samples = 16 * kDivisions;

        QStringList names;
        for (const QJsonValue& node : glb.json["nodes"].toArray()) {
            names.append(node["name"].toString());
        }
        QStringList expected = {"road", "centerline", "road-colonly", "start"};
        for (int i = 0; i < 8; ++i) {
            expected.append(QStringLiteral("checkpoint_%1").arg(i, 3, 10, QLatin1Char('0')));
        }
        QCOMPARE(names, expected);

        const QJsonObject line = glb.At("nodes", 1)["extras"].toObject();
        std::vector<Vec> centre, left, right;
        for (std::size_t j = 0; j < samples; ++j) {
            centre.push_back(VecOf(line["samples"].toArray()[qsizetype(j)]));
            left.push_back(VecOf(line["edgeLeft"].toArray()[qsizetype(j)]));
            right.push_back(VecOf(line["edgeRight"].toArray()[qsizetype(j)]));
        }
        QCOMPARE(line["edgeLeft"].toArray().size(), qsizetype(samples));
        const Vec up{0, 1, 0};
        double lap = 0.0;
        for (std::size_t j = 0; j < samples; ++j) {
            const Vec ahead = centre[(j + 1) % samples] - centre[j];
            lap += ahead.Length();
            // Seen in the driving direction, the left edge lies left; the road is 101 / 2 wide.
            QVERIFY((left[j] - centre[j]).Dot(ahead.Cross(up)) < 0.0);
            QVERIFY((right[j] - centre[j]).Dot(ahead.Cross(up)) > 0.0);
            QVERIFY(std::fabs((left[j] - right[j]).Length() - 101.0 / kScale) < 1e-3);
        }

        // The start at control point 5's sample, its -Z along the road; then the checkpoints,
        // lap / 9 apart along the centre line.
        const std::size_t start = 5 * kDivisions;
        auto atDistance = [&](double distance) {
            for (std::size_t j = start;; ++j) {
                const Vec a = centre[j % samples], b = centre[(j + 1) % samples];
                const double chord = (b - a).Length();
                if (distance <= chord) {
                    return a + (b - a) * (distance / chord);
                }
                distance -= chord;
            }
        };
        for (int i = -1; i < 8; ++i) {
            const QJsonObject node = glb.At("nodes", 4 + i);
            const double distance = lap * (i + 1) / 9.0;
            const Vec at = atDistance(distance);
            QVERIFY2((VecOf(node["translation"]) - at).Length() < 1e-3, qPrintable(names[4 + i]));
            const Vec along = atDistance(distance + 0.5) - atDistance(distance - 0.5);
            const Vec forward = Rotate(node["rotation"].toArray(), {0, 0, -1});
            QVERIFY(forward.Dot(along * (1.0 / along.Length())) > 0.9999);
            QVERIFY(Rotate(node["rotation"].toArray(), {0, 1, 0}).y > 0.99);
            const QJsonObject extras = node["extras"].toObject();
            QVERIFY(std::fabs(extras["width"].toDouble() - 101.0 / kScale) < 1e-3);
            if (i >= 0) {
                QCOMPARE(extras["index"].toInt(), i);
                QVERIFY(std::fabs(extras["distance"].toDouble() - distance) < 1e-3);
            }
        }

        // The walls: the third primitive, plain "wall" material, standing on the outer edges of
        // the kerbs, 1.5 m tall, every face upright and facing the centre line.
        const QJsonArray primitives = glb.At("meshes", 0)["primitives"].toArray();
        QCOMPARE(primitives.size(), 3);
        const QJsonObject wall = primitives[2].toObject();
        QCOMPARE(glb.At("materials", wall["material"].toInt())["name"].toString(),
                 QStringLiteral("wall"));
        const std::vector<float> kerb = glb.Accessor<float>(
            primitives[1].toObject()["attributes"].toObject()["POSITION"].toInt());
        const std::vector<float> wallAt =
            glb.Accessor<float>(wall["attributes"].toObject()["POSITION"].toInt());
        const std::vector<std::uint32_t> wallFaces =
            glb.Accessor<std::uint32_t>(wall["indices"].toInt());
        QCOMPARE(wallFaces.size(), 12 * samples);
        for (std::size_t j = 0; j < samples; ++j) {
            for (const auto& [bottom, edge] : {std::pair{0, 0}, std::pair{2, 3}}) {
                const Vec foot = VertexOf(wallAt, 4 * j + std::size_t(bottom));
                QCOMPARE((foot - VertexOf(kerb, 4 * j + std::size_t(edge))).Length(), 0.0);
                const Vec head = VertexOf(wallAt, 4 * j + std::size_t(bottom) + 1);
                QVERIFY(std::fabs((head - foot).y - kWall) < 1e-4 && (head - foot).x == 0.0);
            }
        }
        auto facesTheRoad = [&](const std::vector<float>& at, const std::uint32_t* t,
                                std::size_t sample) {
            const Vec a = VertexOf(at, t[0]), b = VertexOf(at, t[1]), c = VertexOf(at, t[2]);
            const Vec normal = (b - a).Cross(c - a);
            return std::fabs(normal.y) < 1e-6 * normal.Length() &&
                   normal.Dot(centre[sample] - a) > 0.0;
        };
        for (std::size_t t = 0; t < wallFaces.size(); t += 3) {
            QVERIFY(facesTheRoad(wallAt, &wallFaces[t], t / 12));
        }

        // The collision body: every face of road, kerbs (facing up) and walls, one closed loop.
        const QJsonObject collision = glb.At("meshes", glb.At("nodes", 2)["mesh"].toInt());
        QCOMPARE(collision["name"].toString(), QStringLiteral("road-colonly"));
        const QJsonObject solid = collision["primitives"].toArray()[0].toObject();
        QVERIFY(!solid.contains("material"));
        QCOMPARE(solid["attributes"].toObject().keys(), QStringList{"POSITION"});
        const std::vector<float> body =
            glb.Accessor<float>(solid["attributes"].toObject()["POSITION"].toInt());
        const std::vector<std::uint32_t> faces =
            glb.Accessor<std::uint32_t>(solid["indices"].toInt());
        QCOMPARE(faces.size(), 30 * samples);
        std::vector<int> uses(body.size() / 3, 0);
        for (std::size_t t = 0; t < faces.size(); t += 3) {
            const std::size_t sample = t / 30;
            if (t % 30 < 18) {
                const Vec a = VertexOf(body, faces[t]), b = VertexOf(body, faces[t + 1]),
                          c = VertexOf(body, faces[t + 2]);
                QVERIFY((b - a).Cross(c - a).y > 0.0);
            } else {
                QVERIFY(facesTheRoad(body, &faces[t], sample));
            }
            for (int k = 0; k < 3; ++k) {
                ++uses[faces[t + std::size_t(k)]];
            }
        }
        // Closed: no vertex is left out, and each ring is joined to the one before and after.
        QVERIFY(std::find(uses.begin(), uses.end(), 0) == uses.end());

        // In metres: the plain export's bounds halved.
        request.game = {};
        request.modelPath = dir.filePath(QStringLiteral("plain.glb")).toStdString();
        QCOMPARE(rolvet::ExportRoad(request).status, rolvet::RoadExportStatus::Ok);
        const Glb plain = ReadGlb(ReadAll(QString::fromStdString(request.modelPath)));
        const QJsonObject scaledBox = glb.At("accessors", 0), plainBox = plain.At("accessors", 0);
        for (const char* bound : {"min", "max"}) {
            for (qsizetype c = 0; c < 3; ++c) {
                QVERIFY(Near(scaledBox[bound].toArray()[c].toDouble(),
                             plainBox[bound].toArray()[c].toDouble() / kScale));
            }
        }
    }

    // Every combination of the options on the command line: valid for the Khronos validator,
    // read by assimp with the faces of its parts (OBJ too: walls and the road-colonly object);
    // unknown or malformed options are usage errors that write nothing.
    void gameOptionsOnTheCommandLine() {
        QTemporaryDir dir;
        const QString track = QStringLiteral(ROLVET_SOURCE_DIR "/data/sample.rolvet");
        rolvet::TrackData sample;
        QVERIFY(!rolvet::LoadTrackFile(track.toStdString(), sample));
        const int s = static_cast<int>(sample.vertices.size()) * sample.divisionCount;
        const bool validator = HaveValidator();
        const bool assimp = !QStandardPaths::findExecutable(QStringLiteral("assimp")).isEmpty();
        const struct {
            QStringList options;
            int faces;
        } cases[] = {
            {{"--collision"}, 6 * s + 6 * s},
            {{"--walls", "1"}, 6 * s + 4 * s},
            {{"--checkpoints", "3", "--start", "2"}, 6 * s},
            {{"--scale=100"}, 6 * s},
            {{"--scale", "0.5", "--collision", "--walls", "2.5", "--checkpoints", "8"}, 20 * s},
        };
        int n = 0;
        for (const auto& c : cases) {
            for (const char* format : {"glb", "obj"}) {
                const QString model = dir.filePath(QStringLiteral("m%1.%2").arg(n++).arg(format));
                const Run r = RunCli(QStringList{"--export", track, model} + c.options);
                QCOMPARE(r.exitCode, 0);
                if (assimp) {
                    QCOMPARE(AssimpFaces(model), c.faces);
                }
                if (validator && model.endsWith(QLatin1String("glb"))) {
                    const QString complaints = ValidatorComplaints(model);
                    QVERIFY2(complaints.isEmpty(), qPrintable(c.options.join(' ') + complaints));
                }
            }
        }
        const QString obj = QString::fromUtf8(ReadAll(dir.filePath(QStringLiteral("m9.obj"))));
        QVERIFY(obj.contains("\ng wall\nusemtl wall\n") && obj.contains("\no road-colonly\n"));
        QVERIFY(ReadAll(dir.filePath(QStringLiteral("m9.mtl"))).contains("newmtl wall\n"));

        const QStringList wrong[] = {{"--bogus"},
                                     {"--walls"},
                                     {"--walls", "-1"},
                                     {"--scale", "0"},
                                     {"--scale", "x"},
                                     {"--checkpoints", "2.5"},
                                     {"--checkpoints", "1001"},
                                     {"--start", "12"},
                                     {"--vehicle-width", "3"},
                                     {"--racing-line", "--vehicle-width", "-1"}};
        for (const QStringList& options : wrong) {
            const Run r = RunCli(QStringList{"--export", track, dir.filePath("bad.glb")} + options);
            QCOMPARE(r.exitCode, 2);
            QVERIFY(r.err.startsWith("rolvet: "));
        }
        QCOMPARE(RunCli({"--export", track, dir.filePath("bad.mqo"), "--collision"}).exitCode, 2);
        QCOMPARE(RunCli({"--export", track, dir.filePath("bad.obj"), "--racing-line"}).exitCode, 2);
        QVERIFY(!QFile::exists(dir.filePath("bad.glb")) &&
                !QFile::exists(dir.filePath("bad.mqo")) && !QFile::exists(dir.filePath("bad.obj")));
        if (!validator || !assimp) {
            QSKIP("the Khronos glTF validator or assimp is missing; the files were not all judged");
        }
    }

    // --racing-line adds the node "racingline": on a ring 40 wide about a circle of radius 300
    // the line is the widest circle half a vehicle from the outer edge; a 4 m vehicle at 2 units
    // a metre keeps 4 units from it: radius 316, written divided by the scale with its chord
    // length; the CSV of the same line in world units and
    // map convention holds the same points. The validator accepts the file; the racing line is
    // a GLB option only, and the vehicle width an option of the racing line (checked with the
    // other wrong options in gameOptionsOnTheCommandLine).
    void racingLineInGlb() {
        QTemporaryDir dir;
        std::vector<CVector3D> ring;
        for (int i = 0; i < 32; ++i) {
            const double a = 2 * M_PI * i / 32;
            ring.emplace_back(float(300 * std::cos(a)), 0.0f, float(300 * std::sin(a)));
        }
        const QString track = dir.filePath(QStringLiteral("ring.rolvet"));
        QVERIFY(!rolvet::SaveTrackFile(track.toStdString(), 8, 40, ring));
        const QString glbPath = dir.filePath(QStringLiteral("ring.glb"));
        QCOMPARE(RunCli({"--export", track, glbPath, "--racing-line", "--vehicle-width=4",
                         "--scale", "2"})
                     .exitCode,
                 0);
        const QJsonArray nodes = ReadGlb(ReadAll(glbPath)).json["nodes"].toArray();
        QCOMPARE(nodes.size(), 3);
        QCOMPARE(nodes[2]["name"].toString(), QStringLiteral("racingline"));
        const QJsonObject extras = nodes[2]["extras"].toObject();
        const QJsonArray samples = extras["samples"].toArray();
        QCOMPARE(samples.size(), 32 * 8);
        QVERIFY(extras["closed"].toBool());
        QCOMPARE(extras["vehicleWidth"].toDouble(), 4.0);
        const double outer = (300.0 + 20.0 - 4.0) / 2;
        for (const QJsonValue& p : samples) {
            const double r = std::hypot(p[0].toDouble(), p[2].toDouble());
            QVERIFY2(std::fabs(r - outer) < 0.05, qPrintable(QString::number(r)));
        }
        const double chords = 2 * 256 * outer * std::sin(M_PI / 256);
        QVERIFY2(std::fabs(extras["length"].toDouble() - chords) < 0.5,
                 qPrintable(QString::number(extras["length"].toDouble())));

        const QString csvPath = dir.filePath(QStringLiteral("ring.csv"));
        QCOMPARE(RunCli({"--racing-line", track, csvPath, "--vehicle-width", "8"}).exitCode, 0);
        const QStringList rows =
            QString::fromUtf8(ReadAll(csvPath)).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 1 + samples.size());
        for (qsizetype j = 0; j < samples.size(); ++j) {
            const QStringList xyz = rows[j + 1].split(',');
            QVERIFY(std::fabs(xyz[0].toDouble() - 2 * samples[j][0].toDouble()) < 2e-3 &&
                    std::fabs(xyz[1].toDouble() + 2 * samples[j][2].toDouble()) < 2e-3);
        }
        if (HaveValidator()) {
            const QString complaints = ValidatorComplaints(glbPath);
            QVERIFY2(complaints.isEmpty(), qPrintable(complaints));
        }
    }

    // 書き出し to a .csv name asks for the vehicle width alone and writes the same file as the
    // command line for the saved track; a file that cannot be written is said so.
    void racingLineCsvFromTheEditor() {
        QTemporaryDir dir;
        bool onlyWidth = false;
        m_prompts.drive = [&onlyWidth](QDialog& dialog) {
            onlyWidth = !dialog.findChild<QWidget*>("checkCollision")->isVisibleTo(&dialog) &&
                        dialog.findChild<QWidget*>("editVehicleWidth")->isVisibleTo(&dialog);
            dialog.findChild<QDoubleSpinBox*>("editVehicleWidth")->setValue(4.0);
            dialog.accept();
        };
        m_prompts.fileAnswers = {dir.filePath("line.CSV"), dir.filePath("missing/line.csv")};
        m_doc.OnFileExport(nullptr);
        QVERIFY(onlyWidth);
        QVERIFY(m_prompts.messages.isEmpty());
        QVERIFY(!m_doc.OnSaveDocument(dir.filePath("t.rolvet")));
        QCOMPARE(RunCli({"--racing-line", dir.filePath("t.rolvet"), dir.filePath("cli.csv"),
                         "--vehicle-width", "4"})
                     .exitCode,
                 0);
        QCOMPARE(ReadAll(dir.filePath("line.CSV")), ReadAll(dir.filePath("cli.csv")));
        m_doc.OnFileExport(nullptr);
        QCOMPARE(m_prompts.messages.size(), 1);
        QVERIFY(m_prompts.messages[0].contains("missing/line.csv"));
    }

    // The options dialog follows the file dialog for GLB and OBJ only, remembers its choice for
    // the next export, and its キャンセル writes nothing.
    void optionsDialog() {
        QTemporaryDir dir;
        // Sets every option of the dialog, then accepts it.
        auto choose = [](bool collision, double walls, int checkpoints, int start, bool racing) {
            return [=](QDialog& dialog) {
                dialog.findChild<QCheckBox*>("checkCollision")->setChecked(collision);
                dialog.findChild<QDoubleSpinBox*>("editWalls")->setValue(walls);
                dialog.findChild<QSpinBox*>("editCheckpoints")->setValue(checkpoints);
                dialog.findChild<QSpinBox*>("editStart")->setValue(start);
                dialog.findChild<QCheckBox*>("checkRacingLine")->setChecked(racing);
                dialog.accept();
            };
        };
        m_prompts.drive = choose(true, 2.0, 4, 3, true);
        m_prompts.fileAnswers = {dir.filePath("a.glb"), dir.filePath("a.mqo")};
        m_doc.OnFileExport(nullptr);
        m_doc.OnFileExport(nullptr);
        QCOMPARE(m_prompts.dialogsRun, QStringList{"ExportOptionsDialog"});
        const Glb glb = ReadGlb(ReadAll(dir.filePath("a.glb")));
        QCOMPARE(glb.json["nodes"].toArray().size(), 2 + 1 + 1 + 4 + 1);
        QCOMPARE(glb.At("nodes", 8)["name"].toString(), QStringLiteral("racingline"));

        m_prompts.drive = nullptr; // accepted as shown: as last time
        m_prompts.fileAnswers = {dir.filePath("b.glb")};
        m_doc.OnFileExport(nullptr);
        QCOMPARE(ReadAll(dir.filePath("b.glb")), ReadAll(dir.filePath("a.glb")));

        bool racingOffered = true;
        m_prompts.drive = [&racingOffered](QDialog& dialog) {
            racingOffered = dialog.findChild<QCheckBox*>("checkRacingLine")->isEnabled();
            dialog.reject();
        };
        m_prompts.fileAnswers = {dir.filePath("c.obj")};
        m_doc.OnFileExport(nullptr);
        QVERIFY(!racingOffered);
        QVERIFY(!QFile::exists(dir.filePath("c.obj")));
        QVERIFY(m_prompts.messages.isEmpty());

        // Back to the plain road for the other tests.
        m_prompts.drive = choose(false, 0.0, 0, 0, false);
        m_prompts.fileAnswers = {dir.filePath("d.glb")};
        m_doc.OnFileExport(nullptr);
        QCOMPARE(ReadGlb(ReadAll(dir.filePath("d.glb"))).json["nodes"].toArray().size(), 2);
    }

private:
    CScriptedPrompts m_prompts;
    CRolvetDoc m_doc;
};

ROLVET_TEST_MAIN(TestEngineExport)
#include "tst_engineexport.moc"
