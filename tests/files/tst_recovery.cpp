// Recovery copies: kept while the track has unsaved changes, gone when it is saved, discarded or
// closed, written and kept when the editor is ended by a signal, offered at the next start.
#include "IsolatedHome.h"
#include "ScriptedPrompts.h"
#include "TestUtil.h"
#include "app/FileFlows.h"
#include "app/RolvetApp.h"
#include "document/NativePath.h"
#include "track/VertexStore.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
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

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT

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

        // Closed normally while modified (the question was answered No): the copy goes.
        doc.SetModifiedFlag(true);
        app.Recovery().WriteNow();
        QVERIFY(QFile::exists(copy));
        QVERIFY(CRecovery::OrphanCopies().isEmpty()); // its editor is running
        CRolvetDoc other;
        CRecovery second(other); // several editors: a copy each
        QVERIFY(second.CopyPath() != copy);
        other.SetModifiedFlag(true);
        second.WriteNow();
        QCOMPARE(QDir(CRecovery::Folder()).entryList(QDir::Files).size(), 2);
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

    void nextStartOffersTheCopy() {
        QTemporaryDir dir;
        const QString path = dir.filePath("track.rolvet");
        QString copy;
        {
            CScriptedPrompts prompts;
            CRolvetApp app;
            QVERIFY(app.InitInstance({}));
            TheVertexStore().Assign({{1, 0, 1}, {2, 0, 2}, {3, 0, 3}});
            TheVertexStore().SetShape(1, {30.0f, std::nullopt, 5.0f}); // the copy keeps shapes
            app.Document().SetPathName(path);
            app.Document().SetRoadWidth(250);
            app.Document().SetModifiedFlag(true);
            app.OnTermination();
            copy = app.Recovery().CopyPath();
        }
        // Its editor is gone.
        const QString orphan =
            CRecovery::Folder() + QStringLiteral("/%1-0.rolvet-recovery").arg(DeadPid());
        QVERIFY(QFile::rename(copy, orphan));
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
            // As a save would: the width field is the rounded mean of left + right,
            // (155 + 250 + 250) / 3 → 218, and every side keeps its width.
            QCOMPARE(app.Document().RoadWidth(), 218);
            QCOMPARE(TheVertexStore().Count(), 3);
            const float sides[3][3] = {{125, 125, 0}, {30, 125, 5}, {125, 125, 0}};
            for (int i = 0; i < 3; ++i) {
                const rolvet::ResolvedShape r = rolvet::Resolve(TheVertexStore().ShapeAt(i), 218);
                QCOMPARE(QList<float>({r.widthLeft, r.widthRight, r.bank}),
                         QList<float>(std::begin(sides[i]), std::end(sides[i])));
            }
            QVERIFY(!QFile::exists(orphan));
            app.Recovery().WriteNow();
            app.OnTermination();
            copy = app.Recovery().CopyPath();
        }
        QVERIFY(QFile::rename(copy, orphan));
        {
            CScriptedPrompts prompts;
            prompts.answers = {QMessageBox::No};
            CRolvetApp app;
            QVERIFY(app.InitInstance({}));
            QCOMPARE(prompts.questions.size(), 1);
            QVERIFY(!app.Document().IsModified());
            QVERIFY(!QFile::exists(orphan));
        }
    }
};

ROLVET_TEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
