// The editor's export command and "rolvet --export": dialogs, messages, files, and the same
// bytes from both.
#include "IsolatedHome.h"
#include "ScriptedPrompts.h"
#include "TestUtil.h"
#include "common/Strings.h"
#include "document/Prompts.h"
#include "document/RolvetDoc.h"
#include "export/RoadExport.h"
#include "track/TrackFile.h"
#include "track/VertexStore.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

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

QByteArray Texture() {
    return ReadAll(QStringLiteral(ROLVET_SOURCE_DIR "/data/Road.png"));
}

// A track with heights, an odd width and several divisions.
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

struct CliResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the real program with no display of any kind.
CliResult RunCli(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(QString::fromLatin1(name));
    }
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(ROLVET_EXECUTABLE), arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        return {};
    }
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace

class TestExportCommand : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_prompts.Reset();
        TheVertexStore().Assign({{0, 0, 0}, {1000, 0, 0}, {1000, 0, 1000}, {0, 0, 1000}});
        m_doc.SetDivisionCount(1);
        m_doc.SetRoadWidth(100);
        m_doc.SetModifiedFlag(false);
    }

    void needsFourVertices() {
        TheVertexStore().RemoveLast();
        m_doc.OnFileExport(nullptr);
        QCOMPARE(m_prompts.messages, QStringList{Tr(rolvet::str::kNeedFourVertices)});
        QVERIFY(m_prompts.fileRequests.isEmpty()); // the dialog is not shown

        // A road too large for the format's counts is refused before a file is chosen.
        TheVertexStore().Append({0, 0, 1000});
        m_prompts.messages.clear();
        m_doc.SetDivisionCount(std::numeric_limits<int>::max());
        m_doc.OnFileExport(nullptr);
        QCOMPARE(m_prompts.messages, QStringList{Tr(rolvet::str::kTooManyVertices)});
        QVERIFY(m_prompts.fileRequests.isEmpty());
    }

    void dialogAndExtensions() {
        QTemporaryDir dir;
        // Cancelled dialog: nothing at all.
        m_doc.OnFileExport(nullptr);
        QCOMPARE(m_prompts.fileRequests.size(), 1);
        const FileDialogRequest& request = m_prompts.fileRequests.first();
        QVERIFY(request.save); // its filters are checked with the other formats' export
        QVERIFY(request.proposedPath.isEmpty());
        QVERIFY(m_prompts.messages.isEmpty());

        // Another extension is refused silently.
        m_prompts.fileAnswer = dir.filePath(QStringLiteral("road.txt"));
        m_doc.OnFileExport(nullptr);
        QVERIFY(m_prompts.messages.isEmpty());
        QCOMPARE(Entries(dir.path()), QStringList());

        // MQO in capitals is written, and the texture replaces an existing one.
        QVERIFY(WriteAll(dir.filePath(QStringLiteral("Road.png")), "old"));
        m_prompts.fileAnswer = dir.filePath(QStringLiteral("ROAD.MQO"));
        m_doc.OnFileExport(nullptr);
        QVERIFY(m_prompts.messages.isEmpty());
        QCOMPARE(ReadAll(m_prompts.fileAnswer),
                 ReadAll(QStringLiteral(ROLVET_TEST_DATA_DIR "/square.mqo")));
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("Road.png"))), Texture());
        QCOMPARE(Entries(dir.path()), QStringList({"ROAD.MQO", "Road.png"}));
        // The export changes neither the track nor the modified flag.
        QCOMPARE(TheVertexStore().Count(), 4);
        QVERIFY(!m_doc.IsModified());
    }

    void failureMessages() {
        QTemporaryDir dir;
        // A folder in place of the model: the write failure is reported, no texture copied.
        m_prompts.fileAnswer = dir.filePath(QStringLiteral("road.mqo"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("road.mqo")));
        m_doc.OnFileExport(nullptr);
        QCOMPARE(m_prompts.messages,
                 QStringList{m_prompts.fileAnswer + Tr("の書き出しに失敗しました。")});
        QCOMPARE(Entries(dir.path()), QStringList({"road.mqo"}));
        QVERIFY(QDir(m_prompts.fileAnswer).removeRecursively());

        // The texture cannot be copied: the model is kept and the destination is named.
        m_prompts.messages.clear();
        const QString texture = dir.filePath(QStringLiteral("Road.png"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Road.png")));
        m_doc.OnFileExport(nullptr);
        QCOMPARE(m_prompts.messages, QStringList{texture + Tr("のコピーに失敗しました。")});
        QCOMPARE(ReadAll(m_prompts.fileAnswer),
                 ReadAll(QStringLiteral(ROLVET_TEST_DATA_DIR "/square.mqo")));
    }

    // A long export shows a progress dialog; its Cancel leaves no file behind.
    void cancelLongExport() {
        QTemporaryDir dir;
        QWidget window;
        window.show();
        m_doc.SetDivisionCount(2'000'000); // 8 million samples: far longer than a moment
        m_prompts.fileAnswer = dir.filePath(QStringLiteral("long.mqo"));
        QString label;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, this, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* progress = qobject_cast<QProgressDialog*>(w);
                if (progress && progress->isVisible() && !progress->wasCanceled()) {
                    label = progress->labelText();
                    progress->cancel();
                }
            }
        });
        poll.start();
        QElapsedTimer clock;
        clock.start();
        m_doc.OnFileExport(&window);
        poll.stop();
        QCOMPARE(label, Tr(rolvet::str::kExporting));
        QVERIFY2(clock.elapsed() < 60000, "the export ran on after Cancel");
        QVERIFY(m_prompts.messages.isEmpty());
        QCOMPARE(Entries(dir.path()), QStringList());
    }

    // The editor and the command line write the same bytes and the same texture.
    void editorAndCommandLineAgree() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("editor")));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("cli")));
        const std::vector<CVector3D> points = WindingTrack();
        const QString track = dir.filePath(QStringLiteral("winding.rolvet"));
        QVERIFY(!rolvet::SaveTrackFile(track.toStdString(), 16, 101, points));

        QVERIFY(!m_doc.OnOpenDocument(track));
        m_prompts.fileAnswer = dir.filePath(QStringLiteral("editor/winding.mqo"));
        m_doc.OnFileExport(nullptr);
        QVERIFY(m_prompts.messages.isEmpty());

        const QString cliModel = dir.filePath(QStringLiteral("cli/winding.mqo"));
        const CliResult cli = RunCli({QStringLiteral("--export"), track, cliModel});
        QCOMPARE(cli.exitCode, 0);
        QCOMPARE(cli.out, QByteArray());
        QCOMPARE(cli.err, QByteArray());

        const QByteArray editorBytes = ReadAll(m_prompts.fileAnswer);
        QVERIFY(editorBytes.contains("\tvertex 1472 {\r\n"));
        QCOMPARE(ReadAll(cliModel), editorBytes);
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("cli/Road.png"))), Texture());
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("editor/Road.png"))), Texture());
    }

    void commandLineFailures() {
        QTemporaryDir dir;
        const QString model = dir.filePath(QStringLiteral("out.mqo"));

        // Unreadable tracks print the editor's open-failure messages.
        const QString missing = dir.filePath(QStringLiteral("missing.rolvet"));
        CliResult r = RunCli({QStringLiteral("--export"), missing, model});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(QString::fromUtf8(r.err), missing + Tr(" が見つかりませんでした。\n"));
        QVERIFY(r.out.isEmpty());

        const QString shortTrack = dir.filePath(QStringLiteral("short.rolvet"));
        QVERIFY(WriteAll(shortTrack, QByteArray(8, '\0')));
        r = RunCli({QStringLiteral("--export"), shortTrack, model});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(QString::fromUtf8(r.err), Tr(rolvet::str::kBadFormat) + QLatin1Char('\n'));

        const QString three = dir.filePath(QStringLiteral("three.rolvet"));
        const std::vector<CVector3D> threePoints = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}};
        QVERIFY(!rolvet::SaveTrackFile(three.toStdString(), 4, 100, threePoints));
        r = RunCli({QStringLiteral("--export"), three, model});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(QString::fromUtf8(r.err), Tr(rolvet::str::kNeedFourVertices) + QLatin1Char('\n'));
        QCOMPARE(Entries(dir.path()), QStringList({"short.rolvet", "three.rolvet"}));

        // Model and texture failures.
        const QString square = dir.filePath(QStringLiteral("square.rolvet"));
        const std::vector<CVector3D> squarePoints = {
            {0, 0, 0}, {1000, 0, 0}, {1000, 0, 1000}, {0, 0, 1000}};
        QVERIFY(!rolvet::SaveTrackFile(square.toStdString(), 1, 100, squarePoints));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out.mqo")));
        r = RunCli({QStringLiteral("--export"), square, model});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(QString::fromUtf8(r.err), model + Tr("の書き出しに失敗しました。\n"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Road.png"))));
        QVERIFY(QDir(model).removeRecursively());

        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Road.png")));
        r = RunCli({QStringLiteral("--export"), square, model});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(QString::fromUtf8(r.err),
                 dir.filePath(QStringLiteral("Road.png")) + Tr("のコピーに失敗しました。\n"));
        QCOMPARE(ReadAll(model), ReadAll(QStringLiteral(ROLVET_TEST_DATA_DIR "/square.mqo")));
        QVERIFY(QFile::remove(model));
        QVERIFY(QDir(dir.filePath(QStringLiteral("Road.png"))).removeRecursively());

        // Usage errors exit with 2 and write nothing.
        for (const QStringList& args :
             {QStringList{QStringLiteral("--export"), square,
                          dir.filePath(QStringLiteral("out.txt"))},
              QStringList{QStringLiteral("--export"), square, dir.filePath(QStringLiteral("out"))},
              QStringList{QStringLiteral("--export"), square},
              QStringList{QStringLiteral("--export"), square, model, model}}) {
            r = RunCli(args);
            QCOMPARE(r.exitCode, 2);
            QVERIFY(!r.err.isEmpty());
        }
        QVERIFY(!QFile::exists(model));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("out.txt"))));

        // Capitals are fine on the command line too.
        r = RunCli({QStringLiteral("--export"), square, dir.filePath(QStringLiteral("OUT.MQO"))});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.isEmpty());
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("Road.png"))), Texture());

        r = RunCli({QStringLiteral("--help")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains("--export TRACK.rolvet OUT.mqo"));
        QVERIFY(r.out.contains("--export TRACK.rolvet OUT.glb"));
    }

private:
    CScriptedPrompts m_prompts;
    CRolvetDoc m_doc;
};

ROLVET_TEST_MAIN(TestExportCommand)
#include "tst_exportcommand.moc"
