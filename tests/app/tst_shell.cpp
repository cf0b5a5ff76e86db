// The main window, its commands and enabling, and the New / Open / Save flows.
#include "IsolatedHome.h"
#include "ScriptedPrompts.h"
#include "TestUtil.h"
#include "app/AboutDlg.h"
#include "app/CommandLine.h"
#include "app/Commands.h"
#include "app/DesktopIntegration.h"
#include "app/MainFrame.h"
#include "app/RolvetApp.h"
#include "common/Strings.h"
#include "document/NativePath.h"
#include "track/BackgroundImage.h"
#include "track/TrackFile.h"
#include "track/VertexStore.h"
#include "view/RolvetView.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <filesystem>
#include <optional>
#include <utility>

using testutil::ReadAll;
using testutil::WriteAll;

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

QString SaveQuestion(const QString& name) {
    return U("%1 への変更を保存しますか?").arg(name);
}

} // namespace

class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class TestShell : public QObject {
    Q_OBJECT

    // The desktop's database tools are not started: run in the background, they would go on
    // after a test function and write into its home after it was removed.
    rolvet::desktop::CScopedToolLauncher m_noTools{
        [](const QString&, const QStringList&) { return true; }};

    QTemporaryDir m_dir;
    std::optional<testutil::CIsolatedHome> m_home; // settings, registration, recovery copies

    QString Track(const QString& name, int div = 4,
                  std::vector<CVector3D> v = {{1, 0, 1}, {2, 0, 2}, {3, 0, 3}}) {
        const QString path = m_dir.filePath(name);
        rolvet::SaveTrackFile(path.toStdString(), div, 100, v);
        return path;
    }

    static void Trigger(CRolvetApp& app, int id) { app.MainFrame()->Action(id)->trigger(); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        m_home.emplace();
        TheVertexStore().Clear();
    }
    void cleanup() { m_home.reset(); }

    void menusFollowTheCommandTable() {
        CScriptedPrompts prompts;
        CRolvetApp app;
        QVERIFY(app.InitInstance({}));
        CMainFrame* frame = app.MainFrame();
        QStringList titles;
        QStringList layout;
        for (QAction* top : frame->menuBar()->actions()) {
            titles << top->text();
            QStringList items;
            for (QAction* a : top->menu()->actions()) {
                if (a->isVisible()) {
                    items << (a->isSeparator() ? QStringLiteral("-") : a->text());
                }
            }
            layout << items.join(QLatin1Char('|'));
        }
        QCOMPARE(titles, QStringList({U("ファイル(&F)"), U("編集(&E)"), U("設定(&S)"),
                                      U("表示(&V)"), U("ヘルプ(&H)")}));
        QCOMPARE(
            layout.at(0),
            U("新規作成(&N)\tCtrl+N|開く(&O)...\tCtrl+O|上書き保存(&S)\tCtrl+S|"
              "名前を付けて保存(&A)...|-|インポート(&I)...|書き出し(&E)|-|最近使ったファイル|-|"
              "アプリケーションの終了(&X)"));
        QCOMPARE(layout.at(1), U("元に戻す(&U)\tCtrl+Z|やり直し(&R)\tCtrl+Y|-|切り取り(&T)\tCtrl+X|"
                                 "コピー(&C)\tCtrl+C|貼り付け(&P)\tCtrl+V"));
        QCOMPARE(layout.at(2),
                 U("設定(&S)|XYZ座標(&X)|道路の形(&R)|-|頂点表示(&V)|-|レジストリの削除(&U)"));
        QCOMPARE(layout.at(3), U("ツール バー(&T)|ステータス バー(&S)|-|3Dプレビュー(&P)|"
                                 "レーシングライン(&R)|縦断面(&E)|-|下絵(&B)...|"
                                 "全体を表示(&W)\tHome|-|言語 / Language"));
        QCOMPARE(layout.at(4), U("目次(&H)|-|バージョン情報 Welmo Rolvet(&A)..."));

        QStringList toolbar;
        for (QAction* a : frame->ToolBar()->actions()) {
            toolbar << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
        }
        QCOMPARE(toolbar.join(QLatin1Char(' ')),
                 QStringLiteral("ID_FILE_NEW ID_FILE_OPEN ID_FILE_SAVE - ID_EDIT_CUT ID_EDIT_COPY "
                                "ID_EDIT_PASTE - ID_SETUP ID_XYZ - ID_APP_ABOUT"));
        for (QAction* a : frame->ToolBar()->actions()) {
            QVERIFY(a->isSeparator() || !a->icon().isNull());
        }
        QCOMPARE(frame->Action(cmd::ID_XYZ)->toolTip(), U("頂点座標"));
        QCOMPARE(frame->Action(cmd::ID_FILE_NEW)->statusTip(), U("新規にファイルを作成"));
        QCOMPARE(frame->Action(cmd::ID_EDIT_REDO)->statusTip(),
                 U("直前に元に戻した動作をやり直す"));
        QCOMPARE(frame->Action(cmd::ID_EDIT_REDO)->toolTip(), U("やり直し"));
        QCOMPARE(frame->windowTitle(), U("無題 - Welmo Rolvet 0.3"));
        QCOMPARE(frame->statusBar()->currentMessage(), U("レディ"));
        QStringList indicators;
        for (QLabel* label : frame->Indicators()) {
            indicators << label->text();
        }
        QCOMPARE(indicators, QStringList({"CAP", "NUM", "SCRL"}));
        // Without X11 the lock state is unknown: the texts stay, dimmed. A known state shows the
        // text of each lock that is on and leaves the others blank.
        QVERIFY(!frame->Indicators().first()->isEnabled());
        frame->ShowLockKeys(LockKeyState{true, false, true});
        indicators.clear();
        for (QLabel* label : frame->Indicators()) {
            indicators << label->text();
            QVERIFY(label->isEnabled());
        }
        QCOMPARE(indicators, QStringList({"CAP", "", "SCRL"}));
    }

    void enablingFollowsTheDocument() {
        CScriptedPrompts prompts;
        CRolvetApp app;
        QVERIFY(app.InitInstance({Track("three.rolvet")}));
        CMainFrame* frame = app.MainFrame();
        for (int id :
             {cmd::ID_EDIT_UNDO, cmd::ID_EDIT_REDO, cmd::ID_EDIT_CUT, cmd::ID_EDIT_COPY,
              cmd::ID_EDIT_PASTE, cmd::ID_NEXT_PANE, cmd::ID_PREV_PANE, cmd::ID_FILE_MRU_FILE1}) {
            QVERIFY2(!frame->Action(id)->isEnabled(), cmd::ObjectName(id));
        }
        for (int id : {cmd::ID_FILE_NEW, cmd::ID_FILE_SAVE, cmd::ID_FILE_EXPORT, cmd::ID_SETUP,
                       cmd::ID_SHOW_VERTICES, cmd::ID_UNREGISTER, cmd::ID_APP_ABOUT}) {
            QVERIFY2(frame->Action(id)->isEnabled(), cmd::ObjectName(id));
        }
        const int pointCommands[] = {cmd::ID_XYZ, cmd::ID_ROAD_SHAPE};
        app.Document().SetSelectedIndex(-1);
        for (int id : pointCommands) {
            QVERIFY(!frame->Action(id)->isEnabled());
        }
        app.Document().SetSelectedIndex(2);
        for (int id : pointCommands) {
            QVERIFY(frame->Action(id)->isEnabled());
        }
        Trigger(app, cmd::ID_FILE_NEW); // not modified: no question
        QVERIFY(prompts.questions.isEmpty());
        QCOMPARE(app.Document().SelectedIndex(), 2);
        for (int id : pointCommands) {
            QVERIFY(!frame->Action(id)->isEnabled());
            // The command does nothing while its rule says no, even when triggered directly.
            frame->Action(id)->setEnabled(true);
            frame->Action(id)->trigger();
        }
        QVERIFY(prompts.dialogsRun.isEmpty());

        // Toolbar and status bar toggles show their state with a check mark.
        frame->show();
        QVERIFY(frame->Action(cmd::ID_VIEW_TOOLBAR)->isChecked());
        Trigger(app, cmd::ID_VIEW_TOOLBAR);
        QVERIFY(!frame->ToolBar()->isVisible());
        QVERIFY(!frame->Action(cmd::ID_VIEW_TOOLBAR)->isChecked());
        Trigger(app, cmd::ID_VIEW_STATUS_BAR);
        QVERIFY(!frame->statusBar()->isVisible());
        QVERIFY(!frame->Action(cmd::ID_VIEW_STATUS_BAR)->isChecked());
        Trigger(app, cmd::ID_VIEW_TOOLBAR);
        QVERIFY(frame->Action(cmd::ID_VIEW_TOOLBAR)->isChecked());
    }

    void clicksUndoneAndRedoneFromTheKeyboard() {
        CScriptedPrompts prompts;
        CRolvetApp app;
        QVERIFY(app.InitInstance({}));
        CMainFrame* frame = app.MainFrame();
        CRolvetDoc& doc = app.Document();
        frame->show();
        QApplication::setActiveWindow(frame);
        QVERIFY(QTest::qWaitForWindowActive(frame, testutil::kDeadlineMs));
        QWidget* view = frame->View();
        const QPoint c(view->width() / 2, view->height() / 2); // world (0, 0) at zoom 4
        auto key = [&](Qt::Key k, Qt::KeyboardModifiers m) { QTest::keyClick(view, k, m); };
        auto enabled = [&](int id) { return frame->Action(id)->isEnabled(); };

        for (const QPoint d : {QPoint(10, 0), QPoint(0, 10), QPoint(-10, 0), QPoint(0, -10)}) {
            QTest::mouseClick(view, Qt::LeftButton, {}, c + d);
        }
        QCOMPARE(TheVertexStore().Count(), 4);
        QVERIFY(enabled(cmd::ID_EDIT_UNDO) && !enabled(cmd::ID_EDIT_REDO));
        key(Qt::Key_Z, Qt::ControlModifier);
        key(Qt::Key_Backspace, Qt::AltModifier);
        QCOMPARE(TheVertexStore().Count(), 2);
        QVERIFY(enabled(cmd::ID_EDIT_REDO));
        key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(TheVertexStore().Count(), 3);
        QCOMPARE(doc.SelectedIndex(), 2);
        QVERIFY(enabled(cmd::ID_EDIT_REDO));

        // A drag of several moves goes back in one Ctrl+Z.
        QTest::mousePress(view, Qt::LeftButton, {}, c + QPoint(0, 10));
        QTest::mouseMove(view, c + QPoint(5, 15));
        QTest::mouseMove(view, c + QPoint(10, 20));
        QTest::mouseRelease(view, Qt::LeftButton, {}, c + QPoint(10, 20));
        QCOMPARE(TheVertexStore().At(1).x, 40.0f);
        QVERIFY(!enabled(cmd::ID_EDIT_REDO)); // the fourth point can no longer come back
        key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(TheVertexStore().At(1).x == 0.0f && TheVertexStore().At(1).z == 40.0f);
        QVERIFY(enabled(cmd::ID_EDIT_REDO));
        key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); // redo by its second key
        QCOMPARE(TheVertexStore().At(1).x, 40.0f);
        key(Qt::Key_Z, Qt::ControlModifier);

        const QString path = m_dir.filePath("three.rolvet");
        prompts.fileAnswers = {path};
        key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(ReadAll(path), QByteArray::fromHex("040000006400000003000000"
                                                    "000020420000000000000000"
                                                    "000000000000000000002042"
                                                    "000020c20000000000000000"));
        // Back at the saved track nothing would be lost: closing asks nothing.
        key(Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(doc.IsModified());
        key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!doc.IsModified());

        // Open and New from their keys.
        prompts.fileAnswer.clear(); // the open dialog is cancelled
        key(Qt::Key_O, Qt::ControlModifier);
        QVERIFY(!prompts.fileRequests.isEmpty() && !prompts.fileRequests.last().save);
        key(Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(TheVertexStore().Count(), 0);
        // The keys of commands that are disabled here reach them once they are enabled; a key
        // that two commands shared would reach neither.
        for (const auto& [keys, id] :
             {std::pair{"Ctrl+X", cmd::ID_EDIT_CUT}, std::pair{"Shift+Del", cmd::ID_EDIT_CUT},
              std::pair{"Ctrl+C", cmd::ID_EDIT_COPY}, std::pair{"Ctrl+Ins", cmd::ID_EDIT_COPY},
              std::pair{"Ctrl+V", cmd::ID_EDIT_PASTE}, std::pair{"Shift+Ins", cmd::ID_EDIT_PASTE},
              std::pair{"F6", cmd::ID_NEXT_PANE}, std::pair{"Shift+F6", cmd::ID_PREV_PANE}}) {
            QAction* action = frame->Action(id);
            action->setEnabled(true);
            QSignalSpy triggered(action, &QAction::triggered);
            QTest::keySequence(view, QKeySequence(QString::fromLatin1(keys)));
            QVERIFY2(triggered.count() == 1, keys);
        }
        QVERIFY(frame->close());
        QVERIFY(prompts.questions.isEmpty());
    }

    void newAsksToSaveAModifiedTrack() {
        CScriptedPrompts prompts;
        CRolvetApp app;
        const QString path = Track("keep.rolvet");
        QVERIFY(app.InitInstance({path}));
        CRolvetDoc& doc = app.Document();

        doc.SetModifiedFlag(true);
        prompts.answers = {QMessageBox::Cancel};
        Trigger(app, cmd::ID_FILE_NEW);
        QCOMPARE(prompts.questions, QStringList({SaveQuestion("keep.rolvet")}));
        QCOMPARE(TheVertexStore().Count(), 3);
        QCOMPARE(doc.Title(), QString("keep.rolvet"));

        QSignalSpy redraws(&doc, &CRolvetDoc::viewsNeedUpdate);
        prompts.answers = {QMessageBox::No};
        Trigger(app, cmd::ID_FILE_NEW);
        QVERIFY(redraws.count() > 0);
        QCOMPARE(TheVertexStore().Count(), 0);
        QCOMPARE(doc.Title(), U("無題"));
        QCOMPARE(app.MainFrame()->windowTitle(), U("無題 - Welmo Rolvet 0.3"));
        QVERIFY(!doc.IsModified());
        QCOMPARE(ReadAll(path).size(), 48); // No: the file was not touched

        // Yes on an untitled track runs Save As; cancelling that dialog cancels New.
        TheVertexStore().Append({5, 0, 5});
        doc.SetModifiedFlag(true);
        prompts.answers = {QMessageBox::Yes};
        prompts.fileAnswers = {QString()};
        Trigger(app, cmd::ID_FILE_NEW);
        QCOMPARE(prompts.questions.last(), SaveQuestion(U("無題")));
        QCOMPARE(prompts.fileRequests.last().proposedPath, U("無題.rolvet"));
        QCOMPARE(prompts.fileRequests.last().caption, U("名前を付けて保存"));
        QCOMPARE(prompts.fileRequests.last().defaultSuffix, QString("rolvet"));
        QVERIFY(prompts.fileRequests.last().save);
        QCOMPARE(TheVertexStore().Count(), 1);

        // Yes with a name saves, then New goes on.
        const QString saved = m_dir.filePath("saved.rolvet");
        prompts.answers = {QMessageBox::Yes};
        prompts.fileAnswers = {saved};
        Trigger(app, cmd::ID_FILE_NEW);
        QCOMPARE(ReadAll(saved).size(), 24);
        QCOMPARE(TheVertexStore().Count(), 0);
        QCOMPARE(app.RecentFiles().Entries().first(), saved);
    }

    void failedSaveCancelsTheAction() {
        CScriptedPrompts prompts;
        CRolvetApp app;
        QVERIFY(app.InitInstance({}));
        TheVertexStore().Append({5, 0, 5});
        app.Document().SetModifiedFlag(true);
        const QString folder = m_dir.filePath("folder.rolvet");
        QVERIFY(QDir().mkpath(folder));
        prompts.answers = {QMessageBox::Yes};
        prompts.fileAnswers = {folder};
        QVERIFY(!app.MainFrame()->close());
        QCOMPARE(prompts.messages, QStringList({folder + U(" へのアクセスは拒否されました。")}));
        QCOMPARE(TheVertexStore().Count(), 1);
        QVERIFY(app.Document().IsModified());
        QCOMPARE(app.Document().Title(), U("無題"));
        prompts.answers = {QMessageBox::No};
        QVERIFY(app.MainFrame()->close());
    }

    void openFailuresLeaveWhatTheySay() {
        CScriptedPrompts prompts;
        CRolvetApp app;
        const QString good = Track("good.rolvet", 7);
        QVERIFY(app.InitInstance({good}));
        CRolvetDoc& doc = app.Document();
        doc.SetModifiedFlag(true);

        // A file that cannot be opened: the track, title and modified flag stay.
        const QString missing = m_dir.filePath("missing.rolvet");
        prompts.answers = {QMessageBox::No};
        prompts.fileAnswers = {missing};
        Trigger(app, cmd::ID_FILE_OPEN);
        QCOMPARE(prompts.fileRequests.last().filters,
                 QStringList({"Rolvet Files (*.rolvet)", U("すべてのファイル (*)")}));
        QCOMPARE(prompts.fileRequests.last().caption, U("開く"));
        QCOMPARE(prompts.messages.last(), missing + U(" が見つかりませんでした。"));
        QCOMPARE(doc.Title(), QString("good.rolvet"));
        QCOMPARE(doc.DivisionCount(), 7);
        QVERIFY(doc.IsModified());

        // A folder cannot be opened either: the modified track stays as it was.
        TheVertexStore().Append({8, 0, 8});
        const QString folder = m_dir.filePath("folder.rolvet");
        QVERIFY(QDir().mkpath(folder));
        prompts.answers = {QMessageBox::No};
        QVERIFY(!app.Files().OpenDocumentFile(folder));
        QCOMPARE(prompts.messages.last(), folder + U(" へのアクセスは拒否されました。"));
        QCOMPARE(doc.Title(), QString("good.rolvet"));
        QCOMPARE(TheVertexStore().Count(), 4);
        QCOMPARE(TheVertexStore().At(3).x, 8.0f);
        QVERIFY(doc.IsModified());

        // A truncated file: message, then a fresh untitled track, redrawn.
        QSignalSpy redraws(&doc, &CRolvetDoc::viewsNeedUpdate);
        const QString bad = m_dir.filePath("bad.rolvet");
        QVERIFY(WriteAll(bad, QByteArray(8, '\0')));
        prompts.answers = {QMessageBox::No};
        QVERIFY(!app.Files().OpenDocumentFile(bad));
        QCOMPARE(prompts.messages.last(), U("予期しないファイル形式です。"));
        QCOMPARE(doc.Title(), U("無題"));
        QCOMPARE(doc.DivisionCount(), 4);
        QCOMPARE(TheVertexStore().Count(), 0);
        QVERIFY(!doc.IsModified());
        QVERIFY(redraws.count() > 0);
    }

    // ファイル > インポート: a file that cannot be used shows its message and asks nothing, the
    // open track staying as it was; a usable one asks to save the modified track first (Cancel
    // keeps it) and opens as a new untitled, modified track with a fresh history.
    void importOpensAnUntitledTrack() {
        CScriptedPrompts prompts;
        CRolvetApp app;
        const QString good = Track("good.rolvet", 7);
        QVERIFY(app.InitInstance({good}));
        CRolvetDoc& doc = app.Document();
        doc.AppendVertex({9, 0, 9});
        const auto unchanged = [&] {
            return doc.Title() == "good.rolvet" && doc.DivisionCount() == 7 &&
                   TheVertexStore().Count() == 4 && doc.IsModified() && doc.CanUndo();
        };
        const QString line = m_dir.filePath("line.csv");
        QVERIFY(WriteAll(line, "0,0\n200,0\n200,100\n0,100\n"));
        const std::pair<QString, QByteArray> refusals[] = {
            {"words.csv", "0,0\n1,0\nabc,1\n0,1\n"},
            {"few.gpx", "<gpx><rte><rtept lat='1' lon='1'/></rte></gpx>"},
            {"missing.geojson", {}}};
        for (const auto& [name, content] : refusals) {
            const QString path = m_dir.filePath(name);
            QVERIFY(content.isEmpty() || WriteAll(path, content));
            prompts.Reset();
            prompts.fileAnswers = {path};
            Trigger(app, cmd::ID_FILE_IMPORT);
            QCOMPARE(prompts.messages.size(), 1);
            QVERIFY2(prompts.messages[0].startsWith(path), qPrintable(prompts.messages[0]));
            QVERIFY(prompts.questions.isEmpty());
            QVERIFY(unchanged());
        }
        QCOMPARE(prompts.fileRequests.last().caption, U("インポート"));

        prompts.Reset();
        prompts.fileAnswers = {line};
        Trigger(app, cmd::ID_FILE_IMPORT); // the save question is cancelled
        QCOMPARE(prompts.questions.size(), 1);
        QVERIFY(unchanged());

        prompts.Reset();
        prompts.answers = {QMessageBox::No};
        prompts.fileAnswers = {line};
        Trigger(app, cmd::ID_FILE_IMPORT);
        QVERIFY(prompts.messages.isEmpty());
        QCOMPARE(doc.Title(), U("無題"));
        QVERIFY(doc.PathName().isEmpty());
        QVERIFY(doc.IsModified() && !doc.CanUndo());
        QVERIFY(TheVertexStore().Count() >= 4 && TheVertexStore().Count() <= 12);
    }

    // A file whose shapes are damaged opens with a message, from the command line, the Open
    // flow and the recent-file list alike, and stays in the list.
    void damagedShapesOpenWithAMessage() {
        const QString path = Track("damaged.rolvet");
        QByteArray bytes = ReadAll(path) + "RVEX" + QByteArray(8, '\x01');
        QVERIFY(WriteAll(path, bytes));
        const QString message =
            path + U(" の道路の形 (左右の幅とバンク) の情報が壊れているため、頂点と設定だけを"
                     "開きました。幅とバンクは既定の値になっています。");
        CScriptedPrompts prompts;
        CRolvetApp app;
        QVERIFY(app.InitInstance({path}));
        QCOMPARE(prompts.messages, QStringList{message});
        QCOMPARE(TheVertexStore().Count(), 3);
        QVERIFY(TheVertexStore().Shapes().empty());
        QVERIFY(!app.Document().IsModified());
        app.Files().OnFileNew();
        prompts.fileAnswers = {path};
        Trigger(app, cmd::ID_FILE_OPEN);
        QCOMPARE(prompts.messages.size(), 2);
        app.Files().OnFileNew();
        app.MainFrame()
            ->FileMenu()
            ->findChild<QAction*>("ID_FILE_MRU_FILE1", Qt::FindDirectChildrenOnly)
            ->trigger();
        QCOMPARE(prompts.messages, QStringList({message, message, message}));
        QCOMPARE(app.Document().PathName(), path);
        QCOMPARE(app.RecentFiles().Entries(), QStringList{path});
    }

    // A track whose background picture has gone opens with a message; 下絵... runs its dialog.
    void missingBackgroundPictureOpensWithAMessage() {
        rolvet::BackgroundImage picture;
        picture.path = "gone.png";
        picture.u2 = picture.x2 = 10;
        const QString path = m_dir.filePath("traced.rolvet");
        const std::vector<CVector3D> points = {{1, 0, 1}};
        QVERIFY(
            WriteAll(path, testutil::ToQByteArray(rolvet::SerializeTrack(
                               4, 100, points, {}, rolvet::WithBackgroundChunk({}, &picture)))));
        CScriptedPrompts prompts;
        CRolvetApp app;
        QVERIFY(app.InitInstance({path}));
        QCOMPARE(prompts.messages,
                 QStringList{U("下絵の画像 ") + m_dir.filePath("gone.png") +
                             U(" を開けませんでした。トラックは下絵なしで開いています。")});
        QCOMPARE(TheVertexStore().Count(), 1);
        QVERIFY(app.Document().Background());
        Trigger(app, cmd::ID_VIEW_BACKGROUND); // cancelled: nothing changes
        QCOMPARE(prompts.dialogsRun, QStringList{"CBackgroundDialog"});
        QVERIFY(!app.Document().IsModified());
    }

    void sameFileIsNotReadAgain() {
        CScriptedPrompts prompts;
        CRolvetApp app;
        const QString path = Track("same.rolvet");
        QVERIFY(app.InitInstance({path}));
        TheVertexStore().Append({9, 9, 9});
        app.Document().SetModifiedFlag(true);
        // A relative or linked name of the same file counts as the same file.
        const QString link = m_dir.filePath("link.rolvet");
        QVERIFY(QFile::link(path, link));
        QVERIFY(app.Files().OpenDocumentFile(link));
        QVERIFY(app.Files().OpenDocumentFile(QDir::current().relativeFilePath(path)));
        QVERIFY(prompts.questions.isEmpty());
        QCOMPARE(TheVertexStore().Count(), 4);
        QVERIFY(app.Document().IsModified());
    }

    void recentFilesPersistAndDropFailedEntries() {
        const QString a = Track("a.rolvet"), b = Track("b.rolvet");
        {
            CScriptedPrompts prompts;
            CRolvetApp app;
            QVERIFY(app.InitInstance({}));
            QVERIFY(!app.MainFrame()->Action(cmd::ID_FILE_MRU_FILE1)->isEnabled());
            QVERIFY(app.Files().OpenDocumentFile(a));
            QVERIFY(app.Files().OpenDocumentFile(b));
            QVERIFY(!app.MainFrame()->Action(cmd::ID_FILE_MRU_FILE1)->isVisible());
        }
        CScriptedPrompts prompts;
        CRolvetApp app;
        QVERIFY(app.InitInstance({}));
        QCOMPARE(app.RecentFiles().Entries(), QStringList({b, a}));
        QMenu* file = app.MainFrame()->FileMenu();
        QAction* first = file->findChild<QAction*>("ID_FILE_MRU_FILE1", Qt::FindDirectChildrenOnly);
        QVERIFY(first);
        QVERIFY(first->text().startsWith("&1 "));
        QVERIFY(first->text().endsWith("b.rolvet"));

        // An entry whose file vanished: message, entry removed, the track as it was.
        TheVertexStore().Append({1, 1, 1});
        app.Document().SetModifiedFlag(true);
        QVERIFY(QFile::remove(a));
        prompts.answers = {QMessageBox::No};
        file->findChild<QAction*>("ID_FILE_MRU_FILE2", Qt::FindDirectChildrenOnly)->trigger();
        QCOMPARE(prompts.messages, QStringList({a + U(" が見つかりませんでした。")}));
        QCOMPARE(app.RecentFiles().Entries(), QStringList({b}));
        QVERIFY(app.Document().IsModified());
        QCOMPARE(TheVertexStore().Count(), 1);
        QSettings settings(U(rolvet::str::kSettingsOrganization),
                           U(rolvet::str::kSettingsApplication));
        QCOMPARE(settings.value("Recent File List/File1").toString(), b);
        QVERIFY(!settings.contains("Recent File List/File2"));

        // Four entries at most, newest first.
        const QStringList more = {Track("c.rolvet"), Track("d.rolvet"), Track("e.rolvet"),
                                  Track("f.rolvet")};
        prompts.answers = {QMessageBox::No};
        for (const QString& path : more) {
            QVERIFY(app.Files().OpenDocumentFile(path));
        }
        const QStringList newestFirst = {more[3], more[2], more[1], more[0]};
        QCOMPARE(app.RecentFiles().Entries(), newestFirst);
        QVERIFY(file->findChild<QAction*>("ID_FILE_MRU_FILE4", Qt::FindDirectChildrenOnly));
        QVERIFY(!file->findChild<QAction*>("ID_FILE_MRU_FILE5", Qt::FindDirectChildrenOnly));
        QCOMPARE(settings.value("Recent File List/File4").toString(), more[0]);
        QVERIFY(!settings.contains("Recent File List/File5"));
    }

    void commandLineOpensTheFirstOfSeveralFiles() {
        CScriptedPrompts prompts;
        CRolvetApp app;
        QVERIFY(app.InitInstance({Track("first.rolvet", 3), Track("second.rolvet", 5)}));
        QCOMPARE(app.Document().Title(), QString("first.rolvet"));
        QCOMPARE(app.Document().DivisionCount(), 3);
        QVERIFY(prompts.messages.isEmpty());
    }

    void saveGoesToSaveAsForReadOnlyOrVanishedFiles() {
        CScriptedPrompts prompts;
        CRolvetApp app;
        const QString path = Track("ro.rolvet");
        QVERIFY(app.InitInstance({path}));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        prompts.fileAnswers = {QString()};
        QVERIFY(!app.Files().OnFileSave());
        QCOMPARE(prompts.fileRequests.size(), 1);
        QCOMPARE(prompts.fileRequests.last().proposedPath, path);
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QVERIFY(app.Files().OnFileSave());
        QCOMPARE(prompts.fileRequests.size(), 1);
        QVERIFY(QFile::remove(path));
        prompts.fileAnswers = {QString()};
        QVERIFY(!app.Files().OnFileSave());
        QCOMPARE(prompts.fileRequests.size(), 2);
    }

    void droppedFilesOpenOneAfterAnother() {
        CScriptedPrompts prompts;
        CRolvetApp app;
        QVERIFY(app.InitInstance({}));
        const QString one = Track("one.rolvet", 1), two = Track("two.rolvet", 2);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(one), QUrl::fromLocalFile(two)});
        app.MainFrame()->show(); // drops reach visible windows that accepted the drag
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(app.MainFrame(), &enter);
        QVERIFY(enter.isAccepted());
        // A move is refused: the source could delete what it thinks we took.
        QDragEnterEvent move(QPoint(10, 10), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(app.MainFrame(), &move);
        QVERIFY(!move.isAccepted());
        // The drop returns to its source before anything is opened.
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(app.MainFrame(), &drop);
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
        QCOMPARE(app.Document().Title(), U("無題"));
        QTRY_COMPARE_WITH_TIMEOUT(app.Document().Title(), QString("two.rolvet"),
                                  testutil::kDeadlineMs);
        QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.join(';')));
        QCOMPARE(app.Document().Title(), QString("two.rolvet"));
        QCOMPARE(app.Document().DivisionCount(), 2);
        QCOMPARE(app.RecentFiles().Entries(), QStringList({two, one}));
    }

    // Linux file names: quotes, markup and bytes that are not UTF-8 are part of the name.
    void namesAreTakenAsTheyAre() {
        CScriptedPrompts prompts;
        CRolvetApp app;
        const QString q = Track("q", 3), quoted = Track("q\"x\".rolvet", 5);
        const QString spoken = Track("say \"hi\" t.rolvet", 6);
        QVERIFY(app.InitInstance({quoted}));
        QCOMPARE(app.Document().DivisionCount(), 5);
        QVERIFY(app.Files().OpenDocumentFile(spoken));
        QCOMPARE(app.Document().Title(), QString("say \"hi\" t.rolvet"));
        prompts.fileAnswers = {q};
        Trigger(app, cmd::ID_FILE_OPEN);
        QCOMPARE(app.Document().DivisionCount(), 3);
        // Quotes around a command-line name that is no file are still taken off.
        CRolvetApp second;
        QVERIFY(second.InitInstance({QLatin1Char('"') + spoken + QLatin1Char('"')}));
        QCOMPARE(second.Document().DivisionCount(), 6);

        // A message shows a name with markup as plain text.
        const QString bold = m_dir.filePath("<b>bold</b>.rolvet");
        QVERIFY(!app.Files().OpenDocumentFile(bold));
        QCOMPARE(prompts.messages.last(), bold + U(" が見つかりませんでした。"));

        // Shift-JIS "コース": opened from the command line, saved, listed in the recent files and
        // opened again from there, and picked in a dialog that decoded it with loss.
        const std::string sjis = PathToNative(m_dir.path()) + "/\x83\x52\x81\x5b\x83\x58.rolvet";
        QVERIFY(!rolvet::SaveTrackFile(sjis, 9, 100, {}));
        const QString name = PathFromNative(sjis);
        QVERIFY(app.Files().OpenDocumentFile(name));
        QCOMPARE(app.Document().DivisionCount(), 9);
        QVERIFY(!app.Document().Title().contains(QChar(0xDC83)));
        app.Document().SetDivisionCount(10);
        QVERIFY(app.Files().OnFileSave());
        rolvet::TrackData back;
        QVERIFY(!rolvet::LoadTrackFile(sjis, back));
        QCOMPARE(back.divisionCount, 10);
        QVERIFY(app.Files().OpenDocumentFile(q));
        {
            CRolvetApp third; // the recent list as stored and loaded again
            QVERIFY(third.InitInstance({}));
            QCOMPARE(third.RecentFiles().Entries().value(1), name);
            QVERIFY(third.Files().OpenDocumentFile(third.RecentFiles().Entries().value(1), true));
            QCOMPARE(third.Document().DivisionCount(), 10);
        }
        prompts.fileAnswers = {QString::fromUtf8(sjis.data(), qsizetype(sjis.size()))};
        Trigger(app, cmd::ID_FILE_OPEN);
        QCOMPARE(app.Document().DivisionCount(), 10);
        std::filesystem::remove(sjis);
    }

    void startUpWithAnUnreadableTrackEnds() {
        CScriptedPrompts prompts;
        CRolvetApp app;
        const QString missing = m_dir.filePath("nowhere.rolvet");
        QVERIFY(!app.InitInstance({missing}));
        QVERIFY(app.ExitCode() != 0);
        QCOMPARE(prompts.messages, QStringList({missing + U(" が見つかりませんでした。")}));
    }

    void unregisterShowsItsMessageEveryTime() {
        CScriptedPrompts prompts;
        CRolvetApp app;
        QVERIFY(app.InitInstance({}));
        // Start-up registered the file type; the command removes exactly those files.
        const QStringList files = rolvet::desktop::RegistrationFiles();
        QVERIFY(!files.isEmpty());
        for (const QString& f : files) {
            QVERIFY2(QFileInfo::exists(f), qPrintable(f));
            QVERIFY2(f.contains("/.qttest/"),
                     qPrintable(f)); // the test-mode folder, never the real one
        }
        Trigger(app, cmd::ID_UNREGISTER);
        for (const QString& f : files) {
            QVERIFY2(!QFileInfo::exists(f), qPrintable(f));
        }
        Trigger(app, cmd::ID_UNREGISTER);
        QCOMPARE(prompts.messages,
                 QStringList({U("レジストリを削除しました。"), U("レジストリを削除しました。")}));
        Trigger(app, cmd::ID_APP_ABOUT);
        QCOMPARE(prompts.dialogsRun, QStringList({"CAboutDlg"}));
        // Help contents opens Rolvet.chm beside the program with the desktop's handler, and
        // silently does nothing when the file is missing.
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        const QString help = QCoreApplication::applicationDirPath() + "/Rolvet.chm";
        QFile::remove(help);
        Trigger(app, cmd::ID_HELP_CONTENTS);
        QVERIFY(catcher.urls.isEmpty());
        QVERIFY(WriteAll(help, "help"));
        Trigger(app, cmd::ID_HELP_CONTENTS);
        QFile::remove(help);
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl::fromLocalFile(help)}));
        QCOMPARE(prompts.messages.size(), 2);
    }

    void aboutBoxAndJapaneseButtons() {
        CAboutDlg about;
        QCOMPARE(about.windowTitle(), U("バージョン情報 Welmo Rolvet"));
        QVERIFY(about.findChild<QLabel*>("text"));
        QCOMPARE(about.findChild<QLabel*>("text")->text(), QString("Welmo Rolvet, Version 0.3"));
        QVERIFY(!about.findChild<QLabel*>("icon")->pixmap().isNull());

        QVERIFY(CRolvetApp::LoadQtTranslations());
        QMessageBox box(QMessageBox::Warning, "Rolvet", "?",
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QVERIFY(box.button(QMessageBox::Yes)->text().contains(U("はい")));
        QVERIFY(box.button(QMessageBox::No)->text().contains(U("いいえ")));
        QVERIFY(box.button(QMessageBox::Cancel)->text().contains(U("キャンセル")));
    }

    // Watched with strace: the exported model is written into a temporary in the model's own
    // folder, and that file is synced before it takes the model's name (by link or rename).
    void writesSyncATemporaryBesideTheTarget() {
        QTemporaryDir dir;
        const QString out = dir.filePath("out");
        QVERIFY(QDir().mkpath(out));
        const QString track =
            Track("traced.rolvet", 2, {{0, 0, 0}, {100, 0, 0}, {100, 0, 100}, {0, 0, 100}});
        const QString model = out + "/road.mqo", log = dir.filePath("trace");
        QProcess strace;
        strace.start("strace", {"-f", "-qq", "-s", "4096", "-o", log, "-e",
                                "trace=openat,fsync,fdatasync,linkat,rename,renameat,renameat2",
                                ROLVET_EXECUTABLE, "--export", track, model});
        if (!strace.waitForFinished(60000) || strace.exitCode() != 0 || !QFile::exists(model)) {
            QSKIP(qPrintable("strace cannot trace here: " + strace.readAllStandardError()));
        }
        const QRegularExpression call(R"(^(?:\d+ +)?(\w+)\((.*)\) += (-?\d+))");
        const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
        QHash<int, QString> dataFds; // fds of files created in the model's folder
        QSet<int> synced;
        QHash<QString, int> linkedNames;
        int named = 0;
        for (const QString& line : QString::fromUtf8(ReadAll(log)).split('\n')) {
            const auto m = call.match(line);
            if (!m.hasMatch()) {
                continue;
            }
            const QString fn = m.captured(1), args = m.captured(2);
            const int result = m.captured(3).toInt();
            QStringList paths;
            for (auto it = quoted.globalMatch(args); it.hasNext();) {
                paths << it.next().captured(1);
            }
            const int firstInt = args.section(',', 0, 0).toInt();
            if (fn == "openat" && result >= 0 && !paths.isEmpty() &&
                (args.contains("O_TMPFILE") || args.contains("O_CREAT")) &&
                (paths[0] == out || QFileInfo(paths[0]).path() == out)) {
                dataFds.insert(result, paths[0]);
            } else if ((fn == "fsync" || fn == "fdatasync") && dataFds.contains(firstInt)) {
                synced.insert(firstInt);
            } else if (fn == "linkat" && result == 0 && !paths.isEmpty()) {
                const int fd =
                    paths[0].startsWith("/proc/self/fd/") ? paths[0].mid(14).toInt() : firstInt;
                linkedNames.insert(paths.last(), fd);
            } else if (fn.startsWith("rename") && result == 0 && paths.size() == 2) {
                QCOMPARE(QFileInfo(paths[0]).path(), out);
                int fd = linkedNames.value(paths[0], -1);
                for (auto it = dataFds.cbegin(); fd < 0 && it != dataFds.cend(); ++it) {
                    fd = it.value() == paths[0] ? it.key() : -1;
                }
                linkedNames.insert(paths[1], fd);
            }
            if (linkedNames.contains(model) && named == 0) {
                named = 1;
                const int fd = linkedNames.value(model);
                QVERIFY2(dataFds.contains(fd), qPrintable(line));
                QVERIFY2(synced.contains(fd), qPrintable("not synced before: " + line));
            }
        }
        QCOMPARE(named, 1);
    }

    void registrationSwitchesNeedNoDisplay() {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            env.remove(name);
        }
        env.insert("HOME", home.path());
        env.insert("XDG_DATA_HOME", home.filePath("share"));
        env.insert("PATH", home.path()); // no desktop database tools: only our own files change
        QByteArray out;
        auto run = [&](const QStringList& arguments) {
            QProcess process;
            process.setProcessEnvironment(env);
            process.start(ROLVET_EXECUTABLE, arguments);
            const bool finished =
                process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
            out = process.readAllStandardOutput() + process.readAllStandardError();
            return finished ? process.exitCode() : -1;
        };
        const QString entry = home.filePath("share/applications/rolvet.desktop");
        QCOMPARE(run({"--Register"}), 0);
        QVERIFY(ReadAll(entry).contains(QFileInfo(ROLVET_EXECUTABLE).canonicalFilePath().toUtf8()));
        QCOMPARE(run({"-UNREGSERVER"}), 0);
        QVERIFY(!QFileInfo::exists(entry));

        // Every spelling of the batch switches works without a display.
        QCOMPARE(run({"--HELP"}), 0);
        QVERIFY(out.contains("--export TRACK.rolvet OUT.mqo"));
        QCOMPARE(run({"-Version"}), 0);
        QVERIFY(out.startsWith("Welmo Rolvet 0.3.0.1"));
        QCOMPARE(run({"-EXPORT", home.filePath("none.rolvet"), home.filePath("o.mqo")}), 1);
        QCOMPARE(QString::fromUtf8(out).trimmed(),
                 home.filePath("none.rolvet") + U(" が見つかりませんでした。"));
        // The editor itself needs a display: a clear message and status 1, not an abort.
        for (const QString& display : {QString(), QStringLiteral(":97")}) {
            if (!display.isEmpty()) {
                env.insert("DISPLAY", display); // a display nobody serves
            }
            QCOMPARE(run({}), 1);
            QVERIFY(QString::fromUtf8(out).contains(U("画面に接続できない")));
        }
    }

    void commandLineSwitches() {
        auto parse = [](QStringList args) { return ParseCommandLine(args); };
        QCOMPARE(int(parse({"--REGISTER"}).action), int(CommandLineInfo::Action::Register));
        QCOMPARE(int(parse({"-RegServerPerUser"}).action), int(CommandLineInfo::Action::Register));
        QCOMPARE(int(parse({"-unregserver"}).action), int(CommandLineInfo::Action::Unregister));
        QCOMPARE(int(parse({"--UnregisterPerUser"}).action),
                 int(CommandLineInfo::Action::Unregister));
        const CommandLineInfo info = parse({"-dde", "--Embedding", "track.rolvet", "-pt"});
        QCOMPARE(int(info.action), int(CommandLineInfo::Action::Run));
        QCOMPARE(info.fileName, QString("track.rolvet"));
        QCOMPARE(info.ignored, QStringList({"-dde", "--Embedding", "-pt"}));
        QCOMPARE(parse({"/home/u/t.rolvet"}).fileName, QString("/home/u/t.rolvet"));
        const CommandLineInfo batch = parse({"a.rolvet", "--EXPORT", "b.mqo"});
        QCOMPARE(int(batch.action), int(CommandLineInfo::Action::Export));
        QCOMPARE(batch.operands, QStringList({"a.rolvet", "b.mqo"}));
        QCOMPARE(int(parse({"--export", "-h"}).action), int(CommandLineInfo::Action::Help));
        // --lang takes the next argument (or the one after '='), which is no track name.
        const CommandLineInfo english = parse({"--LANG", "en", "t.rolvet"});
        QCOMPARE(english.language, std::optional<QString>("en"));
        QCOMPARE(english.fileName, QString("t.rolvet"));
        QCOMPARE(english.operands, QStringList({"t.rolvet"}));
        QCOMPARE(parse({"-lang=ja"}).language, std::optional<QString>("ja"));
        QCOMPARE(parse({"t.rolvet", "--lang"}).language, std::optional<QString>(""));
        QVERIFY(!parse({"t.rolvet"}).language);
    }
};

ROLVET_TEST_MAIN(TestShell)
#include "tst_shell.moc"
