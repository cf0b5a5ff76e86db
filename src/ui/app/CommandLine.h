// The editor's command line: an optional track path and the standard switches.
#pragma once

#include <QString>
#include <QStringList>

struct CommandLineInfo {
    enum class Action { Run, Register, Unregister };
    Action action = Action::Run;
    QString fileName;      // the track to open; empty for a new track
    QStringList ignored;   // switches accepted and ignored, and surplus arguments
};

// Parses the arguments that follow the program name. Switches start with '-' or '--' and are
// matched without regard to letter case.
CommandLineInfo ParseCommandLine(const QStringList& arguments);
