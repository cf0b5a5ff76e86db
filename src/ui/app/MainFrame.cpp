#include "app/MainFrame.h"

#include "app/FileFlows.h"
#include "app/Icons.h"
#include "app/RecentFileList.h"
#include "common/Strings.h"
#include "document/NativePath.h"
#include "document/RolvetDoc.h"
#include "document/Tr.h"
#include "view/ProfileView.h"
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
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

QSettings OpenSettings() {
    return QSettings(Utf8(rolvet::str::kSettingsOrganization),
                     Utf8(rolvet::str::kSettingsApplication));
}

constexpr const char* kProfileShownKey = "Profile/Shown";
constexpr const char* kProfileSplitKey = "Profile/Splitter";

} // namespace

CMainFrame::CMainFrame(CRolvetDoc& doc, CFileFlows& files, const CRecentFileList& recent)
    : m_doc(doc), m_files(files), m_recent(recent), m_preview(*this, doc) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowIcon(AppIcon());
    setAcceptDrops(true);

    // The plan above, the height profile below it; while the profile is hidden the plan has
    // the whole client area.
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setObjectName(QStringLiteral("PlanProfileSplitter"));
    m_splitter->setChildrenCollapsible(false);
    m_view = new CRolvetView(m_splitter);
    m_view->SetDocument(&m_doc);
    m_profile = new CProfileView(m_splitter);
    m_profile->hide();
    m_profile->SetDocument(&m_doc);
    m_splitter->addWidget(m_view);
    m_splitter->addWidget(m_profile);
    m_splitter->setStretchFactor(0, 2);
    m_splitter->setStretchFactor(1, 1);
    setCentralWidget(m_splitter);
    // A point selected in the profile is shown selected in the plan too.
    connect(&m_doc, &CRolvetDoc::selectionChanged, m_view, qOverload<>(&CRolvetView::update));

    m_toolBar = new QToolBar(this);
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    connect(&m_recent, &CRecentFileList::changed, this, &CMainFrame::RebuildRecentFileMenu);
    connect(&m_preview, &CPreviewHost::changed, this, &CMainFrame::UpdateCommandUI);

    connect(&m_doc, &CRolvetDoc::titleChanged, this, &CMainFrame::UpdateTitle);
    connect(&m_doc, &CRolvetDoc::selectionChanged, this, &CMainFrame::UpdateCommandUI);
    connect(&m_doc, &CRolvetDoc::modifiedChanged, this, &CMainFrame::UpdateCommandUI);
    connect(&m_doc, &CRolvetDoc::viewsNeedUpdate, this, &CMainFrame::UpdateCommandUI);
    connect(&m_doc, &CRolvetDoc::historyChanged, this, &CMainFrame::UpdateCommandUI);
    UpdateTitle();
    resize(800, 600);
    RestoreProfile();
    UpdateCommandUI();
}

void CMainFrame::RestoreProfile() {
    const QSettings settings = OpenSettings();
    const QByteArray split = settings.value(QLatin1String(kProfileSplitKey)).toByteArray();
    if (split.isEmpty() || !m_splitter->restoreState(split)) {
        m_splitter->setSizes({400, 200});
    }
    // restoreState also restores which parts were hidden: the shown flag alone decides.
    m_view->show();
    m_profile->setVisible(settings.value(QLatin1String(kProfileShownKey), false).toBool());
}

void CMainFrame::SaveProfile() const {
    QSettings settings = OpenSettings();
    settings.setValue(QLatin1String(kProfileShownKey), m_profile->isVisibleTo(this));
    settings.setValue(QLatin1String(kProfileSplitKey), m_splitter->saveState());
}

cmd::Context CMainFrame::Context() {
    return {*this, *m_toolBar, m_doc, m_files, m_preview, *m_profile, *m_view};
}

void CMainFrame::CreateActions() {
    for (const cmd::Command& command : cmd::Commands()) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(cmd::ObjectName(command.id)));
        action->setData(int(command.id));
        if (command.text) {
            action->setText(Tr(command.text->menu));
            action->setStatusTip(Tr(command.text->prompt));
            action->setToolTip(command.text->tooltip ? Tr(command.text->tooltip) : QString());
        }
        QList<QKeySequence> keys;
        for (const QKeyCombination key : command.keys) {
            if (key.key() != Qt::Key_unknown) {
                keys.append(QKeySequence(key));
            }
        }
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setCheckable(command.checked != nullptr);
        if (command.image) {
            action->setIcon(ToolbarIcon(command.image));
        }
        connect(action, &QAction::triggered, this, [this, &command] { RunCommand(command); });
        addAction(action); // keeps accelerators alive when menus or toolbar are hidden
        m_actions.insert(command.id, action);
    }
}

void CMainFrame::CreateMenus() {
    for (const cmd::Menu which : cmd::kMenus) {
        QMenu* menu = menuBar()->addMenu(Tr(cmd::MenuTitle(which)));
        menu->setToolTipsVisible(false);
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
        if (which == cmd::Menu::File) {
            m_fileMenu = menu; // holds the recent files
        }
        QMenu* submenu = nullptr;
        for (const cmd::Command& command : cmd::Commands()) {
            if (command.menu != which) {
                continue;
            }
            if (command.separatorBefore) {
                menu->addSeparator();
            }
            if (command.submenu == nullptr) {
                submenu = nullptr;
                menu->addAction(Action(command.id));
                continue;
            }
            if (submenu == nullptr || submenu->title() != Tr(command.submenu)) {
                submenu = menu->addMenu(Tr(command.submenu));
                submenu->setToolTipsVisible(false);
            }
            submenu->addAction(Action(command.id));
        }
    }
    m_recentPlaceholder = Action(cmd::ID_FILE_MRU_FILE1);
    RebuildRecentFileMenu();
}

void CMainFrame::CreateToolBar() {
    m_toolBar->setObjectName(QStringLiteral("AFX_IDW_TOOLBAR"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_toolBar->setMovable(true);
    for (const cmd::Command& command : cmd::Commands()) {
        if (command.image == nullptr) {
            continue;
        }
        if (command.toolbarSeparatorBefore) {
            m_toolBar->addSeparator();
        }
        m_toolBar->addAction(Action(command.id));
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    connect(m_toolBar, &QToolBar::visibilityChanged, this, &CMainFrame::UpdateCommandUI);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("AFX_IDW_STATUS_BAR"));
    for (const char* text :
         {rolvet::str::kIndicatorCaps, rolvet::str::kIndicatorNum, rolvet::str::kIndicatorScroll}) {
        auto* label = new QLabel(Tr(text), bar);
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
            bar->showMessage(Tr(rolvet::str::kReady));
        }
    });
    bar->showMessage(Tr(rolvet::str::kReady));
}

void CMainFrame::UpdateCommandUI() {
    const cmd::Context context = Context();
    for (const cmd::Command& command : cmd::Commands()) {
        QAction* action = Action(command.id);
        action->setEnabled(command.run && (!command.enabled || command.enabled(context)));
        if (command.checked) {
            action->setChecked(command.checked(context));
        }
    }
}

void CMainFrame::ShowLockKeys(const std::optional<LockKeyState>& state) {
    const char* texts[] = {rolvet::str::kIndicatorCaps, rolvet::str::kIndicatorNum,
                           rolvet::str::kIndicatorScroll};
    const bool on[] = {state && state->caps, state && state->num, state && state->scroll};
    for (int i = 0; i < m_indicators.size(); ++i) {
        QLabel* label = m_indicators.at(i);
        label->setEnabled(state.has_value());
        label->setText(!state || on[i] ? Tr(texts[i]) : QString());
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
    const QStringList& entries = m_recent.Entries();
    m_recentPlaceholder->setVisible(entries.isEmpty());
    for (int i = 0; i < entries.size(); ++i) {
        const QString path = entries.at(i);
        QString shown = DisplayPath(path);
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), m_fileMenu);
        action->setObjectName(QStringLiteral("ID_FILE_MRU_FILE%1").arg(i + 1));
        action->setData(cmd::ID_FILE_MRU_FILE1 + i);
        action->setStatusTip(m_recentPlaceholder->statusTip());
        connect(action, &QAction::triggered, this,
                [this, path] { m_files.OpenDocumentFile(path, true); });
        m_fileMenu->insertAction(m_recentPlaceholder, action);
        m_recentActions.append(action);
    }
}

void CMainFrame::RunCommand(const cmd::Command& command) {
    UpdateCommandUI(); // enabled states are checked again right before a command runs
    if (!Action(command.id)->isEnabled()) {
        return;
    }
    command.run(Context());
    UpdateCommandUI();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_files.SaveModified()) {
        m_preview.CloseWithOwner();
        SaveProfile();
        event->accept();
    } else {
        event->ignore();
    }
}

namespace {

// The local files of a drop, by their bytes (a URL carries names that are not UTF-8 intact).
QStringList DroppedFiles(const QMimeData* data) {
    QStringList paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            const QByteArray native =
                QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
            paths.append(PathFromNative(
                std::string_view(native.constData(), static_cast<std::size_t>(native.size()))));
        }
    }
    return paths;
}

} // namespace

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    // Files are only ever copied from the drag source: a move would let it delete them.
    if (event->mimeData()->hasUrls() && (event->possibleActions() & Qt::CopyAction)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    if (!(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return;
    }
    const QStringList paths = DroppedFiles(event->mimeData());
    event->setDropAction(Qt::CopyAction);
    event->accept();
    activateWindow();
    // The drag source waits until the drop returns: open the files (which may ask questions)
    // only afterwards.
    QTimer::singleShot(0, this, [this, paths] { m_files.OpenDroppedFiles(paths); });
}
