// The vertex list of a long track, shown line by line as it scrolls into view: formatting and
// holding millions of lines as text would take seconds and hundreds of megabytes, while the list
// only ever needs the lines on screen. It reads the vertices where they are (the list is modal,
// so they cannot change meanwhile) and offers what the text edit offers apart from typing, which
// would change nothing anyway: moving with the keys and the wheel, selecting and copying.
#pragma once

#include "track/Vector3D.h"

#include <QString>
#include <QWidget>

#include <span>

class CVertexListView : public QWidget {
    Q_OBJECT

public:
    explicit CVertexListView(std::span<const CVector3D> vertices, QWidget* parent = nullptr);

    qsizetype LineCount() const { return static_cast<qsizetype>(m_vertices.size()); }
    // Line i as the full list has it, without its line end: "(x,y,z)" and a comma but on the last.
    QString LineText(qsizetype i) const;
    qsizetype CurrentLine() const { return m_current; }
    qsizetype TopLine() const { return m_top; }
    // The selected lines, each ended by "\r\n"; the current line when nothing is selected.
    QString SelectedText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int LineHeight() const;
    qsizetype VisibleLines() const;
    void MoveTo(qsizetype line, bool extend);

    std::span<const CVector3D> m_vertices;
    qsizetype m_top = 0;     // first line shown
    qsizetype m_current = 0; // the caret's line
    qsizetype m_anchor = -1; // other end of the selection; -1 for none
    int m_left = 0;          // pixels scrolled to the right
};
