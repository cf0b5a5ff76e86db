// A CPrompts that answers from a script and records what it was asked, so no test blocks on a
// modal loop.
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

    QStringList messages;                         // every message shown, in order
    QStringList questions;                        // every Yes/No/Cancel question asked
    QList<QMessageBox::StandardButton> answers;   // answers to the questions, in order
    QList<FileDialogRequest> fileRequests;        // every file dialog opened
    QStringList fileAnswers;                      // chosen paths ("" = cancel), in order
    std::function<int(QDialog&)> dialogHandler;   // runs modal dialogs; default: Rejected
    QStringList dialogsRun;                       // objectName of every dialog run

    void ShowMessage(QWidget*, const QString& text) override { messages.append(text); }
    void ShowInformation(QWidget*, const QString& text) override { messages.append(text); }
    QMessageBox::StandardButton AskYesNoCancel(QWidget*, const QString& text) override {
        questions.append(text);
        return answers.isEmpty() ? QMessageBox::Cancel : answers.takeFirst();
    }
    QString AskFileName(QWidget*, const FileDialogRequest& request) override {
        fileRequests.append(request);
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    int RunDialog(QDialog& dialog) override {
        dialogsRun.append(dialog.objectName());
        return dialogHandler ? dialogHandler(dialog) : int(QDialog::Rejected);
    }
};
