#include "document/XYZDialog.h"

#include "common/Strings.h"
#include "document/DialogUnits.h"
#include "document/Prompts.h"
#include "document/Tr.h"
#include "track/TrackText.h"

#include <QLineEdit>
#include <QPushButton>

CXYZDialog::CXYZDialog(float x, float y, float z, QWidget* parent)
    : QDialog(parent), m_fX(x), m_fY(y), m_fZ(z) {
    setWindowTitle(Tr(rolvet::str::kXYZCaption));
    setFont(DialogFont(8));
    const CDialogUnits du(font());

    // Controls in tab order.
    QPushButton* ok = AddOkButton(this, du, 78, 101);

    QPushButton* cancel = AddCancelButton(this, du, 132, 101);

    const NumberRow rows[3] = {{rolvet::str::kXLabel, "labelX", "edit1005", x},
                               {rolvet::str::kYLabel, "labelY", "edit1006", y},
                               {rolvet::str::kZLabel, "labelZ", "edit1007", z}};
    AddNumberRows(this, du, rows, 44, cancel, m_pEdits);
    setTabOrder(ok, cancel);
    setFixedSize(du.ToPixelsX(205), du.ToPixelsY(122));

    ok->setFocus();
}

void CXYZDialog::accept() {
    float read[3] = {};
    for (int i = 0; i < 3; ++i) {
        const std::optional<float> value =
            rolvet::ScanCoordinate(m_pEdits[i]->text().toStdString());
        if (!value) {
            Prompts().ShowMessage(this, Tr(rolvet::str::kEnterNumber));
            m_pEdits[i]->setFocus();
            m_pEdits[i]->selectAll();
            return;
        }
        read[i] = *value;
    }
    m_fX = read[0];
    m_fY = read[1];
    m_fZ = read[2];
    QDialog::accept();
}
