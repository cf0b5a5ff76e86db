// The application object: start-up, the New / Open / Save flows and the application commands.
#pragma once

#include "app/CommandLine.h"
#include "app/RecentFileList.h"
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
    CMainFrame* MainFrame() const { return m_frame.get(); }
    const CRecentFileList& RecentFiles() const { return m_recent; }

    // New: asks to save, then starts a fresh untitled track.
    void OnFileNew();
    // Open from the dialog.
    void OnFileOpen();
    // Opens a track from any source; fromRecent marks an entry of the recent-file list, which is
    // removed when the open does not end with that file open. Returns true when the file is open.
    bool OpenDocumentFile(const QString& path, bool fromRecent = false);
    // Save and Save As; false when the save failed or was cancelled.
    bool OnFileSave();
    bool OnFileSaveAs();
    // Asks whether to save a modified track; false when the action that asked must stop.
    bool SaveModified();

    void OnAppAbout();
    void OnHelpContents();
    void OnUnregister();

    // The path as the open flow uses it: quotes stripped, absolute, symbolic links resolved.
    static QString NormalizePath(const QString& path);

private:
    bool DoSave(const QString& path);
    void AddToRecentFiles(const QString& path);

    CRolvetDoc m_doc;
    CRecentFileList m_recent;
    std::unique_ptr<CMainFrame> m_frame;
    int m_exitCode = 0;
};
