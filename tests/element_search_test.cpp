#include "element_search.h"

#include <gtest/gtest.h>

#include <string>

namespace tracksieve {
namespace {

using namespace std::string_literals;

std::size_t offsetIn(std::string_view text, std::string_view part) {
    return static_cast<std::size_t>(part.data() - text.data());
}

TEST(ElementSearch, NumberElementSkipsAFailedElementAndTakesTheNextOne) {
    const std::string text = "<CHANNEL_INDEX> 12x </CHANNEL_INDEX><channel_index>\t7\r\n</Channel_Index>";
    const auto found = findNumberElement(text, "CHANNEL_INDEX");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->digits, "7");
    EXPECT_EQ(offsetIn(text, found->element), 36u);
    EXPECT_EQ(found->element.size(), text.size() - 36);
}

TEST(ElementSearch, NumberElementRejectsWhatThePatternRejects) {
    for (const std::string text : {"<CHANNEL_INDEX></CHANNEL_INDEX>", "<CHANNEL_INDEX>1 2</CHANNEL_INDEX>",
                                   "<CHANNEL_INDEX >1</CHANNEL_INDEX>", "<CHANNEL_INDEX>-1</CHANNEL_INDEX>",
                                   "<CHANNEL_INDEX>1</CHANNEL_INDEX", "<CHANNEL_INDEX>\xd9\xa3</CHANNEL_INDEX>",
                                   "<CHANNEL_INDEX>3//CHANNEL_INDEX>"}) {
        EXPECT_FALSE(findNumberElement(text, "CHANNEL_INDEX")) << text;
    }
}

TEST(ElementSearch, RateTakesTheDenominatorOnlyWhenPresent) {
    auto rate = findTimecodeRate("<TIMECODE_RATE>\v30000 /\f1001 </TIMECODE_RATE>");
    ASSERT_TRUE(rate);
    EXPECT_EQ(rate->numerator, "30000");
    ASSERT_TRUE(rate->denominator);
    EXPECT_EQ(*rate->denominator, "1001");

    rate = findTimecodeRate("<timecode_rate>25</timecode_rate>");
    ASSERT_TRUE(rate);
    EXPECT_EQ(rate->numerator, "25");
    EXPECT_FALSE(rate->denominator);
}

TEST(ElementSearch, RateWithASlashButNoDenominatorOrADecimalPointIsNoMatch) {
    EXPECT_FALSE(findTimecodeRate("<TIMECODE_RATE>25/</TIMECODE_RATE>"));
    EXPECT_FALSE(findTimecodeRate("<TIMECODE_RATE>23.976</TIMECODE_RATE>"));
    const auto later = findTimecodeRate("<TIMECODE_RATE>25/</TIMECODE_RATE><TIMECODE_RATE>24</TIMECODE_RATE>");
    ASSERT_TRUE(later);
    EXPECT_EQ(later->numerator, "24");
}

TEST(ElementSearch, ElementNeedsAWordBoundaryAfterItsName) {
    const std::string text = "<TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT><track id=\"1\">a</TRACK_LIST></Track>";
    const auto track = findElement(text, "TRACK");
    ASSERT_TRUE(track);
    EXPECT_EQ(*track, "<track id=\"1\">a</TRACK_LIST></Track>");
    EXPECT_EQ(findElement("<TRACK></TRACK>", "TRACK"), "<TRACK></TRACK>");
    EXPECT_FALSE(findElement("<TRACKS></TRACK>", "TRACK"));
    EXPECT_FALSE(findElement("<TRACK9></TRACK>", "TRACK"));
    // Bytes outside ASCII, NUL and punctuation are no word characters.
    EXPECT_TRUE(findElement("<TRACK\xc3\xa9></TRACK>", "TRACK"));
    EXPECT_TRUE(findElement("<TRACK\0></TRACK>"s, "TRACK"));
    EXPECT_TRUE(findElement("<TRACK-x</TRACK>", "TRACK"));
}

TEST(ElementSearch, ElementEndsAtTheFirstClosingTagAndNeedsOne) {
    const std::string text = "x<TRACK_LIST>\0<TRACK_LIST></TRACK_LIST></TRACK_LIST>"s;
    EXPECT_EQ(findElement(text, "TRACK_LIST"), "<TRACK_LIST>\0<TRACK_LIST></TRACK_LIST>"s);
    EXPECT_FALSE(findElement("</TRACK_LIST><TRACK_LIST>", "TRACK_LIST"));
    EXPECT_FALSE(findElement("<TRACK_LIST", "TRACK_LIST"));
}

TEST(ElementSearch, TextElementMayBeEmptyAndKeepsItsContentVerbatim) {
    auto name = findTextElement("<NAME></NAME>", "NAME");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->content, "");
    name = findTextElement("<NAME x><name> A&amp;B <NAME></name>", "NAME");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->content, " A&amp;B <NAME>");
}

TEST(ElementSearch, AHugeUnclosedBodyIsSearchedWithoutTrouble) {
    std::string text = "<BWFXML><TRACK_LIST><TRACK><NAME>";
    text.append(4 << 20, 'a');
    EXPECT_FALSE(findElement(text, "TRACK_LIST"));
    EXPECT_FALSE(findElement(text, "TRACK"));
    EXPECT_FALSE(findTextElement(text, "NAME"));
    text += "</TRACK_LIST>";
    const auto list = findElement(text, "TRACK_LIST");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->size(), text.size() - 8);
}

}  // namespace
}  // namespace tracksieve
