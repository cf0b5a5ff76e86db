#include "app/CommandLine.h"

#include <utility>

namespace {

using Action = CommandLineInfo::Action;

struct Switch {
    const char* name; // lower case, without the leading dashes
    Action action;
};

// Every switch with a meaning; others (dde, p, pt, Automation, Embedding, unknown ones) are
// accepted and ignored.
constexpr Switch kSwitches[] = {
    {"help", Action::Help},
    {"h", Action::Help},
    {"version", Action::Version},
    {"export", Action::Export},
    {"info", Action::Info},
    {"racing-line", Action::RacingLine},
    {"import", Action::Import},
    {"register", Action::Register},
    {"regserver", Action::Register},
    {"registerperuser", Action::Register},
    {"regserverperuser", Action::Register},
    {"unregister", Action::Unregister},
    {"unregserver", Action::Unregister},
    {"unregisterperuser", Action::Unregister},
    {"unregserverperuser", Action::Unregister},
};

// The higher, the stronger when several actions are given.
int Rank(Action action) {
    switch (action) {
    case Action::Run:
        return 0;
    case Action::Register:
    case Action::Unregister:
        return 1;
    case Action::Export:
    case Action::Info:
    case Action::RacingLine:
    case Action::Import:
        return 2;
    case Action::Version:
        return 3;
    case Action::Help:
        return 4;
    }
    return 0;
}

} // namespace

CommandLineInfo ParseCommandLine(const QStringList& arguments) {
    CommandLineInfo info;
    for (qsizetype k = 0; k < arguments.size(); ++k) {
        const QString& arg = arguments[k];
        if (arg.size() > 1 && arg.startsWith(QLatin1Char('-'))) {
            const QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1).toLower();
            // The switches with a value: the next argument, or after '=' in the same one.
            const std::pair<const char*, std::optional<QString>*> withValue[] = {
                {"vehicle-width", &info.vehicleWidth},
                {"tolerance", &info.tolerance},
                {"width-tolerance", &info.widthTolerance},
                {"lang", &info.language},
            };
            bool taken = false;
            for (const auto& [valueName, value] : withValue) {
                if (name == QLatin1String(valueName)) {
                    *value = k + 1 < arguments.size() ? arguments[++k] : QString();
                    taken = true;
                } else if (name.startsWith(QLatin1String(valueName) + QLatin1Char('='))) {
                    *value = arg.mid(arg.indexOf(QLatin1Char('=')) + 1);
                    taken = true;
                }
                if (taken) {
                    break;
                }
            }
            if (taken) {
                continue;
            }
            bool exportOption = false;
            for (const char* option : {"scale", "walls", "checkpoints", "start", "collision"}) {
                const QLatin1String known(option);
                const bool valued = known != QLatin1String("collision");
                if (name == known) {
                    std::optional<QString> value;
                    if (valued && k + 1 < arguments.size()) {
                        value = arguments[++k];
                    }
                    info.exportOptions.append({known, value});
                    exportOption = true;
                } else if (valued && name.startsWith(QString(known) + QLatin1Char('='))) {
                    info.exportOptions.append({known, arg.mid(arg.indexOf(QLatin1Char('=')) + 1)});
                    exportOption = true;
                }
            }
            if (exportOption) {
                continue;
            }
            const Switch* found = nullptr;
            for (const Switch& s : kSwitches) {
                if (name == QLatin1String(s.name)) {
                    found = &s;
                    break;
                }
            }
            if (found == nullptr) {
                info.ignored.append(arg);
                continue;
            }
            info.racingLine = info.racingLine || found->action == Action::RacingLine;
            if (Rank(found->action) > Rank(info.action) ||
                (found->action == Action::Export && info.action == Action::RacingLine)) {
                info.action = found->action;
            }
        } else {
            info.operands.append(arg);
        }
    }
    if (!info.operands.isEmpty()) {
        info.fileName = info.operands.constFirst();
        if (info.action == Action::Run) {
            info.ignored.append(info.operands.mid(1));
        }
    }
    return info;
}
