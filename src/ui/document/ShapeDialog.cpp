#include "document/ShapeDialog.h"

#include "common/Strings.h"
#include "document/DialogUnits.h"
#include "document/Prompts.h"
#include "track/TrackText.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CShapeDialog::CShapeDialog(float widthLeft, float widthRight, float bank, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(rolvet::str::kShapeCaption));
    setFont(DialogFont(8));
    const CDialogUnits du(font());

    // Controls in tab order, laid out like the coordinate dialog.
    QPushButton* ok = AddOkButton(this, du, 78, 101);
    QPushButton* cancel = AddCancelButton(this, du, 132, 101);

    const char* labels[3] = {rolvet::str::kWidthLeftLabel, rolvet::str::kWidthRightLabel,
                             rolvet::str::kBankLabel};
    const char* labelNames[3] = {"labelWidthLeft", "labelWidthRight", "labelBank"};
    const char* editNames[3] = {"editWidthLeft", "editWidthRight", "editBank"};
    const float values[3] = {widthLeft, widthRight, bank};
    QWidget* previous = cancel;
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(QString::fromUtf8(labels[i]), this);
        label->setObjectName(QString::fromLatin1(labelNames[i]));
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        du.Place(label, 7, 24 + 25 * i, 52, 15);

        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(editNames[i]));
        m_shown[i] = QString::fromStdString(rolvet::FormatCoordinate(values[i]));
        edit->setText(m_shown[i]);
        du.Place(edit, 65, 20 + 25 * i, 104, 16);
        m_pEdits[i] = edit;

        setTabOrder(previous, edit);
        previous = edit;
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
            Prompts().ShowMessage(this, QString::fromUtf8(problem));
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
