#include "app/FileFlows.h"

#include "app/RecentFileList.h"
#include "common/Strings.h"
#include "document/Prompts.h"
#include "document/RolvetDoc.h"
#include "document/WaitCursor.h"
#include "track/TrackFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QWidget>

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

QStringList TrackFilters() {
    return {Utf8(rolvet::str::kFilterName), Utf8(rolvet::str::kAllFilesFilter)};
}

bool IsReadOnly(const QFileInfo& info) {
    // The permission bits, not access(): root may write anything, yet a read-only track stays so.
    const auto writeBits =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return (info.permissions() & writeBits) == 0;
}

} // namespace

CFileFlows::CFileFlows(CRolvetDoc& doc, CRecentFileList& recent) : m_doc(doc), m_recent(recent) {}

bool CFileFlows::Start(const QString& fileName) {
    if (fileName.isEmpty()) {
        m_doc.ResetToUntitled();
        return true;
    }
    return OpenDocumentFile(fileName);
}

QString CFileFlows::NormalizePath(const QString& path) {
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

void CFileFlows::AddToRecentFiles(const QString& path) {
    m_recent.Add(path);
    m_recent.Save();
}

bool CFileFlows::SaveModified() {
    if (!m_doc.IsModified()) {
        return true;
    }
    const QString name =
        m_doc.PathName().isEmpty() ? m_doc.Title() : QFileInfo(m_doc.PathName()).fileName();
    const QString question = Utf8(rolvet::str::kSaveChanges).arg(name);
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
    request.caption = Utf8(rolvet::str::kOpenCaption);
    request.filters = TrackFilters();
    const QString path = Prompts().AskFileName(m_window, request);
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
        }
    }
    if (!opened && fromRecent) {
        m_recent.Remove(path);
        m_recent.Remove(full);
        m_recent.Save();
    }
    return opened;
}

void CFileFlows::OpenDroppedFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        OpenDocumentFile(path);
    }
}

bool CFileFlows::OnFileSave() {
    const QString& path = m_doc.PathName();
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || IsReadOnly(info)) {
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
    request.caption = Utf8(rolvet::str::kSaveAsCaption);
    request.filters = TrackFilters();
    request.defaultSuffix = QStringLiteral("rolvet");
    request.proposedPath = proposed;
    const QString chosen = Prompts().AskFileName(m_window, request);
    if (chosen.isEmpty()) {
        return false;
    }
    return DoSave(QFileInfo(chosen).absoluteFilePath());
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
