#include "app/AboutDlg.h"

#include "app/Icons.h"
#include "common/Strings.h"
#include "document/DialogUnits.h"
#include "document/Tr.h"

#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CAboutDlg"));
    setWindowTitle(Tr(rolvet::str::kAboutCaption));
    setFont(DialogFont(9));
    const CDialogUnits du(font());

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(AppIcon().pixmap(32, 32));
    icon->setGeometry(du.ToPixelsX(14), du.ToPixelsY(14), 32, 32);

    auto* text = new QLabel(Tr(rolvet::str::kAboutText), this);
    text->setObjectName(QStringLiteral("text"));
    du.Place(text, 42, 14, 140, 8);

    QPushButton* ok = AddOkButton(this, du, 134, 44);

    setFixedSize(du.ToPixelsX(191), du.ToPixelsY(65));
    ok->setFocus();
}
