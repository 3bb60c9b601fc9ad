#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <tracksieve/version.h>

#include "launch_arguments.h"
#include "wav_builder.h"

namespace tracksieve::app {
namespace {

using Kind = LaunchRequest::Kind;

TEST(LaunchArguments, HelpAndVersionWinAndAnythingButOneFolderIsAnError) {
    const tracksieve::testing::TempDir dir;
    const std::string folder = dir.path().string();
    const std::string file = dir.write("take.wav", "x").string();
    struct Case {
        std::vector<std::string> arguments;
        Kind kind;
        std::string folder;
        std::string text;  // its start
    };
    const std::vector<Case> cases = {
        {{}, Kind::OpenWindow, "", ""},
        {{folder}, Kind::OpenWindow, folder, ""},
        {{"--help"}, Kind::PrintHelp, "", "Usage: tracksieve [FOLDER]\n"},
        {{folder, "-h"}, Kind::PrintHelp, "", "Usage: tracksieve [FOLDER]\n"},
        {{"--version"}, Kind::PrintVersion, "", "tracksieve " + std::string(kVersion) + "\n"},
        {{file}, Kind::Fail, "", "tracksieve: not a folder: " + file + "\nTry 'tracksieve --help'.\n"},
        {{folder + "/missing"}, Kind::Fail, "", "tracksieve: not a folder: " + folder + "/missing\n"},
        {{"--verbose"}, Kind::Fail, "", "tracksieve: unknown option: --verbose\n"},
        {{folder, folder}, Kind::Fail, "", "tracksieve: one FOLDER at most\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments.front());
        const LaunchRequest request = parseLaunchArguments(c.arguments);
        EXPECT_EQ(request.kind, c.kind);
        EXPECT_EQ(request.folder, c.folder);
        EXPECT_TRUE(request.text.starts_with(c.text)) << request.text;
    }
}

}  // namespace
}  // namespace tracksieve::app
