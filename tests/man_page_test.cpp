#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli_app.h"

namespace tracksieve {
namespace {

// Every option token ("-r", "--json") in `text`; troff writes a dash as "\-".
std::set<std::string> optionsIn(std::string text) {
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    const std::regex option(R"((^|[\s\[|,(])(--?[a-z][a-z-]*))");
    std::set<std::string> options;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it) {
        options.insert((*it)[2]);
    }
    return options;
}

std::string helpText(std::vector<const char*> argv) {
    argv.insert(argv.begin(), "tracksieve-cli");
    argv.push_back("--help");
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(cli::runCli(static_cast<int>(argv.size()), argv.data(), out, err, {}), 0);
    return out.str();
}

TEST(ManPage, DocumentsExactlyTheOptionsOfTheHelp) {
    std::ifstream page(TRACKSIEVE_MAN_PAGE);
    ASSERT_TRUE(page) << TRACKSIEVE_MAN_PAGE;
    const std::string manText{std::istreambuf_iterator<char>(page), std::istreambuf_iterator<char>()};

    std::set<std::string> helpOptions;
    for (const auto& command : {std::vector<const char*>{}, {"scan"}, {"slim"}, {"split"}}) {
        helpOptions.merge(optionsIn(helpText(command)));
    }
    EXPECT_THAT(helpOptions,
                testing::IsSupersetOf({"--help", "--version", "-r", "--json", "--csv", "--overwrite", "-o"}));
    EXPECT_EQ(optionsIn(manText), helpOptions);
}

}  // namespace
}  // namespace tracksieve
