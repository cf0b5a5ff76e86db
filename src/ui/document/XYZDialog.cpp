#include "document/XYZDialog.h"

#include "common/Strings.h"
#include "document/DialogUnits.h"
#include "document/Prompts.h"
#include "document/Tr.h"
#include "track/TrackText.h"

#include <QLabel>
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

    const char* labels[3] = {rolvet::str::kXLabel, rolvet::str::kYLabel, rolvet::str::kZLabel};
    const char* labelNames[3] = {"labelX", "labelY", "labelZ"};
    const char* editNames[3] = {"edit1005", "edit1006", "edit1007"};
    const float values[3] = {x, y, z};
    QWidget* previous = cancel;
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(Tr(labels[i]), this);
        label->setObjectName(QString::fromLatin1(labelNames[i]));
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        du.Place(label, 7, 24 + 25 * i, 44, 15);

        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(editNames[i]));
        edit->setText(QString::fromStdString(rolvet::FormatCoordinate(values[i])));
        du.Place(edit, 65, 20 + 25 * i, 104, 16);
        m_pEdits[i] = edit;

        setTabOrder(previous, edit);
        previous = edit;
    }
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
