#include "document/VertexListView.h"

#include "document/VertexDialog.h"
#include "track/TrackText.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <new>

CVertexListView::CVertexListView(std::span<const CVector3D> vertices, QWidget* parent)
    : QWidget(parent), m_vertices(vertices) {
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setCursor(Qt::IBeamCursor);
}

QString CVertexListView::LineText(qsizetype i) const {
    const auto index = static_cast<std::size_t>(i);
    std::string text = rolvet::VertexListText(m_vertices.subspan(index, 1));
    text.resize(text.size() - 2); // the "\r\n"
    if (index + 1 < m_vertices.size()) {
        text += ',';
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString CVertexListView::SelectedText() const {
    if (m_vertices.empty()) {
        return {};
    }
    const qsizetype first = m_anchor < 0 ? m_current : std::min(m_anchor, m_current);
    const qsizetype last = m_anchor < 0 ? m_current : std::max(m_anchor, m_current);
    QString text;
    text.reserve((last - first + 1) * 40);
    for (qsizetype i = first; i <= last; ++i) {
        text += LineText(i);
        text += QLatin1String("\r\n");
    }
    return text;
}

int CVertexListView::LineHeight() const {
    return fontMetrics().lineSpacing();
}

qsizetype CVertexListView::VisibleLines() const {
    return std::max(1, height() / LineHeight());
}

void CVertexListView::MoveTo(qsizetype line, bool extend) {
    if (m_vertices.empty()) {
        return;
    }
    if (extend && m_anchor < 0) {
        m_anchor = m_current;
    } else if (!extend) {
        m_anchor = -1;
    }
    m_current = std::clamp<qsizetype>(line, 0, LineCount() - 1);
    // Scroll just enough to keep the caret's line in view, as the edit does.
    if (m_current < m_top) {
        m_top = m_current;
    } else if (m_current >= m_top + VisibleLines()) {
        m_top = m_current - VisibleLines() + 1;
    }
    update();
}

void CVertexListView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int lineHeight = LineHeight();
    const int ascent = fontMetrics().ascent();
    const qsizetype selFirst = m_anchor < 0 ? -1 : std::min(m_anchor, m_current);
    const qsizetype selLast = m_anchor < 0 ? -1 : std::max(m_anchor, m_current);
    const qsizetype end = std::min(LineCount(), m_top + VisibleLines() + 1);
    for (qsizetype i = m_top; i < end; ++i) {
        const int y = static_cast<int>(i - m_top) * lineHeight;
        const QString text = LineText(i);
        if (i >= selFirst && i <= selLast) {
            painter.fillRect(
                QRect(2 - m_left, y, fontMetrics().horizontalAdvance(text), lineHeight),
                palette().highlight());
            painter.setPen(palette().color(QPalette::HighlightedText));
        } else {
            painter.setPen(palette().color(QPalette::Text));
        }
        painter.drawText(2 - m_left, y + ascent, text);
    }
    if (hasFocus() && !m_vertices.empty()) {
        const int y = static_cast<int>(m_current - m_top) * lineHeight;
        painter.setPen(palette().color(QPalette::Text));
        painter.drawLine(2 - m_left, y, 2 - m_left, y + lineHeight - 1);
    }
}

void CVertexListView::keyPressEvent(QKeyEvent* event) {
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const int charWidth = fontMetrics().averageCharWidth();
    if (event->matches(QKeySequence::SelectAll)) {
        m_anchor = 0;
        m_current = std::max<qsizetype>(LineCount() - 1, 0);
        update();
    } else if (event->matches(QKeySequence::Copy)) {
        try {
            QApplication::clipboard()->setText(SelectedText());
        } catch (const std::bad_alloc&) {
            QApplication::beep(); // more text than memory holds: nothing is copied
        }
    } else {
        switch (event->key()) {
        case Qt::Key_Up:
            MoveTo(m_current - 1, extend);
            break;
        case Qt::Key_Down:
            MoveTo(m_current + 1, extend);
            break;
        case Qt::Key_PageUp:
            MoveTo(m_current - VisibleLines(), extend);
            break;
        case Qt::Key_PageDown:
            MoveTo(m_current + VisibleLines(), extend);
            break;
        case Qt::Key_Home:
            if (control) {
                MoveTo(0, extend);
            } else {
                m_left = 0;
                update();
            }
            break;
        case Qt::Key_End:
            if (control) {
                MoveTo(LineCount() - 1, extend);
            }
            break;
        case Qt::Key_Left:
            m_left = std::max(0, m_left - charWidth);
            update();
            break;
        case Qt::Key_Right:
            m_left += charWidth;
            update();
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
        }
    }
    event->accept();
}

void CVertexListView::wheelEvent(QWheelEvent* event) {
    const int notches = event->angleDelta().y() / 120;
    const qsizetype lastTop = std::max<qsizetype>(LineCount() - VisibleLines(), 0);
    m_top = std::clamp<qsizetype>(m_top - 3 * notches, 0, lastTop);
    update();
    event->accept();
}

void CVertexListView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const qsizetype line = m_top + static_cast<qsizetype>(event->position().y()) / LineHeight();
    MoveTo(line, event->modifiers() & Qt::ShiftModifier);
    event->accept();
}
