#pragma once

#include <ostream>

namespace tracksieve::cli {

/// Which of the two output streams reach a terminal. Progress goes to `err` only when it does,
/// and a terminal gets file names and messages with their control characters escaped.
struct Terminals {
    bool out = false;
    bool err = false;
};

/// Parses the command line of tracksieve-cli and runs the chosen command. Returns the process
/// exit status (2 on a usage error).
int runCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, Terminals terminals);

}  // namespace tracksieve::cli
