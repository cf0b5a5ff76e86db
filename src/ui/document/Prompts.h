// Every modal question, message and file dialog goes through this interface, so tests can
// answer them without a modal loop.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

struct FileDialogRequest {
    bool save = false;          // a save dialog (asks before replacing) instead of an open dialog
    QString caption;            // window caption; empty for the platform's default
    QStringList filters;        // "Name (*.ext)" entries, the first one selected
    QString defaultSuffix;      // added to a name typed without extension
    QStringList filterSuffixes; // when set, one per filter: the suffix added while it is selected
    QString proposedPath;       // file name or path shown first
};

class CPrompts {
public:
    virtual ~CPrompts() = default;
    // A modal message with the warning icon, caption "Rolvet" and an OK button.
    virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
    // A modal message without an icon, with an OK button.
    virtual void ShowInformation(QWidget* parent, const QString& text) = 0;
    // A Yes / No / Cancel question; returns Yes, No or Cancel.
    virtual QMessageBox::StandardButton AskYesNoCancel(QWidget* parent, const QString& text) = 0;
    // A file dialog; returns the chosen absolute path, or an empty string when cancelled.
    virtual QString AskFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // Runs a dialog modally and returns its result (QDialog::Accepted or Rejected).
    virtual int RunDialog(QDialog& dialog) = 0;
};

// The prompts in use: the real Qt dialogs unless a test installed its own.
CPrompts& Prompts();
// Installs replacement prompts (nullptr restores the real ones). The caller keeps ownership.
void SetPrompts(CPrompts* prompts);
