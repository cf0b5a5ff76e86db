// Vector arithmetic, the spline, the road ribbon, number formatting, the model text and the
// model and texture files of the road export.
#include "../../bench/export/BaselineMqoWriter.h"
#include "IsolatedHome.h"
#include "TestUtil.h"
#include "common/AtomicFile.h"
#include "common/Strings.h"
#include "export/CatmullRom.h"
#include "export/GlbWriter.h"
#include "export/MqoWriter.h"
#include "export/Parallel.h"
#include "export/ProgramDirectory.h"
#include "export/RoadExport.h"
#include "export/RoadMesh.h"
#include "export/RoadModel.h"
#include "export/SampleBuffer.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <locale>
#include <numeric>
#include <optional>
#include <random>
#include <span>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace rolvet;
using testutil::ReadAll;
using testutil::WriteAll;

namespace {

const std::vector<CVector3D> kSquare = {{0, 0, 0}, {1000, 0, 0}, {1000, 0, 1000}, {0, 0, 1000}};

bool SameBits(const CVector3D& a, const CVector3D& b) {
    return std::bit_cast<std::uint32_t>(a.x) == std::bit_cast<std::uint32_t>(b.x) &&
           std::bit_cast<std::uint32_t>(a.y) == std::bit_cast<std::uint32_t>(b.y) &&
           std::bit_cast<std::uint32_t>(a.z) == std::bit_cast<std::uint32_t>(b.z);
}

bool Near(const CVector3D& a, const CVector3D& b, float tolerance) {
    return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance &&
           std::fabs(a.z - b.z) <= tolerance;
}

QByteArray Document(std::span<const CVector3D> points, int divisions, float halfWidth) {
    CStringSink sink;
    const WriteOutcome outcome = WriteMqoDocument(sink, points, divisions, halfWidth);
    if (outcome != WriteOutcome::Written) {
        return {};
    }
    return QByteArray::fromStdString(sink.Text());
}

QByteArray Baseline(std::span<const CVector3D> points, int divisions, float halfWidth) {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* f = open_memstream(&data, &size);
    baseline::WriteMqo(f, points, divisions, halfWidth);
    std::fclose(f);
    QByteArray bytes(data, static_cast<qsizetype>(size));
    std::free(data);
    return bytes;
}

QString Printf(float value) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(value));
    return QString::fromLatin1(buffer);
}

QString Fixed(float value) {
    char buffer[kMaxFixedLength];
    char* end = FormatFixed6(buffer, value);
    return QString::fromLatin1(buffer, static_cast<qsizetype>(end - buffer));
}

// Names of the files in a folder (temporary files included).
QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// Makes every write of the atomic writer go to /dev/full, so it fails the way a full disk does.
class CDiskFull {
public:
    CDiskFull() : m_fd(::open("/dev/full", O_WRONLY | O_CLOEXEC)) {
        const int fd = m_fd;
        m_hook.emplace(
            [fd](int, const void* data, std::size_t size) { return ::write(fd, data, size); });
    }
    ~CDiskFull() {
        m_hook.reset();
        ::close(m_fd);
    }
    CDiskFull(const CDiskFull&) = delete;
    CDiskFull& operator=(const CDiskFull&) = delete;
    bool Ok() const { return m_fd >= 0; }

private:
    int m_fd;
    std::optional<CAtomicFile::ScopedWriteHook> m_hook;
};

std::vector<CVector3D> RandomTrack(std::mt19937& rng, std::size_t n) {
    std::uniform_real_distribution<float> ground(-20000.0f, 20000.0f);
    std::uniform_real_distribution<float> height(-300.0f, 300.0f);
    std::vector<CVector3D> points;
    for (std::size_t i = 0; i < n; ++i) {
        points.emplace_back(ground(rng), i % 3 == 0 ? 0.0f : height(rng), ground(rng));
    }
    return points;
}

} // namespace

class TestRoadExport : public QObject {
    Q_OBJECT

private slots:
    void init() { std::setlocale(LC_NUMERIC, "C"); }

    void vectorArithmetic() {
        const CVector3D a(1.5f, -2.0f, 1e8f), b(0.25f, 4.0f, 1.0f);
        QVERIFY(SameBits(a + b, CVector3D(1.75f, 2.0f, 1e8f))); // 1e8 + 1 rounds back to 1e8
        QVERIFY(SameBits(a - b, CVector3D(1.25f, -6.0f, 1e8f)));
        QVERIFY(SameBits(a * 2.0f, CVector3D(3.0f, -4.0f, 2e8f)));
        // The sum of floats is rounded to single precision at every step.
        const CVector3D tiny(1.0f, 0, 0), eps(std::numeric_limits<float>::epsilon() / 4, 0, 0);
        QCOMPARE(((tiny + eps) + eps).x, 1.0f);

        // The divide changes its left operand and returns a copy of the new value.
        CVector3D v(2, 6, -8);
        const CVector3D copy = v / 4.0f;
        QVERIFY(SameBits(v, CVector3D(0.5f, 1.5f, -2.0f)));
        QVERIFY(SameBits(copy, v));
    }

    void catmullRomExamples() {
        const CVector3D p0(0, 0, 1000), p1(0, 0, 0), p2(1000, 0, 0), p3(1000, 0, 1000);
        QVERIFY(SameBits(CatmullRom(p0, p1, p2, p3, 0.0f), p1));
        QVERIFY(SameBits(CatmullRom(p0, p1, p2, p3, 1.0f), p2));
        QVERIFY(SameBits(CatmullRom(p0, p1, p2, p3, 0.25f), CVector3D(203.125f, 0, -93.75f)));
        QVERIFY(SameBits(CatmullRom(p0, p1, p2, p3, 0.5f), CVector3D(500, 0, -125)));
        // t is not clamped: just before p1 the curve continues the same cubic.
        const CVector3D before = CatmullRom(p0, p1, p2, p3, -0.00025f);
        QVERIFY(Near(before, CVector3D(-0.125f, 0, 0.125f), 1e-3f));
        QVERIFY(!SameBits(before, p1));

        // Equally spaced collinear points: a straight line at constant speed.
        const CVector3D a(8, 2, -4), q0(-16, 0, 32);
        const CVector3D q1 = q0 + a, q2 = q1 + a, q3 = q2 + a;
        for (float t : {0.0f, 0.125f, 0.25f, 0.5f, 0.75f, 1.0f}) {
            QVERIFY(SameBits(CatmullRom(q0, q1, q2, q3, t), q1 + a * t));
        }
        // Four equal points with power-of-two coordinates give that point for every t.
        const CVector3D p(256, 8, -64);
        for (float t : {0.0f, 0.1f, 0.25f, 0.33f, 0.5f, 0.9f, 1.0f, -0.00025f, 1.00025f}) {
            QVERIFY(SameBits(CatmullRom(p, p, p, p, t), p));
        }
    }

    // Inputs for which any other grouping gives another float (worked out by hand): the
    // tangents are formed as ((p1 - p0) + p2) - p1 and ((p2 - p1) + p3) - p2, and the weighted
    // points are summed p2*h01 + (m2*h11 + (m1*h10 + p1*h00)).
    void catmullRomRoundingOrder() {
        // t = 0.5: 1 + 2^25 rounds to 2^25 before -2^25 is added, so x is 0 (1 when summed
        // in another order).
        const CVector3D a =
            CatmullRom({-67108880, 0, 0}, {0, 0, 0}, {-67108864, 0, 0}, {-536870912, 0, 0}, 0.5f);
        QVERIFY(SameBits(a, CVector3D(0, 0, 0)));
        // t = -0.5 (h00 = 0): 2^24 + 1 rounds to 2^24, so m1 is 0 and y is 1 (0.4375 with
        // m1 = (p2 - p0) / 2).
        const CVector3D b =
            CatmullRom({0, 0, 0}, {0, 16777216, 0}, {0, 1, 0}, {0, 16777216, 0}, -0.5f);
        QVERIFY(SameBits(b, CVector3D(0, 1, 0)));
        // t = 1.5 (h01 = 0): the same rounding makes m2 0 and z 0 (0.5625 with
        // m2 = (p3 - p1) / 2).
        const CVector3D c =
            CatmullRom({0, 0, 16777216}, {0, 0, 0}, {0, 0, 16777216}, {0, 0, 1}, 1.5f);
        QVERIFY(SameBits(c, CVector3D(0, 0, 0)));
    }

    void countsNeverOverflow() {
        const auto square = RoadCountsFor(4, 1);
        QVERIFY(square);
        QCOMPARE(square->vertices, std::int64_t{16});
        QCOMPARE(square->faces, std::int64_t{12});
        QCOMPARE(RoadCountsFor(4, -2)->vertices, std::int64_t{-32});
        QCOMPARE(RoadCountsFor(4, -2)->faces, std::int64_t{-24});
        QCOMPARE(RoadCountsFor(4, 0)->vertices, std::int64_t{0});
        // The largest vertex counts the model's 32-bit integers hold, and one step beyond.
        QCOMPARE(RoadCountsFor(5, 107374182)->vertices, std::int64_t{2147483640});
        QVERIFY(!RoadCountsFor(5, 107374183));
        QCOMPARE(RoadCountsFor(4, -134217728)->vertices,
                 std::int64_t{std::numeric_limits<std::int32_t>::min()});
        QVERIFY(!RoadCountsFor(4, -134217729));
        QVERIFY(!RoadCountsFor(4, std::numeric_limits<int>::max()));
        QVERIFY(!RoadCountsFor(4, std::numeric_limits<int>::min()));
        QVERIFY(!RoadCountsFor(std::size_t{1} << 40, 1));

        // A too large road writes nothing at all and is refused with a message.
        CStringSink sink;
        QCOMPARE(WriteMqoDocument(sink, kSquare, std::numeric_limits<int>::max(), 50.0f),
                 WriteOutcome::Failed);
        QVERIFY(sink.Text().empty());
        const RoadExportResult refused = CheckRoadExport(4, std::numeric_limits<int>::max());
        QCOMPARE(refused.status, RoadExportStatus::TooLarge);
        QCOMPARE(refused.message, std::string(str::kTooManyVertices));
        QCOMPARE(CheckRoadExport(3, 4).message, std::string(str::kNeedFourVertices));
        QCOMPARE(CheckRoadExport(4, -7).status, RoadExportStatus::Ok);
        QCOMPARE(HalfRoadWidth(101), 50.5f);
        QCOMPARE(HalfRoadWidth(-7), -3.5f);
        QCOMPARE(HalfRoadWidth(std::numeric_limits<int>::max()), 1073741824.0f);
    }

    void ribbonSquare() {
        const CRoadSampler sampler(kSquare, 1, HalfRoadWidth(100));
        const RoadSample first = sampler.PlainSection(0, 0);
        QVERIFY(Near(first[0], CVector3D(31.82f, 0, 31.82f), 0.01f));
        QVERIFY(Near(first[1], CVector3D(-31.82f, 0, -31.82f), 0.01f));
        QVERIFY(Near(first[2], CVector3D(35.36f, 0, 35.36f), 0.01f));
        QVERIFY(Near(first[3], CVector3D(-35.36f, 0, -35.36f), 0.01f));
        // The inner offset is the outer one scaled by 0.9 after the width was applied.
        const CVector3D outer = first[2] - CVector3D(0, 0, 0);
        QVERIFY(SameBits(first[0], CVector3D() + outer * 0.9f));
    }

    void ribbonEqualPoints() {
        // Cp equals Cm exactly: the direction has length 0, N is zero, every vertex is the point.
        const CVector3D p(512, 16, -1024);
        const std::vector<CVector3D> same(5, p);
        const CRoadSampler sampler(same, 4, 50.0f);
        for (std::size_t k = 0; k < same.size(); ++k) {
            for (int i = 0; i < 4; ++i) {
                for (const CVector3D& v : sampler.PlainSection(k, i)) {
                    QVERIFY(SameBits(v, p));
                }
            }
        }
        const QByteArray text = Document(same, 1, 50.0f);
        QVERIFY(text.contains("\tvertex 20 {\r\n"));
        QCOMPARE(text.count("\t\t512.000000 16.000000 -1024.000000\r\n"), 20);
    }

    void ribbonTiltsWithHeight() {
        // The loop climbs from y = 0 to y = 400 along its first segment.
        const std::vector<CVector3D> points = {
            {0, 0, 0}, {1000, 400, 0}, {1000, 400, 1000}, {0, 0, 1000}};
        const float hw = 50.0f;
        const CRoadSampler sampler(points, 4, hw);
        const RoadSample sample = sampler.PlainSection(0, 2);
        // N = (E - G) / (2 hw); its height equals the unit direction's height, which climbs.
        const CVector3D n = (sample[2] - sample[3]) * (1.0f / (2 * hw));
        QVERIFY(n.y > 0.2f);
        QVERIFY(std::fabs(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z) - 1.0f) < 1e-3f);
        // The direction (N.z, N.y, -N.x) points along the curve.
        const CVector3D c = CatmullRom(points[3], points[0], points[1], points[2], 0.5f);
        const CVector3D ahead = CatmullRom(points[3], points[0], points[1], points[2], 0.6f) - c;
        const CVector3D dir(n.z, n.y, -n.x);
        const float cosine = (dir.x * ahead.x + dir.y * ahead.y + dir.z * ahead.z) /
                             std::sqrt(ahead.x * ahead.x + ahead.y * ahead.y + ahead.z * ahead.z);
        QVERIFY(cosine > 0.999f);
        QVERIFY(Near(sample[0] + sample[1], c + c, 1e-3f));
    }

    // Every "%f" the model holds must match printf in the C locale exactly.
    void fixedFormatMatchesPrintf() {
        QCOMPARE(Fixed(0.0f), QStringLiteral("0.000000"));
        QCOMPARE(Fixed(-0.0f), QStringLiteral("-0.000000"));
        QCOMPARE(Fixed(31.8198f), Printf(31.8198f));
        std::vector<float> special = {std::numeric_limits<float>::infinity(),
                                      -std::numeric_limits<float>::infinity(),
                                      std::numeric_limits<float>::quiet_NaN(),
                                      -std::numeric_limits<float>::quiet_NaN(),
                                      std::numeric_limits<float>::max(),
                                      std::numeric_limits<float>::lowest(),
                                      std::numeric_limits<float>::min(),
                                      std::numeric_limits<float>::denorm_min(),
                                      -1e-7f,
                                      5e-7f,
                                      4.9999997e-7f,
                                      0.0000005f,
                                      1.0000005f,
                                      8796093022208.0f,
                                      17592186044416.0f,
                                      1e13f,
                                      123456789012.0f,
                                      0.999999f,
                                      0.9999995f,
                                      9.9999995f};
        // Exact halves at the sixth decimal: odd multiples of 2^-7 .. 2^-9 round to even.
        for (int q = -2001; q <= 2001; q += 2) {
            special.push_back(static_cast<float>(q) / 128.0f);
            special.push_back(static_cast<float>(q) / 256.0f);
            special.push_back(static_cast<float>(q) / 512.0f);
            special.push_back(static_cast<float>(q) * 1024.0f + 1.0f / 128.0f);
        }
        for (float v : special) {
            QCOMPARE(Fixed(v), Printf(v));
        }

        std::mt19937 rng(20240611);
        std::uniform_int_distribution<std::uint32_t> anyBits;
        std::uniform_real_distribution<float> typical(-60000.0f, 60000.0f);
        std::uniform_real_distribution<float> small(-2.0f, 2.0f);
        char a[128];
        char b[kMaxFixedLength];
        int mismatches = 0;
        for (int i = 0; i < 3'000'000; ++i) {
            float v = 0;
            switch (i % 3) {
            case 0:
                v = std::bit_cast<float>(anyBits(rng));
                break;
            case 1:
                v = typical(rng);
                break;
            default:
                v = small(rng);
                break;
            }
            const int n = std::snprintf(a, sizeof a, "%f", static_cast<double>(v));
            const char* end = FormatFixed6(b, v);
            if (end - b != n || std::memcmp(a, b, static_cast<std::size_t>(n)) != 0) {
                if (++mismatches < 5) {
                    qWarning("mismatch for bits %08x: %s", std::bit_cast<std::uint32_t>(v), a);
                }
            }
        }
        QCOMPARE(mismatches, 0);
    }

    void squareGolden() {
        const QByteArray text = Document(kSquare, 1, HalfRoadWidth(100));
        const QString goldenPath = QStringLiteral(ROLVET_TEST_DATA_DIR "/square.mqo");
        if (qEnvironmentVariableIsSet("ROLVET_UPDATE_GOLDEN")) {
            QVERIFY(WriteAll(goldenPath, text));
        }
        QCOMPARE(text, ReadAll(goldenPath));
        // What readers rely on, checked independently of the golden bytes.
        QVERIFY(text.startsWith("Metasequoia Document\r\nFormat Text Ver 1.0\r\n\r\nScene {\r\n"));
        QVERIFY(text.endsWith("\t}\r\n}\r\nEof\r\n"));
        QCOMPARE(text.count("\n"), text.count("\r\n"));
        QVERIFY(text.contains("\tvertex 16 {\r\n"));
        QVERIFY(text.contains("\tface 12 {\r\n"));
        QVERIFY(text.contains("\t\t4 V(0 1 5 4) M(0) UV(0.26 0.26 0.26 1 1 1 1 0.26)\r\n"
                              "\t\t4 V(2 0 4 6) M(0) UV(0 0.24 0 0 1 0 1 0.24)\r\n"
                              "\t\t4 V(1 3 7 5) M(0) UV(0 0 0 0.24 1 0.24 1 0)\r\n"));
        QVERIFY(text.contains("\t\t4 V(12 13 1 0) M(0) UV(0.26 0.26 0.26 1 1 1 1 0.26)\r\n"
                              "\t\t4 V(14 12 0 2) M(0) UV(0 0.24 0 0 1 0 1 0.24)\r\n"
                              "\t\t4 V(13 15 3 1) M(0) UV(0 0 0 0.24 1 0.24 1 0)\r\n\t}\r\n"));
    }

    void zeroAndNegativeDivisions() {
        const QByteArray objectTail = "\tcolor_type 0\r\n\tvertex %1 {\r\n\t}\r\n\tface %2 {\r\n"
                                      "\t}\r\n}\r\nEof\r\n";
        const QByteArray zero = Document(kSquare, 0, 50.0f);
        QVERIFY(zero.endsWith(QString::fromLatin1(objectTail).arg(0).arg(0).toLatin1()));
        const QByteArray negative = Document(kSquare, -3, 50.0f);
        QVERIFY(negative.endsWith(QString::fromLatin1(objectTail).arg(-48).arg(-36).toLatin1()));
    }

    // The streaming writer and the plain fprintf writer agree on every byte of general tracks.
    void matchesPlainWriter() {
        std::mt19937 rng(7);
        const int divisions[] = {1, 2, 3, 7, 16};
        for (int round = 0; round < 15; ++round) {
            const auto points = RandomTrack(rng, 4 + static_cast<std::size_t>(round) * 3);
            const int d = divisions[round % 5];
            const float hw = HalfRoadWidth(37 + round * 13);
            const QByteArray ours = Document(points, d, hw);
            QVERIFY(!ours.isEmpty());
            QCOMPARE(ours, Baseline(points, d, hw));
        }
    }

    // No decimal comma under a locale that uses one, in C or C++ formatting.
    void independentOfLocale() {
        const QByteArray golden = ReadAll(QStringLiteral(ROLVET_TEST_DATA_DIR "/square.mqo"));
        // Always: a C++ global locale whose numbers use a comma.
        struct Comma : std::numpunct<char> {
            char do_decimal_point() const override { return ','; }
        };
        const std::locale previous =
            std::locale::global(std::locale(std::locale::classic(), new Comma));
        const QByteArray withCppLocale = Document(kSquare, 1, 50.0f);
        std::locale::global(previous);
        QCOMPARE(withCppLocale, golden);

        // A C locale with a decimal comma: an installed one, or one built for the test.
        QTemporaryDir localeDir;
        const char* name = nullptr;
        for (const char* candidate : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
            if (std::setlocale(LC_NUMERIC, candidate)) {
                name = candidate;
                break;
            }
        }
        if (!name && QProcess::execute(QStringLiteral("localedef"),
                                       {QStringLiteral("-i"), QStringLiteral("de_DE"),
                                        QStringLiteral("-f"), QStringLiteral("UTF-8"),
                                        localeDir.filePath(QStringLiteral("de_DE.UTF-8"))}) == 0) {
            qputenv("LOCPATH", localeDir.path().toLocal8Bit());
            if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
                name = "de_DE.UTF-8";
            }
        }
        if (!name) {
            std::setlocale(LC_NUMERIC, "C");
            QSKIP("no locale with a decimal comma can be installed here");
        }
        char probe[32];
        std::snprintf(probe, sizeof probe, "%f", 1.5);
        QCOMPARE(QByteArray(probe), QByteArray("1,500000"));
        const QByteArray withCLocale = Document(kSquare, 1, 50.0f);
        std::setlocale(LC_NUMERIC, "C");
        qunsetenv("LOCPATH");
        QCOMPARE(withCLocale, golden);
    }

    void directoryParts() {
        QCOMPARE(GetDirectoryPart("/home/a/road.mqo"), std::optional<std::string>("/home/a/"));
        QCOMPARE(GetDirectoryPart("/road.mqo"), std::optional<std::string>("/"));
        QCOMPARE(GetDirectoryPart("/a//road.mqo"), std::optional<std::string>("/a/"));
        // '\\' is an ordinary character of a file name, never a separator.
        QCOMPARE(GetDirectoryPart("/t/c\\d.mqo"), std::optional<std::string>("/t/"));
        QCOMPARE(GetDirectoryPart("c\\d.mqo"), std::optional<std::string>());
        QCOMPARE(GetDirectoryPart("road.mqo"), std::optional<std::string>());
        QCOMPARE(GetDirectoryPart(""), std::optional<std::string>());
        const std::string longPath = "/" + std::string(5000, 'd') + "/road.mqo";
        QCOMPARE(GetDirectoryPart(longPath)->size(), std::size_t{5002});

        const std::string program = GetProgramDirectory();
        QCOMPARE(QString::fromStdString(program),
                 QCoreApplication::applicationDirPath() + QLatin1Char('/'));
        // The test's own folder holds a Data/Road.png, so it is the texture source.
        QCOMPARE(FindTextureSource(), program + "Data/Road.png");
    }

    void extensions() {
        for (const char* yes : {"/t/road.mqo", "/t/ROAD.MQO", "/t/r.Mqo", "r.mqo", "/t/a.b.mqo"}) {
            QVERIFY2(HasMqoExtension(yes), yes);
        }
        for (const char* no :
             {"/t/road.txt", "/t/road", "/t/road.mqo.txt", "/t.mqo/road", "/t/x.mqo\\y",
              "/t/road.mqoo", "/t/road.mq", "/t/road.", "/t/road.glb"}) {
            QVERIFY2(!HasMqoExtension(no), no);
        }
        QCOMPARE(RoadFormatOf("/t/a.GlB"), std::optional(RoadFormat::Glb));
        QCOMPARE(RoadFormatOf("/t/a.obj"), std::optional(RoadFormat::Obj));
        QCOMPARE(RoadFormatOf("/t.glb/a"), std::optional<RoadFormat>());
        QCOMPARE(RoadFormatOf("/t/a.gltf"), std::optional<RoadFormat>());
    }

    void writeAndCopy() {
        QTemporaryDir dir;
        const QString model = dir.filePath(QStringLiteral("road.mqo"));
        const QString texture = dir.filePath(QStringLiteral("Road.png"));
        QVERIFY(WriteAll(texture, "old texture"));
        RoadExportRequest request;
        request.modelPath = model.toStdString();
        request.points = kSquare;
        request.divisions = 1;
        request.halfWidth = 50.0f;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
        request.progress = [&](std::uint64_t done, std::uint64_t total) {
            calls.emplace_back(done, total);
            return true;
        };
        const RoadExportResult result = ExportRoad(request);
        QCOMPARE(result.status, RoadExportStatus::Ok);
        QVERIFY(result.message.empty());
        QCOMPARE(ReadAll(model), ReadAll(QStringLiteral(ROLVET_TEST_DATA_DIR "/square.mqo")));
        // The texture replaces the one that was there.
        QCOMPARE(ReadAll(texture), ReadAll(QString::fromStdString(FindTextureSource())));
        QCOMPARE(Entries(dir.path()), QStringList({"Road.png", "road.mqo"}));
        QVERIFY(!calls.empty());
        QCOMPARE(calls.back().first, calls.back().second);
        QCOMPARE(calls.back().second, std::uint64_t{8});
    }

    void writeFailures() {
        QTemporaryDir dir;
        const QString model = dir.filePath(QStringLiteral("road.mqo"));
        RoadExportRequest request;
        request.modelPath = model.toStdString();
        request.points = kSquare;
        request.divisions = 64; // more than one block of text
        request.halfWidth = 50.0f;
        const std::string failed = model.toStdString() + "の書き出しに失敗しました。";

        { // A full disk while a new model is written: reported, no file, no texture.
            CDiskFull full;
            QVERIFY(full.Ok());
            const RoadExportResult result = ExportRoad(request);
            QCOMPARE(result.status, RoadExportStatus::WriteFailed);
            QCOMPARE(result.message, failed);
        }
        QCOMPARE(Entries(dir.path()), QStringList());

        { // A full disk over an existing model leaves that model as it was.
            QVERIFY(WriteAll(model, "good model"));
            CDiskFull full;
            QCOMPARE(ExportRoad(request).message, failed);
            QCOMPARE(ReadAll(model), QByteArray("good model"));
            QCOMPARE(Entries(dir.path()), QStringList({"road.mqo"}));
            QVERIFY(QFile::remove(model));
        }

        // A folder in place of the file.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("road.mqo")));
        QCOMPARE(ExportRoad(request).message, failed);
        QVERIFY(QFileInfo(model).isDir());
        QCOMPARE(Entries(dir.path()), QStringList({"road.mqo"}));
        QVERIFY(QDir(model).removeRecursively());

        // A model name that is a link to a device: the device is never replaced.
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), model));
        QCOMPARE(ExportRoad(request).status, RoadExportStatus::WriteFailed);
        struct stat st {};
        QCOMPARE(::stat("/dev/full", &st), 0);
        QVERIFY(S_ISCHR(st.st_mode));
        QVERIFY(QFile::remove(model));

        // A folder that does not exist.
        request.modelPath = dir.filePath(QStringLiteral("missing/road.mqo")).toStdString();
        QCOMPARE(ExportRoad(request).status, RoadExportStatus::WriteFailed);
        QCOMPARE(Entries(dir.path()), QStringList());
    }

    void cancelLeavesNoFile() {
        QTemporaryDir dir;
        const QString model = dir.filePath(QStringLiteral("road.mqo"));
        RoadExportRequest request;
        request.modelPath = model.toStdString();
        request.points = kSquare;
        request.divisions = 4096; // 16384 samples: progress is asked several times
        request.halfWidth = 50.0f;
        int calls = 0;
        request.progress = [&](std::uint64_t done, std::uint64_t) {
            return ++calls < 2 || done == 0;
        };
        const RoadExportResult result = ExportRoad(request);
        QCOMPARE(result.status, RoadExportStatus::Cancelled);
        QVERIFY(result.message.empty());
        QCOMPARE(Entries(dir.path()), QStringList());

        QVERIFY(WriteAll(model, "previous export"));
        calls = 0;
        QCOMPARE(ExportRoad(request).status, RoadExportStatus::Cancelled);
        QCOMPARE(ReadAll(model), QByteArray("previous export"));
        QCOMPARE(Entries(dir.path()), QStringList({"road.mqo"}));
    }

    void copyFailures() {
        QTemporaryDir dir;
        const QString model = dir.filePath(QStringLiteral("road.mqo"));
        const QString texture = dir.filePath(QStringLiteral("Road.png"));
        RoadExportRequest request;
        request.modelPath = model.toStdString();
        request.points = kSquare;
        request.divisions = 1;
        request.halfWidth = 50.0f;
        const std::string copyFailed = texture.toStdString() + "のコピーに失敗しました。";

        // The destination cannot be written: the model stays, the message names the destination.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Road.png")));
        RoadExportResult result = ExportRoad(request);
        QCOMPARE(result.status, RoadExportStatus::CopyFailed);
        QCOMPARE(result.message, copyFailed);
        QCOMPARE(ReadAll(model), ReadAll(QStringLiteral(ROLVET_TEST_DATA_DIR "/square.mqo")));
        QVERIFY(QFileInfo(texture).isDir());
        QVERIFY(QDir(texture).removeRecursively());

        // The source is missing: same message, an existing texture is left alone.
        QVERIFY(WriteAll(texture, "kept"));
        request.textureSource = dir.filePath(QStringLiteral("nowhere/Road.png")).toStdString();
        result = ExportRoad(request);
        QCOMPARE(result.message, copyFailed);
        QCOMPARE(ReadAll(texture), QByteArray("kept"));

        // A full disk while copying leaves the old texture whole.
        request.textureSource = FindTextureSource();
        {
            CDiskFull full;
            QVERIFY(!CopyFileReplacing(request.textureSource, texture.toStdString()).ok);
        }
        QCOMPARE(ReadAll(texture), QByteArray("kept"));
        QCOMPARE(Entries(dir.path()), QStringList({"Road.png", "road.mqo"}));
    }

    // The writer streams: the sink never receives more than one block at a time, however large
    // the road.
    void streamsInBlocks() {
        struct CountingSink final : CByteSink {
            std::size_t largest = 0, total = 0, calls = 0;
            FileStatus Write(const char*, std::size_t size) override {
                largest = std::max(largest, size);
                total += size;
                ++calls;
                return FileStatus::Success();
            }
        } sink;
        QCOMPARE(WriteMqoDocument(sink, kSquare, 20000, 50.0f), WriteOutcome::Written);
        QVERIFY(sink.total > 10'000'000);
        QVERIFY(sink.largest <= 65536);
        QVERIFY(sink.calls > 100);

        // A sink that refuses bytes part-way fails the write.
        struct FailingSink final : CByteSink {
            int left = 3;
            FileStatus Write(const char*, std::size_t) override {
                return --left > 0 ? FileStatus::Success() : FileStatus::FromErrno(EIO);
            }
        } failing;
        QCOMPARE(WriteMqoDocument(failing, kSquare, 20000, 50.0f), WriteOutcome::Failed);
    }

    // Pieces made on several threads arrive complete and in order; no more are made ahead than
    // there are slots, no two threads share a worker number at once, and once the user stops,
    // nothing is made or used any more.
    void pipelinePieces() {
        struct Slot {
            std::size_t piece = 0;
            std::vector<std::size_t> values;
        };
        std::vector<Slot> buffers(4);
        std::vector<std::atomic<int>> busy(PipelineThreads());
        std::atomic<int> ahead{0}, most{0}, clashes{0}, making{0};
        std::atomic<std::size_t> lastMade{0};
        std::vector<std::size_t> seen;
        auto make = [&](std::size_t i, Slot& slot, std::size_t worker) {
            ++making;
            clashes += worker >= busy.size() || busy[worker]++ != 0 ? 1 : 0;
            const int now = ++ahead;
            int peak = most.load();
            while (now > peak && !most.compare_exchange_weak(peak, now)) {
            }
            if (i % 7 == 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            slot.piece = i;
            slot.values.assign(i % 5 + 1, i * i);
            lastMade = i;
            if (worker < busy.size()) {
                --busy[worker];
            }
            --making;
        };
        auto use = [&](std::size_t i, const Slot& slot) {
            --ahead;
            const bool whole = slot.piece == i && slot.values == std::vector(i % 5 + 1, i * i);
            seen.push_back(whole ? i : ~std::size_t{0});
            return true;
        };
        QVERIFY(PipelinePieces(500, std::span<Slot>(buffers), make, use));
        std::vector<std::size_t> expected(500);
        std::iota(expected.begin(), expected.end(), std::size_t{0});
        QCOMPARE(seen, expected);
        QVERIFY(most.load() <= 4);
        QCOMPARE(clashes.load(), 0);

        // Stopped at piece 40 of 500: false, nothing used after it, nothing made afterwards.
        seen.clear();
        ahead = 0;
        QVERIFY(!PipelinePieces(500, std::span<Slot>(buffers), make,
                                [&](std::size_t i, const Slot& slot) {
                                    use(i, slot);
                                    return i < 40;
                                }));
        QCOMPARE(seen.size(), std::size_t{41});
        QCOMPARE(making.load(), 0);
        const std::size_t made = lastMade;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        QCOMPARE(lastMade.load(), made);
        QVERIFY(made < 40 + buffers.size());

        // Nothing to do, and a single piece.
        seen.clear();
        QVERIFY(PipelinePieces(0, std::span<Slot>(buffers), make, use));
        QVERIFY(PipelinePieces(1, std::span<Slot>(buffers), make, use));
        QCOMPARE(seen, std::vector<std::size_t>{0});
    }

    // Every item of a parallel loop is worked on exactly once, in parts of at least the grain
    // (a loop too short for two parts runs whole).
    void parallelForCoversEachItemOnce() {
        for (const std::size_t count : {0, 1, 7, 100, 1001, 40000}) {
            for (const std::size_t grain : {1, 3, 64}) {
                std::vector<std::atomic<int>> hits(count);
                std::atomic<bool> shortPart{false};
                std::atomic<int> calls{0};
                ParallelFor(count, grain, [&](std::size_t begin, std::size_t end) {
                    ++calls;
                    shortPart = shortPart || end - begin < grain;
                    for (std::size_t i = begin; i < end; ++i) {
                        ++hits[i];
                    }
                });
                QVERIFY(
                    std::all_of(hits.begin(), hits.end(), [](const auto& h) { return h == 1; }));
                QVERIFY(calls == 1 || !shortPart);
            }
        }
    }

    // Blocks of the sample arrays large enough to be mapped on their own keep their contents
    // when they grow past several huge pages, and every byte up to the end can be written.
    void sampleVectorGrows() {
        SampleVector<std::uint32_t> values(300'000); // about 1.1 MiB
        std::iota(values.begin(), values.end(), 7u);
        values.resize(1'800'001); // about 6.9 MiB, not a whole number of 2 MiB pages
        std::fill(values.begin() + 300'000, values.end(), 0xA5A5A5A5u);
        QCOMPARE(values[299'999], 7u + 299'999u);
        QCOMPARE(values.back(), 0xA5A5A5A5u);
        values.resize(10);
        values.shrink_to_fit();
        QCOMPARE(values[9], 16u);
    }

    // A GLB whose pieces are made on several threads stops where the sink refuses bytes or
    // progress cancels, with the cause, and writes nothing further; a sink that takes
    // everything gets the same bytes as memory does.
    void glbStopsWhereTheSinkFails() {
        std::mt19937 rng(5);
        const std::vector<CVector3D> points = RandomTrack(rng, 1000);
        const CRoadMeshRings rings(points, 64, 50.0f); // 64,000 samples: many pieces of each part
        const RoadModelInfo info{points, 100, 64};
        const RoadTextureImages textures;
        const GameExportOptions game{1.0, true, 1.0, 3, 0, true};
        CStringSink whole;
        QVERIFY(WriteGlb(whole, rings, info, textures, {}, game).Written());

        struct FailingSink final : CByteSink {
            int left;
            std::uint64_t written = 0;
            explicit FailingSink(int writes) : left(writes) {}
            FileStatus Write(const char*, std::size_t) override { return WriteAt(0, nullptr, 0); }
            FileStatus WriteAt(std::uint64_t, const char*, std::size_t size) override {
                if (left-- <= 0) {
                    return FileStatus::FromErrno(ENOSPC);
                }
                written += size;
                return FileStatus::Success();
            }
        };
        FailingSink counting(1 << 30);
        QVERIFY(WriteGlb(counting, rings, info, textures, {}, game).Written());
        const int calls = (1 << 30) - counting.left;
        QVERIFY(calls > 100);
        for (const int writes : {0, 3, calls / 4, calls / 2, calls - 2}) {
            FailingSink sink(writes);
            const WriteResult result = WriteGlb(sink, rings, info, textures, {}, game);
            QCOMPARE(result.outcome, WriteOutcome::Failed);
            QCOMPARE(result.status.err, ENOSPC);
            QCOMPARE(sink.left, -1); // not asked again after refusing
            QVERIFY(sink.written < counting.written);
        }
        for (const std::uint64_t stopAt : {1'000'000u, 5'000'000u}) {
            CStringSink sink;
            std::uint64_t last = 0;
            int after = 0;
            const WriteResult result = WriteGlb(
                sink, rings, info, textures,
                [&](std::uint64_t done, std::uint64_t) {
                    after += last >= stopAt ? 1 : 0;
                    last = done;
                    return done < stopAt;
                },
                game);
            QCOMPARE(result.outcome, WriteOutcome::Cancelled);
            QCOMPARE(after, 0);
            QVERIFY(sink.Text().size() < whole.Text().size());
        }
    }
};

ROLVET_TEST_GUILESS_MAIN(TestRoadExport)
#include "tst_roadexport.moc"
