#pragma once

#include <ostream>

namespace tracksieve::cli {

/// Parses the command line of tracksieve-cli and runs the chosen command. `errIsTerminal`
/// allows progress output on `err`. Returns the process exit status (2 on a usage error).
int runCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool errIsTerminal);

}  // namespace tracksieve::cli
