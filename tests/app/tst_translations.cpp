// The English interface: every marked text of the string table has an English that keeps its
// placeholders, English reaches the core's messages and the window, Japanese stays the default,
// and the choice is remembered for the next start without changing any written file.
#include "IsolatedHome.h"
#include "ScriptedPrompts.h"
#include "TestUtil.h"
#include "app/Commands.h"
#include "app/Language.h"
#include "app/MainFrame.h"
#include "app/RolvetApp.h"
#include "common/FileError.h"
#include "common/Strings.h"
#include "document/SetUpDialog.h"
#include "document/Tr.h"
#include "export/RoadExport.h"
#include "track/TrackFile.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

using rolvet::lang::Language;

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

struct Extracted {
    QStringList sources; // distinct texts, as lupdate read them
    int occurrences = 0; // marked places in the file
};

// What Qt's own lupdate collects from the string table.
Extracted ExtractWithLupdate(const QString& ts) {
    QProcess lupdate;
    lupdate.start(ROLVET_LUPDATE,
                  {"-silent", "-locations", "absolute", ROLVET_STRING_TABLE, "-ts", ts});
    if (!lupdate.waitForFinished(60000) || lupdate.exitCode() != 0) {
        return {};
    }
    QFile file(ts);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    Extracted found;
    QXmlStreamReader xml(&file);
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (xml.isStartElement() && xml.name() == QLatin1String("source")) {
            found.sources << xml.readElementText();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("location")) {
            ++found.occurrences;
        } else if (xml.isStartElement() && xml.name() != QLatin1String("TS") &&
                   xml.name() != QLatin1String("context") &&
                   xml.name() != QLatin1String("message")) {
            xml.skipCurrentElement();
        }
    }
    return found;
}

// The placeholders a message fills in (%1, %2, %s, ...), in order.
QStringList Placeholders(const QString& text) {
    QStringList found;
    static const QRegularExpression placeholder(QStringLiteral("%[1-9sd]"));
    for (auto it = placeholder.globalMatch(text); it.hasNext();) {
        found << it.next().captured();
    }
    found.sort();
    return found;
}

// Mnemonic markers: '&' not doubled.
int Mnemonics(const QString& text) {
    return int(text.count(QLatin1Char('&')) - 2 * text.count(QLatin1String("&&")));
}

QStringList MenuTitles(CMainFrame* frame) {
    QStringList titles;
    for (QAction* top : frame->menuBar()->actions()) {
        titles << top->text();
    }
    return titles;
}

} // namespace

class TestTranslations : public QObject {
    Q_OBJECT

    static void ClearSettings() {
        QSettings(U(rolvet::str::kSettingsOrganization), U(rolvet::str::kSettingsApplication))
            .clear();
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { ClearSettings(); }
    void cleanup() {
        QVERIFY(rolvet::lang::Use(Language::Japanese));
        ClearSettings();
    }

    void everyMarkedTextHasItsEnglish() {
        QTemporaryDir dir;
        const Extracted extracted = ExtractWithLupdate(dir.filePath("extracted.ts"));
        QVERIFY2(extracted.sources.contains(U("レディ")), "lupdate found no texts");
        // Every marker of the file, counted without lupdate, was read by lupdate.
        QString table = QString::fromUtf8(testutil::ReadAll(ROLVET_STRING_TABLE));
        table.remove(QRegularExpression(QStringLiteral("//[^\n]*")));
        const int markers = int(
            table.count(QRegularExpression(QStringLiteral(R"(QT_TRANSLATE_NOOP\(\s*"rolvet")"))));
        QCOMPARE(extracted.occurrences, markers);

        QTranslator english;
        QVERIFY(english.load(QStringLiteral(":/i18n/rolvet_en.qm")));
        for (const QString& source : extracted.sources) {
            const QByteArray key = source.toUtf8();
            const QString en = english.translate(rolvet::str::kTranslationContext, key);
            QVERIFY2(!en.isEmpty(), qPrintable("no English for: " + source));
            QCOMPARE(Placeholders(en), Placeholders(source));
            QCOMPARE(Mnemonics(en), Mnemonics(source));
            if (source.contains(QLatin1Char('\t'))) { // the shortcut shown beside a menu item
                QCOMPARE(en.section(QLatin1Char('\t'), 1), source.section(QLatin1Char('\t'), 1));
            }
        }
        qInfo("%d marked texts, each with its English", int(extracted.sources.size()));
    }

    void englishReachesCoreAndWindowAndJapaneseComesBack() {
        QVERIFY(rolvet::lang::Use(Language::English));
        QCOMPARE(rolvet::FileErrorMessage(rolvet::FileCause::NotFound, "/t/a.rolvet"),
                 std::string("/t/a.rolvet was not found."));
        QCOMPARE(rolvet::TrackErrorMessage({rolvet::TrackErrorKind::BadFormat, {}, {}}),
                 std::string("Unexpected file format."));
        QCOMPARE(rolvet::CheckRoadExport(3, 4).message,
                 std::string("Please make at least 4 vertices."));
        {
            CScriptedPrompts prompts;
            CRolvetApp app;
            QVERIFY(app.InitInstance({}));
            CMainFrame* frame = app.MainFrame();
            QCOMPARE(MenuTitles(frame),
                     QStringList({"&File", "&Edit", "&Settings", "&View", "&Help"}));
            QCOMPARE(frame->windowTitle(), QString("Untitled - Welmo Rolvet 0.3"));
            QCOMPARE(frame->statusBar()->currentMessage(), QString("Ready"));
            QCOMPARE(frame->Action(cmd::ID_FILE_NEW)->text(), QString("&New\tCtrl+N"));
            QCOMPARE(frame->Action(cmd::ID_XYZ)->toolTip(), QString("Vertex coordinates"));
            CSetUpDialog setUp(100, 4);
            QCOMPARE(setUp.windowTitle(), QString("Settings"));
            QCOMPARE(setUp.findChild<QLabel*>("labelWidth")->text(), QString("Road width"));
        }

        QVERIFY(rolvet::lang::Use(Language::Japanese));
        QCOMPARE(Tr(rolvet::str::kReady), U("レディ"));
        QCOMPARE(rolvet::FileErrorMessage(rolvet::FileCause::NotFound, "/t/a.rolvet"),
                 std::string("/t/a.rolvet が見つかりませんでした。"));
        CScriptedPrompts prompts;
        CRolvetApp app;
        QVERIFY(app.InitInstance({}));
        QCOMPARE(MenuTitles(app.MainFrame()).first(), U("ファイル(&F)"));
    }

    // The menu remembers the choice; the next start (here the command line) uses it, --lang
    // overrides it, and the files an export writes are the same bytes in either language.
    void choiceIsRememberedAndWrittenFilesStayTheSame() {
        {
            CScriptedPrompts prompts;
            CRolvetApp app;
            QVERIFY(app.InitInstance({}));
            QAction* english = app.MainFrame()->Action(cmd::ID_VIEW_LANGUAGE_EN);
            QAction* japanese = app.MainFrame()->Action(cmd::ID_VIEW_LANGUAGE_JA);
            QVERIFY(japanese->isChecked() && !english->isChecked());
            english->trigger();
            QVERIFY(english->isChecked() && !japanese->isChecked());
            // Shown in the language in use, which stays until the next start.
            QCOMPARE(prompts.messages, QStringList({U("選んだ言語は次回の起動から使われます。")}));
            QCOMPARE(Tr(rolvet::str::kReady), U("レディ"));
        }
        QCOMPARE(rolvet::lang::Remembered(), std::optional<Language>(Language::English));

        QTemporaryDir dir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The child reads the settings this test wrote: <config>/<organization>/Rolvet.conf.
        QDir config = QFileInfo(QSettings(U(rolvet::str::kSettingsOrganization),
                                          U(rolvet::str::kSettingsApplication))
                                    .fileName())
                          .dir();
        QVERIFY(config.cdUp());
        env.insert("XDG_CONFIG_HOME", config.path());
        QString err;
        auto run = [&](const QStringList& arguments) {
            QProcess process;
            process.setProcessEnvironment(env);
            process.start(ROLVET_EXECUTABLE, arguments);
            const bool finished =
                process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
            err = QString::fromUtf8(process.readAllStandardError()).trimmed();
            return finished ? process.exitCode() : -1;
        };
        const QString missing = dir.filePath("none.rolvet");
        QCOMPARE(run({"--export", missing, dir.filePath("o.mqo")}), 1);
        QCOMPARE(err, missing + " was not found.");
        QCOMPARE(run({"--lang", "ja", "--export", missing, dir.filePath("o.mqo")}), 1);
        QCOMPARE(err, missing + U(" が見つかりませんでした。"));
        QCOMPARE(run({"--lang", "de", "--version"}), 2);
        QVERIFY(err.contains("--lang"));

        const QString track = QStringLiteral(ROLVET_SOURCE_DIR "/data/sample.rolvet");
        for (const QString folder : {"en", "ja"}) {
            QVERIFY(QDir(dir.path()).mkdir(folder));
            for (const QString model : {"road.mqo", "road.glb", "road.obj"}) {
                QCOMPARE(
                    run({"--lang", folder, "--export", track, dir.filePath(folder + "/" + model)}),
                    0);
            }
        }
        const QStringList written = QDir(dir.filePath("ja")).entryList(QDir::Files);
        QCOMPARE(written.size(), 7); // three models, the .mtl and three images
        QCOMPARE(QDir(dir.filePath("en")).entryList(QDir::Files), written);
        for (const QString& name : written) {
            QVERIFY2(testutil::ReadAll(dir.filePath("en/" + name)) ==
                         testutil::ReadAll(dir.filePath("ja/" + name)),
                     qPrintable(name));
        }
    }
};

ROLVET_TEST_MAIN(TestTranslations)
#include "tst_translations.moc"
