// The main window: menu, toolbar, status bar and the plan view as its client.
#pragma once

#include "app/LockKeys.h"

#include <QHash>
#include <QMainWindow>
#include <optional>

class CRolvetApp;
class CRolvetDoc;
class CRolvetView;
class QAction;
class QLabel;
class QMenu;
class QToolBar;

class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    CMainFrame(CRolvetApp& app, CRolvetDoc& doc);

    // The action of a command ID (nullptr for an unknown ID).
    QAction* Action(int id) const { return m_actions.value(id, nullptr); }
    QToolBar* ToolBar() const { return m_toolBar; }
    QMenu* FileMenu() const { return m_fileMenu; }
    CRolvetView* View() const { return m_view; }
    QList<QLabel*> Indicators() const { return m_indicators; }

    // The one place that sets every command's enabled and checked state.
    void UpdateCommandUI();
    // "<title> - Welmo Rolvet 0.3".
    void UpdateTitle();
    // Replaces the recent-file entries of the File menu.
    void RebuildRecentFileMenu();
    // Shows each lock key's pane text while that lock is on and leaves it blank while it is off;
    // with no state known the texts are shown dimmed.
    void ShowLockKeys(const std::optional<LockKeyState>& state);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* CreateAction(int id);
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void RunCommand(int id);

    CRolvetApp& m_app;
    CRolvetDoc& m_doc;
    CRolvetView* m_view = nullptr;
    QToolBar* m_toolBar = nullptr;
    QMenu* m_fileMenu = nullptr;
    QAction* m_recentPlaceholder = nullptr;
    QList<QAction*> m_recentActions;
    QList<QLabel*> m_indicators;
    QHash<int, QAction*> m_actions;
};
