#include "view/RolvetView.h"

#include "document/RolvetDoc.h"
#include "track/VertexStore.h"
#include "view/PlanPainter.h"
#include "view/PlanTransform.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

using namespace rolvet::plan;

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
    }
    m_pDocument = doc;
    if (doc != nullptr) {
        connect(doc, &CRolvetDoc::viewsNeedUpdate, this, &CRolvetView::OnUpdate);
        connect(doc, &CRolvetDoc::pendingEditsNeeded, this, [this](bool endGestures) {
            if (endGestures) {
                EndDrag();
            } else {
                CommitDrag();
            }
        });
        // A drag held across New or Open goes on in the new track; its step starts there.
        connect(doc, &CRolvetDoc::historyCleared, this, [this] {
            if (const CVector3D* v = TheVertexStore().Find(m_nDragIndex)) {
                m_dragStart = *v;
            }
        });
    }
    update();
}

void CRolvetView::CommitDrag() {
    const CVector3D* v = TheVertexStore().Find(m_nDragIndex);
    if (v != nullptr && m_pDocument) {
        m_pDocument->RecordVertexMove(m_nDragIndex, m_dragStart);
        m_dragStart = *v;
    }
}

void CRolvetView::EndDrag() {
    CommitDrag();
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
        m_dragStart = store.At(hit);
        m_pDocument->SetSelectedIndex(hit);
    } else {
        // A click on empty ground always appends at the end of the track; the new point is
        // selected but not dragged until the button is pressed on it again.
        m_pDocument->AppendVertex(CVector3D(w.x, 0.0f, w.z));
        m_pDocument->SetModifiedFlag(true);
        m_pDocument->SetSelectedIndex(store.Count() - 1);
    }
    update();
}

void CRolvetView::OnMouseMove(QPoint point) {
    if (m_nDragIndex < 0 || !m_pDocument) {
        return;
    }
    CVector3D* v = TheVertexStore().Find(m_nDragIndex);
    if (v == nullptr) {
        // The store shrank under the drag (a new or opened track while the button was held):
        // the dragged vertex is gone, so the drag ends without touching anything.
        m_nDragIndex = -1;
        return;
    }
    const WorldXZ w = PixelToWorld(point.x(), point.y(), m_fScale, CentreOf(width(), height()));
    v->x = w.x; // y, the height, stays as it is
    v->z = w.z;
    update();
    m_pDocument->SetModifiedFlag(true);
}

void CRolvetView::OnLButtonUp() {
    // However many moves it had, a drag is one step of the history.
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
        m_pDocument->SetModifiedFlag(true);
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
