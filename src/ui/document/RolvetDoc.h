// The track document: its two settings, the selected vertex, the modified flag, its path and
// title, and the undo history. The control points themselves live in the process-wide vertex
// store. Every change of the track is applied here (a step of the history, a drag, New, Open,
// a restored recovery copy), and each is announced once with what it changed (trackChanged).
#pragma once

#include "track/BackgroundImage.h"
#include "track/PointShape.h"
#include "track/TrackChange.h"
#include "track/TrackFile.h"
#include "track/Vector3D.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QUndoStack>

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class CRacingLineService;
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
    // reaching any other state sets it. SetModifiedFlag(true) marks the track modified even where
    // the history is at that state (a command that changed no value, a drag not yet a step) until
    // the history next reaches or leaves it; SetModifiedFlag(false) makes the track as it is now
    // the saved state of the history.
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true);

    // Edits of the track and its settings. Each is one step of the history, which keeps only
    // what the step changed. They leave the selection to the caller; undoing or redoing a step
    // selects the vertex it touched, or none when that vertex does not exist afterwards.
    void AppendVertex(const CVector3D& v);
    // Removes vertex index (the later ones move down); a bad index changes nothing.
    void EraseVertex(int index);
    // Gives vertex index new coordinates; nothing is recorded when they are the same.
    void SetVertex(int index, const CVector3D& v);
    // Takes both settings; nothing is recorded when neither changes.
    void SetSettings(int roadWidth, int divisionCount);
    // Gives point index a new road shape; nothing is recorded when it is the same.
    void SetPointShape(int index, const rolvet::PointShape& shape);

    // A drag of one vertex with the mouse. The vertex follows every DragVertexTo at once (x and z;
    // its height stays) and marks the track modified; the whole drag becomes one step of the
    // history when it ends. Saving records the drag so far as a step and the drag goes on from
    // there; undo and redo record it and end it. New and Open keep it going on the new track's
    // vertex of that index; a move ends it where there is no such vertex.
    void BeginVertexDrag(int index);
    // false, changing nothing, when vertex index is not the one being dragged (the drag ended).
    bool DragVertexTo(int index, float x, float z);
    // The same for a drag of the height alone (the profile view): y follows, x and z stay.
    bool DragVertexHeightTo(int index, float y);
    void EndVertexDrag();
    // The vertex being dragged, -1 for none.
    int DraggedIndex() const { return m_nDragIndex; }

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

    // Takes a track kept by the crash recovery: title, settings and points, and path when it is
    // not empty. The history starts afresh and the track is modified (it is not on disk).
    void RestoreTrack(const QString& title, const QString& path, const rolvet::TrackData& track);

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

    // The chunks of the file's extension other than the points' shapes, as they are written for
    // the document's own path: those this editor does not know unchanged, and the background
    // image (RolvetDocBackground.cpp).
    std::vector<std::byte> ExtensionChunks() const;
    std::vector<std::byte> ExtensionChunksFor(const std::filesystem::path& trackFile) const;

    // The racing line of the track, solved in the background while it is switched on.
    CRacingLineService& RacingLine() { return *m_racingLine; }

    void SetExtensionChunks(std::vector<std::byte> chunks) {
        m_extensionChunks = std::move(chunks);
    }

    // The picture under the plan, nullopt for none; its path is absolute. A new track has none.
    const std::optional<rolvet::BackgroundImage>& Background() const { return m_background; }
    // Its pixels: null when there is no picture or its file could not be read.
    const QImage& BackgroundPixels() const { return m_backgroundPixels; }
    // Sets or clears the picture as one step of the history; nothing is recorded when it stays
    // the same.
    void SetBackground(std::optional<rolvet::BackgroundImage> image, QImage pixels);
    // After Open or a restored copy: the picture's file when it could not be read (the track is
    // open all the same and keeps the setting), else empty.
    const QString& UnreadableBackground() const { return m_strUnreadableBackground; }
    // Reads a PNG or JPEG file for the background; a null image when it cannot.
    static QImage ReadBackgroundPixels(const QString& path);

    // Command handlers of the document; parent owns the dialogs and messages they show.
    void OnFileExport(QWidget* parent);         // 32772 書き出し (RolvetDocExport.cpp)
    void OnSetUp(QWidget* parent);              // 32775 設定 (RolvetDocCommands.cpp)
    void OnShowVertices(QWidget* parent);       // 32784 頂点表示 (RolvetDocCommands.cpp)
    void OnEditSelectedVertex(QWidget* parent); // 32786 XYZ座標 (RolvetDocCommands.cpp)
    // Enable rule of 32786: 0 <= selected index < vertex count.
    bool CanEditSelectedVertex() const;     // (RolvetDocCommands.cpp)
    void OnEditPointShape(QWidget* parent); // 32801 道路の形, same rule (RolvetDocCommands.cpp)
    void OnBackgroundImage(QWidget* parent); // 32802 下絵... (RolvetDocBackground.cpp)

signals:
    // The track or its settings changed, and what changed: sent once for every change, by the
    // code that applied it, after the store, the settings and the selection hold the new state.
    // Views update only what the record names.
    void trackChanged(const rolvet::TrackChange& change);
    // Whether there is something to undo or to redo may have changed.
    void historyChanged();
    // Every view redraws (UpdateAllViews).
    void viewsNeedUpdate();
    void modifiedChanged(bool modified);
    void titleChanged(const QString& title);
    void selectionChanged(int index);
    // The background picture or its placement changed.
    void backgroundChanged();

private:
    // 書き出し to a .csv name: the racing line of the track as it is now, for a vehicle width
    // asked first (RolvetDocExport.cpp).
    void ExportRacingLineCsv(QWidget* parent, const std::string& path,
                             std::span<const CVector3D> points,
                             std::span<const rolvet::PointShape> shapes);

    class CTrackStep;
    class CVertexPresenceStep;
    class CVertexMoveStep;
    class CPointShapeStep;
    class CSettingsStep;
    class CBackgroundStep;

    // Takes a whole track (settings, points, shapes, extension) with a fresh history; announces
    // Whole.
    void ReplaceTrack(rolvet::TrackData track);
    void PushStep(QUndoCommand* step);
    // Moves the dragged vertex to `moved` (DragVertexTo and DragVertexHeightTo).
    bool DragVertexToPoint(int index, const CVector3D& moved);
    // Records the drag so far as one step; the drag goes on from there.
    void CommitDrag();
    void UpdateModified();
    // Takes the background picture from the extension's chunks of a track read from trackFile.
    void AdoptBackground(const QString& trackFile);
    void ApplyBackground(std::optional<rolvet::BackgroundImage> image, QImage pixels);

    int m_nDivisionCount = rolvet::kDefaultDivisionCount;
    int m_nRoadWidth = rolvet::kDefaultRoadWidth;
    int m_nSelectedIndex = -1;
    bool m_bModified = false;
    // Marked modified since the history last reached or left its clean state.
    bool m_bTouched = false;
    int m_nDragIndex = -1;
    CVector3D m_dragStart; // the dragged vertex where the drag (or its latest step) began
    QString m_strPathName;
    QString m_strTitle;
    std::vector<std::byte> m_extensionChunks;
    std::optional<rolvet::BackgroundImage> m_background;
    QImage m_backgroundPixels;
    QString m_strUnreadableBackground;
    QUndoStack m_history;
    // Last, so it goes first: its solves read nothing of the document once started.
    std::unique_ptr<CRacingLineService> m_racingLine;
};
