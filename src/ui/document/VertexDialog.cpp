#include "document/VertexDialog.h"

#include "common/Strings.h"
#include "document/DialogUnits.h"
#include "document/Tr.h"
#include "document/VertexListView.h"
#include "track/TrackText.h"

#include <QPlainTextEdit>
#include <QPushButton>
CVertexDialog::CVertexDialog(const QString& text, QWidget* parent)
    : QDialog(parent), m_strText(text) {
    // A multi-line edit without scroll bars that scrolls both ways to follow the cursor; Tab
    // moves on to the next control as in any other dialog field.
    m_pEdit = new QPlainTextEdit; // parented by Build, after the buttons (tab order)
    m_pEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pEdit->setTabChangesFocus(true);
    m_pEdit->setPlainText(m_strText);
    Build(m_pEdit);
}

CVertexDialog::CVertexDialog(std::span<const CVector3D> vertices, QWidget* parent)
    : QDialog(parent) {
    if (vertices.size() <= kLongList) {
        const std::string text = rolvet::VertexListText(vertices);
        m_strText = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
        m_pEdit = new QPlainTextEdit; // parented by Build, after the buttons (tab order)
        m_pEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
        m_pEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_pEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_pEdit->setTabChangesFocus(true);
        m_pEdit->setPlainText(m_strText);
        Build(m_pEdit);
    } else {
        m_pList = new CVertexListView(vertices);
        Build(m_pList);
    }
}

void CVertexDialog::Build(QWidget* edit) {
    setWindowTitle(Tr(rolvet::str::kVertexCaption));
    setFont(DialogFont(9));
    const CDialogUnits du(font());

    // Controls in tab order.
    QPushButton* ok = AddOkButton(this, du, 205, 162);
    QPushButton* cancel = AddCancelButton(this, du, 259, 162);
    edit->setParent(this);
    edit->setObjectName(QStringLiteral("edit1003"));
    du.Place(edit, 7, 7, 302, 149);

    setTabOrder(ok, cancel);
    setTabOrder(cancel, edit);
    setFixedSize(du.ToPixelsX(316), du.ToPixelsY(183));
    ok->setFocus();
}

void CVertexDialog::accept() {
    if (m_pEdit != nullptr) {
        m_strText = m_pEdit->toPlainText();
        m_strText.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    }
    QDialog::accept();
}
