#include "app/BatchCommand.h"

#include "common/Strings.h"

#include <cstdio>
#include <cstring>

namespace {

void PrintHelp() {
    std::printf("%s %s\n\n"
                "Usage:\n"
                "  rolvet [TRACK.rolvet]   start the editor, optionally on a track file\n"
                "  rolvet --help           show this help\n"
                "  rolvet --version        show the version\n",
                rolvet::str::kProductName, rolvet::str::kVersion);
}

} // namespace

std::optional<int> RunBatchCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintHelp();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", rolvet::str::kProductName, rolvet::str::kVersion);
            return 0;
        }
    }
    return std::nullopt;
}
