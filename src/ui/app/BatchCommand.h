// Command-line work that needs no window: help, version and the batch export.
#pragma once

#include "app/CommandLine.h"

#include <optional>

// Runs a batch command when the command line asks for one and returns the process exit status;
// returns nothing when the editor (or registration) should start instead.
std::optional<int> RunBatchCommand(const CommandLineInfo& info);
