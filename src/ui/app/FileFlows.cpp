#include "app/FileFlows.h"

#include "app/RecentFileList.h"
#include "common/Strings.h"
#include "document/NativePath.h"
#include "document/Prompts.h"
#include "document/RolvetDoc.h"
#include "document/Tr.h"
#include "document/WaitCursor.h"
#include "import/PolylineImport.h"
#include "import/TrackFit.h"
#include "track/TrackFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QWidget>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

QStringList TrackFilters() {
    return {Tr(rolvet::str::kFilterName), Tr(rolvet::str::kAllFilesFilter)};
}

// Whether path names a file, and whether that file is read-only by its permission bits (not
// access(): root may write anything, yet a read-only track stays so).
bool Exists(const QString& path, bool* readOnly = nullptr) {
    struct stat st {};
    if (::stat(PathToNative(path).c_str(), &st) != 0) {
        return false;
    }
    if (readOnly != nullptr) {
        *readOnly = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    }
    return true;
}

} // namespace

CFileFlows::CFileFlows(CRolvetDoc& doc, CRecentFileList& recent) : m_doc(doc), m_recent(recent) {}

bool CFileFlows::Start(const QString& fileName) {
    // A name on the command line may come wrapped in quotes by a launcher that quotes twice;
    // those are dropped, but only when the name as given is not a file: a double quote is an
    // ordinary character of a Linux file name.
    const QString name = fileName.isEmpty() || Exists(fileName) ? fileName : CleanQuotes(fileName);
    if (name.isEmpty()) {
        m_doc.ResetToUntitled();
        return true;
    }
    return OpenDocumentFile(name);
}

QString CFileFlows::CleanQuotes(const QString& path) {
    QString p = path;
    if (p.startsWith(QLatin1Char('"'))) {
        p.remove(0, 1);
    }
    if (const qsizetype quote = p.lastIndexOf(QLatin1Char('"')); quote >= 0) {
        p.truncate(quote);
    }
    return p;
}

QString CFileFlows::NormalizePath(const QString& path) {
    // Worked on the name's bytes, so names that are not UTF-8 keep them.
    std::filesystem::path native(PathToNative(path));
    std::error_code ec;
    native = std::filesystem::absolute(native, ec);
    if (char* real = ::realpath(native.c_str(), nullptr)) {
        const QString resolved = PathFromNative(real);
        std::free(real);
        return resolved;
    }
    std::string cleaned = native.lexically_normal().string();
    if (cleaned.size() > 1 && cleaned.back() == '/') {
        cleaned.pop_back();
    }
    return PathFromNative(cleaned);
}

void CFileFlows::AddToRecentFiles(const QString& path) {
    m_recent.Add(path);
    m_recent.Save();
}

bool CFileFlows::SaveModified() {
    if (!m_doc.IsModified() || m_ending) {
        return true;
    }
    const QString name = m_doc.PathName().isEmpty()
                             ? m_doc.Title()
                             : DisplayPath(QFileInfo(m_doc.PathName()).fileName());
    const QString question = Tr(rolvet::str::kSaveChanges).arg(name);
    switch (Prompts().AskYesNoCancel(m_window, question)) {
    case QMessageBox::Yes:
        return OnFileSave();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void CFileFlows::OnFileNew() {
    if (!SaveModified()) {
        return;
    }
    m_doc.ResetToUntitled();
}

void CFileFlows::OnFileOpen() {
    FileDialogRequest request;
    request.caption = Tr(rolvet::str::kOpenCaption);
    request.filters = TrackFilters();
    // File dialogs decode names that are not UTF-8 with loss; find the file they stand for.
    const QString path = ResolveLossyPath(Prompts().AskFileName(m_window, request));
    if (!path.isEmpty()) {
        OpenDocumentFile(path);
    }
}

bool CFileFlows::OpenDocumentFile(const QString& path, bool fromRecent) {
    const QString full = NormalizePath(path);
    if (!m_doc.PathName().isEmpty() && full == m_doc.PathName()) {
        // The file is already open: only bring the window forward.
        if (m_window) {
            m_window->raise();
            m_window->activateWindow();
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
            Prompts().ShowMessage(m_window,
                                  QString::fromStdString(rolvet::TrackErrorMessage(error)));
        } else {
            opened = true;
            AddToRecentFiles(full);
            if (error.shapeDamaged) {
                // The track is open; only the points' shapes were lost, and the user must know.
                Prompts().ShowMessage(m_window,
                                      QString::fromStdString(rolvet::ShapeDamagedMessage(error)));
            }
            if (!m_doc.UnreadableBackground().isEmpty()) {
                // The track is open without its picture; it keeps the setting for later.
                Prompts().ShowMessage(
                    m_window,
                    Tr(rolvet::str::kBackgroundMissing).arg(m_doc.UnreadableBackground()));
            }
        }
    }
    if (!opened && fromRecent) {
        m_recent.Remove(path);
        m_recent.Remove(full);
        m_recent.Save();
    }
    return opened;
}

void CFileFlows::OnFileImport() {
    FileDialogRequest request;
    request.caption = Tr(rolvet::str::kImportCaption);
    request.filters = {Tr(rolvet::str::kImportFilter), Tr(rolvet::str::kAllFilesFilter)};
    const QString path = ResolveLossyPath(Prompts().AskFileName(m_window, request));
    if (!path.isEmpty()) {
        ImportFile(path);
    }
}

bool CFileFlows::ImportFile(const QString& path) {
    rolvet::ImportResult imported;
    rolvet::FitResult fit;
    {
        CWaitCursor wait;
        imported = rolvet::ReadImportFile(PathToNative(path));
        if (imported.Ok()) {
            fit = rolvet::FitTrack(imported.line);
        }
    }
    // A file that cannot be used changes nothing: the question comes only for a usable one.
    if (!imported.Ok()) {
        Prompts().ShowMessage(m_window, QString::fromStdString(imported.message));
        return false;
    }
    if (!SaveModified()) {
        return false;
    }
    m_doc.RestoreTrack(Tr(rolvet::str::kUntitled), QString(), fit.track);
    if (!fit.report.withinTolerance) {
        Prompts().ShowInformation(m_window,
                                  QString::fromStdString(rolvet::ImportToleranceNote(fit.report)));
    }
    return true;
}

void CFileFlows::OpenDroppedFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        OpenDocumentFile(path);
    }
}

bool CFileFlows::OnFileSave() {
    const QString& path = m_doc.PathName();
    bool readOnly = false;
    if (path.isEmpty() || !Exists(path, &readOnly) || readOnly) {
        return OnFileSaveAs();
    }
    return DoSave(path);
}

bool CFileFlows::OnFileSaveAs() {
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
    request.caption = Tr(rolvet::str::kSaveAsCaption);
    request.filters = TrackFilters();
    request.defaultSuffix = QStringLiteral("rolvet");
    request.proposedPath = proposed;
    const QString chosen = ResolveLossyPath(Prompts().AskFileName(m_window, request));
    if (chosen.isEmpty()) {
        return false;
    }
    return DoSave(QFileInfo(chosen).isAbsolute() ? chosen
                                                 : QDir::current().absoluteFilePath(chosen));
}

bool CFileFlows::DoSave(const QString& path) {
    rolvet::TrackError error;
    {
        CWaitCursor wait;
        error = m_doc.OnSaveDocument(path);
    }
    if (error) {
        Prompts().ShowMessage(m_window, QString::fromStdString(rolvet::TrackErrorMessage(error)));
        return false;
    }
    AddToRecentFiles(m_doc.PathName());
    return true;
}
