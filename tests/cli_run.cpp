#include "cli_run.h"

#include <sstream>

namespace tracksieve::testing {

CliRun runCli(const std::vector<std::string>& args, cli::Terminals terminals) {
    std::vector<const char*> argv{"tracksieve-cli"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::ostringstream out;
    std::ostringstream err;
    const int status = cli::runCli(static_cast<int>(argv.size()), argv.data(), out, err, terminals);
    return {status, out.str(), err.str()};
}

}  // namespace tracksieve::testing
