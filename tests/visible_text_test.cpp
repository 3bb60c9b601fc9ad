#include "visible_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace tracksieve::cli {
namespace {

TEST(VisibleText, ShowsWhatATerminalWouldActOnAndKeepsTheRest) {
    const std::pair<std::string, std::string> cases[] = {
        {"Take 1.wav", "Take 1.wav"},
        {"caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x8E\xA4.wav", "caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x8E\xA4.wav"},
        {"\x1b[31mred\x1b[0m", "\\033[31mred\\033[0m"},
        {"\a\b\t\n\v\f\r", "\\a\\b\\t\\n\\v\\f\\r"},
        {std::string("nul\0del\x7f", 8), "nul\\000del\\177"},
        {"back\\slash", "back\\\\slash"},
        {"\xC2\x9B"
         "2J",
         "\\302\\2332J"},  // U+009B, the one-character CSI
        {"\x9B"
         "2J",
         "\\2332J"},  // the same as a bare byte
        {"cut \xE2\x80", "cut \\342\\200"},
        {"\xC0\xAF overlong", "\\300\\257 overlong"},
        {"\xED\xA0\x80 surrogate", "\\355\\240\\200 surrogate"},
        {"\xF4\x90\x80\x80 beyond", "\\364\\220\\200\\200 beyond"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(visibleText(text), shown);
        EXPECT_EQ(textFor(true, text), shown);
        EXPECT_EQ(textFor(false, text), text);
    }
}

}  // namespace
}  // namespace tracksieve::cli
