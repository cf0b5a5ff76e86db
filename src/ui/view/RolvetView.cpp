#include "view/RolvetView.h"

#include "document/RacingLineService.h"
#include "document/RolvetDoc.h"
#include "track/VertexStore.h"
#include "view/PlanPainter.h"
#include "view/PlanTransform.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <vector>

using namespace rolvet::plan;

namespace {

constexpr QRgb kRacingLineColour = qRgb(0, 160, 0);

// The racing line as a thin closed polyline, under the control points and their markers.
void DrawRacingLine(QPainter& painter, const rolvet::RacingLine& line, float scale, Centre c) {
    if (line.points.size() < 2) {
        return;
    }
    std::vector<QPoint> pixels;
    pixels.reserve(line.points.size() + 1);
    for (const rolvet::RacingPoint& p : line.points) {
        const Pixel px = WorldToPixel(static_cast<float>(p.x), static_cast<float>(p.z), scale, c);
        if (pixels.empty() || pixels.back() != QPoint(px.x, px.y)) {
            pixels.emplace_back(px.x, px.y);
        }
    }
    pixels.push_back(pixels.front());
    painter.save();
    painter.setPen(QPen(QColor::fromRgb(kRacingLineColour), 0));
    painter.drawPolyline(pixels.data(), static_cast<int>(pixels.size()));
    painter.restore();
}

} // namespace

CRolvetView::CRolvetView(QWidget* parent) : QWidget(parent) {
    // Moves arrive whether or not a button is held; the handler ignores them outside a drag.
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CRolvetView::SetDocument(CRolvetDoc* doc) {
    if (m_pDocument == doc) {
        return;
    }
    if (m_pDocument) {
        disconnect(m_pDocument, nullptr, this, nullptr);
        disconnect(&m_pDocument->RacingLine(), nullptr, this, nullptr);
    }
    m_pDocument = doc;
    if (doc != nullptr) {
        connect(doc, &CRolvetDoc::viewsNeedUpdate, this, &CRolvetView::OnUpdate);
        // The plan always paints the whole store afresh: any change repaints it.
        connect(doc, &CRolvetDoc::trackChanged, this, &CRolvetView::OnUpdate);
        connect(&doc->RacingLine(), &CRacingLineService::lineChanged, this, &CRolvetView::OnUpdate);
    }
    update();
}

int CRolvetView::DragIndex() const {
    // Undo, redo, New or Open may have ended the drag in the document.
    return m_nDragIndex >= 0 && m_pDocument && m_pDocument->DraggedIndex() == m_nDragIndex
               ? m_nDragIndex
               : -1;
}

void CRolvetView::EndDrag() {
    if (DragIndex() >= 0) {
        m_pDocument->EndVertexDrag(); // however many moves it had, a drag is one step
    }
    m_nDragIndex = -1;
}

void CRolvetView::OnUpdate() {
    update();
}

void CRolvetView::OnDraw(QPainter& painter) {
    if (!m_pDocument) {
        return;
    }
    PlanScene scene;
    scene.width = width();
    scene.height = height();
    scene.scale = m_fScale;
    scene.vertices = TheVertexStore().All();
    scene.selected = m_pDocument->SelectedIndex();
    scene.font = font();
    if (m_pDocument->RacingLine().IsEnabled()) {
        DrawRacingLine(painter, m_pDocument->RacingLine().Line(), m_fScale,
                       CentreOf(width(), height()));
    }
    PaintPlan(painter, scene);
}

void CRolvetView::paintEvent(QPaintEvent*) {
    // The whole plan is composed in an image and shown at once: painting straight into an image
    // is the fast path of the plan painter, and the window never shows a half-drawn plan.
    if (m_frame.size() != size()) {
        m_frame = QImage(size(), QImage::Format_RGB32);
    }
    if (m_frame.isNull()) {
        return;
    }
    m_frame.fill(QColor::fromRgb(kBackgroundColour));
    {
        QPainter framePainter(&m_frame);
        OnDraw(framePainter);
    }
    QPainter painter(this);
    painter.drawImage(0, 0, m_frame);
}

void CRolvetView::OnLButtonDown(QPoint point) {
    if (!m_pDocument) {
        return;
    }
    CVertexStore& store = TheVertexStore();
    const Centre c = CentreOf(width(), height());
    const WorldXZ w = PixelToWorld(point.x(), point.y(), m_fScale, c);
    EndDrag();
    const int hit = FindVertexNear(store.All(), w.x, w.z, m_fScale);
    if (hit >= 0) {
        // Selecting is not a change of the track: the document stays unmodified. The drag ends
        // when the button comes up; Qt keeps sending this widget the moves until then.
        m_nDragIndex = hit;
        m_pDocument->BeginVertexDrag(hit);
        m_pDocument->SetSelectedIndex(hit);
    } else {
        // A click on empty ground always appends at the end of the track; the new point is
        // selected but not dragged until the button is pressed on it again.
        m_pDocument->AppendVertex(CVector3D(w.x, 0.0f, w.z)); // marks the document modified
        m_pDocument->SetSelectedIndex(store.Count() - 1);
    }
    update();
}

void CRolvetView::OnMouseMove(QPoint point) {
    if (m_nDragIndex < 0 || !m_pDocument) {
        return;
    }
    const WorldXZ w = PixelToWorld(point.x(), point.y(), m_fScale, CentreOf(width(), height()));
    // The document moves x and z (y, the height, stays) and marks itself modified. It refuses
    // when it has ended the drag (undo or redo) or the vertex is gone (a new or opened track
    // while the button was held): then the drag ends here too, touching nothing.
    if (!m_pDocument->DragVertexTo(m_nDragIndex, w.x, w.z)) {
        m_nDragIndex = -1;
        return;
    }
    update();
}

void CRolvetView::OnLButtonUp() {
    EndDrag();
}

void CRolvetView::OnRButtonDown(QPoint point) {
    CVertexStore& store = TheVertexStore();
    EndDrag(); // a drag in progress is recorded before this deletion
    if (m_pDocument && store.Count() > 0) {
        const WorldXZ w = PixelToWorld(point.x(), point.y(), m_fScale, CentreOf(width(), height()));
        const int hit = FindVertexNear(store.All(), w.x, w.z, m_fScale);
        if (hit >= 0) {
            // Deleting a point clears the selection, whichever point was selected.
            m_pDocument->SetSelectedIndex(-1);
            m_pDocument->EraseVertex(hit);
        } else {
            // On empty ground the last point goes; a selection of an earlier point survives.
            m_pDocument->EraseVertex(store.Count() - 1);
            if (m_pDocument->SelectedIndex() >= store.Count()) {
                m_pDocument->SetSelectedIndex(-1);
            }
        }
        // Either erasure is a step of the history, which marks the document modified.
    }
    m_nDragIndex = -1;
    update();
}

void CRolvetView::OnMouseWheel(int zDelta) {
    const float scale = static_cast<float>(zDelta / 1000.0 + static_cast<double>(m_fScale));
    m_fScale = std::max(scale, 0.1f);
    EndDrag();
    update();
}

void CRolvetView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnLButtonDown(event->position().toPoint());
    } else if (event->button() == Qt::RightButton) {
        OnRButtonDown(event->position().toPoint());
    }
    event->accept();
}

void CRolvetView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a double-click message of its own, which the plan
    // does not handle: a quick second click neither adds, drags nor deletes a point.
    event->accept();
}

void CRolvetView::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(event->position().toPoint());
    event->accept();
}

void CRolvetView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnLButtonUp();
    }
    event->accept();
}

void CRolvetView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        // A purely sideways scroll is not the wheel this view zooms with.
        event->ignore();
        return;
    }
    // The wheel delta is a signed 16-bit quantity.
    OnMouseWheel(std::clamp(delta, -32768, 32767));
    event->accept();
}
