// A game-ready GLB dropped into a Godot 3 project: the engine's own import makes the collision
// mesh a static body, keeps the timing nodes in order and finds both road textures.
#include "IsolatedHome.h"
#include "TestUtil.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

// Starts program in a process group of its own, so that it and everything it starts (Xvfb,
// the engine) can be ended together.
void StartInGroup(QProcess& process, const QString& program, const QStringList& arguments) {
    process.setChildProcessModifier([] { ::setsid(); });
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
}

void EndGroup(QProcess& process) {
    if (process.state() != QProcess::NotRunning) {
        ::kill(-static_cast<pid_t>(process.processId()), SIGTERM);
        if (!process.waitForFinished(10000)) {
            ::kill(-static_cast<pid_t>(process.processId()), SIGKILL);
            process.waitForFinished(10000);
        }
    }
}

// The faces of the mesh named "road-colonly" in a GLB, from its JSON chunk.
int CollisionFaces(const QByteArray& glb) {
    std::uint32_t length = 0;
    std::memcpy(&length, glb.constData() + 12, 4);
    const QJsonObject json = QJsonDocument::fromJson(glb.mid(20, length)).object();
    for (const QJsonValue& mesh : json["meshes"].toArray()) {
        if (mesh["name"].toString() == QLatin1String("road-colonly")) {
            const int indices = mesh["primitives"][0]["indices"].toInt();
            return json["accessors"][indices]["count"].toInt() / 3;
        }
    }
    return -1;
}

} // namespace

class TestGodot : public QObject {
    Q_OBJECT

private slots:
    void importsTheLevel() {
        const QString godot = QStandardPaths::findExecutable(QStringLiteral("godot3"));
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
        if (godot.isEmpty() || xvfb.isEmpty()) {
            QSKIP("godot3 or xvfb-run is not installed (Debian packages godot3 and xvfb); the "
                  "import into Godot was not tried");
        }
        QTemporaryDir project;
        QVERIFY(testutil::WriteAll(project.filePath("project.godot"),
                                   "config_version=4\n\n[application]\nconfig/name=\"track\"\n"));
        QVERIFY(QFile::copy(QStringLiteral(ROLVET_SOURCE_DIR "/tests/export/godot/probe.gd"),
                            project.filePath("probe.gd")));
        const QString glb = project.filePath("track.glb");
        QProcess exporter;
        exporter.start(QStringLiteral(ROLVET_EXECUTABLE),
                       {"--export", QStringLiteral(ROLVET_SOURCE_DIR "/data/sample.rolvet"), glb,
                        "--collision", "--walls", "1", "--checkpoints", "8"});
        QVERIFY(exporter.waitForFinished(60000) && exporter.exitCode() == 0);
        const int faces = CollisionFaces(testutil::ReadAll(glb));
        QVERIFY(faces > 0);

        const QStringList engine = {
            "-a",    "-s",     "-screen 0 640x480x24", godot, "--audio-driver",
            "Dummy", "--path", project.path()};
        // The editor imports the GLB. Godot 3.2's editor may stay open after --quit once the
        // import is done; it is ended when the imported scene and its record are written.
        QProcess editor;
        StartInGroup(editor, xvfb, engine + QStringList{"--editor", "--quit"});
        const QDir imported(project.filePath(".import"));
        bool done = false;
        for (int waited = 0; waited < 300 && !done; ++waited) {
            done = QFile::exists(project.filePath("track.glb.import")) &&
                   !imported.entryList({"track.glb-*.scn"}, QDir::Files).isEmpty();
            if (!done && editor.waitForFinished(1000)) {
                done = true;
            }
        }
        QTest::qWait(3000);
        EndGroup(editor);
        QVERIFY2(!imported.entryList({"track.glb-*.scn"}, QDir::Files).isEmpty(),
                 editor.readAll().right(2000).constData());

        QProcess probe;
        StartInGroup(probe, xvfb, engine + QStringList{"-s", "probe.gd"});
        const bool finished = probe.waitForFinished(180000);
        const QString out = QString::fromUtf8(probe.readAll());
        EndGroup(probe);
        QVERIFY2(finished, qPrintable(out.right(2000)));
        QStringList results;
        for (const QString& line : out.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("RESULT "))) {
                // Godot names the body after the node without its suffix, numbered when that
                // name is taken ("road2").
                results.append(line.mid(7).trimmed().replace(
                    QRegularExpression(QStringLiteral("^body road\\d* ")),
                    QStringLiteral("body ")));
            }
        }
        QStringList expected = {QStringLiteral("material road True"),
                                QStringLiteral("material kerb True"),
                                QStringLiteral("material wall False"),
                                QStringLiteral("body %1").arg(faces), QStringLiteral("node start")};
        for (int i = 0; i < 8; ++i) {
            expected.append(QStringLiteral("node checkpoint_%1").arg(i, 3, 10, QLatin1Char('0')));
        }
        QCOMPARE(results, expected);
    }
};

ROLVET_TEST_GUILESS_MAIN(TestGodot)
#include "tst_godot.moc"
