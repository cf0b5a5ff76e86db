// Command-line work that needs no window: --help, --version and the batch export.
#pragma once

#include <optional>

// Runs a batch command when the arguments ask for one and returns the process exit status;
// returns nothing when the editor should start instead.
std::optional<int> RunBatchCommand(int argc, char** argv);
