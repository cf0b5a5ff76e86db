#include "app/BatchCommand.h"
#include "app/CommandLine.h"
#include "app/Language.h"
#include "app/RolvetApp.h"
#include "document/NativePath.h"

int main(int argc, char** argv) {
    // File names on the command line are taken byte for byte, UTF-8 or not.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(PathFromNative(argv[i]));
    }
    const CommandLineInfo info = ParseCommandLine(arguments);
    if (!rolvet::lang::ApplyCommandLine(info)) {
        return 2;
    }
    if (const auto status = RunBatchCommand(info)) {
        return *status;
    }
    return CRolvetApp::Run(argc, argv, arguments);
}
