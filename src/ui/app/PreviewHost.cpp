#include "app/PreviewHost.h"

#include "view/PreviewWindow.h"

CPreviewHost::CPreviewHost(QWidget& owner, CRolvetDoc& doc) : m_owner(owner), m_doc(doc) {}

CPreviewWindow* CPreviewHost::Window() const {
    return m_window;
}

bool CPreviewHost::IsOpen() const {
    return m_window && m_window->isVisible();
}

void CPreviewHost::Toggle() {
    if (IsOpen()) {
        m_window->close();
    } else {
        Open();
    }
}

void CPreviewHost::Open() {
    if (!m_window) {
        m_window = new CPreviewWindow(m_doc, &m_owner);
        connect(m_window, &CPreviewWindow::closed, this, &CPreviewHost::changed);
        m_window->RestoreGeometry();
    }
    m_window->show();
    m_window->raise();
    emit changed();
}

void CPreviewHost::RestoreAtStart() {
    if (CPreviewWindow::WasOpen()) {
        Open();
    }
}

void CPreviewHost::CloseWithOwner() {
    if (IsOpen()) {
        m_window->CloseWithMainWindow();
    }
}
