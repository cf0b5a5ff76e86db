#include "document/Prompts.h"

#include "common/Strings.h"

#include <QDialog>
#include <QFileDialog>

namespace {

class CQtPrompts final : public CPrompts {
public:
    void ShowMessage(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::Warning, QString::fromUtf8(rolvet::str::kAppTitle), text,
                        QMessageBox::Ok, parent);
        box.setTextFormat(Qt::PlainText); // file names are shown as they are, never as markup
        box.exec();
    }
    void ShowInformation(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(rolvet::str::kAppTitle), text,
                        QMessageBox::Ok, parent);
        box.setTextFormat(Qt::PlainText); // file names are shown as they are, never as markup
        box.exec();
    }
    QMessageBox::StandardButton AskYesNoCancel(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::Warning, QString::fromUtf8(rolvet::str::kAppTitle), text,
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        const int result = box.exec();
        return static_cast<QMessageBox::StandardButton>(result);
    }
    QString AskFileName(QWidget* parent, const FileDialogRequest& request) override {
        QFileDialog dialog(parent, request.caption);
        dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setNameFilters(request.filters);
        if (!request.defaultSuffix.isEmpty()) {
            dialog.setDefaultSuffix(request.defaultSuffix);
        }
        if (request.filterSuffixes.size() == request.filters.size()) {
            // A name typed without extension gets the one of the selected filter.
            QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                             [&dialog, &request](const QString& filter) {
                                 const qsizetype i = request.filters.indexOf(filter);
                                 if (i >= 0) {
                                     dialog.setDefaultSuffix(request.filterSuffixes.at(i));
                                 }
                             });
        }
        if (!request.proposedPath.isEmpty()) {
            dialog.selectFile(request.proposedPath);
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return {};
        }
        return dialog.selectedFiles().constFirst();
    }
    int RunDialog(QDialog& dialog) override { return dialog.exec(); }
};

CPrompts* g_override = nullptr;

} // namespace

CPrompts& Prompts() {
    static CQtPrompts real;
    return g_override ? *g_override : real;
}

void SetPrompts(CPrompts* prompts) {
    g_override = prompts;
}
