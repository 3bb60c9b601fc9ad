#pragma once

#include <string>
#include <vector>

namespace tracksieve::app {

/// What the command line asks of the desktop program.
struct LaunchRequest {
    enum class Kind { OpenWindow, PrintHelp, PrintVersion, Fail };
    Kind kind = Kind::OpenWindow;
    std::string folder;  // OpenWindow: put in the path field; may be empty
    std::string text;    // PrintHelp, PrintVersion: for standard output; Fail: for standard error
};

/// Reads the arguments after the program's name. "--help" and "--version" win wherever they
/// stand, so they can be answered before any window system is touched.
LaunchRequest parseLaunchArguments(const std::vector<std::string>& arguments);

}  // namespace tracksieve::app
