#include <unistd.h>

#include <iostream>

#include "cli_app.h"

int main(int argc, char** argv) {
    return tracksieve::cli::runCli(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
