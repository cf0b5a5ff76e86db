// The track document: its two settings, the selected vertex, the modified flag, its path and
// title. The control points themselves live in the process-wide vertex store.
#pragma once

#include "track/TrackFile.h"

#include <QObject>
#include <QString>

class QWidget;

class CRolvetDoc : public QObject {
    Q_OBJECT

public:
    explicit CRolvetDoc(QObject* parent = nullptr);

    int DivisionCount() const { return m_nDivisionCount; }
    void SetDivisionCount(int count) { m_nDivisionCount = count; }
    int RoadWidth() const { return m_nRoadWidth; }
    void SetRoadWidth(int width) { m_nRoadWidth = width; }
    // -1 for none. Not kept in step with the store: check it against the count before use.
    int SelectedIndex() const { return m_nSelectedIndex; }
    void SetSelectedIndex(int index);

    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true);

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
    // not modified. On failure rolvet::OpenFailureKeepsTrack says whether the document stays as
    // it was or is reset to untitled.
    rolvet::TrackError OnOpenDocument(const QString& path);

    // Writes the track to path. On success the document takes path and title and is not
    // modified; on failure nothing in memory changes.
    rolvet::TrackError OnSaveDocument(const QString& path);

    // Tells every view to redraw.
    void UpdateAllViews();

    // Command handlers of the document; parent owns the dialogs and messages they show.
    void OnFileExport(QWidget* parent);         // 32772 書き出し (RolvetDocExport.cpp)
    void OnSetUp(QWidget* parent);              // 32775 設定 (RolvetDocCommands.cpp)
    void OnShowVertices(QWidget* parent);       // 32784 頂点表示 (RolvetDocCommands.cpp)
    void OnEditSelectedVertex(QWidget* parent); // 32786 XYZ座標 (RolvetDocCommands.cpp)
    // Enable rule of 32786: 0 <= selected index < vertex count.
    bool CanEditSelectedVertex() const; // (RolvetDocCommands.cpp)

signals:
    void viewsNeedUpdate();
    void modifiedChanged(bool modified);
    void titleChanged(const QString& title);
    void selectionChanged(int index);

private:
    int m_nDivisionCount = rolvet::kDefaultDivisionCount;
    int m_nRoadWidth = rolvet::kDefaultRoadWidth;
    int m_nSelectedIndex = -1;
    bool m_bModified = false;
    QString m_strPathName;
    QString m_strTitle;
};
