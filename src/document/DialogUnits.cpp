#include "document/DialogUnits.h"

#include <QFontMetricsF>
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
