#include "app/RolvetApp.h"

#include "app/AboutDlg.h"
#include "app/CommandLine.h"
#include "app/DesktopIntegration.h"
#include "app/MainFrame.h"
#include "common/Strings.h"
#include "document/Prompts.h"
#include "document/WaitCursor.h"
#include "export/ProgramDirectory.h"
#include "track/TrackFile.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

#include <cstdio>

#ifdef ROLVET_HAVE_XCB_XKB
#include <xcb/xcb.h>
#endif

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

QStringList TrackFilters() {
    return {Utf8(rolvet::str::kFilterName), Utf8(rolvet::str::kAllFilesFilter)};
}

// Ends the program once the plan has been painted for the first time; used to measure the time
// from launch to the first painted window (ROLVET_EXIT_AFTER_FIRST_PAINT=1).
class CFirstPaintProbe : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            watched->removeEventFilter(this);
        }
        return false;
    }
};

bool IsReadOnly(const QFileInfo& info) {
    // The permission bits, not access(): root may write anything, yet a read-only track stays so.
    const auto writeBits =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return (info.permissions() & writeBits) == 0;
}

} // namespace

CRolvetApp::CRolvetApp() = default;

CRolvetApp::~CRolvetApp() = default;

std::optional<int> CRolvetApp::RunRegistrationSwitch(const CommandLineInfo& info) {
    switch (info.action) {
    case CommandLineInfo::Action::Register:
        return RegisterFileType(QCoreApplication::applicationFilePath()) ? 0 : 1;
    case CommandLineInfo::Action::Unregister:
        UnregisterFileType();
        return 0;
    default:
        break; // the editor, or a batch command handled before any Qt application exists
    }
    return std::nullopt;
}

bool CRolvetApp::DisplayAvailable() {
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb"))) {
        return true; // chosen explicitly (offscreen, wayland, ...): Qt reports its own failures
    }
    if (platform.isEmpty() && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return true;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        return false;
    }
#ifdef ROLVET_HAVE_XCB_XKB
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool connected = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return connected;
#else
    return true;
#endif
}

int CRolvetApp::Run(int argc, char** argv, const QStringList& arguments) {
    {
        // Registering and unregistering need no window, so they also work without a display.
        const CommandLineInfo info = ParseCommandLine(arguments);
        if (info.action == CommandLineInfo::Action::Register ||
            info.action == CommandLineInfo::Action::Unregister) {
            QCoreApplication core(argc, argv);
            return RunRegistrationSwitch(info).value_or(0);
        }
    }
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "%s\n", rolvet::str::kNoDisplay);
        return 1;
    }
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(Utf8(rolvet::str::kAppTitle));
    QApplication::setApplicationVersion(Utf8(rolvet::str::kVersion));
    LoadQtTranslations();
    CRolvetApp app;
    if (!app.InitInstance(arguments)) {
        return app.ExitCode();
    }
    CFirstPaintProbe probe;
    if (qEnvironmentVariableIntValue("ROLVET_EXIT_AFTER_FIRST_PAINT") != 0) {
        app.MainFrame()->centralWidget()->installEventFilter(&probe);
    }
    return QApplication::exec();
}

bool CRolvetApp::LoadQtTranslations() {
    auto* translator = new QTranslator(qApp);
    if (!translator->load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

bool CRolvetApp::InitInstance(const QStringList& arguments) {
    m_recent.Load();
    const CommandLineInfo info = ParseCommandLine(arguments);
    if (const auto status = RunRegistrationSwitch(info)) {
        m_exitCode = *status;
        return false;
    }
    // Refreshed at every start; a failure never stops start-up.
    RegisterFileType(QCoreApplication::applicationFilePath());

    m_frame = std::make_unique<CMainFrame>(*this, m_doc);
    if (info.fileName.isEmpty()) {
        m_doc.OnNewDocument();
    } else if (!OpenDocumentFile(info.fileName)) {
        m_exitCode = 1;
        return false;
    }
    m_doc.UpdateAllViews();
    m_frame->show();
    return true;
}

QString CRolvetApp::NormalizePath(const QString& path) {
    QString p = path;
    if (p.startsWith(QLatin1Char('"'))) {
        p.remove(0, 1);
    }
    if (const qsizetype quote = p.lastIndexOf(QLatin1Char('"')); quote >= 0) {
        p.truncate(quote);
    }
    const QFileInfo info(p);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

void CRolvetApp::AddToRecentFiles(const QString& path) {
    m_recent.Add(path);
    m_recent.Save();
    if (m_frame) {
        m_frame->RebuildRecentFileMenu();
    }
}

bool CRolvetApp::SaveModified() {
    if (!m_doc.IsModified()) {
        return true;
    }
    const QString name =
        m_doc.PathName().isEmpty() ? m_doc.Title() : QFileInfo(m_doc.PathName()).fileName();
    const QString question = Utf8(rolvet::str::kSaveChanges).arg(name);
    switch (Prompts().AskYesNoCancel(m_frame.get(), question)) {
    case QMessageBox::Yes:
        return OnFileSave();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void CRolvetApp::OnFileNew() {
    if (!SaveModified()) {
        return;
    }
    m_doc.SetTitle(Utf8(rolvet::str::kUntitled));
    m_doc.OnNewDocument();
    m_doc.UpdateAllViews();
}

void CRolvetApp::OnFileOpen() {
    FileDialogRequest request;
    request.caption = Utf8(rolvet::str::kOpenCaption);
    request.filters = TrackFilters();
    const QString path = Prompts().AskFileName(m_frame.get(), request);
    if (!path.isEmpty()) {
        OpenDocumentFile(path);
    }
}

bool CRolvetApp::OpenDocumentFile(const QString& path, bool fromRecent) {
    const QString full = NormalizePath(path);
    if (!m_doc.PathName().isEmpty() && full == m_doc.PathName()) {
        // The file is already open: only bring the window forward.
        if (m_frame) {
            m_frame->raise();
            m_frame->activateWindow();
        }
        return true;
    }
    bool opened = false;
    if (SaveModified()) {
        rolvet::TrackError error;
        {
            CWaitCursor wait;
            error = m_doc.OnOpenDocument(full);
        }
        if (error) {
            Prompts().ShowMessage(m_frame.get(),
                                  QString::fromStdString(rolvet::TrackErrorMessage(error)));
        } else {
            opened = true;
            AddToRecentFiles(full);
        }
    }
    if (!opened && fromRecent) {
        m_recent.Remove(path);
        m_recent.Remove(full);
        m_recent.Save();
        if (m_frame) {
            m_frame->RebuildRecentFileMenu();
        }
    }
    return opened;
}

bool CRolvetApp::OnFileSave() {
    const QString& path = m_doc.PathName();
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || IsReadOnly(info)) {
        return OnFileSaveAs();
    }
    return DoSave(path);
}

bool CRolvetApp::OnFileSaveAs() {
    QString proposed = m_doc.PathName();
    if (proposed.isEmpty()) {
        QString title = m_doc.Title();
        const qsizetype cut = title.indexOf(QRegularExpression(QStringLiteral("[:/\\\\]")));
        if (cut >= 0) {
            title.truncate(cut);
        }
        proposed = title + Utf8(rolvet::str::kFilterExtension);
    }
    FileDialogRequest request;
    request.save = true;
    request.caption = Utf8(rolvet::str::kSaveAsCaption);
    request.filters = TrackFilters();
    request.defaultSuffix = QStringLiteral("rolvet");
    request.proposedPath = proposed;
    const QString chosen = Prompts().AskFileName(m_frame.get(), request);
    if (chosen.isEmpty()) {
        return false;
    }
    return DoSave(QFileInfo(chosen).absoluteFilePath());
}

bool CRolvetApp::DoSave(const QString& path) {
    rolvet::TrackError error;
    {
        CWaitCursor wait;
        error = m_doc.OnSaveDocument(path);
    }
    if (error) {
        Prompts().ShowMessage(m_frame.get(),
                              QString::fromStdString(rolvet::TrackErrorMessage(error)));
        return false;
    }
    AddToRecentFiles(m_doc.PathName());
    return true;
}

void CRolvetApp::OnAppAbout() {
    CAboutDlg dialog(m_frame.get());
    Prompts().RunDialog(dialog);
}

void CRolvetApp::OnHelpContents() {
    const QString help =
        QString::fromStdString(rolvet::GetProgramDirectory()) + Utf8(rolvet::str::kHelpFileName);
    if (QFileInfo::exists(help)) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(help));
    }
}

void CRolvetApp::OnUnregister() {
    UnregisterFileType();
    Prompts().ShowInformation(m_frame.get(), Utf8(rolvet::str::kRegistryDeleted));
}
