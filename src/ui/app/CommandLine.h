// The one parser of the program's command line: the editor's optional track path, the batch
// commands and the standard switches.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

struct CommandLineInfo {
    enum class Action {
        Run,
        Register,
        Unregister,
        Help,
        Version,
        Export,
        Info,
        RacingLine,
        Import
    };
    Action action = Action::Run;
    QString fileName;     // the track to open; empty for a new track (Run)
    QStringList operands; // every argument that is not a switch, in order
    QStringList ignored;  // switches accepted and ignored, and surplus arguments
    // --racing-line was given; with --export it is an export option, and --export is the action.
    bool racingLine = false;
    // The value of --vehicle-width V (or --vehicle-width=V) as given; an empty string when the
    // switch ends the command line without a value.
    std::optional<QString> vehicleWidth;
    // The values of --tolerance M and --width-tolerance M, given the same way.
    std::optional<QString> tolerance;
    std::optional<QString> widthTolerance;
    // The value of --lang (the next argument, or after "--lang="); empty when it has none.
    std::optional<QString> language;
    // The export options in the order given: --collision, and --scale, --walls, --checkpoints,
    // --start with their values (the next argument, or after '='; none when the switch ends the
    // command line). name is lower case without dashes.
    struct ExportOption {
        QString name;
        std::optional<QString> value;
    };
    QList<ExportOption> exportOptions;
};

// Parses the arguments that follow the program name. Switches start with '-' or '--' and are
// matched without regard to letter case; when several actions are asked for, help wins over
// version, version over export, info, racing-line and import (the first of these given), and
// those over (un)registering; --export and --racing-line together export. --vehicle-width,
// --tolerance, --width-tolerance, --lang and the export options with a value take the argument
// after them as their values.
CommandLineInfo ParseCommandLine(const QStringList& arguments);
