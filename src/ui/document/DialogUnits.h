// Lays out dialogs from dialog units, the font-relative units in which the dialog tables are given.
//
// One horizontal dialog unit is a quarter of the dialog font's average character width, one
// vertical unit an eighth of the font's height. The average width is measured over the 52 Latin
// letters, like the classic desktop dialog manager does, and both results are rounded to whole
// pixels. Sizes scale with the font, so a dialog keeps its proportions whatever font is used.
#pragma once

#include <QFont>
#include <QRect>

class QDialog;
class QLineEdit;
class QPushButton;
class QWidget;

class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);

    int ToPixelsX(int du) const;
    int ToPixelsY(int du) const;
    // The rectangle at dialog-unit position (x, y) with size cx by cy.
    QRect ToPixels(int x, int y, int cx, int cy) const;

    // Places widget at the given dialog-unit rectangle of its parent.
    void Place(QWidget* widget, int x, int y, int cx, int cy) const;

private:
    int m_nBaseX = 0;
    int m_nBaseY = 0;
};

// The dialog font at the given point size: a Japanese sans-serif face available on Linux, the
// closest match to the desktop's dialog faces (a Gothic face for Japanese text).
QFont DialogFont(int pointSize);

// The default OK button (objectName "button1"), 50 by 14 dialog units at (x, y); it accepts the
// dialog.
QPushButton* AddOkButton(QDialog* dialog, const CDialogUnits& du, int x, int y);
// The Cancel button (objectName "button2"), 50 by 14 dialog units at (x, y); it rejects the dialog.
QPushButton* AddCancelButton(QDialog* dialog, const CDialogUnits& du, int x, int y);

// One row of a three-number dialog: the label's text and object names, and the value shown.
struct NumberRow {
    const char* label;
    const char* labelName;
    const char* editName;
    float value;
};

// The three label-and-field rows of the coordinate and road-shape dialogs, 25 dialog units
// apart, with labels labelWidth units wide; the fields follow `previous` in tab order and show
// their values as the coordinate text. edits receives the three fields.
void AddNumberRows(QDialog* dialog, const CDialogUnits& du, const NumberRow (&rows)[3],
                   int labelWidth, QWidget* previous, QLineEdit* (&edits)[3]);
