// The settings dialog "設定": shows the division count and the road width, each in a read-only
// edit driven by a slider. The command that runs it stores the values.
//
// Object names for tests and automation: "edit1002" (division count), "slider1000" (1 to 16),
// "edit1003" (road width), "slider1001" (10 to 2000), "button1" (OK), "button2" (キャンセル).
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QSlider;

class CSetUpDialog : public QDialog {
    Q_OBJECT

public:
    // Writes both values into their edits and sets the sliders. A value outside a slider's
    // range shows at its nearest end while the edit keeps the value.
    CSetUpDialog(int roadWidth, int divisionCount, QWidget* parent = nullptr);

    // The values read back from the edits by OK; the constructor's values until then.
    int RoadWidth() const { return m_nRoadWidth; }
    int DivisionCount() const { return m_nDivisionCount; }

    // Reads both edits back, then closes the dialog with Accepted.
    void accept() override;

private:
    // Writes the slider's current position into the edit that belongs to it.
    void OnHScroll(QSlider* slider);

    int m_nRoadWidth;
    int m_nDivisionCount;
    QLineEdit* m_pDivisionEdit = nullptr; // 1002
    QLineEdit* m_pWidthEdit = nullptr;    // 1003
    QSlider* m_pDivisionSlider = nullptr; // 1000
    QSlider* m_pWidthSlider = nullptr;    // 1001
};
