#include "document/DialogUnits.h"

#include "common/Strings.h"
#include "document/Tr.h"
#include "track/TrackText.h"

#include <QDialog>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

// Rounds numerator / denominator to the nearest integer, halves away from zero.
int RoundedDiv(long long numerator, long long denominator) {
    const long long twice = 2 * numerator;
    const long long q = (twice + (twice >= 0 ? denominator : -denominator)) / (2 * denominator);
    return static_cast<int>(q);
}

} // namespace

CDialogUnits::CDialogUnits(const QFont& font) {
    const QFontMetricsF metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const qreal average = metrics.horizontalAdvance(alphabet) / 52.0;
    m_nBaseX = std::max(1, static_cast<int>(std::lround(average)));
    m_nBaseY = std::max(1, static_cast<int>(std::lround(metrics.height())));
}

int CDialogUnits::ToPixelsX(int du) const {
    return RoundedDiv(1LL * du * m_nBaseX, 4);
}

int CDialogUnits::ToPixelsY(int du) const {
    return RoundedDiv(1LL * du * m_nBaseY, 8);
}

QRect CDialogUnits::ToPixels(int x, int y, int cx, int cy) const {
    return {ToPixelsX(x), ToPixelsY(y), ToPixelsX(cx), ToPixelsY(cy)};
}

void CDialogUnits::Place(QWidget* widget, int x, int y, int cx, int cy) const {
    widget->setGeometry(ToPixels(x, y, cx, cy));
}

QFont DialogFont(int pointSize) {
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAexGothic"),
                      QStringLiteral("IPAGothic"), QStringLiteral("VL Gothic"),
                      QStringLiteral("Droid Sans Fallback")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(pointSize);
    return font;
}

namespace {

QPushButton* AddButton(QDialog* dialog, const CDialogUnits& du, const char* text, const char* name,
                       int x, int y) {
    auto* button = new QPushButton(Tr(text), dialog);
    button->setObjectName(QLatin1String(name));
    du.Place(button, x, y, 50, 14);
    return button;
}

} // namespace

QPushButton* AddOkButton(QDialog* dialog, const CDialogUnits& du, int x, int y) {
    QPushButton* ok = AddButton(dialog, du, rolvet::str::kOk, "button1", x, y);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    return ok;
}

QPushButton* AddCancelButton(QDialog* dialog, const CDialogUnits& du, int x, int y) {
    QPushButton* cancel = AddButton(dialog, du, rolvet::str::kCancel, "button2", x, y);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return cancel;
}

void AddNumberRows(QDialog* dialog, const CDialogUnits& du, const NumberRow (&rows)[3],
                   int labelWidth, QWidget* previous, QLineEdit* (&edits)[3]) {
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(Tr(rows[i].label), dialog);
        label->setObjectName(QString::fromLatin1(rows[i].labelName));
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        du.Place(label, 7, 24 + 25 * i, labelWidth, 15);

        auto* edit = new QLineEdit(dialog);
        edit->setObjectName(QString::fromLatin1(rows[i].editName));
        edit->setText(QString::fromStdString(rolvet::FormatCoordinate(rows[i].value)));
        du.Place(edit, 65, 20 + 25 * i, 104, 16);
        edits[i] = edit;

        QWidget::setTabOrder(previous, edit);
        previous = edit;
    }
}
