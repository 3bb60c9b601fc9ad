#pragma once

#include <string>
#include <vector>

#include "cli_app.h"

namespace tracksieve::testing {

/// What one run of tracksieve-cli printed, and its exit status.
struct CliRun {
    int status;
    std::string out;
    std::string err;
};

/// Runs tracksieve-cli with `args` in this process, its streams captured; `terminals` says
/// which of them pass for a terminal.
CliRun runCli(const std::vector<std::string>& args, cli::Terminals terminals = {});

}  // namespace tracksieve::testing
