#include <unistd.h>

#include <iostream>

#include "cli_app.h"

int main(int argc, char** argv) {
    const tracksieve::cli::Terminals terminals{.out = isatty(STDOUT_FILENO) == 1, .err = isatty(STDERR_FILENO) == 1};
    return tracksieve::cli::runCli(argc, argv, std::cout, std::cerr, terminals);
}
