// A CPrompts that answers from a script and records what it was asked, so no test blocks on a
// modal loop. It installs itself while it exists.
#pragma once

#include "document/Prompts.h"

#include <QDialog>
#include <QList>
#include <QStringList>
#include <functional>

class CScriptedPrompts : public CPrompts {
public:
    CScriptedPrompts() { SetPrompts(this); }
    ~CScriptedPrompts() override { SetPrompts(nullptr); }
    CScriptedPrompts(const CScriptedPrompts&) = delete;
    CScriptedPrompts& operator=(const CScriptedPrompts&) = delete;

    QStringList messages;                       // every message shown, in order
    QList<QWidget*> messageParents;             // the parent each message was shown over
    QStringList questions;                      // every Yes/No/Cancel question asked
    QList<QMessageBox::StandardButton> answers; // answers to the questions, in order; then Cancel
    QList<FileDialogRequest> fileRequests;      // every file dialog opened
    QStringList fileAnswers;                    // chosen paths ("" = cancel), in order
    QString fileAnswer;                         // the answer once fileAnswers is used up
    std::function<void(QDialog&)> drive; // works a shown dialog; it stays Rejected unless driven
    // Dialogs accepted as shown while no drive is set: the export options, which most export
    // tests leave as they are.
    QStringList acceptedAsShown{QStringLiteral("ExportOptionsDialog")};
    QStringList dialogsRun; // objectName of every dialog run

    // Forgets the script and the record, and installs these prompts again.
    void Reset() {
        messages.clear();
        messageParents.clear();
        questions.clear();
        answers.clear();
        fileRequests.clear();
        fileAnswers.clear();
        fileAnswer.clear();
        drive = nullptr;
        dialogsRun.clear();
        SetPrompts(this);
    }

    void ShowMessage(QWidget* parent, const QString& text) override {
        messages.append(text);
        messageParents.append(parent);
    }
    void ShowInformation(QWidget* parent, const QString& text) override {
        ShowMessage(parent, text);
    }
    QMessageBox::StandardButton AskYesNoCancel(QWidget*, const QString& text) override {
        questions.append(text);
        return answers.isEmpty() ? QMessageBox::Cancel : answers.takeFirst();
    }
    QString AskFileName(QWidget*, const FileDialogRequest& request) override {
        fileRequests.append(request);
        return fileAnswers.isEmpty() ? fileAnswer : fileAnswers.takeFirst();
    }
    int RunDialog(QDialog& dialog) override {
        dialogsRun.append(dialog.objectName());
        dialog.show();
        if (drive) {
            drive(dialog);
        } else if (acceptedAsShown.contains(dialog.objectName())) {
            dialog.accept();
        }
        const int result = dialog.result();
        dialog.hide();
        return result;
    }
};
