// Files as Linux users have them: names, permissions (checked as an unprivileged user) and
// saves and exports killed at random instants.
#include "IsolatedHome.h"
#include "TestUtil.h"
#include "common/AtomicFile.h"
#include "export/RoadExport.h"
#include "track/TrackFile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

using namespace rolvet;
using testutil::ReadAll;
using testutil::WriteAll;

namespace {

constexpr uid_t kNobody = 65534;
const std::vector<CVector3D> kSquare = {{0, 0, 0}, {1000, 0, 0}, {1000, 0, 1000}, {0, 0, 1000}};
const char* const kTexture = ROLVET_SOURCE_DIR "/data/Road.png";

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QByteArray TrackBytes(const std::vector<CVector3D>& v) {
    return testutil::ToQByteArray(SerializeTrack(4, 100, v));
}

std::vector<CVector3D> Track(std::size_t n, float seed) {
    std::vector<CVector3D> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        v[i] = {seed + float(i), seed, -float(i)};
    }
    return v;
}

// The square track's model written once, to compare exports with.
QByteArray ReferenceModel(const QString& folder, int divisions) {
    RoadExportRequest request;
    request.modelPath = (folder + "/reference.mqo").toStdString();
    request.points = kSquare;
    request.divisions = divisions;
    request.halfWidth = 50;
    request.textureSource = kTexture;
    return ExportRoad(request).status == RoadExportStatus::Ok ? ReadAll(folder + "/reference.mqo")
                                                              : QByteArray();
}

// Runs this test program as the unprivileged user to save a two-point track at path; returns
// the message of a failed save, empty on success.
QString SaveAsNobody(const QString& path) {
    QProcess process;
    process.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                              QCoreApplication::applicationFilePath(), "--save-as-child", path});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        return "child did not finish";
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

int SaveChild(const char* path) {
    const TrackError error = SaveTrackFile(path, 4, 100, Track(2, 7));
    std::fputs(TrackErrorMessage(error).c_str(), stdout);
    return error ? 1 : 0;
}

// Forks a child that runs work in a loop, kills it after a random delay and waits for it.
template <class Work> void KillDuring(std::mt19937& rng, int maxDelayMs, Work work) {
    const pid_t child = ::fork();
    if (child == 0) {
        for (;;) {
            work();
        }
    }
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::uniform_int_distribution<int>(0, maxDelayMs * 1000)(rng)));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

} // namespace

class TestFiles : public QObject {
    Q_OBJECT

private slots:
    void longAndUnusualNames() {
        QTemporaryDir dir;
        // Names of 248 to 255 bytes: whatever temporary name is used must fit the limit.
        QStringList names;
        for (int length : {248, 255}) {
            const QString track = dir.filePath(QString(length - 7, 'a') + ".rolvet");
            QVERIFY(!SaveTrackFile(track.toStdString(), 4, 100, kSquare));
            QVERIFY(!SaveTrackFile(track.toStdString(), 5, 100, kSquare)); // replacing too
            QCOMPARE(ReadAll(track).left(1), QByteArray("\x05"));
            RoadExportRequest request;
            request.modelPath = dir.filePath(QString(length - 4, 'm') + ".mqo").toStdString();
            request.points = kSquare;
            request.divisions = 1;
            request.textureSource = kTexture;
            QCOMPARE(ExportRoad(request).status, RoadExportStatus::Ok);
            QVERIFY(ExportRoad(request).message.empty());
            names << QFileInfo(track).fileName()
                  << QFileInfo(QString::fromStdString(request.modelPath)).fileName();
        }
        names << "Road.png";
        names.sort();
        QCOMPARE(Entries(dir.path()), names);

        // A backslash is part of the name: the texture goes beside the model, nothing else.
        QTemporaryDir other;
        QVERIFY(QDir(other.path()).mkdir("c"));
        QVERIFY(WriteAll(other.filePath("c/Road.png"), "not ours"));
        RoadExportRequest request;
        request.modelPath = other.filePath("c\\d.mqo").toStdString();
        request.points = kSquare;
        request.divisions = 1;
        request.textureSource = kTexture;
        QCOMPARE(ExportRoad(request).status, RoadExportStatus::Ok);
        QCOMPARE(ReadAll(other.filePath("c/Road.png")), QByteArray("not ours"));
        QCOMPARE(ReadAll(other.filePath("Road.png")), ReadAll(kTexture));

        // Names that are not UTF-8 (Shift-JIS "コース") save, load and export.
        const std::string sjis = dir.path().toStdString() + "/\x83\x52\x81\x5b\x83\x58";
        QVERIFY(!SaveTrackFile(sjis + ".rolvet", 4, 100, kSquare));
        TrackData back;
        QVERIFY(!LoadTrackFile(sjis + ".rolvet", back));
        QCOMPARE(back.vertices.size(), kSquare.size());
        request.modelPath = sjis + ".mqo";
        QCOMPARE(ExportRoad(request).status, RoadExportStatus::Ok);
        QVERIFY(std::filesystem::is_regular_file(sjis + ".mqo"));
        std::filesystem::remove_all(dir.path().toStdString());
    }

    void writeProtectionAsAnUnprivilegedUser() {
        if (::geteuid() != 0) {
            QSKIP("needs root to act as another user");
        }
        QTemporaryDir dir;
        QCOMPARE(::chmod(dir.path().toLocal8Bit().constData(), 0777), 0);
        // Longer than the track that replaces it: a file written in place must lose its tail.
        const QByteArray old = QByteArray("old contents ").repeated(8);
        auto make = [&](const QString& name, uid_t owner, mode_t mode) {
            const QString path = dir.filePath(name);
            const QByteArray local = path.toLocal8Bit();
            if (!WriteAll(path, old) || ::chown(local.constData(), owner, owner) != 0 ||
                ::chmod(local.constData(), mode) != 0) {
                return QString();
            }
            return path;
        };
        // A read-only file of the user's own, and another user's file: refused, left as they were.
        for (const auto& [name, owner, mode] : {std::tuple{"mine-ro.rolvet", kNobody, 0444},
                                                std::tuple{"roots.rolvet", uid_t(0), 0644}}) {
            const QString path = make(name, owner, mode_t(mode));
            QVERIFY(!path.isEmpty());
            QCOMPARE(SaveAsNobody(path), path + " へのアクセスは拒否されました。");
            QCOMPARE(ReadAll(path), old);
            QCOMPARE(QFileInfo(path).ownerId(), owner);
        }
        // Another user's file that anyone may write is written in place: it stays its owner's.
        const QString shared = make("shared.rolvet", 0, 0666);
        QCOMPARE(SaveAsNobody(shared), QString());
        QCOMPARE(ReadAll(shared), TrackBytes(Track(2, 7)));
        QCOMPARE(QFileInfo(shared).ownerId(), 0u);

        // A folder that refuses new files: a writable file in it is still saved, in place.
        QVERIFY(QDir(dir.path()).mkdir("closed"));
        const QString inClosed = make("closed/mine.rolvet", kNobody, 0644);
        QCOMPARE(::chmod(dir.filePath("closed").toLocal8Bit().constData(), 0555), 0);
        QCOMPARE(SaveAsNobody(inClosed), QString());
        QCOMPARE(ReadAll(inClosed), TrackBytes(Track(2, 7)));
        QCOMPARE(SaveAsNobody(dir.filePath("closed/new.rolvet")),
                 dir.filePath("closed/new.rolvet") + " へのアクセスは拒否されました。");
        QCOMPARE(Entries(dir.filePath("closed")), QStringList{"mine.rolvet"});

        // The command-line export refuses a read-only model the same way.
        const QString model = make("ro.mqo", kNobody, 0444);
        const QString track = dir.filePath("square.rolvet");
        QVERIFY(!SaveTrackFile(track.toStdString(), 1, 100, kSquare));
        QProcess process;
        process.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                  ROLVET_EXECUTABLE, "--export", track, model});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()).trimmed(),
                 model + "の書き出しに失敗しました。");
        QCOMPARE(ReadAll(model), old);

        // A GLB, whose header is written last, written in place over another user's file is
        // the same file as a new one.
        const QString sharedGlb = make("shared.glb", 0, 0666);
        const QString freshGlb = dir.filePath("fresh.glb");
        for (const QString& out : {sharedGlb, freshGlb}) {
            process.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                      ROLVET_EXECUTABLE, "--export", track, out});
            QVERIFY(process.waitForFinished(60000));
            QCOMPARE(process.exitCode(), 0);
        }
        QCOMPARE(QFileInfo(sharedGlb).ownerId(), 0u);
        QCOMPARE(ReadAll(sharedGlb), ReadAll(freshGlb));
    }

    // A new file, saved or exported, through either kind of temporary, gets the permissions
    // the kernel gives a file created with mode 0666 under the same umask; a replaced file keeps
    // its own.
    void newFilesFollowTheUmask() {
        QTemporaryDir dir;
        const mode_t saved = ::umask(022);
        auto mode = [](const QString& path) {
            struct stat st {};
            return ::stat(path.toLocal8Bit().constData(), &st) == 0 ? st.st_mode & 07777 : 0u;
        };
        QString kept; // the first track saved
        for (const mode_t mask : {mode_t{022}, mode_t{077}, mode_t{002}}) {
            for (const bool named : {false, true}) {
                std::optional<CAtomicFile::ScopedNamedTemporary> force;
                if (named) {
                    force.emplace();
                }
                ::umask(mask);
                const QString folder =
                    dir.filePath(QString("%1-%2").arg(mask, 0, 8).arg(int(named)));
                QVERIFY(QDir().mkdir(folder));
                const QString reference = folder + "/reference";
                const int fd = ::open(reference.toLocal8Bit().constData(),
                                      O_CREAT | O_WRONLY | O_CLOEXEC, 0666);
                QVERIFY(fd >= 0);
                ::close(fd);
                QVERIFY(!SaveTrackFile((folder + "/t.rolvet").toStdString(), 4, 100, kSquare));
                RoadExportRequest request;
                request.modelPath = (folder + "/m.mqo").toStdString();
                request.points = kSquare;
                request.divisions = 1;
                request.textureSource = kTexture;
                QCOMPARE(ExportRoad(request).status, RoadExportStatus::Ok);
                for (const char* name : {"/t.rolvet", "/m.mqo", "/Road.png"}) {
                    QCOMPARE(mode(folder + name), mode(reference));
                }
                kept = kept.isEmpty() ? folder + "/t.rolvet" : kept;
            }
        }
        QCOMPARE(::chmod(kept.toLocal8Bit().constData(), 0604), 0);
        QVERIFY(!SaveTrackFile(kept.toStdString(), 5, 100, kSquare));
        QCOMPARE(mode(kept), 0604u);
        ::umask(saved);
    }

    // Saves and exports killed at random instants, counted over many runs: the file at the
    // target is always one complete version, and nothing else is left once the next save ran.
    void killedWritesLeaveNothingBehind() {
        std::random_device seedSource;
        const unsigned seed = seedSource();
        std::mt19937 rng(seed);
        QTemporaryDir dir;
        const QString path = dir.filePath("t.rolvet");
        const auto a = Track(1'000'000, 1), b = Track(700'000, 2);
        const QByteArray bytesA = TrackBytes(a), bytesB = TrackBytes(b);
        constexpr int kRuns = 30;
        for (bool named : {false, true}) {
            int leftTemporaries = 0;
            std::optional<CAtomicFile::ScopedNamedTemporary> force;
            if (named) {
                force.emplace(); // as on file systems without unnamed files
            }
            QFile::remove(path);
            for (int run = 0; run < kRuns; ++run) {
                KillDuring(rng, 40, [&] {
                    SaveTrackFile(path.toStdString(), 4, 100, a);
                    SaveTrackFile(path.toStdString(), 4, 100, b);
                });
                const QByteArray now = ReadAll(path);
                QVERIFY2(
                    now.isEmpty() ? !QFile::exists(path) : now == bytesA || now == bytesB,
                    qPrintable(
                        QString("seed %1, run %2, %3 bytes").arg(seed).arg(run).arg(now.size())));
                leftTemporaries += int(Entries(dir.path()).size()) - (QFile::exists(path) ? 1 : 0);
            }
            QVERIFY(!SaveTrackFile(path.toStdString(), 4, 100, a));
            QCOMPARE(Entries(dir.path()), QStringList{"t.rolvet"});
            qInfo("%s temporary: %d saves killed, %d temporary files seen before the next save "
                  "removed them",
                  named ? "named" : "unnamed", kRuns, leftTemporaries);
        }

        QTemporaryDir out;
        const QByteArray reference = ReferenceModel(dir.path(), 2000);
        QVERIFY(reference.size() > 1'000'000);
        const QString model = out.filePath("road.mqo");
        const QByteArray texture = ReadAll(kTexture);
        auto exportModel = [&] {
            RoadExportRequest request;
            request.modelPath = model.toStdString();
            request.points = kSquare;
            request.divisions = 2000;
            request.halfWidth = 50;
            request.textureSource = kTexture;
            return ExportRoad(request).status;
        };
        int leftTemporaries = 0;
        for (int run = 0; run < kRuns; ++run) {
            KillDuring(rng, 60, [&] {
                QFile::remove(model);
                exportModel();
            });
            // A new texture takes the old one's place under a temporary name first (and every
            // file does where unnamed files are not supported): a kill before the rename leaves
            // that temporary, which the next write in the folder removes.
            for (const QString& name : Entries(out.path())) {
                const QByteArray bytes = ReadAll(out.filePath(name));
                const bool temporary = name.startsWith(".rolvet-") && name.endsWith(".tmp");
                leftTemporaries += temporary ? 1 : 0;
                QVERIFY2(temporary || (name == "road.mqo" ? bytes == reference
                                                          : name == "Road.png" && bytes == texture),
                         qPrintable(QString("seed %1, run %2: %3").arg(seed).arg(run).arg(name)));
            }
        }
        // What such a kill leaves, made for certain rather than by chance: a temporary of a
        // writer that is gone. A temporary of a running writer is kept.
        const pid_t gone = ::fork();
        if (gone == 0) {
            ::_exit(0);
        }
        ::waitpid(gone, nullptr, 0);
        const QString stale = out.filePath(QString(".rolvet-%1-0badf00d.tmp").arg(gone));
        const QString running = out.filePath(QString(".rolvet-%1-0badf00d.tmp").arg(::getpid()));
        QVERIFY(WriteAll(stale, texture.left(100)) && WriteAll(running, "in progress"));
        QCOMPARE(exportModel(), RoadExportStatus::Ok);
        QVERIFY(QFile::remove(running));
        QCOMPARE(Entries(out.path()), QStringList({"Road.png", "road.mqo"}));
        qInfo("export: %d killed, %d temporary files seen before the next export removed them",
              kRuns, leftTemporaries);
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--save-as-child") == 0) {
        return SaveChild(argv[2]);
    }
    testutil::CIsolatedHome home;
    QCoreApplication app(argc, argv);
    TestFiles test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_files.moc"
