// The coordinate dialog "選択頂点の座標": edits x, y and z of one vertex. OK succeeds only when all
// three edits hold a number; the command that runs the dialog writes the vertex.
//
// Object names: "edit1005" (x), "edit1006" (y), "edit1007" (z), "button1" (OK),
// "button2" (キャンセル).
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

class CXYZDialog : public QDialog {
    Q_OBJECT

public:
    CXYZDialog(float x, float y, float z, QWidget* parent = nullptr);

    // The coordinates read by a successful OK; the constructor's values until then.
    float X() const { return m_fX; }
    float Y() const { return m_fY; }
    float Z() const { return m_fZ; }

    // Reads the three edits in order. An edit without a usable number shows
    // "数字を入力してください。", gets the focus with its whole text selected and keeps the dialog
    // open; nothing is taken over then. Otherwise closes the dialog with Accepted.
    void accept() override;

private:
    float m_fX;
    float m_fY;
    float m_fZ;
    QLineEdit* m_pEdits[3] = {}; // 1005, 1006, 1007
};
