// Recovery copies: kept while the track has unsaved changes, gone when it is saved, discarded or
// closed, written and kept when the editor is ended by a signal, offered at the next start by
// exactly one editor, and restored bit for bit.
#include "IsolatedHome.h"
#include "ScriptedPrompts.h"
#include "TestUtil.h"
#include "app/DesktopIntegration.h"
#include "app/FileFlows.h"
#include "app/RolvetApp.h"
#include "document/NativePath.h"
#include "track/VertexStore.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <bit>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testutil::kDeadlineMs;

QString U(const char* text) {
    return QString::fromUtf8(text);
}

// A process ID that belongs to no running process.
pid_t DeadPid() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

float Bits(std::uint32_t bits) {
    return std::bit_cast<float>(bits);
}

// The bytes of the store: what a restored copy must give back exactly.
QByteArray StoreBytes() {
    const auto all = TheVertexStore().All();
    return QByteArray(reinterpret_cast<const char*>(all.data()), qsizetype(all.size_bytes()));
}

// Answers the restore question with Yes, but only once the file gate exists: the editor holds
// the copy it asks about until then.
class CGatedPrompts : public CScriptedPrompts {
public:
    explicit CGatedPrompts(QString gate) : m_gate(std::move(gate)) {}
    QMessageBox::StandardButton AskYesNoCancel(QWidget*, const QString& text) override {
        std::printf("asked %s\n", text.toUtf8().constData());
        std::fflush(stdout);
        QDeadlineTimer deadline(kDeadlineMs);
        while (!QFile::exists(m_gate) && !deadline.hasExpired()) {
            QThread::msleep(5); // polls for the test's file, within the deadline
        }
        return QMessageBox::Yes;
    }

private:
    QString m_gate;
};

// One of two editors starting at the same time: offers the copies there are, then tells what
// it restored.
int OfferChild(int argc, char** argv) {
    QApplication app(argc, argv);
    CGatedPrompts prompts(QString::fromLocal8Bit(argv[2]));
    CRolvetDoc doc;
    CRecovery::OfferRestore(doc, nullptr);
    std::printf("restored %lld\n", static_cast<long long>(TheVertexStore().Count()));
    return 0;
}

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT

    // The desktop's database tools are not started: run in the background, they would go on
    // after a test function and write into its home after it was removed.
    rolvet::desktop::CScopedToolLauncher m_noTools{
        [](const QString&, const QStringList&) { return true; }};

    std::optional<testutil::CIsolatedHome> m_home; // the recovery folder, settings

private slots:
    void init() { m_home.emplace(); }
    void cleanup() {
        m_home.reset();
        TheVertexStore().Clear();
    }

    void copyFollowsChangesUntilSavedDiscardedOrClosed() {
        CScriptedPrompts prompts;
        CRolvetApp app;
        QVERIFY(app.InitInstance({}));
        const QString copy = app.Recovery().CopyPath();
        CRolvetDoc& doc = app.Document();
        TheVertexStore().Append({1, 2, 3});
        doc.SetModifiedFlag(true);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(copy), kDeadlineMs);
        TheVertexStore().Append({4, 5, 6});
        doc.SetDivisionCount(7);
        QTRY_COMPARE_WITH_TIMEOUT(
            CRecovery::ReadCopy(copy).value_or(CRecovery::Copy{}).track.vertices.size(),
            std::size_t{2}, kDeadlineMs);
        QCOMPARE(CRecovery::ReadCopy(copy)->track.divisionCount, 7);

        // Saved: the copy goes.
        QTemporaryDir dir;
        prompts.fileAnswers = {dir.filePath("t.rolvet")};
        QVERIFY(app.Files().OnFileSave());
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(copy), kDeadlineMs);

        // Discarded (New, answered No): the copy goes.
        doc.SetModifiedFlag(true);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(copy), kDeadlineMs);
        prompts.answers = {QMessageBox::No};
        app.Files().OnFileNew();
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(copy), kDeadlineMs);

        // Several editors: a copy each. A running editor's copy is never offered, whatever its
        // name says about its process; once that editor is gone it is.
        doc.SetModifiedFlag(true);
        app.Recovery().WriteNow();
        QVERIFY(QFile::exists(copy));
        CRolvetDoc other;
        auto second = std::make_unique<CRecovery>(other);
        other.SetModifiedFlag(true);
        second->WriteNow();
        QVERIFY(second->CopyPath() != copy && QFile::exists(second->CopyPath()));
        QVERIFY(CRecovery::OrphanCopies().isEmpty());
        const QString renamed =
            CRecovery::Folder() + QStringLiteral("/%1-0badf00d.rolvet-recovery").arg(DeadPid());
        QVERIFY(QFile::rename(second->CopyPath(), renamed));
        QVERIFY(QFile::rename(second->CopyPath() + ".lock", renamed + ".lock"));
        QVERIFY(CRecovery::OrphanCopies().isEmpty());
        second.reset();
        QCOMPARE(CRecovery::OrphanCopies(), QStringList{renamed});
    }

    void signalsWriteTheCopyAndEndWithoutAsking() {
        for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
            CScriptedPrompts prompts;
            QString copy;
            {
                CRolvetApp app;
                QVERIFY(app.InitInstance({}));
                app.Recovery().CatchTerminationSignals();
                copy = app.Recovery().CopyPath();
                TheVertexStore().Assign({{1, 0, 1}, {2, 0, 2}});
                app.Document().SetModifiedFlag(true);
                std::raise(signal);
                QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(copy), kDeadlineMs);
                QVERIFY(app.Files().SaveModified()); // closing asks nothing now
            }
            QVERIFY(prompts.questions.isEmpty());
            QVERIFY(QFile::exists(copy)); // kept for the next start
            QVERIFY(QFile::remove(copy));
        }
    }

    // The copy of an editor that ended is offered at the next start (it is named after a
    // process that still runs: this one) and gives back every bit, NaN payloads and signed
    // zeros included; a change of only the last coordinate reaches the copy.
    void nextStartOffersTheCopy() {
        QTemporaryDir dir;
        const QString path = dir.filePath("track.rolvet");
        const std::vector<CVector3D> points = {
            {Bits(0x80000000u), 0, std::numeric_limits<float>::denorm_min()},
            {Bits(0x7fc12345u), -1e30f, std::numeric_limits<float>::max()},
            {0.1f, Bits(0xff800000u), 3.0f}};
        QString copy;
        QByteArray bytes;
        {
            CScriptedPrompts prompts;
            CRolvetApp app;
            QVERIFY(app.InitInstance({}));
            copy = app.Recovery().CopyPath();
            TheVertexStore().Assign(std::vector<CVector3D>(points));
            TheVertexStore().SetShape(1, {30.0f, std::nullopt, 5.0f}); // the copy keeps shapes
            app.Document().SetPathName(path);
            app.Document().SetRoadWidth(250);
            app.Document().SetModifiedFlag(true);
            auto lastZ = [&] {
                const auto copied = CRecovery::ReadCopy(copy);
                return copied ? std::bit_cast<std::uint32_t>(copied->track.vertices.back().z) : 0u;
            };
            QTRY_COMPARE_WITH_TIMEOUT(lastZ(), std::bit_cast<std::uint32_t>(3.0f), kDeadlineMs);
            CVector3D last = points[2];
            last.z = std::nextafter(3.0f, 4.0f); // its lowest bit, nothing else
            app.Document().SetVertex(2, last);
            QTRY_COMPARE_WITH_TIMEOUT(lastZ(), std::bit_cast<std::uint32_t>(3.0f) + 1, kDeadlineMs);
            bytes = StoreBytes();
            app.OnTermination();
        }
        TheVertexStore().Clear();
        {
            CScriptedPrompts prompts;
            prompts.answers = {QMessageBox::Yes};
            CRolvetApp app;
            QVERIFY(app.InitInstance({}));
            QCOMPARE(
                prompts.questions,
                QStringList{U("保存されていない変更のあるトラック「track.rolvet」が前回の終了時に"
                              "残されました。復元しますか?")});
            QCOMPARE(app.Document().PathName(), path);
            QCOMPARE(app.Document().Title(), QString("track.rolvet"));
            QVERIFY(app.Document().IsModified());
            QCOMPARE(StoreBytes().toHex(), bytes.toHex());
            // As a save would: the width field is the rounded mean of left + right,
            // (155 + 250 + 250) / 3 → 218, and every side keeps its width.
            QCOMPARE(app.Document().RoadWidth(), 218);
            const float sides[3][3] = {{125, 125, 0}, {30, 125, 5}, {125, 125, 0}};
            for (int i = 0; i < 3; ++i) {
                const rolvet::ResolvedShape r = rolvet::Resolve(TheVertexStore().ShapeAt(i), 218);
                QCOMPARE(QList<float>({r.widthLeft, r.widthRight, r.bank}),
                         QList<float>(std::begin(sides[i]), std::end(sides[i])));
            }
            QVERIFY(!QFile::exists(copy));
            app.Recovery().WriteNow();
            app.OnTermination();
            copy = app.Recovery().CopyPath();
        }
        {
            CScriptedPrompts prompts;
            prompts.answers = {QMessageBox::No};
            CRolvetApp app;
            QVERIFY(app.InitInstance({}));
            QCOMPARE(prompts.questions.size(), 1);
            QVERIFY(!app.Document().IsModified());
            QVERIFY(!QFile::exists(copy));
        }
        // Declined and restored copies take their lock files with them.
        QCOMPARE(QDir(CRecovery::Folder()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // Two editors started at the same moment, as real processes: exactly one offers the copy
    // that an ended editor left, and the other never sees it while the first is asking.
    void twoEditorsStartingTogetherOfferACopyOnce() {
        {
            CScriptedPrompts prompts;
            CRolvetApp app;
            QVERIFY(app.InitInstance({}));
            TheVertexStore().Assign({{1, 0, 1}, {2, 0, 2}, {3, 0, 3}});
            app.Document().SetModifiedFlag(true);
            app.OnTermination();
        }
        QCOMPARE(CRecovery::OrphanCopies().size(), 1);
        const QString gate = m_home->Root() + QStringLiteral("/gate");
        QProcess editors[2];
        QByteArray out[2];
        for (QProcess& editor : editors) {
            editor.start(QCoreApplication::applicationFilePath(), {"--offer-child", gate});
        }
        auto settled = [&](int i) {
            out[i] += editors[i].readAllStandardOutput();
            return out[i].contains("asked ") || editors[i].state() == QProcess::NotRunning;
        };
        // Each has either asked (and holds the copy until the gate opens) or finished.
        QTRY_VERIFY_WITH_TIMEOUT(settled(0) && settled(1), kDeadlineMs);
        QCOMPARE(int(out[0].contains("asked ")) + int(out[1].contains("asked ")), 1);
        QVERIFY(testutil::WriteAll(gate, "open"));
        for (int i = 0; i < 2; ++i) {
            QVERIFY(editors[i].state() == QProcess::NotRunning ||
                    editors[i].waitForFinished(kDeadlineMs));
            out[i] += editors[i].readAllStandardOutput();
            QCOMPARE(editors[i].exitCode(), 0);
            QVERIFY2(out[i].endsWith(out[i].contains("asked ") ? "restored 3\n" : "restored 0\n"),
                     out[i].constData());
        }
        QCOMPARE(QDir(CRecovery::Folder()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--offer-child") == 0) {
        return OfferChild(argc, argv); // in the home of the test that started it
    }
    testutil::CIsolatedHome home;
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestRecovery test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_recovery.moc"
