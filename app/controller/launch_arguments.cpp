#include "launch_arguments.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <tracksieve/path_text.h>
#include <tracksieve/version.h>

namespace tracksieve::app {
namespace {

const char* const kHelp =
    "Usage: tracksieve [FOLDER]\n"
    "\n"
    "Finds the silent tracks of polyphonic WAV files and writes copies without them, in one window.\n"
    "FOLDER is put in the path field, ready to scan.\n"
    "\n"
    "Options:\n"
    "  -h, --help  Print this help and exit\n"
    "  --version   Print the version and exit\n"
    "Qt's own options, such as -platform NAME or -style NAME, are accepted as well.\n";

LaunchRequest failure(const std::string& message) {
    return {LaunchRequest::Kind::Fail, "", "tracksieve: " + message + "\nTry 'tracksieve --help'.\n"};
}

}  // namespace

LaunchRequest parseLaunchArguments(const std::vector<std::string>& arguments) {
    const auto given = [&arguments](const char* option) {
        return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
    };
    if (given("--help") || given("-h")) return {LaunchRequest::Kind::PrintHelp, "", kHelp};
    if (given("--version"))
        return {LaunchRequest::Kind::PrintVersion, "", "tracksieve " + std::string(kVersion) + "\n"};
    if (arguments.empty()) return {};
    if (arguments.size() > 1) return failure("one FOLDER at most");
    const std::string& folder = arguments.front();
    std::error_code ignored;
    if (!folder.empty() && folder.front() == '-') return failure("unknown option: " + folder);
    if (!std::filesystem::is_directory(pathFromUtf8(folder), ignored)) return failure("not a folder: " + folder);
    return {LaunchRequest::Kind::OpenWindow, folder, ""};
}

}  // namespace tracksieve::app
