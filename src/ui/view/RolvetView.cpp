#include "view/RolvetView.h"

#include "document/RacingLineService.h"
#include "document/RolvetDoc.h"
#include "track/VertexStore.h"
#include "view/PlanPainter.h"
#include "view/PlanTransform.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>
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
    // Keys reach the plan for Space + drag panning.
    setFocusPolicy(Qt::StrongFocus);
}

Centre CRolvetView::ViewCentre() const {
    Centre c = CentreOf(width(), height());
    c.panX = m_panX;
    c.panY = m_panY;
    return c;
}

void CRolvetView::PanBy(QPointF delta) {
    if (delta.isNull()) {
        return;
    }
    m_panX += delta.x();
    m_panY += delta.y();
    m_bPanned = true;
    update();
}

std::vector<QPointF> CRolvetView::BackgroundCorners() const {
    if (!m_pDocument || !m_pDocument->Background() || m_pDocument->BackgroundPixels().isNull()) {
        return {};
    }
    const auto placement = rolvet::PlaceImage(*m_pDocument->Background());
    if (!placement) {
        return {};
    }
    const QImage& pixels = m_pDocument->BackgroundPixels();
    const double w = pixels.width(), h = pixels.height();
    std::vector<QPointF> corners;
    for (const auto& [u, v] : {std::pair{0.0, 0.0}, {w, 0.0}, {w, h}, {0.0, h}}) {
        corners.emplace_back(placement->X(u, v), placement->Z(u, v));
    }
    return corners;
}

void CRolvetView::FitToView() {
    constexpr double kMargin = 20.0; // pixels left free around the fitted plan
    double minX = std::numeric_limits<double>::infinity(), maxX = -minX;
    double minZ = minX, maxZ = -minX;
    const auto include = [&](double x, double z) {
        if (std::isfinite(x) && std::isfinite(z)) {
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minZ = std::min(minZ, z);
            maxZ = std::max(maxZ, z);
        }
    };
    for (const CVector3D& v : TheVertexStore().All()) {
        include(v.x, v.z);
    }
    for (const QPointF& corner : BackgroundCorners()) {
        include(corner.x(), corner.y());
    }
    if (!(minX <= maxX)) {
        // Nothing to fit: the plan as it first was.
        m_fScale = 4.0f;
        m_panX = m_panY = 0.0;
        m_bPanned = false;
        update();
        return;
    }
    const double w = std::max(1.0, width() - 2 * kMargin);
    const double h = std::max(1.0, height() - 2 * kMargin);
    const double fit = std::max((maxX - minX) / w, (maxZ - minZ) / h);
    if (fit > 0.0) {
        // The wheel keeps the zoom at 0.1 or above; so does fitting.
        m_fScale = std::max(static_cast<float>(std::min(fit, 1e30)), 0.1f);
    }
    const double s = m_fScale;
    m_panX = -(minX + maxX) / 2.0 / s;
    m_panY = -(minZ + maxZ) / 2.0 / s;
    m_bPanned = true;
    update();
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
        connect(doc, &CRolvetDoc::trackChanged, this, &CRolvetView::OnTrackChanged);
        connect(doc, &CRolvetDoc::backgroundChanged, this, &CRolvetView::OnUpdate);
        connect(&doc->RacingLine(), &CRacingLineService::lineChanged, this, &CRolvetView::OnUpdate);
    }
    OnTrackChanged(rolvet::TrackChange::Whole());
}

void CRolvetView::OnTrackChanged(const rolvet::TrackChange& change) {
    const CVertexStore& store = TheVertexStore();
    const float half = m_pDocument ? rolvet::HalfRoadWidth(m_pDocument->RoadWidth()) : 0.0f;
    const auto shapes = store.Shapes();
    const bool widened =
        m_pDocument && std::any_of(shapes.begin(), shapes.end(), [half](const auto& shape) {
            return (shape.widthLeft && *shape.widthLeft != half) ||
                   (shape.widthRight && *shape.widthRight != half);
        });
    if (widened) {
        m_edges.Update(store.All(), shapes, m_pDocument->DivisionCount(), half, change);
    } else if (m_edges.State() != rolvet::RoadModelState::NoRoad) {
        m_edges = rolvet::CRoadModel();
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
    scene.panX = m_panX;
    scene.panY = m_panY;
    scene.vertices = TheVertexStore().All();
    scene.selected = m_pDocument->SelectedIndex();
    scene.sections = m_edges.Sections();
    scene.font = font();
    if (m_pDocument->RacingLine().IsEnabled()) {
        DrawRacingLine(painter, m_pDocument->RacingLine().Line(), m_fScale, ViewCentre());
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
    const auto* background = m_pDocument ? &m_pDocument->Background() : nullptr;
    const auto placement = background && *background && !m_pDocument->BackgroundPixels().isNull()
                               ? rolvet::PlaceImage(**background)
                               : std::nullopt;
    if (placement) {
        m_background.Paint(m_frame, m_pDocument->BackgroundPixels(), *placement,
                           (*background)->opacity, m_fScale, ViewCentre());
    } else {
        m_frame.fill(QColor::fromRgb(kBackgroundColour));
    }
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
    const Centre c = ViewCentre();
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
    const WorldXZ w = PixelToWorld(point.x(), point.y(), m_fScale, ViewCentre());
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
        const WorldXZ w = PixelToWorld(point.x(), point.y(), m_fScale, ViewCentre());
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

void CRolvetView::OnMouseWheel(int zDelta, QPoint cursor) {
    const float before = m_fScale;
    const float scale = static_cast<float>(zDelta / 1000.0 + static_cast<double>(m_fScale));
    m_fScale = std::max(scale, 0.1f);
    if (m_bPanned) {
        // The world point under the cursor stays under it.
        const Centre c = CentreOf(width(), height());
        const double ratio = static_cast<double>(before) / static_cast<double>(m_fScale);
        const double fromX = cursor.x() - c.cx - m_panX;
        const double fromY = cursor.y() - c.cy - m_panY;
        m_panX = cursor.x() - c.cx - fromX * ratio;
        m_panY = cursor.y() - c.cy - fromY * ratio;
    }
    EndDrag();
    update();
}

void CRolvetView::EndPan() {
    m_bPanning = false;
    UpdateCursor();
}

void CRolvetView::UpdateCursor() {
    if (m_bPanning) {
        setCursor(Qt::ClosedHandCursor);
    } else if (m_bSpaceHeld) {
        setCursor(Qt::OpenHandCursor);
    } else {
        unsetCursor();
    }
}

void CRolvetView::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const bool panButton =
        event->button() == Qt::MiddleButton || (event->button() == Qt::LeftButton && m_bSpaceHeld);
    if (panButton && DragIndex() < 0) {
        // Moving the plan is not an edit: no point is added, selected or dragged.
        m_bPanning = true;
        m_panFrom = point;
        UpdateCursor();
    } else if (m_bPanning) {
        // Other buttons wait until the plan is let go.
    } else if (event->button() == Qt::LeftButton) {
        OnLButtonDown(point);
    } else if (event->button() == Qt::RightButton) {
        OnRButtonDown(point);
    }
    event->accept();
}

void CRolvetView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a double-click message of its own, which the plan
    // does not handle: a quick second click neither adds, drags nor deletes a point.
    event->accept();
}

void CRolvetView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (m_bPanning) {
        PanBy(point - m_panFrom);
        m_panFrom = point;
    } else {
        OnMouseMove(point);
    }
    event->accept();
}

void CRolvetView::mouseReleaseEvent(QMouseEvent* event) {
    if (m_bPanning) {
        // The button that holds the plan lets it go; a pan begun with Space + left ends with
        // the left button even when Space was let go first.
        if (event->button() == Qt::MiddleButton || event->button() == Qt::LeftButton) {
            EndPan();
        }
    } else if (event->button() == Qt::LeftButton) {
        OnLButtonUp();
    }
    event->accept();
}

bool CRolvetView::SpaceKey(QKeyEvent* event, bool held) {
    if (event->key() != Qt::Key_Space) {
        return false;
    }
    if (!event->isAutoRepeat()) {
        m_bSpaceHeld = held;
        UpdateCursor();
    }
    event->accept();
    return true;
}

void CRolvetView::keyPressEvent(QKeyEvent* event) {
    if (!SpaceKey(event, true)) {
        QWidget::keyPressEvent(event);
    }
}

void CRolvetView::keyReleaseEvent(QKeyEvent* event) {
    if (!SpaceKey(event, false)) {
        QWidget::keyReleaseEvent(event);
    }
}

void CRolvetView::focusOutEvent(QFocusEvent* event) {
    // A Space released in another window is never seen here.
    m_bSpaceHeld = false;
    UpdateCursor();
    QWidget::focusOutEvent(event);
}

void CRolvetView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        // A purely sideways scroll is not the wheel this view zooms with.
        event->ignore();
        return;
    }
    // The wheel delta is a signed 16-bit quantity.
    OnMouseWheel(std::clamp(delta, -32768, 32767), event->position().toPoint());
    event->accept();
}
