// The vertex list dialog "頂点": shows the track's control points as editable text. Nothing typed
// there is read back into the track.
//
// Object names: "edit1003" (the text), "button1" (OK), "button2" (キャンセル).
#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;

class CVertexDialog : public QDialog {
    Q_OBJECT

public:
    explicit CVertexDialog(const QString& text, QWidget* parent = nullptr);

    // The text as given, or as edited once OK was chosen (lines ended by "\r\n").
    const QString& Text() const { return m_strText; }

    void accept() override;

private:
    QString m_strText;
    QPlainTextEdit* m_pEdit = nullptr; // 1003
};
