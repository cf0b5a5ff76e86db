#include "document/ShapeDialog.h"

#include "common/Strings.h"
#include "document/DialogUnits.h"
#include "document/Prompts.h"
#include "document/Tr.h"
#include "track/TrackText.h"

#include <QLineEdit>
#include <QPushButton>

CShapeDialog::CShapeDialog(float widthLeft, float widthRight, float bank, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(Tr(rolvet::str::kShapeCaption));
    setFont(DialogFont(8));
    const CDialogUnits du(font());

    // Controls in tab order, laid out like the coordinate dialog.
    QPushButton* ok = AddOkButton(this, du, 78, 101);
    QPushButton* cancel = AddCancelButton(this, du, 132, 101);

    const NumberRow rows[3] = {
        {rolvet::str::kWidthLeftLabel, "labelWidthLeft", "editWidthLeft", widthLeft},
        {rolvet::str::kWidthRightLabel, "labelWidthRight", "editWidthRight", widthRight},
        {rolvet::str::kBankLabel, "labelBank", "editBank", bank}};
    AddNumberRows(this, du, rows, 52, cancel, m_pEdits);
    for (int i = 0; i < 3; ++i) {
        m_shown[i] = m_pEdits[i]->text();
    }
    setTabOrder(ok, cancel);
    setFixedSize(du.ToPixelsX(205), du.ToPixelsY(122));

    ok->setFocus();
}

void CShapeDialog::accept() {
    std::optional<float> read[3];
    for (int i = 0; i < 3; ++i) {
        const QString text = m_pEdits[i]->text();
        if (text == m_shown[i]) {
            continue;
        }
        read[i] = rolvet::ScanCoordinate(text.toStdString());
        const char* problem = nullptr;
        if (!read[i]) {
            problem = rolvet::str::kEnterNumber;
        } else if (i < 2 && *read[i] < 0.0f) {
            problem = rolvet::str::kEnterWidth; // an edge cannot lie beyond the centre line
        }
        if (problem != nullptr) {
            Prompts().ShowMessage(this, Tr(problem));
            m_pEdits[i]->setFocus();
            m_pEdits[i]->selectAll();
            return;
        }
    }
    for (int i = 0; i < 3; ++i) {
        m_read[i] = read[i];
    }
    QDialog::accept();
}
