#include "document/SetUpDialog.h"

#include "common/Strings.h"
#include "document/DialogUnits.h"
#include "document/Tr.h"
#include "track/TrackText.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>

#include <algorithm>
#include <charconv>
#include <string>

namespace {

// A read-only, digits-only edit with a border that scrolls horizontally.
QLineEdit* MakeNumberEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setReadOnly(true);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

// A horizontal slider with ticks on both sides. Arrow keys move by one, Page Up/Down by a fifth
// of the range.
QSlider* MakeSlider(QWidget* parent, const char* name, int minimum, int maximum, int tick) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QString::fromLatin1(name));
    slider->setTickPosition(QSlider::TicksBothSides);
    slider->setRange(minimum, maximum);
    slider->setSingleStep(1);
    slider->setPageStep(std::max(1, (maximum - minimum) / 5));
    slider->setTickInterval(tick);
    return slider;
}

} // namespace

CSetUpDialog::CSetUpDialog(int roadWidth, int divisionCount, QWidget* parent)
    : QDialog(parent), m_nRoadWidth(roadWidth), m_nDivisionCount(divisionCount) {
    setWindowTitle(Tr(rolvet::str::kSetUpCaption));
    setFont(DialogFont(8));
    const CDialogUnits du(font());

    // Controls in tab order.
    auto* divisionLabel = new QLabel(Tr(rolvet::str::kSetUpDivisionLabel), this);
    divisionLabel->setObjectName(QStringLiteral("labelDivision"));
    divisionLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    du.Place(divisionLabel, 19, 29, 126, 13);

    m_pDivisionEdit = MakeNumberEdit(this, "edit1002");
    du.Place(m_pDivisionEdit, 159, 25, 71, 16);

    m_pDivisionSlider = MakeSlider(this, "slider1000", 1, 16, 1);
    du.Place(m_pDivisionSlider, 7, 50, 302, 20);

    auto* widthLabel = new QLabel(Tr(rolvet::str::kSetUpWidthLabel), this);
    widthLabel->setObjectName(QStringLiteral("labelWidth"));
    widthLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    du.Place(widthLabel, 19, 94, 100, 13);

    m_pWidthEdit = MakeNumberEdit(this, "edit1003");
    du.Place(m_pWidthEdit, 159, 91, 71, 16);

    m_pWidthSlider = MakeSlider(this, "slider1001", 10, 2000, 100);
    du.Place(m_pWidthSlider, 7, 115, 302, 20);

    QPushButton* ok = AddOkButton(this, du, 205, 162);

    QPushButton* cancel = AddCancelButton(this, du, 259, 162);

    setTabOrder(m_pDivisionEdit, m_pDivisionSlider);
    setTabOrder(m_pDivisionSlider, m_pWidthEdit);
    setTabOrder(m_pWidthEdit, m_pWidthSlider);
    setTabOrder(m_pWidthSlider, ok);
    setTabOrder(ok, cancel);
    setFixedSize(du.ToPixelsX(316), du.ToPixelsY(183));

    // Opening: the values go into the edits as they are, the sliders clamp them to their range.
    m_pDivisionEdit->setText(QString::fromStdString(rolvet::FormatInt(m_nDivisionCount)));
    m_pWidthEdit->setText(QString::fromStdString(rolvet::FormatInt(m_nRoadWidth)));
    m_pDivisionSlider->setValue(m_nDivisionCount);
    m_pWidthSlider->setValue(m_nRoadWidth);

    // Only now listen to the sliders, so that setting them up does not overwrite an edit with
    // a clamped value. Every kind of slider notification copies the position into the edit.
    for (QSlider* slider : {m_pDivisionSlider, m_pWidthSlider}) {
        connect(slider, &QSlider::actionTriggered, this, [this, slider] { OnHScroll(slider); });
        connect(slider, &QSlider::sliderMoved, this, [this, slider] { OnHScroll(slider); });
        connect(slider, &QSlider::sliderReleased, this, [this, slider] { OnHScroll(slider); });
        connect(slider, &QSlider::valueChanged, this, [this, slider] { OnHScroll(slider); });
    }

    m_pDivisionEdit->setFocus();
}

void CSetUpDialog::OnHScroll(QSlider* slider) {
    QLineEdit* edit = slider == m_pWidthSlider ? m_pWidthEdit : m_pDivisionEdit;
    edit->setText(QString::fromStdString(rolvet::FormatInt(slider->sliderPosition())));
}

void CSetUpDialog::accept() {
    // The edits only ever hold text written as "%d"; a value that cannot be read stays as it was.
    m_nDivisionCount =
        rolvet::ScanInt(m_pDivisionEdit->text().toStdString()).value_or(m_nDivisionCount);
    m_nRoadWidth = rolvet::ScanInt(m_pWidthEdit->text().toStdString()).value_or(m_nRoadWidth);
    QDialog::accept();
}
