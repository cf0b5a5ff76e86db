#include "document/RolvetDoc.h"

#include "common/Strings.h"
#include "document/NativePath.h"
#include "track/VertexStore.h"

#include <QFileInfo>

CRolvetDoc::CRolvetDoc(QObject* parent)
    : QObject(parent), m_strTitle(QString::fromUtf8(rolvet::str::kUntitled)) {
    // The clean state of the history is the track as last saved or opened.
    connect(&m_history, &QUndoStack::cleanChanged, this,
            [this](bool clean) { SetModifiedFlag(!clean); });
    connect(&m_history, &QUndoStack::canUndoChanged, this, &CRolvetDoc::historyChanged);
    connect(&m_history, &QUndoStack::canRedoChanged, this, &CRolvetDoc::historyChanged);
}

CRolvetDoc::~CRolvetDoc() {
    // The history empties itself as it goes and signals that; nobody should hear it from a
    // document that is being destroyed.
    m_history.disconnect(this);
}

void CRolvetDoc::SetSelectedIndex(int index) {
    if (m_nSelectedIndex != index) {
        m_nSelectedIndex = index;
        emit selectionChanged(index);
    }
}

void CRolvetDoc::SetModifiedFlag(bool modified) {
    if (m_bModified != modified) {
        m_bModified = modified;
        emit modifiedChanged(modified);
    }
    if (modified) {
        emit trackEdited();
    }
}

void CRolvetDoc::SetTitle(const QString& title) {
    if (m_strTitle != title) {
        m_strTitle = title;
        emit titleChanged(title);
    }
}

void CRolvetDoc::SetPathName(const QString& path) {
    m_strPathName = path;
    SetTitle(DisplayPath(QFileInfo(path).fileName()));
}

bool CRolvetDoc::OnNewDocument() {
    m_strPathName.clear();
    m_nDivisionCount = rolvet::kDefaultDivisionCount;
    m_nRoadWidth = rolvet::kDefaultRoadWidth;
    TheVertexStore().Clear();
    m_extensionChunks.clear();
    ClearHistory();
    SetModifiedFlag(false);
    emit trackReplaced();
    return true;
}

void CRolvetDoc::ResetToUntitled() {
    SetTitle(QString::fromUtf8(rolvet::str::kUntitled));
    OnNewDocument();
    UpdateAllViews();
}

rolvet::TrackError CRolvetDoc::OnOpenDocument(const QString& path) {
    rolvet::TrackData track;
    rolvet::TrackError error = rolvet::LoadTrackFile(PathToNative(path), track);
    if (error) {
        if (!rolvet::OpenFailureKeepsTrack(error)) {
            ResetToUntitled();
        }
        return error;
    }
    m_nDivisionCount = track.divisionCount;
    m_nRoadWidth = track.roadWidth;
    TheVertexStore().Assign(std::move(track.vertices), std::move(track.shapes));
    m_extensionChunks = std::move(track.otherChunks);
    ClearHistory();
    SetModifiedFlag(false);
    emit trackReplaced();
    SetPathName(path);
    UpdateAllViews();
    return error; // may say that the shapes were damaged
}

rolvet::TrackError CRolvetDoc::OnSaveDocument(const QString& path) {
    emit pendingEditsNeeded(false);
    const CVertexStore& store = TheVertexStore();
    rolvet::TrackError error =
        rolvet::SaveTrackFile(PathToNative(path), m_nDivisionCount, m_nRoadWidth, store.All(),
                              store.Shapes(), m_extensionChunks);
    if (!error) {
        m_history.setClean();
        SetModifiedFlag(false);
        SetPathName(path);
    }
    return error;
}

void CRolvetDoc::UpdateAllViews() {
    emit viewsNeedUpdate();
}
