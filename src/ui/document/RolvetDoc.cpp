#include "document/RolvetDoc.h"

#include "common/Strings.h"
#include "document/NativePath.h"
#include "document/RacingLineService.h"
#include "document/Tr.h"
#include "track/VertexStore.h"

#include <QFileInfo>

CRolvetDoc::CRolvetDoc(QObject* parent)
    : QObject(parent), m_strTitle(Tr(rolvet::str::kUntitled)),
      m_racingLine(std::make_unique<CRacingLineService>(*this)) {
    // The clean state of the history is the track as last saved or opened. Reaching or leaving
    // it decides the modified flag afresh.
    connect(&m_history, &QUndoStack::cleanChanged, this, [this] {
        m_bTouched = false;
        UpdateModified();
    });
    connect(&m_history, &QUndoStack::canUndoChanged, this, &CRolvetDoc::historyChanged);
    connect(&m_history, &QUndoStack::canRedoChanged, this, &CRolvetDoc::historyChanged);
}

CRolvetDoc::~CRolvetDoc() {
    // The history empties itself as it goes and signals that; nobody should hear it from a
    // document that is being destroyed.
    m_history.disconnect(this);
    m_racingLine.reset();
}

void CRolvetDoc::SetSelectedIndex(int index) {
    if (m_nSelectedIndex != index) {
        m_nSelectedIndex = index;
        emit selectionChanged(index);
    }
}

void CRolvetDoc::SetModifiedFlag(bool modified) {
    m_bTouched = modified;
    if (!modified) {
        m_history.setClean();
    }
    UpdateModified();
}

void CRolvetDoc::UpdateModified() {
    const bool modified = m_bTouched || !m_history.isClean();
    if (m_bModified != modified) {
        m_bModified = modified;
        emit modifiedChanged(modified);
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

void CRolvetDoc::ReplaceTrack(rolvet::TrackData track) {
    m_nDivisionCount = track.divisionCount;
    m_nRoadWidth = track.roadWidth;
    TheVertexStore().Assign(std::move(track.vertices), std::move(track.shapes));
    m_extensionChunks = std::move(track.otherChunks);
    m_history.clear();
    ApplyBackground(std::nullopt, {});
    m_strUnreadableBackground.clear();
    m_bTouched = false;
    UpdateModified();
    // A drag held across New or Open goes on with the new track's vertex of that index; its
    // step starts there. Where there is no such vertex, the next move ends the drag.
    if (const CVector3D* v = TheVertexStore().Find(m_nDragIndex)) {
        m_dragStart = *v;
    }
    emit trackChanged(rolvet::TrackChange::Whole());
}

bool CRolvetDoc::OnNewDocument() {
    m_strPathName.clear();
    ReplaceTrack({});
    return true;
}

void CRolvetDoc::RestoreTrack(const QString& title, const QString& path,
                              const rolvet::TrackData& track) {
    SetTitle(title);
    m_strPathName.clear();
    ReplaceTrack(track);
    if (!path.isEmpty()) {
        SetPathName(path);
    }
    AdoptBackground(path);
    SetModifiedFlag(true);
    UpdateAllViews();
}

void CRolvetDoc::ResetToUntitled() {
    SetTitle(Tr(rolvet::str::kUntitled));
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
    ReplaceTrack(std::move(track));
    SetPathName(path);
    AdoptBackground(path);
    UpdateAllViews();
    return error; // may say that the shapes were damaged
}

rolvet::TrackError CRolvetDoc::OnSaveDocument(const QString& path) {
    // A drag in progress is saved where it is now, and undo can come back to that state.
    CommitDrag();
    const CVertexStore& store = TheVertexStore();
    rolvet::TrackError error =
        rolvet::SaveTrackFile(PathToNative(path), m_nDivisionCount, m_nRoadWidth, store.All(),
                              store.Shapes(), ExtensionChunksFor(PathToNative(path)));
    if (!error) {
        SetModifiedFlag(false);
        SetPathName(path);
    }
    return error;
}

void CRolvetDoc::UpdateAllViews() {
    emit viewsNeedUpdate();
}
