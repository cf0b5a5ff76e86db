// The plan view: shows the track from above and edits it with the mouse.
#pragma once

#include "document/RolvetDoc.h"
#include "export/RoadModel.h"
#include "track/TrackChange.h"

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QWidget>

class QPainter;

class CRolvetView : public QWidget {
    Q_OBJECT

public:
    explicit CRolvetView(QWidget* parent = nullptr);

    // The view's document; nullptr leaves the plan empty (background only) and the mouse inert.
    void SetDocument(CRolvetDoc* doc);
    CRolvetDoc* GetDocument() const { return m_pDocument; }

    // Paints the plan for the current client size over what the painter's device holds.
    void OnDraw(QPainter& painter);

    // Zoom in world units per pixel, and the index of the vertex being dragged (-1: none). Both
    // belong to the view and carry over from one track to the next; the document ends a drag
    // when it undoes or redoes.
    float Scale() const { return m_fScale; }
    int DragIndex() const;

    // The mouse handlers, reached through Qt's mouse and wheel events.
    void OnLButtonDown(QPoint point);
    void OnMouseMove(QPoint point);
    void OnLButtonUp();
    void OnRButtonDown(QPoint point);
    void OnMouseWheel(int zDelta);

public slots:
    // The document changed: repaint the whole plan.
    void OnUpdate();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Ends a drag in progress; the document records it as one step.
    void EndDrag();
    // Keeps the road's outer edges in step with the track while a point has a width of its own.
    void OnTrackChanged(const rolvet::TrackChange& change);

    QPointer<CRolvetDoc> m_pDocument;
    float m_fScale = 4.0f;
    int m_nDragIndex = -1;
    QImage m_frame; // the plan is composed here, then shown in one piece
    // The road whose outer edges the plan draws; empty while every width is the default.
    rolvet::CRoadModel m_edges;
};
