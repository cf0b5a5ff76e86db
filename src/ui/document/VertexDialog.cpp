#include "document/VertexDialog.h"

#include "common/Strings.h"
#include "document/DialogUnits.h"

#include <QPlainTextEdit>
#include <QPushButton>

CVertexDialog::CVertexDialog(const QString& text, QWidget* parent)
    : QDialog(parent), m_strText(text) {
    setWindowTitle(QString::fromUtf8(rolvet::str::kVertexCaption));
    setFont(DialogFont(9));
    const CDialogUnits du(font());

    // Controls in tab order.
    QPushButton* ok = AddOkButton(this, du, 205, 162);

    QPushButton* cancel = AddCancelButton(this, du, 259, 162);

    // A multi-line edit without scroll bars that scrolls both ways to follow the cursor; Tab
    // moves on to the next control as in any other dialog field.
    m_pEdit = new QPlainTextEdit(this);
    m_pEdit->setObjectName(QStringLiteral("edit1003"));
    m_pEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pEdit->setTabChangesFocus(true);
    m_pEdit->setPlainText(m_strText);
    du.Place(m_pEdit, 7, 7, 302, 149);

    setTabOrder(ok, cancel);
    setTabOrder(cancel, m_pEdit);
    setFixedSize(du.ToPixelsX(316), du.ToPixelsY(183));

    ok->setFocus();
}

void CVertexDialog::accept() {
    m_strText = m_pEdit->toPlainText();
    m_strText.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    QDialog::accept();
}
