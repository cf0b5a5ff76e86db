#include "app/MainFrame.h"

#include "app/Commands.h"
#include "app/Icons.h"
#include "app/RolvetApp.h"
#include "common/Strings.h"
#include "document/RolvetDoc.h"
#include "view/RolvetView.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace {

QString Utf8(const char* text) { return QString::fromUtf8(text); }

} // namespace

CMainFrame::CMainFrame(CRolvetApp& app, CRolvetDoc& doc) : m_app(app), m_doc(doc) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowIcon(AppIcon());
    setAcceptDrops(true);

    m_view = new CRolvetView(this);
    m_view->SetDocument(&m_doc);
    setCentralWidget(m_view);

    CreateMenus();
    CreateToolBar();
    CreateStatusBar();

    connect(&m_doc, &CRolvetDoc::titleChanged, this, &CMainFrame::UpdateTitle);
    connect(&m_doc, &CRolvetDoc::selectionChanged, this, &CMainFrame::UpdateCommandUI);
    connect(&m_doc, &CRolvetDoc::modifiedChanged, this, &CMainFrame::UpdateCommandUI);
    connect(&m_doc, &CRolvetDoc::viewsNeedUpdate, this, &CMainFrame::UpdateCommandUI);
    UpdateTitle();
    UpdateCommandUI();
    resize(800, 600);
}

QAction* CMainFrame::CreateAction(int id) {
    if (QAction* existing = m_actions.value(id)) {
        return existing;
    }
    auto* action = new QAction(this);
    action->setObjectName(QString::fromLatin1(cmd::ObjectName(id)));
    action->setData(id);
    if (const auto* text = rolvet::str::FindCommandText(id)) {
        action->setText(Utf8(text->menu));
        action->setStatusTip(Utf8(text->prompt));
        action->setToolTip(text->tooltip ? Utf8(text->tooltip) : QString());
    }
    action->setShortcuts(cmd::Accelerators(id));
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    addAction(action); // keeps accelerators alive when menus or toolbar are hidden
    m_actions.insert(id, action);
    return action;
}

void CMainFrame::CreateMenus() {
    for (const auto& layout : cmd::MenuBarLayout()) {
        QMenu* menu = menuBar()->addMenu(Utf8(layout.title));
        menu->setToolTipsVisible(false);
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
        for (const int id : layout.items) {
            if (id == 0) {
                menu->addSeparator();
            } else {
                menu->addAction(CreateAction(id));
            }
        }
        if (layout.items.front() == cmd::ID_FILE_NEW) {
            m_fileMenu = menu;
        }
    }
    m_recentPlaceholder = Action(cmd::ID_FILE_MRU_FILE1);
    Action(cmd::ID_VIEW_TOOLBAR)->setCheckable(true);
    Action(cmd::ID_VIEW_STATUS_BAR)->setCheckable(true);
    // Next and previous pane have accelerators but no menu item.
    CreateAction(cmd::ID_NEXT_PANE);
    CreateAction(cmd::ID_PREV_PANE);
    RebuildRecentFileMenu();
}

void CMainFrame::CreateToolBar() {
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("AFX_IDW_TOOLBAR"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_toolBar->setMovable(true);
    for (const int id : cmd::ToolbarLayout()) {
        if (id == 0) {
            m_toolBar->addSeparator();
        } else {
            QAction* action = Action(id);
            action->setIcon(ToolbarIcon(id));
            m_toolBar->addAction(action);
        }
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    connect(m_toolBar, &QToolBar::visibilityChanged, this, &CMainFrame::UpdateCommandUI);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("AFX_IDW_STATUS_BAR"));
    for (const char* text : {rolvet::str::kIndicatorCaps, rolvet::str::kIndicatorNum,
                             rolvet::str::kIndicatorScroll}) {
        auto* label = new QLabel(Utf8(text), bar);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        bar->addPermanentWidget(label);
        m_indicators.append(label);
    }
    // The lock keys change outside the program too, so their panes follow a light poll.
    auto* lockTimer = new QTimer(this);
    connect(lockTimer, &QTimer::timeout, this, [this] { ShowLockKeys(ReadLockKeys()); });
    lockTimer->start(250);
    ShowLockKeys(ReadLockKeys());
    // The message pane shows the idle text whenever no prompt is shown.
    connect(bar, &QStatusBar::messageChanged, this, [bar](const QString& message) {
        if (message.isEmpty()) {
            bar->showMessage(Utf8(rolvet::str::kReady));
        }
    });
    bar->showMessage(Utf8(rolvet::str::kReady));
}

void CMainFrame::UpdateCommandUI() {
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        const int id = it.key();
        QAction* action = it.value();
        bool enabled = !cmd::IsUnhandled(id);
        if (id == cmd::ID_XYZ) {
            enabled = m_doc.CanEditSelectedVertex();
        } else if (id == cmd::ID_FILE_MRU_FILE1) {
            enabled = false; // the placeholder stands only for an empty list
        }
        action->setEnabled(enabled);
    }
    if (m_toolBar) {
        Action(cmd::ID_VIEW_TOOLBAR)->setChecked(m_toolBar->isVisibleTo(this));
    }
    Action(cmd::ID_VIEW_STATUS_BAR)->setChecked(statusBar()->isVisibleTo(this));
}

void CMainFrame::ShowLockKeys(const std::optional<LockKeyState>& state) {
    const char* texts[] = {rolvet::str::kIndicatorCaps, rolvet::str::kIndicatorNum, rolvet::str::kIndicatorScroll};
    const bool on[] = {state && state->caps, state && state->num, state && state->scroll};
    for (int i = 0; i < m_indicators.size(); ++i) {
        QLabel* label = m_indicators.at(i);
        label->setEnabled(state.has_value());
        label->setText(!state || on[i] ? Utf8(texts[i]) : QString());
    }
}

void CMainFrame::UpdateTitle() {
    setWindowTitle(m_doc.Title() + QStringLiteral(" - ") + Utf8(rolvet::str::kWindowTitle));
}

void CMainFrame::RebuildRecentFileMenu() {
    for (QAction* action : std::as_const(m_recentActions)) {
        m_fileMenu->removeAction(action);
        action->deleteLater();
    }
    m_recentActions.clear();
    const QStringList& entries = m_app.RecentFiles().Entries();
    m_recentPlaceholder->setVisible(entries.isEmpty());
    const auto* texts = rolvet::str::FindCommandText(cmd::ID_FILE_MRU_FILE1);
    for (int i = 0; i < entries.size(); ++i) {
        const QString path = entries.at(i);
        QString shown = QDir::toNativeSeparators(path);
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), m_fileMenu);
        action->setObjectName(QStringLiteral("ID_FILE_MRU_FILE%1").arg(i + 1));
        action->setData(cmd::ID_FILE_MRU_FILE1 + i);
        action->setStatusTip(Utf8(texts->prompt));
        connect(action, &QAction::triggered, this, [this, path] { m_app.OpenDocumentFile(path, true); });
        m_fileMenu->insertAction(m_recentPlaceholder, action);
        m_recentActions.append(action);
    }
}

void CMainFrame::RunCommand(int id) {
    UpdateCommandUI(); // enabled states are checked again right before a command runs
    if (QAction* action = Action(id); action && !action->isEnabled()) {
        return;
    }
    switch (id) {
    case cmd::ID_FILE_NEW: m_app.OnFileNew(); break;
    case cmd::ID_FILE_OPEN: m_app.OnFileOpen(); break;
    case cmd::ID_FILE_SAVE: m_app.OnFileSave(); break;
    case cmd::ID_FILE_SAVE_AS: m_app.OnFileSaveAs(); break;
    case cmd::ID_FILE_EXPORT: m_doc.OnFileExport(this); break;
    case cmd::ID_APP_EXIT: close(); break;
    case cmd::ID_SETUP: m_doc.OnSetUp(this); break;
    case cmd::ID_XYZ: m_doc.OnEditSelectedVertex(this); break;
    case cmd::ID_SHOW_VERTICES: m_doc.OnShowVertices(this); break;
    case cmd::ID_UNREGISTER: m_app.OnUnregister(); break;
    case cmd::ID_VIEW_TOOLBAR: m_toolBar->setVisible(!m_toolBar->isVisibleTo(this)); break;
    case cmd::ID_VIEW_STATUS_BAR: statusBar()->setVisible(!statusBar()->isVisibleTo(this)); break;
    case cmd::ID_HELP_CONTENTS: m_app.OnHelpContents(); break;
    case cmd::ID_APP_ABOUT: m_app.OnAppAbout(); break;
    default: break;
    }
    UpdateCommandUI();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_app.SaveModified()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.append(url.toLocalFile());
        }
    }
    event->acceptProposedAction();
    activateWindow();
    // Several files open one after another; the last one stays open.
    for (const QString& path : std::as_const(paths)) {
        m_app.OpenDocumentFile(path);
    }
}
