// Track files, the vertex store and the file-error texts.
#include "IsolatedHome.h"
#include "TestUtil.h"
#include "common/AtomicFile.h"
#include "common/Strings.h"
#include "track/TrackFile.h"
#include "track/VertexStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <sys/stat.h>

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

} // namespace

class TestTrackFile : public QObject {
    Q_OBJECT

private slots:
    void init() { TheVertexStore().Clear(); }

    void vertexStoreOperations() {
        CVertexStore& s = TheVertexStore();
        const CVector3D a(1, 2, 3), b(4, 5, 6), c(7, 8, 9);
        auto reset = [&] {
            s.Clear();
            s.Append(a);
            s.Append(b);
            s.Append(c);
        };
        reset();
        s.Resize(5);
        QCOMPARE(s.Count(), 5);
        QCOMPARE(s.At(2).z, 9.0f);
        QVERIFY(s.At(3).x == 0 && s.At(3).y == 0 && s.At(3).z == 0 && s.At(4).x == 0);
        s.Resize(2);
        QCOMPARE(s.Count(), 2);
        QCOMPARE(s.At(1).x, 4.0f);
        s.Resize(0);
        QCOMPARE(s.Count(), 0);

        reset();
        QVERIFY(s.EraseAt(0));
        QCOMPARE(s.Count(), 2);
        QCOMPARE(s.At(0).x, 4.0f);
        QCOMPARE(s.At(1).x, 7.0f);
        reset();
        QVERIFY(s.EraseAt(2));
        QCOMPARE(s.At(1).x, 4.0f);
        QCOMPARE(s.Count(), 2);
        QVERIFY(s.InsertAt(0, {9, 9, 9})); // insert at the front and after the last vertex
        QVERIFY(s.InsertAt(3, {8, 8, 8}));
        QCOMPARE(s.Count(), 4);
        QVERIFY(s.At(0).x == 9.0f && s.At(1).x == 1.0f && s.At(2).x == 4.0f && s.At(3).x == 8.0f);

        s.Clear();
        s.Append(a);
        s.RemoveLast();
        QCOMPARE(s.Count(), 0);
        s.RemoveLast(); // nothing to remove: no change, no crash
        s.Clear();
        QCOMPARE(s.Count(), 0);
    }

    void vertexStoreRefusesIndicesOutside() {
        CVertexStore& s = TheVertexStore();
        s.Append({1, 1, 1});
        QVERIFY(s.Find(-1) == nullptr);
        QVERIFY(s.Find(1) == nullptr);
        QVERIFY(s.Find(std::numeric_limits<long long>::max()) == nullptr);
        QVERIFY(s.Find(0) != nullptr);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, s.At(1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, s.At(-1));
        QVERIFY(!s.EraseAt(1));
        QVERIFY(!s.EraseAt(-5));
        QVERIFY(!s.InsertAt(2, {}));
        QVERIFY(!s.InsertAt(-1, {}));
        QCOMPARE(s.Count(), 1);
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
    }

    // Each errno reaches the user as the text of its cause.
    void errnoBecomesItsText() {
        const struct {
            int err;
            const char* text;
        } cases[] = {
            {ENOENT, "/a/b が見つかりませんでした。"},
            {EACCES, "/a/b へのアクセスは拒否されました。"},
            {EPERM, "/a/b へのアクセスは拒否されました。"},
            {EISDIR, "/a/b へのアクセスは拒否されました。"},
            {EROFS, "/a/b へのアクセスは拒否されました。"},
            {ENAMETOOLONG, "/a/b に正しくないパスが含まれています。"},
            {ENOTDIR, "/a/b に正しくないパスが含まれています。"},
            {EMFILE, "開いているファイルが多すぎるため、/a/b を開けませんでした。"},
            {ENFILE, "開いているファイルが多すぎるため、/a/b を開けませんでした。"},
            {EIO, "/a/b へのアクセス中にハードウェア I/O エラーが報告されました。"},
            {ENOSPC, "/a/b へのアクセス中にディスクがいっぱいになりました。"},
            {EDQUOT, "/a/b へのアクセス中にディスクがいっぱいになりました。"},
            {123456, "/a/b へのアクセス中に不明なエラーが発生しました。"},
        };
        for (const auto& c : cases) {
            QCOMPARE(QString::fromStdString(FileErrorMessage(FileCauseFromErrno(c.err), "/a/b")),
                     QString::fromUtf8(c.text));
        }
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
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
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
