// The dialog "道路の形": edits the left width, the right width and the bank angle of the selected
// control point. Numbers are read as in the coordinate dialog; a width must also not be
// negative. The command that runs the dialog applies what changed.
//
// Object names: "editWidthLeft", "editWidthRight", "editBank", "button1" (OK),
// "button2" (キャンセル).
#pragma once

#include <QDialog>
#include <QString>

#include <optional>

class QLineEdit;

class CShapeDialog : public QDialog {
    Q_OBJECT

public:
    CShapeDialog(float widthLeft, float widthRight, float bank, QWidget* parent = nullptr);

    // After a successful OK, the value of each edit whose text was changed; nothing for an edit
    // left as it was shown, so that a value is never altered by its own rounded display.
    std::optional<float> WidthLeft() const { return m_read[0]; }
    std::optional<float> WidthRight() const { return m_read[1]; }
    std::optional<float> Bank() const { return m_read[2]; }

    // Reads the changed edits in order. One without a usable number shows
    // "数字を入力してください。", a negative width "0 以上の数字を入力してください。"; that edit
    // gets the focus with its whole text selected and the dialog stays open.
    void accept() override;

private:
    QLineEdit* m_pEdits[3] = {};
    QString m_shown[3];
    std::optional<float> m_read[3];
};
