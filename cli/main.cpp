#include <iostream>

#include "cli_app.h"
#include "tracksieve/signal_cleanup.h"

#ifdef _WIN32

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string toUtf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string converted(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, converted.data(), size, nullptr, nullptr);
    converted.pop_back();
    return converted;
}

// The console shows what the commands print as UTF-8 and understands the progress line's
// escape codes; the console's own code page is given back at exit.
class Utf8Console {
public:
    Utf8Console() : previousCodePage_(GetConsoleOutputCP()) {
        SetConsoleOutputCP(CP_UTF8);
        const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
        DWORD mode = 0;
        if (GetConsoleMode(err, &mode)) SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    ~Utf8Console() {
        if (previousCodePage_ != 0) SetConsoleOutputCP(previousCodePage_);
    }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    UINT previousCodePage_;
};

}  // namespace

// Windows hands the arguments over as UTF-16; the commands take UTF-8 as everywhere else.
int wmain(int argc, wchar_t** wideArgv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(toUtf8(wideArgv[i]));
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());

    tracksieve::removeUnfinishedOutputsOnSignals();
    const Utf8Console console;
    const tracksieve::cli::Terminals terminals{.out = _isatty(_fileno(stdout)) != 0,
                                               .err = _isatty(_fileno(stderr)) != 0};
    return tracksieve::cli::runCli(argc, argv.data(), std::cout, std::cerr, terminals);
}

#else

#include <unistd.h>

int main(int argc, char** argv) {
    tracksieve::removeUnfinishedOutputsOnSignals();
    const tracksieve::cli::Terminals terminals{.out = isatty(STDOUT_FILENO) == 1, .err = isatty(STDERR_FILENO) == 1};
    return tracksieve::cli::runCli(argc, argv, std::cout, std::cerr, terminals);
}

#endif
