// Opens and closes the main window's 3D preview window, and remembers it between runs.
#pragma once

#include <QObject>
#include <QPointer>

class CPreviewWindow;
class CRolvetDoc;
class QWidget;

class CPreviewHost : public QObject {
    Q_OBJECT

public:
    // The preview belongs to owner (the main window) and shows doc.
    CPreviewHost(QWidget& owner, CRolvetDoc& doc);

    bool IsOpen() const;
    // Opens the window (made on first use, where it was last time) or closes it.
    void Toggle();
    void Open();
    // Opens the window at start-up when it was open when the program last ended.
    void RestoreAtStart();
    // The main window is closing: the preview closes too and is remembered as open if it was.
    void CloseWithOwner();
    // nullptr until first opened.
    CPreviewWindow* Window() const;

signals:
    // The window opened or closed.
    void changed();

private:
    QWidget& m_owner;
    CRolvetDoc& m_doc;
    QPointer<CPreviewWindow> m_window;
};
