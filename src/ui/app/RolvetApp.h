// The application object: start-up; owns the document, the recent-file list, the file flows
// and the main window.
#pragma once

#include "app/CommandLine.h"
#include "app/FileFlows.h"
#include "app/RecentFileList.h"
#include "app/Recovery.h"
#include "document/RolvetDoc.h"

#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>

class CMainFrame;

class CRolvetApp : public QObject {
    Q_OBJECT

public:
    CRolvetApp();
    ~CRolvetApp() override;

    // Starts the editor and runs it until the main window closes; returns the exit status.
    // arguments: the command line without the program name, file names decoded without loss.
    static int Run(int argc, char** argv, const QStringList& arguments);
    // Whether a window can be shown at all (a display to connect to, or a chosen Qt platform).
    static bool DisplayAvailable();
    // Carries out --register / --unregister (any spelling the command line accepts) and returns
    // the exit status; nothing when the command line asks for the editor.
    static std::optional<int> RunRegistrationSwitch(const CommandLineInfo& info);
    // Installs Qt's own Japanese texts (standard buttons read はい / いいえ / キャンセル).
    static bool LoadQtTranslations();

    // Start-up after the QApplication exists: settings, file-type registration, the command line
    // (arguments without the program name) and the main window. Returns false when the process
    // should end at once, with ExitCode() as its status.
    bool InitInstance(const QStringList& arguments);
    int ExitCode() const { return m_exitCode; }

    CRolvetDoc& Document() { return m_doc; }
    CFileFlows& Files() { return m_files; }
    CMainFrame* MainFrame() const { return m_frame.get(); }
    const CRecentFileList& RecentFiles() const { return m_recent; }
    CRecovery& Recovery() { return m_recovery; }
    // The editor is being ended (signal or desktop logout): the recovery copy is written and
    // kept, and the window closes without asking.
    void OnTermination();

private:
    CRolvetDoc m_doc;
    CRecentFileList m_recent;
    CFileFlows m_files{m_doc, m_recent};
    CRecovery m_recovery{m_doc};
    std::unique_ptr<CMainFrame> m_frame;
    int m_exitCode = 0;
};
