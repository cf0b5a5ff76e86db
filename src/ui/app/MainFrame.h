// The main window: menu, toolbar, status bar and the plan view as its client.
#pragma once

#include "app/Commands.h"
#include "app/LockKeys.h"
#include "app/PreviewHost.h"

#include <QHash>
#include <QMainWindow>
#include <optional>

class CFileFlows;
class CProfileView;
class CRecentFileList;
class CRolvetDoc;
class CRolvetView;
class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;

class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    // The frame shows doc, runs the file commands through files and lists recent's entries.
    CMainFrame(CRolvetDoc& doc, CFileFlows& files, const CRecentFileList& recent);

    // The action of a command ID (nullptr for an unknown ID).
    QAction* Action(int id) const { return m_actions.value(id, nullptr); }
    QToolBar* ToolBar() const { return m_toolBar; }
    QMenu* FileMenu() const { return m_fileMenu; }
    CRolvetView* View() const { return m_view; }
    // The height profile under the plan (hidden unless 表示 > 縦断面 is on).
    CProfileView* Profile() const { return m_profile; }
    QList<QLabel*> Indicators() const { return m_indicators; }
    CPreviewHost& Preview() { return m_preview; }

    // The one place that sets every command's enabled and checked state.
    void UpdateCommandUI();
    // "<title> - Welmo Rolvet 0.3".
    void UpdateTitle();
    // Shows each lock key's pane text while that lock is on and leaves it blank while it is off;
    // with no state known the texts are shown dimmed.
    void ShowLockKeys(const std::optional<LockKeyState>& state);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    cmd::Context Context();
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    // The profile is shown at start when it was shown when the program last ended.
    void RestoreProfile();
    void SaveProfile() const;
    // Replaces the recent-file entries of the File menu.
    void RebuildRecentFileMenu();
    void RunCommand(const cmd::Command& command);

    CRolvetDoc& m_doc;
    CFileFlows& m_files;
    const CRecentFileList& m_recent;
    CRolvetView* m_view = nullptr;
    QSplitter* m_splitter = nullptr;
    CProfileView* m_profile = nullptr;
    QToolBar* m_toolBar = nullptr;
    QMenu* m_fileMenu = nullptr;
    QAction* m_recentPlaceholder = nullptr;
    QList<QAction*> m_recentActions;
    QList<QLabel*> m_indicators;
    QHash<int, QAction*> m_actions;
    CPreviewHost m_preview;
};
