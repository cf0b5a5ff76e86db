// The editor's file flows: New, Open, Save, Save As, the question before a modified track is
// given up, the recent-file list, dropped files and the track named on the command line.
// Messages and dialogs appear over the window given to SetWindow; the flows know nothing else
// of the main window.
#pragma once

#include <QString>
#include <QStringList>

class CRecentFileList;
class CRolvetDoc;
class QWidget;

class CFileFlows {
public:
    CFileFlows(CRolvetDoc& doc, CRecentFileList& recent);

    // The window that owns messages and dialogs and is brought forward when the open file is
    // opened again; nullptr before the window exists.
    void SetWindow(QWidget* window) { m_window = window; }

    // Start-up: opens the track named on the command line, or starts a fresh one when the name
    // is empty. False when the named file could not be opened (its message was shown).
    bool Start(const QString& fileName);

    // New: asks to save, then starts a fresh untitled track.
    void OnFileNew();
    // Open from the dialog.
    void OnFileOpen();
    // Opens a track from any source; fromRecent marks an entry of the recent-file list, which is
    // removed when the open does not end with that file open. Returns true when the file is open.
    bool OpenDocumentFile(const QString& path, bool fromRecent = false);
    // Files dropped on the window open one after another; the last one stays open.
    void OpenDroppedFiles(const QStringList& paths);
    // Import: a centre line (CSV, GPX, GeoJSON) chosen in the dialog, fitted to a few points,
    // becomes a new untitled, modified track after the question whether to save the open one.
    // A file that cannot be read shows its message and leaves the open track as it was.
    void OnFileImport();
    // The same for a given file; true when the imported track is open.
    bool ImportFile(const QString& path);
    // Save and Save As; false when the save failed or was cancelled.
    bool OnFileSave();
    bool OnFileSaveAs();
    // Asks whether to save a modified track; false when the action that asked must stop.
    bool SaveModified();
    // While the editor is being ended, nothing is asked: the track lives on in its recovery copy.
    void SetEnding(bool ending) { m_ending = ending; }

    // The path as the open flow uses it: absolute, symbolic links resolved. Every character,
    // quotes included, is part of the name.
    static QString NormalizePath(const QString& path);
    // A command-line name without one leading double quote and without everything from the
    // last double quote on.
    static QString CleanQuotes(const QString& path);

private:
    bool DoSave(const QString& path);
    void AddToRecentFiles(const QString& path);

    CRolvetDoc& m_doc;
    CRecentFileList& m_recent;
    QWidget* m_window = nullptr;
    bool m_ending = false;
};
