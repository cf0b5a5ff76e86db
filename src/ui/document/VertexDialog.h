// The vertex list dialog "頂点": shows the track's control points as editable text. Nothing typed
// there is read back into the track.
//
// Object names: "edit1003" (the text), "button1" (OK), "button2" (キャンセル).
#pragma once

#include "track/Vector3D.h"

#include <QDialog>
#include <QString>

#include <span>

class CVertexListView;
class QPlainTextEdit;

class CVertexDialog : public QDialog {
    Q_OBJECT

public:
    explicit CVertexDialog(const QString& text, QWidget* parent = nullptr);
    // The list of vertices: as editable text, or, above kLongList vertices, as a list that formats
    // only the lines in view (CVertexListView), so that millions of vertices open at once.
    explicit CVertexDialog(std::span<const CVector3D> vertices, QWidget* parent = nullptr);

    static constexpr std::size_t kLongList = 100'000;

    // The text as given, or as edited once OK was chosen (lines ended by "\r\n").
    const QString& Text() const { return m_strText; }

    void accept() override;

private:
    void Build(QWidget* edit);

    QString m_strText;
    QPlainTextEdit* m_pEdit = nullptr;  // 1003, for the text
    CVertexListView* m_pList = nullptr; // 1003, for a long list
};
