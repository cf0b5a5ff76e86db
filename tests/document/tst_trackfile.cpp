// Track files, the vertex store and the file-error texts.
#include "IsolatedHome.h"
#include "TestUtil.h"
#include "common/AtomicFile.h"
#include "common/Strings.h"
#include "track/MonotoneCubic.h"
#include "track/TrackFile.h"
#include "track/VertexStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

using namespace rolvet;
using testutil::AsBytes;
using testutil::ReadAll;
using testutil::ToQByteArray;
using testutil::WriteAll;

namespace {

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}

bool SameBits(float a, float b) {
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

bool SameVertices(const std::vector<CVector3D>& a, const std::vector<CVector3D>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!SameBits(a[i].x, b[i].x) || !SameBits(a[i].y, b[i].y) || !SameBits(a[i].z, b[i].z)) {
            return false;
        }
    }
    return true;
}

// A track as a reader of the plain record sees it: the header and 12·n bytes, nothing more.
struct PlainTrack {
    qint32 divisionCount = 0;
    qint32 roadWidth = 0;
    QList<float> coordinates;
};

PlainTrack ReadPlain(const QByteArray& bytes) {
    QDataStream in(bytes);
    in.setByteOrder(QDataStream::LittleEndian);
    in.setFloatingPointPrecision(QDataStream::SinglePrecision);
    PlainTrack t;
    quint32 n = 0;
    in >> t.divisionCount >> t.roadWidth >> n;
    for (quint32 i = 0; i < 3 * n; ++i) {
        float f = 0;
        in >> f;
        t.coordinates << f;
    }
    return t;
}

QByteArray Le32(quint32 v) {
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

// An extension around the given chunks, with zlib's CRC-32 as the checksum.
QByteArray Extension(const QByteArray& chunks, quint32 version = 1) {
    const QByteArray body = "RVEX" + Le32(version) + chunks;
    const auto crc = static_cast<quint32>(
        crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size())));
    return body + Le32(crc);
}

QByteArray Chunk(const char* tag, const QByteArray& data) {
    return QByteArray(tag, 4) + Le32(quint32(data.size())) + data;
}

QByteArray Floats(std::initializer_list<float> values) {
    QByteArray b;
    for (float f : values) {
        b += Le32(std::bit_cast<quint32>(f));
    }
    return b;
}

} // namespace

class TestTrackFile : public QObject {
    Q_OBJECT

private slots:
    void init() { TheVertexStore().Clear(); }

    // A point's shape moves with the point through every store operation, and indices outside
    // the store are refused without touching anything.
    void storeKeepsEachShapeWithItsPoint() {
        CVertexStore& s = TheVertexStore();
        auto marked = [](float left) { return PointShape{left, std::nullopt, std::nullopt}; };
        auto leftOf = [&](int i) { return s.ShapeAt(i).widthLeft.value_or(-1.0f); };
        s.Append({1, 1, 1});
        s.Append({2, 2, 2}, marked(20));
        s.Append({3, 3, 3});
        QVERIFY(s.InsertAt(0, {0, 0, 0}, marked(5)));
        QVERIFY(s.EraseAt(2)); // (0, 5) (1) (3)
        QCOMPARE(s.Count(), 3);
        QVERIFY(leftOf(0) == 5.0f && leftOf(1) == -1.0f && leftOf(2) == -1.0f);
        QCOMPARE(s.At(2).x, 3.0f);
        QVERIFY(s.SetShape(2, marked(30)));
        s.Resize(5); // padded points have no shape
        QVERIFY(leftOf(2) == 30.0f && s.ShapeAt(4).IsUnset() && s.At(4).x == 0.0f);
        s.RemoveLast();
        s.Resize(2);
        QCOMPARE(s.Shapes().size(), std::size_t{2});
        QCOMPARE(leftOf(0), 5.0f);

        for (long long bad : {-1LL, 2LL, std::numeric_limits<long long>::max()}) {
            QVERIFY(s.Find(bad) == nullptr);
            QVERIFY_THROWS_EXCEPTION(std::out_of_range, s.At(bad));
            QVERIFY(!s.EraseAt(bad));
            QVERIFY(!s.SetShape(bad, marked(1)));
            QVERIFY(s.ShapeAt(bad).IsUnset());
        }
        QVERIFY(!s.InsertAt(3, {}));
        QVERIFY(!s.InsertAt(-1, {}));
        QCOMPARE(s.Count(), 2);
        s.Clear();
        QVERIFY(s.Shapes().empty());
    }

    void bytesOfTheDocumentedExamples() {
        QCOMPARE(ToQByteArray(SerializeTrack(4, 100, {})), Hex("040000006400000000000000"));
        const std::vector<CVector3D> one{{1.0f, 0.0f, -2.5f}};
        QCOMPARE(ToQByteArray(SerializeTrack(4, 100, one)).mid(12),
                 Hex("0000803f00000000000020c0"));
        const std::vector<CVector3D> two{{100, 0, -50}, {0, 0, 0}};
        QCOMPARE(ToQByteArray(SerializeTrack(4, 100, two)),
                 Hex("04000000640000000200000000"
                     "00c84200000000000048c2000000000000000000000000"));
    }

    // The extension byte for byte: an outside CRC (Python's zlib.crc32 gave 0xc9203f72) and the
    // width field as the rounded mean of left + right width ((80 + 50 + 50 + 50) / 2 = 115).
    void extensionLayoutAndWhatOlderReadersSee() {
        const std::vector<CVector3D> two{{100, 0, -50}, {0, 0, 0}};
        const std::vector<PointShape> shapes{{}, {80.0f, std::nullopt, std::nullopt}};
        const QByteArray bytes = ToQByteArray(SerializeTrack(4, 100, two, shapes));
        QCOMPARE(bytes, Hex("04000000730000000200000000"
                            "00c84200000000000048c2000000000000000000000000"
                            "5256455801000000504e54531c000000020000000000484200004842000000000000"
                            "a0420000484200000000723f20c9"));
        // A reader of the plain record gets the same points and settings.
        const PlainTrack plain = ReadPlain(bytes);
        QCOMPARE(plain.divisionCount, 4);
        QCOMPARE(plain.roadWidth, 115);
        QCOMPARE(plain.coordinates, QList<float>({100, 0, -50, 0, 0, 0}));

        // Values that the settings give anyway, set or not, add nothing: the plain record.
        const std::vector<PointShape> asDefault{{50.0f, 50.0f, 0.0f}, {std::nullopt, 50.0f, -0.0f}};
        QCOMPARE(ToQByteArray(SerializeTrack(4, 100, two, asDefault)),
                 ToQByteArray(SerializeTrack(4, 100, two)));
        // A bank alone keeps the width field; a mean is rounded half away from zero and kept
        // within 32 bits.
        auto widthField = [&](std::vector<PointShape> s, int width) {
            return MakeTrackTail(width, s.size(), s, {}).widthField;
        };
        QCOMPARE(widthField({{std::nullopt, std::nullopt, 10.0f}, {}}, 101), 101);
        QCOMPARE(widthField({{50.25f, 50.25f, std::nullopt}}, 100), 101); // 100.5
        QCOMPARE(widthField({{3e38f, 3e38f, std::nullopt}}, 100), INT32_MAX);
    }

    void shapesSurviveSaveAndOpenAndKeepFollowingTheWidth() {
        QTemporaryDir dir;
        const QString path = dir.filePath("shaped.rolvet");
        const std::vector<CVector3D> three{{0, 0, 0}, {10, 0, 0}, {10, 0, 10}};
        // Left widths 80, 50, 50 and right widths 50: width field (130 + 100 + 100) / 3 = 110.
        const std::vector<PointShape> shapes{
            {80.0f, std::nullopt, 12.5f}, {}, {std::nullopt, std::nullopt, -3.0f}};
        QVERIFY(!SaveTrackFile(path.toStdString(), 6, 100, three, shapes));
        const QByteArray saved = ReadAll(path);
        TrackData back;
        const TrackError opened = LoadTrackFile(path.toStdString(), back);
        QVERIFY(!opened && !opened.shapeDamaged);
        QCOMPARE(back.roadWidth, 110);
        QCOMPARE(back.shapes.size(), std::size_t{3});
        for (std::size_t i = 0; i < 3; ++i) {
            const ResolvedShape was = Resolve(shapes[i], 100), is = Resolve(back.shapes[i], 110);
            QCOMPARE(is.widthLeft, was.widthLeft);
            QCOMPARE(is.widthRight, was.widthRight);
            QCOMPARE(is.bank, was.bank);
        }
        QCOMPARE(ToQByteArray(SerializeTrack(back.divisionCount, back.roadWidth, back.vertices,
                                             back.shapes, back.otherChunks)),
                 saved);

        // Only a bank: the widths stay unset and follow a later change of the road width.
        const std::vector<PointShape> banked{{std::nullopt, std::nullopt, 5.0f}, {}, {}};
        QVERIFY(!SaveTrackFile(path.toStdString(), 6, 100, three, banked));
        QVERIFY(!LoadTrackFile(path.toStdString(), back));
        QCOMPARE(back.roadWidth, 100);
        QVERIFY(!back.shapes[0].widthLeft && !back.shapes[0].widthRight);
        QCOMPARE(back.shapes[0].bank, std::optional<float>(5.0f));
        QCOMPARE(Resolve(back.shapes[0], 300).widthRight, 150.0f);
    }

    // Chunks this editor does not know are skipped on reading and written back as they were.
    void unknownChunksSurviveASave() {
        const std::vector<CVector3D> one{{1, 2, 3}};
        const QByteArray plain = ToQByteArray(SerializeTrack(4, 100, one));
        const QByteArray points = Chunk("PNTS", Le32(1) + Floats({50, 70, 0}));
        for (const QByteArray& chunks : {points + Chunk("ZZZZ", "\x01\x02\x03") + Chunk("EMPT", {}),
                                         Chunk("ONLY", QByteArray(9, '\x55'))}) {
            QByteArray file = plain + Extension(chunks);
            if (chunks.startsWith("PNTS")) {
                file.replace(4, 4, Le32(120)); // 50 + 70, as the width field must say
            }
            TrackData t;
            const TrackError err = ParseTrack(AsBytes(file), t);
            QVERIFY(!err && !err.shapeDamaged);
            QCOMPARE(t.vertices.size(), std::size_t{1});
            QCOMPARE(ToQByteArray(SerializeTrack(t.divisionCount, t.roadWidth, t.vertices, t.shapes,
                                                 t.otherChunks)),
                     file);
        }
    }

    // A damaged extension opens the points and settings with every shape at its default.
    void damagedExtensionsOpenThePoints() {
        const std::vector<CVector3D> two{{1, 2, 3}, {4, 5, 6}};
        const QByteArray plain = ToQByteArray(SerializeTrack(7, 100, two));
        const QByteArray good =
            Extension(Chunk("PNTS", Le32(2) + Floats({60, 50, 0, 50, 50, 9})) + Chunk("KEEP", "x"));
        QByteArray badCrc = good;
        badCrc[20] = char(badCrc[20] ^ 1);
        const float nan = std::numeric_limits<float>::quiet_NaN();
        QList<QByteArray> damaged = {
            badCrc,
            Extension(Chunk("PNTS", Le32(3) + Floats({1, 1, 0, 1, 1, 0, 1, 1, 0}))), // n != 2
            Extension(Chunk("PNTS", Le32(2) + Floats({1, 1, 0, 1, 1}))),             // short
            Extension(Chunk("PNTS", Le32(2) + Floats({1, 1, 0, nan, 1, 0}))),
            Extension(Chunk("PNTS", Le32(2) + Floats({1, 1, 0, 1, 1, 0})), 2),          // version
            Extension(Chunk("PNTS", Le32(2) + Floats({1, 1, 0, 1, 1, 0})).repeated(2)), // twice
            Extension("PNT"),                                // a chunk header cut short
            Extension(QByteArray("KEEP") + Le32(100) + "x"), // a chunk larger than the rest
        };
        for (qsizetype len = 4; len < good.size(); ++len) {
            damaged << good.left(len); // every truncation
        }
        for (const QByteArray& ext : damaged) {
            QTemporaryDir dir;
            const QString path = dir.filePath("damaged.rolvet");
            QVERIFY(WriteAll(path, plain + ext));
            TrackData t;
            const TrackError err = LoadTrackFile(path.toStdString(), t);
            QVERIFY2(!err && err.shapeDamaged, ext.toHex().constData());
            QCOMPARE(t.divisionCount, 7);
            QVERIFY(SameVertices(t.vertices, two));
            QVERIFY(t.shapes.empty() && t.otherChunks.empty());
            QCOMPARE(QString::fromStdString(ShapeDamagedMessage(err)),
                     path + QString::fromUtf8(" の道路の形 (左右の幅とバンク) の情報が壊れている"
                                              "ため、頂点と設定だけを開きました。幅とバンクは既定"
                                              "の値になっています。"));
        }
        // The good one reads; bytes that do not begin with "RVEX" are no extension at all.
        for (const QByteArray& tail : {good, QByteArray("RVE"), QByteArray("rvex") + good}) {
            TrackData t;
            const TrackError err = ParseTrack(AsBytes(plain + tail), t);
            QVERIFY(!err && !err.shapeDamaged);
            QCOMPARE(t.shapes.size(), tail == good ? std::size_t{2} : std::size_t{0});
        }
    }

    // Monotone cubic over the closed loop, against values worked by hand with the Hermite basis
    // h00 = 2t³ − 3t² + 1, h10 = t³ − 2t² + t, h01 = −2t³ + 3t², h11 = t³ − t².
    void monotoneCubicAgainstHandWorkedValues() {
        // A right width growing linearly 10 .. 50, then back to 10 across the last segment.
        // Slopes: 0 at 10 and at 50 (the secants change sign), 10 elsewhere.
        const MonotoneLoop grow({10, 20, 30, 40, 50});
        const double expected[5][3] = {
            {11.09375, 13.75, 17.03125}, // 10 h00 + 20 h01 + 10 h11
            {22.5, 25, 27.5},            // linear
            {32.5, 35, 37.5},
            {42.96875, 46.25, 48.90625}, // 40 h00 + 10 h10 + 50 h01
            {43.75, 30, 16.25},          // 50 h00 + 10 h01
        };
        for (std::size_t k = 0; k < 5; ++k) {
            QCOMPARE(grow.Sample(k, 0, 4), 10.0 * double(k + 1)); // through every control value
            for (int i = 1; i <= 3; ++i) {
                QCOMPARE(grow.Sample(k, i, 4), expected[k][i - 1]);
            }
        }
        // A step: flat stretches stay flat, the rise never leaves 0 .. 100.
        const MonotoneLoop step({0, 0, 0, 100, 100, 100});
        for (std::size_t k = 0; k < 6; ++k) {
            double last = step.At(k, 0);
            for (int i = 1; i <= 64; ++i) {
                const double v = step.Sample(k, i, 64);
                QVERIFY(v >= 0.0 && v <= 100.0);
                QVERIFY(k == 2 ? v >= last : k == 5 ? v <= last : v == last);
                last = v;
            }
        }
        // A steep climb between two shallow ones: the raw slopes 5 at 0.1 and at 10 would dip
        // below 0 (0.1 h01 + 5 h11 = −0.575 at t = ½); limited to 3 / 50 of it, 0.3, the
        // segment gives 0.1 · ½ + 0.3 · (−⅛) = 0.0125 there and stays within 0 .. 0.1.
        const MonotoneLoop steep({0, 0.1, 10, 10.1});
        QCOMPARE(steep.At(0, 0.5), 0.0125);
        for (int i = 0; i <= 64; ++i) {
            const double v = steep.Sample(0, i, 64);
            QVERIFY(v >= 0.0 && v <= 0.1);
        }
        // No kink: the slope is the same on both sides of every control point.
        for (const MonotoneLoop* loop : {&grow, &step, &steep}) {
            const std::size_t n = loop->Count();
            for (std::size_t k = 0; k < n; ++k) {
                const double h = 1e-6;
                const double in = (loop->At(k, 1.0) - loop->At(k, 1.0 - h)) / h;
                const double out = (loop->At((k + 1) % n, h) - loop->At((k + 1) % n, 0.0)) / h;
                QVERIFY2(std::abs(in - out) < 1e-3, qPrintable(QString::number(k)));
            }
        }
    }

    void roundTripKeepsEveryBit() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.rolvet");
        const float nanPayload = std::bit_cast<float>(0x7fc12345u);
        const std::vector<CVector3D> vertices{
            {1.5f, 7.5f, -3.25f},
            {-0.0f, 5.0f, 0.0f},
            {nanPayload, std::numeric_limits<float>::infinity(), 1e38f},
            {std::numeric_limits<float>::denorm_min(), -1e-30f, 123456.789f}};
        for (const auto& [div, width] :
             {std::pair{0, 0}, {-3, -250}, {INT32_MIN, INT32_MAX}, {16, 2000}}) {
            QVERIFY(!SaveTrackFile(path.toStdString(), div, width, vertices));
            QCOMPARE(ReadAll(path).size(), 12 + 12 * 4);
            TrackData back;
            QVERIFY(!LoadTrackFile(path.toStdString(), back));
            QCOMPARE(back.divisionCount, div);
            QCOMPARE(back.roadWidth, width);
            QVERIFY(SameVertices(back.vertices, vertices));
        }
        QVERIFY(std::signbit(vertices[1].x));
    }

    void trailingBytesAreIgnored() {
        const std::vector<CVector3D> v{{1, 2, 3}};
        QByteArray bytes = ToQByteArray(SerializeTrack(2, 30, v)) + QByteArray(5, '\x7f');
        TrackData t;
        QVERIFY(!ParseTrack(AsBytes(bytes), t));
        QCOMPARE(t.divisionCount, 2);
        QCOMPARE(t.vertices.size(), std::size_t{1});
        QCOMPARE(t.vertices[0].z, 3.0f);
    }

    void everyTruncationIsAnUnexpectedFormat() {
        const std::vector<CVector3D> v{{1, 2, 3}, {4, 5, 6}};
        const QByteArray full = ToQByteArray(SerializeTrack(7, 9, v));
        for (qsizetype len = 1; len < full.size(); ++len) {
            TrackData t;
            t.divisionCount = 42;
            const TrackError err = ParseTrack(AsBytes(full.left(len)), t);
            QVERIFY2(err.kind == TrackErrorKind::BadFormat, qPrintable(QString::number(len)));
            QCOMPARE(t.divisionCount, 42); // nothing half-read reaches the caller
            QCOMPARE(TrackErrorMessage(err), std::string(str::kBadFormat));
        }
        TrackData empty;
        empty.divisionCount = 42;
        QVERIFY(!ParseTrack({}, empty));
        QCOMPARE(empty.divisionCount, kDefaultDivisionCount);
        QCOMPARE(empty.roadWidth, kDefaultRoadWidth);
        QVERIFY(empty.vertices.empty());
    }

    void absurdCountsFailBeforeAllocating() {
        // 2^31-1 and counts that are negative as signed numbers, in a 12-byte file and with
        // some vertex data: both must fail at once, not after allocating gigabytes.
        for (const char* header : {"0400000064000000ffffff7f", "040000006400000000000080",
                                   "0400000064000000ffffffff", "040000006400000003000000"}) {
            QByteArray bytes = Hex(header);
            for (int extra : {0, 24}) {
                TrackData t;
                const TrackError err = ParseTrack(AsBytes(bytes + QByteArray(extra, '\0')), t);
                QCOMPARE(int(err.kind), int(TrackErrorKind::BadFormat));
            }
        }
    }

    void fileErrorsCarryTheirCauseAndPath() {
        QTemporaryDir dir;
        TrackData t;
        const QString missing = dir.filePath("missing.rolvet");
        TrackError err = LoadTrackFile(missing.toStdString(), t);
        QCOMPARE(int(err.kind), int(TrackErrorKind::CannotOpen));
        QCOMPARE(QString::fromStdString(TrackErrorMessage(err)),
                 missing + " が見つかりませんでした。");

        // A folder in place of the file: access denied, both reading and writing.
        const QString folder = dir.filePath("folder.rolvet");
        QVERIFY(QDir().mkdir(folder));
        err = LoadTrackFile(folder.toStdString(), t);
        QCOMPARE(QString::fromStdString(TrackErrorMessage(err)),
                 folder + " へのアクセスは拒否されました。");
        err = SaveTrackFile(folder.toStdString(), 4, 100, {});
        QCOMPARE(QString::fromStdString(TrackErrorMessage(err)),
                 folder + " へのアクセスは拒否されました。");

        // A device or pipe is never replaced by a regular file.
        const QString fifo = dir.filePath("pipe.rolvet");
        QCOMPARE(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
        err = SaveTrackFile(fifo.toStdString(), 4, 100, {});
        QCOMPARE(QString::fromStdString(TrackErrorMessage(err)),
                 fifo + " へのアクセスは拒否されました。");
        QVERIFY(QFileInfo(fifo).isFile() == false && QFileInfo::exists(fifo));

        const QString badPath = dir.filePath("notafolder");
        QVERIFY(WriteAll(badPath, "x"));
        err = SaveTrackFile((badPath + "/t.rolvet").toStdString(), 4, 100, {});
        QCOMPARE(QString::fromStdString(TrackErrorMessage(err)),
                 badPath + "/t.rolvet に正しくないパスが含まれています。");
        // A name longer than the file system allows.
        const QString longName = dir.filePath(QString(300, 'n') + ".rolvet");
        err = SaveTrackFile(longName.toStdString(), 4, 100, {});
        QCOMPARE(QString::fromStdString(TrackErrorMessage(err)),
                 longName + " に正しくないパスが含まれています。");

        // No descriptor left: the limit lowered to the lowest free one.
        const QString path = dir.filePath("t.rolvet");
        {
            rlimit saved{};
            QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
            const int lowest = ::dup(0);
            QVERIFY(lowest >= 0);
            ::close(lowest);
            rlimit lowered = saved;
            lowered.rlim_cur = rlim_t(lowest);
            QCOMPARE(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
            err = SaveTrackFile(path.toStdString(), 4, 100, {});
            QCOMPARE(::setrlimit(RLIMIT_NOFILE, &saved), 0);
        }
        QCOMPARE(QString::fromStdString(TrackErrorMessage(err)),
                 "開いているファイルが多すぎるため、" + path + " を開けませんでした。");

        // A full disk: every byte goes to /dev/full, which refuses it as a full disk does.
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        QVERIFY(full >= 0);
        {
            CAtomicFile::ScopedWriteHook hook([full](int, const void* data, std::size_t size) {
                return ::write(full, data, size);
            });
            err = SaveTrackFile(path.toStdString(), 4, 100, {});
        }
        ::close(full);
        QCOMPARE(QString::fromStdString(TrackErrorMessage(err)),
                 path + " へのアクセス中にディスクがいっぱいになりました。");
        QVERIFY(!QFile::exists(path));
    }

    void failedSaveAtEveryOffsetLeavesTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("keep.rolvet");
        const std::vector<CVector3D> oldTrack{{9, 9, 9}};
        QVERIFY(!SaveTrackFile(path.toStdString(), 1, 2, oldTrack));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadGroup));
        const QByteArray before = ReadAll(path);
        const std::vector<CVector3D> newTrack{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
        const std::size_t total = 12 + 12 * newTrack.size();
        for (std::size_t failAt = 0; failAt < total; ++failAt) {
            std::size_t written = 0;
            CAtomicFile::ScopedWriteHook hook(
                [&](int fd, const void* data, std::size_t size) -> ssize_t {
                    if (written + size > failAt) {
                        const std::size_t part = failAt - written;
                        if (part == 0) {
                            errno = ENOSPC;
                            return -1;
                        }
                        written += part;
                        return ::write(fd, data, part);
                    }
                    written += size;
                    return ::write(fd, data, size);
                });
            const TrackError err = SaveTrackFile(path.toStdString(), 5, 6, newTrack);
            QCOMPARE(int(err.kind), int(TrackErrorKind::File));
            QCOMPARE(int(err.cause), int(FileCause::DiskFull));
            QCOMPARE(ReadAll(path), before);
            const QString fresh = dir.filePath("fresh.rolvet");
            QVERIFY(SaveTrackFile(fresh.toStdString(), 5, 6, newTrack));
            QVERIFY(!QFile::exists(fresh));
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                     QStringList{"keep.rolvet"});
        }
        QVERIFY(!SaveTrackFile(path.toStdString(), 5, 6, newTrack));
        QCOMPARE(ReadAll(path).size(), qsizetype(total));
        // Replacing keeps the owner (we run as root in CI) and the permissions of the old file.
        if (::geteuid() == 0) {
            QCOMPARE(::chown(path.toLocal8Bit().constData(), 1234, 5678), 0);
            QVERIFY(!SaveTrackFile(path.toStdString(), 5, 6, newTrack));
            QCOMPARE(QFileInfo(path).ownerId(), 1234u);
            QCOMPARE(QFileInfo(path).groupId(), 5678u);
        }
        QCOMPARE(QFile::permissions(path) & (QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ReadGroup | QFileDevice::ReadOther),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    }

    void saveFollowsSymbolicLinks() {
        QTemporaryDir dir;
        const QString real = dir.filePath("real.rolvet");
        const QString link = dir.filePath("link.rolvet");
        QVERIFY(!SaveTrackFile(real.toStdString(), 1, 1, {}));
        QVERIFY(QFile::link(real, link));
        QVERIFY(!SaveTrackFile(link.toStdString(), 3, 3, {}));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(ReadAll(real).left(4), Hex("03000000"));
    }

    void pipesAndDevicesAreRefusedAtOnce() {
        // Reading would wait for a writer or never end; the file-error text names the path.
        QTemporaryDir dir;
        const QString fifo = dir.filePath("pipe.rolvet");
        QCOMPARE(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        const std::string pipeFd = "/proc/self/fd/" + std::to_string(fds[0]);
        for (const std::string& path : {fifo.toStdString(), pipeFd, std::string("/dev/zero")}) {
            TrackData t;
            const TrackError err = LoadTrackFile(path, t);
            QCOMPARE(int(err.kind), int(TrackErrorKind::CannotOpen));
            QCOMPARE(TrackErrorMessage(err), path + " へのアクセスは拒否されました。");
        }
        ::close(fds[0]);
        ::close(fds[1]);
    }
};

ROLVET_TEST_GUILESS_MAIN(TestTrackFile)
#include "tst_trackfile.moc"
