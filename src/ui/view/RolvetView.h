// The plan view: shows the track from above and edits it with the mouse.
#pragma once

#include "document/RolvetDoc.h"
#include "export/RoadModel.h"
#include "track/TrackChange.h"
#include "view/PlanBackground.h"

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <vector>

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

    // Where the user has moved the plan: the world origin lies this many pixels from the client
    // centre. Zero until the user pans; never saved with the track. Once panned, the wheel zooms
    // about the cursor instead of the world origin.
    QPointF Pan() const { return {m_panX, m_panY}; }
    bool HasPanned() const { return m_bPanned; }
    // Moves the plan by a number of pixels.
    void PanBy(QPointF delta);
    // Home: zooms and moves the plan so that every control point, and the background image,
    // fits the client area. With nothing to show the plan returns to its first state.
    void FitToView();

    // The mouse handlers, reached through Qt's mouse and wheel events.
    void OnLButtonDown(QPoint point);
    void OnMouseMove(QPoint point);
    void OnLButtonUp();
    void OnRButtonDown(QPoint point);
    // cursor: where the wheel turned, used once the user has panned.
    void OnMouseWheel(int zDelta, QPoint cursor = {});

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
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    rolvet::plan::Centre ViewCentre() const;
    // The world corners of the background picture; none while there is no picture to show.
    std::vector<QPointF> BackgroundCorners() const;
    void EndPan();
    void UpdateCursor();
    // Space pressed or released (held): remembered for Space + left drag; true when handled.
    bool SpaceKey(QKeyEvent* event, bool held);

    // Ends a drag in progress; the document records it as one step.
    void EndDrag();
    // Keeps the road's outer edges in step with the track while a point has a width of its own.
    void OnTrackChanged(const rolvet::TrackChange& change);

    QPointer<CRolvetDoc> m_pDocument;
    float m_fScale = 4.0f;
    int m_nDragIndex = -1;
    double m_panX = 0.0;
    double m_panY = 0.0;
    bool m_bPanned = false;
    bool m_bSpaceHeld = false;
    bool m_bPanning = false; // a middle or Space + left drag is moving the plan
    QPoint m_panFrom;        // the cursor at the last step of that drag
    QImage m_frame;          // the plan is composed here, then shown in one piece
    rolvet::plan::CPlanBackground m_background;
    // The road whose outer edges the plan draws; empty while every width is the default.
    rolvet::CRoadModel m_edges;
};
