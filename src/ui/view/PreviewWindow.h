// The 3D preview window: the live road view and the track's readouts in its status line.
#pragma once

#include <QPointer>
#include <QWidget>

class CPreviewView;
class CRolvetDoc;
class QLabel;
class QStatusBar;

class CPreviewWindow : public QWidget {
    Q_OBJECT

public:
    // A window of its own that belongs to parent (it closes with it).
    CPreviewWindow(CRolvetDoc& doc, QWidget* parent);

    // Whether an OpenGL context of version 2.1 or later can be created here.
    static bool OpenGLAvailable();

    // nullptr when OpenGL could not start; the window then shows a message instead.
    CPreviewView* View() const { return m_view; }
    QLabel* Message() const { return m_message; }
    // The readout panes: length, minimum radius, heights, grade, folds.
    QList<QLabel*> Readouts() const { return m_readouts; }

    // Places the window where it was last time (or beside parent on first use).
    void RestoreGeometry();
    // Whether the window was open when the program last ended.
    static bool WasOpen();
    // Closes the window because the main window closes: it is remembered as open.
    void CloseWithMainWindow();

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void UpdateTitle();
    void UpdateReadouts();
    void UpdateRacingReadout();
    void ShowMessage(const QString& text);
    void SaveState(bool open) const;

    CRolvetDoc& m_doc;
    CPreviewView* m_view = nullptr;
    QLabel* m_message = nullptr;
    QStatusBar* m_status = nullptr;
    QList<QLabel*> m_readouts;
    QLabel* m_racingReadout = nullptr;
    bool m_closingWithMain = false;
};
