// Holds the element search to std::regex, the engine whose meaning it reproduces. std::regex
// recurses once per character, so it is only run here, on inputs of a few hundred bytes.
#include "element_search.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
// GCC 12 reports false uninitialised-use warnings inside <regex> when built with the sanitizers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#pragma GCC diagnostic pop
#include <string>
#include <vector>

#include "recorder_metadata.h"
#include "tracksieve/track_list_rewrite.h"

namespace tracksieve {
namespace {

using namespace std::string_literals;
using ::testing::PrintToString;

enum class Kind { Number, Rate, Element, Text };

struct Pattern {
    Kind kind;
    const char* tag;
    const char* source;
    std::regex regex{source, std::regex::ECMAScript | std::regex::icase};
};

const Pattern kPatterns[] = {
    {Kind::Rate, "TIMECODE_RATE", R"(<TIMECODE_RATE>\s*([0-9]+)\s*(?:/\s*([0-9]+))?\s*</TIMECODE_RATE>)"},
    {Kind::Number, "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO",
     R"(<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>\s*([0-9]+)\s*</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>)"},
    {Kind::Number, "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI",
     R"(<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>\s*([0-9]+)\s*</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>)"},
    {Kind::Element, "TRACK_LIST", R"(<TRACK_LIST\b[\s\S]*?</TRACK_LIST>)"},
    {Kind::Element, "TRACK", R"(<TRACK\b[\s\S]*?</TRACK>)"},
    {Kind::Number, "CHANNEL_INDEX", R"(<CHANNEL_INDEX>\s*(\d+)\s*</CHANNEL_INDEX>)"},
    {Kind::Number, "INTERLEAVE_INDEX", R"(<INTERLEAVE_INDEX>\s*(\d+)\s*</INTERLEAVE_INDEX>)"},
    {Kind::Text, "NAME", R"(<NAME>([\s\S]*?)</NAME>)"},
};

// What a search found, as "position+length" texts ("-" for a capture that took no part): the
// whole match and its captures; for elements, every successive match instead.
using Outcome = std::vector<std::string>;

std::string span(std::size_t position, std::size_t length) {
    return std::to_string(position) + "+" + std::to_string(length);
}

std::string spanIn(std::string_view text, std::string_view part) {
    return span(static_cast<std::size_t>(part.data() - text.data()), part.size());
}

Outcome searchOutcome(const Pattern& pattern, std::string_view text) {
    switch (pattern.kind) {
    case Kind::Number:
        if (const auto found = findNumberElement(text, pattern.tag))
            return {spanIn(text, found->element), spanIn(text, found->digits)};
        return {};
    case Kind::Rate:
        if (const auto found = findTimecodeRate(text))
            return {spanIn(text, found->element), spanIn(text, found->numerator),
                    found->denominator ? spanIn(text, *found->denominator) : "-"};
        return {};
    case Kind::Text:
        if (const auto found = findTextElement(text, pattern.tag))
            return {spanIn(text, found->element), spanIn(text, found->content)};
        return {};
    case Kind::Element: {
        Outcome all;
        for (std::size_t from = 0; const auto found = findElement(text.substr(from), pattern.tag);) {
            all.push_back(spanIn(text, *found));
            from = static_cast<std::size_t>(found->data() - text.data()) + found->size();
        }
        return all;
    }
    }
    return {};
}

Outcome regexOutcome(const Pattern& pattern, const std::string& text) {
    Outcome outcome;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern.regex); it != std::sregex_iterator(); ++it) {
        const std::smatch& match = *it;
        for (std::size_t i = 0; i < match.size(); ++i) {
            const auto position = static_cast<std::size_t>(match.position(i));
            outcome.push_back(match[i].matched ? span(position, static_cast<std::size_t>(match.length(i))) : "-");
        }
        if (pattern.kind != Kind::Element) break;
    }
    return outcome;
}

// Runs every pattern on `text` both ways; counts per pattern the inputs it matched.
void expectRegexMeaning(const std::string& text, std::vector<int>& matched, int& severalTracks) {
    for (std::size_t p = 0; p < std::size(kPatterns); ++p) {
        const Outcome expected = regexOutcome(kPatterns[p], text);
        EXPECT_EQ(searchOutcome(kPatterns[p], text), expected) << kPatterns[p].source << "\non " << PrintToString(text);
        if (!expected.empty()) ++matched[p];
        if (kPatterns[p].tag == "TRACK"s && expected.size() > 1) ++severalTracks;
    }
}

// Builds inputs from the pieces the patterns care about, in every letter case, whole and broken;
// one in eight is random bytes with a few of those pieces among them.
class InputGenerator {
public:
    explicit InputGenerator(std::uint32_t seed) : random_(seed) {}

    std::string next() {
        std::string text;
        if (pick(8) == 0) {
            for (const std::size_t length = pick(600); text.size() < length;)
                text += pick(5) == 0 ? fragment() : std::string(1, static_cast<char>(random_()));
            return text;
        }
        for (std::size_t i = 0, pieces = pick(12) + 1; i < pieces && text.size() < 300; ++i)
            text += pick(3) == 0 ? fragment() : element(0);
        for (std::size_t mutations = pick(2) * pick(4); mutations > 0 && !text.empty(); --mutations) {
            const std::size_t at = pick(text.size());
            switch (pick(4)) {
            case 0: text.erase(at, pick(3) + 1); break;
            case 1: text.insert(at, fragment()); break;
            case 2:
                if (std::isalpha(static_cast<unsigned char>(text[at]))) text[at] ^= 0x20;
                break;
            default: text.insert(at, text.substr(pick(text.size()), pick(24))); break;
            }
        }
        return text;
    }

private:
    std::size_t pick(std::size_t n) { return random_() % n; }

    // Expands '~' to optional whitespace and '#' to digits, then sets the letter case.
    std::string expand(std::string_view pattern) {
        std::string text;
        for (char c : pattern) {
            if (c == '~') {
                for (std::size_t n = pick(3) == 0 ? pick(3) : 0; n > 0; --n) text += " \t\n\v\f\r"[pick(6)];
            } else if (c == '#') {
                for (std::size_t n = pick(3) + 1; n > 0; --n) text += static_cast<char>('0' + pick(10));
            } else {
                text += c;
            }
        }
        const std::size_t mode = pick(4);  // all lower, mixed, or as written
        for (char& c : text)
            if (mode == 0 || (mode == 1 && pick(2))) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    }

    // An element whose content is mostly what the number patterns expect, sometimes nested or unclosed.
    std::string element(int depth) {
        static const char* const kTags[] = {"TIMECODE_RATE",
                                            "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO",
                                            "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI",
                                            "TRACK_LIST",
                                            "TRACK",
                                            "CHANNEL_INDEX",
                                            "INTERLEAVE_INDEX",
                                            "NAME",
                                            "TRACK_COUNT",
                                            "BWFXML"};
        static const char* const kContents[] = {"~#~",      "~#~", "~#~", "~#~/~#~", "~#~/~#~",
                                                "~Boom #~", "#/#", "#/",  "#.#",     ""};
        const std::string name = kTags[pick(std::size(kTags))];
        std::string text = "<";
        text.append(expand(name)).append(expand(pick(6) == 0 ? " id=\"#\">" : ">"));
        if (depth < 2 && pick(3) == 0) {
            for (std::size_t inner = pick(3) + 1; inner > 0; --inner) text += element(depth + 1);
        } else {
            text += expand(kContents[pick(std::size(kContents))]);
        }
        if (pick(8) != 0) text.append("</").append(expand(name)).append(">");
        return text;
    }

    std::string fragment() {
        static const std::string kFragments[] = {"~ ",
                                                 "~ ",
                                                 "#",
                                                 "#",
                                                 "<",
                                                 ">",
                                                 "/",
                                                 "</",
                                                 "<TRACK",
                                                 "<TRACK_",
                                                 "<TRACKS>",
                                                 "TRACK>",
                                                 "</TRACK",
                                                 "<NAME",
                                                 "<TRACK_LIST",
                                                 "</TRACK_LIST",
                                                 "<track_list\t",
                                                 "<TRACK ",
                                                 "<TRACK\n",
                                                 "<TRACK9>",
                                                 "_",
                                                 "=",
                                                 "\"",
                                                 "a",
                                                 "Z",
                                                 "x",
                                                 "\xc3\xa9",
                                                 "\xff",
                                                 "\0"s,
                                                 "&amp;",
                                                 "<![CDATA[",
                                                 "]]>"};
        return expand(kFragments[pick(std::size(kFragments))]);
    }

    std::mt19937 random_;
};

constexpr int kInputs = 4000;

TEST(ElementSearchDifferential, EveryPatternFindsWhatStdRegexFinds) {
    std::vector<int> matched(std::size(kPatterns), 0);
    int severalTracks = 0;
    // Inputs that once told the two apart, or that random inputs rarely build.
    for (const std::string& text :
         {"<CHANNEL_INDEX> 12x </CHANNEL_INDEX><channel_index>\t7\r\n</Channel_Index>"s,
          "<CHANNEL_INDEX></CHANNEL_INDEX><CHANNEL_INDEX>1 2</CHANNEL_INDEX><CHANNEL_INDEX >1</CHANNEL_INDEX>"s,
          "<CHANNEL_INDEX>-1</CHANNEL_INDEX><CHANNEL_INDEX>1</CHANNEL_INDEX"s, "<CHANNEL_INDEX>3//CHANNEL_INDEX>"s,
          "<CHANNEL_INDEX>\xd9\xa3</CHANNEL_INDEX>"s, "<TIMECODE_RATE>\v30000 /\f1001 </TIMECODE_RATE>"s,
          "<TIMECODE_RATE>25/</TIMECODE_RATE><TIMECODE_RATE>24</TIMECODE_RATE>"s,
          "<TIMECODE_RATE>23.976</TIMECODE_RATE>"s,
          "<TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT><track id=\"1\">a</TRACK_LIST></Track>"s,
          "<TRACKS></TRACK><TRACK9></TRACK><TRACK></TRACK>"s, "<TRACK\xc3\xa9></TRACK>"s, "<TRACK\0></TRACK>"s,
          "<TRACK-x</TRACK>"s, "x<TRACK_LIST>\0<TRACK_LIST></TRACK_LIST></TRACK_LIST>"s, "</TRACK_LIST><TRACK_LIST>"s,
          "<TRACK_LIST"s, "<NAME></NAME>"s, "<NAME x><name> A&amp;B <NAME></name>"s}) {
        expectRegexMeaning(text, matched, severalTracks);
    }
    InputGenerator inputs(20261207);
    for (int n = 0; n < kInputs && !HasFailure(); ++n) expectRegexMeaning(inputs.next(), matched, severalTracks);
    // Each pattern must have been put to the test both ways.
    for (std::size_t p = 0; p < std::size(kPatterns); ++p) {
        EXPECT_GT(matched[p], kInputs / 20) << kPatterns[p].source;
        EXPECT_LT(matched[p], kInputs - kInputs / 20) << kPatterns[p].source;
    }
    EXPECT_GT(severalTracks, kInputs / 20);
}

// The rewrite as the same steps would run it on std::regex: literal replacement of every list,
// else the list in front of the first list that never closes, else in place of every closing
// BWFXML tag.
std::string regexRewrite(std::string text, const std::vector<std::string>& names) {
    const std::size_t originalSize = text.size();
    text.erase(text.find_last_not_of('\0') + 1);
    if (text.empty()) return buildTrackListIxml(names);
    // A replacement text that std::regex_replace inserts literally.
    auto literal = [](const std::string& text) { return std::regex_replace(text, std::regex("\\$"), "$$$$"); };
    const std::string list = buildTrackListInner(names);
    const std::regex& trackList = kPatterns[3].regex;  // TRACK_LIST
    const std::regex closing("</BWFXML>", std::regex::icase);
    std::smatch unclosed;
    if (std::regex_search(text, trackList)) {
        text = std::regex_replace(text, trackList, literal(list));
    } else if (std::regex_search(text, unclosed, std::regex("<TRACK_LIST\\b", std::regex::icase))) {
        text.insert(static_cast<std::size_t>(unclosed.position()), list + "\n");
    } else if (std::regex_search(text, closing)) {
        text = std::regex_replace(text, closing, literal(list + "\n</BWFXML>"));
    } else {
        text += "\n" + list + "\n";
    }
    if (text.size() < originalSize) text.resize(originalSize, '\0');
    return text;
}

TEST(ElementSearchDifferential, TrackListRewriteEqualsTheRegexReplacement) {
    const std::vector<std::string> names = {"$1 $&", "B"};
    InputGenerator inputs(11);
    for (int n = 0; n < kInputs / 4; ++n) {
        std::string text = inputs.next();
        if (n % 3 == 0) text += "</bwfxml>" + std::string(n % 7, '\0');
        std::vector<MetaChunk> chunks{{"iXML", text}};
        rewriteMetaChunks(chunks, names, {0, 1});
        ASSERT_EQ(chunks.front().body, regexRewrite(text, names)) << PrintToString(text);
    }
}

// Checked under the sanitizers: the readers built on the search take any text in their stride.
TEST(ElementSearchFuzz, MetadataReadingTakesAnyText) {
    InputGenerator inputs(99);
    for (int n = 0; n < kInputs; ++n) {
        const std::string text = inputs.next();
        std::vector<std::string> names{"Track 1", "Track 2", "Track 3"};
        readIxmlTrackNames(text, names);
        WavFile wav;
        wav.ixmlText = text;
        readIxmlTimecode(wav);
        formatTimecode(wav.timeReference, 48000, wav.timecodeRate);
    }
}

}  // namespace
}  // namespace tracksieve
