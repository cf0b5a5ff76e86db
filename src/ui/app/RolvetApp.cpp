#include "app/RolvetApp.h"

#include "app/CommandLine.h"
#include "app/DesktopIntegration.h"
#include "app/Language.h"
#include "app/MainFrame.h"
#include "common/Strings.h"
#include "view/RolvetView.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QSessionManager>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

#ifdef ROLVET_HAVE_XCB_XKB
#include <xcb/xcb.h>
#endif

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
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
        std::fprintf(stderr, "%s\n", rolvet::Translate(rolvet::str::kNoDisplay).c_str());
        return 1;
    }
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(Utf8(rolvet::str::kAppTitle));
    QApplication::setApplicationVersion(Utf8(rolvet::str::kVersion));
    if (rolvet::lang::Current() == rolvet::lang::Language::Japanese) {
        LoadQtTranslations(); // Qt's own texts are English without a table
    }
    CRolvetApp app;
    if (!app.InitInstance(arguments)) {
        return app.ExitCode();
    }
    app.Recovery().CatchTerminationSignals();
    QObject::connect(&qapp, &QGuiApplication::commitDataRequest, &app,
                     [&app](QSessionManager&) { app.OnTermination(); });
    CFirstPaintProbe probe;
    if (qEnvironmentVariableIntValue("ROLVET_EXIT_AFTER_FIRST_PAINT") != 0) {
        app.MainFrame()->View()->installEventFilter(&probe);
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

    m_frame = std::make_unique<CMainFrame>(m_doc, m_files, m_recent);
    m_files.SetWindow(m_frame.get());
    if (!m_files.Start(info.fileName)) {
        m_exitCode = 1;
        return false;
    }
    connect(&m_recovery, &CRecovery::terminationRequested, this, [this] {
        OnTermination();
        QCoreApplication::exit(0);
    });
    CRecovery::OfferRestore(m_doc, m_frame.get());
    m_frame->show();
    m_frame->Preview().RestoreAtStart();
    return true;
}

void CRolvetApp::OnTermination() {
    m_recovery.WriteNow();
    m_recovery.KeepCopy();
    m_files.SetEnding(true);
}
