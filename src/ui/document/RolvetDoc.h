// The track document: its two settings, the selected vertex, the modified flag, its path and
// title. The control points themselves live in the process-wide vertex store.
#pragma once

#include "track/PointShape.h"
#include "track/TrackFile.h"
#include "track/Vector3D.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

class QWidget;

class CRolvetDoc : public QObject {
    Q_OBJECT

public:
    explicit CRolvetDoc(QObject* parent = nullptr);
    ~CRolvetDoc() override;

    int DivisionCount() const { return m_nDivisionCount; }
    void SetDivisionCount(int count) { m_nDivisionCount = count; }
    int RoadWidth() const { return m_nRoadWidth; }
    void SetRoadWidth(int width) { m_nRoadWidth = width; }
    // -1 for none. Not kept in step with the store: check it against the count before use.
    int SelectedIndex() const { return m_nSelectedIndex; }
    void SetSelectedIndex(int index);

    // Follows the history: undoing or redoing back to the state last saved or opened clears it,
    // reaching any other state sets it. Set directly it stays set until the history moves.
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true);

    // Edits of the track and its settings. Each is one step of the history, which keeps only
    // what the step changed. They leave the selection to the caller; undoing or redoing a step
    // selects the vertex it touched, or none when that vertex does not exist afterwards.
    void AppendVertex(const CVector3D& v);
    // Removes vertex index (the later ones move down); a bad index changes nothing.
    void EraseVertex(int index);
    // Records that vertex index was moved from before to where it is now (a finished drag).
    // Nothing is recorded when the vertex did not change or does not exist.
    void RecordVertexMove(int index, const CVector3D& before);
    // Gives vertex index new coordinates; nothing is recorded when they are the same.
    void SetVertex(int index, const CVector3D& v);
    // Takes both settings; nothing is recorded when neither changes.
    void SetSettings(int roadWidth, int divisionCount);
    // Gives point index a new road shape; nothing is recorded when it is the same.
    void SetPointShape(int index, const rolvet::PointShape& shape);

    bool CanUndo() const { return m_history.canUndo(); }
    bool CanRedo() const { return m_history.canRedo(); }
    void OnEditUndo(); // 57643 元に戻す
    void OnEditRedo(); // 57644 やり直し
    int HistoryCount() const { return m_history.count(); }

    // Full path of the document's file; empty for a track that was never saved.
    const QString& PathName() const { return m_strPathName; }
    // The file name after Open or Save, "無題" for a new track.
    const QString& Title() const { return m_strTitle; }
    void SetTitle(const QString& title);
    // Takes the path and, as title, the path's file name.
    void SetPathName(const QString& path);

    // Starts a fresh track: default settings, empty store, no path, not modified.
    // The selected index is left as it was.
    bool OnNewDocument();

    // New, a failed open and start-up without a file: a fresh track titled "無題", redrawn.
    void ResetToUntitled();

    // Reads a track file. On success the document holds the file's track, path and title and is
    // not modified; the result's shapeDamaged says that the points' shapes could not be read.
    // On failure rolvet::OpenFailureKeepsTrack says whether the document stays as it was or is
    // reset to untitled.
    rolvet::TrackError OnOpenDocument(const QString& path);

    // Writes the track to path. On success the document takes path and title and is not
    // modified; on failure nothing in memory changes.
    rolvet::TrackError OnSaveDocument(const QString& path);

    // Tells every view to redraw.
    void UpdateAllViews();

    // The chunks of the file's extension that this editor does not know; saved back unchanged.
    const std::vector<std::byte>& ExtensionChunks() const { return m_extensionChunks; }
    void SetExtensionChunks(std::vector<std::byte> chunks) {
        m_extensionChunks = std::move(chunks);
    }

    // Command handlers of the document; parent owns the dialogs and messages they show.
    void OnFileExport(QWidget* parent);         // 32772 書き出し (RolvetDocExport.cpp)
    void OnSetUp(QWidget* parent);              // 32775 設定 (RolvetDocCommands.cpp)
    void OnShowVertices(QWidget* parent);       // 32784 頂点表示 (RolvetDocCommands.cpp)
    void OnEditSelectedVertex(QWidget* parent); // 32786 XYZ座標 (RolvetDocCommands.cpp)
    // Enable rule of 32786: 0 <= selected index < vertex count.
    bool CanEditSelectedVertex() const;     // (RolvetDocCommands.cpp)
    void OnEditPointShape(QWidget* parent); // 32801 道路の形, same rule (RolvetDocCommands.cpp)

signals:
    // A view holding an edit that is not yet a step (a drag in progress) records it now, so that
    // the history and a saved file see it. endGestures: the drag also ends (before undo or redo,
    // which may move or remove the dragged vertex).
    void pendingEditsNeeded(bool endGestures);
    // New or Open replaced the track and emptied the history.
    void historyCleared();
    // Whether there is something to undo or to redo may have changed.
    void historyChanged();
    void viewsNeedUpdate();
    // Every edit of the track or its settings marks the document modified, and each such mark
    // is announced here, so views that follow the track (the 3D preview) see every edit at once.
    void trackEdited();
    // New or Open replaced the whole track.
    void trackReplaced();
    void modifiedChanged(bool modified);
    void titleChanged(const QString& title);
    void selectionChanged(int index);

private:
    void ClearHistory();
    void PushStep(QUndoCommand* step);

    int m_nDivisionCount = rolvet::kDefaultDivisionCount;
    int m_nRoadWidth = rolvet::kDefaultRoadWidth;
    int m_nSelectedIndex = -1;
    bool m_bModified = false;
    QString m_strPathName;
    QString m_strTitle;
    std::vector<std::byte> m_extensionChunks;
    QUndoStack m_history;
};
