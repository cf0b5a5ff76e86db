#include "app/CommandLine.h"

namespace {

const char* const kRegisterSwitches[] = {"register", "regserver", "registerperuser", "regserverperuser"};
const char* const kUnregisterSwitches[] = {"unregister", "unregserver", "unregisterperuser",
                                           "unregserverperuser"};

bool IsOneOf(const QString& name, const char* const* begin, const char* const* end) {
    for (auto it = begin; it != end; ++it) {
        if (name == QLatin1String(*it)) {
            return true;
        }
    }
    return false;
}

} // namespace

CommandLineInfo ParseCommandLine(const QStringList& arguments) {
    CommandLineInfo info;
    for (const QString& arg : arguments) {
        if (arg.size() > 1 && arg.startsWith(QLatin1Char('-'))) {
            const QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1).toLower();
            if (IsOneOf(name, std::begin(kRegisterSwitches), std::end(kRegisterSwitches))) {
                info.action = CommandLineInfo::Action::Register;
            } else if (IsOneOf(name, std::begin(kUnregisterSwitches), std::end(kUnregisterSwitches))) {
                info.action = CommandLineInfo::Action::Unregister;
            } else {
                // dde, p, pt, Automation, Embedding and unknown switches have no meaning here.
                info.ignored.append(arg);
            }
        } else if (info.fileName.isEmpty()) {
            info.fileName = arg;
        } else {
            info.ignored.append(arg);
        }
    }
    return info;
}
