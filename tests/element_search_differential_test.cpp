// Holds the element search to std::regex, the engine whose meaning it reproduces. std::regex
// recurses once per character, so it is only run here, on inputs of a few hundred bytes.
#include "element_search.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
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

// A span of the searched text: position and length.
using Span = std::optional<std::pair<std::size_t, std::size_t>>;

// What a search found: nothing, or the whole match and each capture (nullopt when a capture
// took no part in the match).
struct Outcome {
    Span whole;
    std::vector<Span> captures;
    bool operator==(const Outcome&) const = default;
};

std::string escaped(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

std::string describe(const Outcome& outcome) {
    auto span = [](const Span& s) {
        std::string text = "-";
        if (s) text.assign("[").append(std::to_string(s->first)).append(",").append(std::to_string(s->second)).append("]");
        return text;
    };
    std::string text = "whole " + span(outcome.whole);
    for (const Span& capture : outcome.captures) text.append(" capture ").append(span(capture));
    return text;
}

Span spanIn(std::string_view text, std::string_view part) {
    return std::make_pair(static_cast<std::size_t>(part.data() - text.data()), part.size());
}

Outcome regexOutcome(const std::string& text, const std::regex& pattern) {
    std::smatch match;
    if (!std::regex_search(text, match, pattern)) return {};
    Outcome outcome{std::make_pair(static_cast<std::size_t>(match.position(0)), static_cast<std::size_t>(match.length(0))), {}};
    for (std::size_t i = 1; i < match.size(); ++i) {
        outcome.captures.push_back(match[i].matched ? Span(std::make_pair(static_cast<std::size_t>(match.position(i)),
                                                                          static_cast<std::size_t>(match.length(i))))
                                                    : Span());
    }
    return outcome;
}

struct Pattern {
    std::string source;
    std::function<Outcome(std::string_view)> search;
};

Outcome numberOutcome(std::string_view text, std::string_view tag) {
    const auto found = findNumberElement(text, tag);
    if (!found) return {};
    return {spanIn(text, found->element), {spanIn(text, found->digits)}};
}

std::vector<Pattern> allPatterns() {
    auto number = [](std::string tag) { return [tag](std::string_view text) { return numberOutcome(text, tag); }; };
    auto element = [](std::string tag) {
        return [tag](std::string_view text) -> Outcome {
            const auto found = findElement(text, tag);
            return found ? Outcome{spanIn(text, *found), {}} : Outcome{};
        };
    };
    return {
        {R"(<TIMECODE_RATE>\s*([0-9]+)\s*(?:/\s*([0-9]+))?\s*</TIMECODE_RATE>)",
         [](std::string_view text) -> Outcome {
             const auto found = findTimecodeRate(text);
             if (!found) return {};
             return {spanIn(text, found->element),
                     {spanIn(text, found->numerator), found->denominator ? spanIn(text, *found->denominator) : Span()}};
         }},
        {R"(<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>\s*([0-9]+)\s*</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>)",
         number("TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO")},
        {R"(<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>\s*([0-9]+)\s*</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>)",
         number("TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI")},
        {R"(<TRACK_LIST\b[\s\S]*?</TRACK_LIST>)", element("TRACK_LIST")},
        {R"(<TRACK\b[\s\S]*?</TRACK>)", element("TRACK")},
        {R"(<CHANNEL_INDEX>\s*(\d+)\s*</CHANNEL_INDEX>)", number("CHANNEL_INDEX")},
        {R"(<INTERLEAVE_INDEX>\s*(\d+)\s*</INTERLEAVE_INDEX>)", number("INTERLEAVE_INDEX")},
        {R"(<NAME>([\s\S]*?)</NAME>)",
         [](std::string_view text) -> Outcome {
             const auto found = findTextElement(text, "NAME");
             return found ? Outcome{spanIn(text, found->element), {spanIn(text, found->content)}} : Outcome{};
         }},
    };
}

std::regex compiled(const std::string& source) { return std::regex(source, std::regex::ECMAScript | std::regex::icase); }

// Builds inputs from the pieces the patterns care about, in every letter case, whole and broken.
class InputGenerator {
public:
    explicit InputGenerator(std::uint32_t seed) : random_(seed) {}

    std::string next() {
        std::string text;
        const std::size_t pieces = pick(12) + 1;
        for (std::size_t i = 0; i < pieces && text.size() < 300; ++i) text += pick(3) == 0 ? fragment() : element();
        for (std::size_t mutations = pick(2) * pick(4); mutations > 0; --mutations) mutate(text);
        return text;
    }

private:
    std::size_t pick(std::size_t n) { return random_() % n; }

    std::string cased(std::string text) {
        switch (pick(4)) {
            case 0: for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c))); break;
            case 1: for (char& c : text) if (pick(2)) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c))); break;
            default: break;
        }
        return text;
    }

    std::string spaces() {
        static const char kSpaces[] = {' ', '\t', '\n', '\v', '\f', '\r'};
        std::string text;
        for (std::size_t n = pick(3) == 0 ? pick(3) : 0; n > 0; --n) text += kSpaces[pick(6)];
        return text;
    }

    std::string digits() {
        std::string text;
        for (std::size_t n = pick(3) + 1; n > 0; --n) text += static_cast<char>('0' + pick(10));
        return text;
    }

    std::string tag() {
        static const std::vector<std::string> kTags = {
            "TIMECODE_RATE", "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO", "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI",
            "TRACK_LIST", "TRACK", "CHANNEL_INDEX", "INTERLEAVE_INDEX", "NAME", "TRACK_COUNT", "BWFXML"};
        return kTags[pick(kTags.size())];
    }

    // What an element of the given name might hold: mostly what its pattern expects.
    std::string content(const std::string& name) {
        const bool numeric = name != "TRACK_LIST" && name != "TRACK" && name != "NAME" && name != "BWFXML";
        switch (pick(numeric ? 8 : 5)) {
            case 0: return spaces() + "Boom " + digits() + spaces();
            case 1: return digits() + (pick(2) ? "/" : ".") + (pick(2) ? digits() : "");
            case 2: return "";
            case 3: case 4: return spaces() + digits() + spaces() + "/" + spaces() + digits() + spaces();
            default: return spaces() + digits() + spaces();
        }
    }

    std::string element(int depth = 0) {
        const std::string name = tag();
        std::string text = "<";
        text += cased(name);
        if (pick(6) == 0) text.append(" id=\"").append(digits()).append("\"");
        text += '>';
        if (depth < 2 && pick(3) == 0) {
            for (std::size_t inner = pick(3) + 1; inner > 0; --inner) text += element(depth + 1);
        } else {
            text += content(name);
        }
        if (pick(8) != 0) text.append("</").append(cased(name)).append(">");
        return text;
    }

    std::string fragment() {
        static const std::vector<std::string> kFragments = {
            "<", ">", "/", "</", "<TRACK", "<TRACK_", "<TRACKS>", "TRACK>", "</TRACK", "<NAME", "<TRACK_LIST",
            "</TRACK_LIST", "<track_list\t", "<TRACK ", "<TRACK\n", "<TRACK9>", "_", "=", "\"", "a", "Z", "x",
            "\xc3\xa9", "\xff", std::string(1, '\0'), "&amp;", "<![CDATA[", "]]>"};
        switch (pick(4)) {
            case 0: return spaces() + " ";
            case 1: return digits();
            default: return cased(kFragments[pick(kFragments.size())]);
        }
    }

    void mutate(std::string& text) {
        if (text.empty()) return;
        const std::size_t at = pick(text.size());
        switch (pick(4)) {
            case 0: text.erase(at, pick(3) + 1); break;
            case 1: text.insert(at, fragment()); break;
            case 2: text[at] = static_cast<char>(std::isupper(static_cast<unsigned char>(text[at])) ? std::tolower(text[at]) : std::toupper(text[at])); break;
            default: text.insert(at, text.substr(pick(text.size()), pick(24))); break;
        }
    }

    std::mt19937 random_;
};

constexpr int kInputs = 4000;

TEST(ElementSearchDifferential, EveryPatternFindsWhatStdRegexFinds) {
    const std::vector<Pattern> patterns = allPatterns();
    std::vector<std::regex> regexes;
    for (const Pattern& pattern : patterns) regexes.push_back(compiled(pattern.source));
    std::vector<int> matches(patterns.size(), 0);
    int failures = 0;

    InputGenerator inputs(20261207);
    for (int n = 0; n < kInputs && failures < 10; ++n) {
        const std::string text = inputs.next();
        for (std::size_t p = 0; p < patterns.size(); ++p) {
            const Outcome expected = regexOutcome(text, regexes[p]);
            const Outcome actual = patterns[p].search(text);
            if (expected.whole) ++matches[p];
            if (!(actual == expected)) {
                ++failures;
                ADD_FAILURE() << patterns[p].source << "\non \"" << escaped(text) << "\"\nstd::regex: "
                              << describe(expected) << "\nsearch:     " << describe(actual);
            }
        }
    }
    // Each pattern must have been put to the test both ways.
    for (std::size_t p = 0; p < patterns.size(); ++p) {
        EXPECT_GT(matches[p], kInputs / 20) << patterns[p].source;
        EXPECT_LT(matches[p], kInputs - kInputs / 20) << patterns[p].source;
    }
}

std::vector<Span> successiveRegexMatches(const std::string& text, const std::regex& pattern) {
    std::vector<Span> spans;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it) {
        spans.emplace_back(std::make_pair(static_cast<std::size_t>(it->position(0)), static_cast<std::size_t>(it->length(0))));
    }
    return spans;
}

std::vector<Span> successiveElements(std::string_view text, std::string_view tag) {
    std::vector<Span> spans;
    std::size_t from = 0;
    while (const auto found = findElement(text.substr(from), tag)) {
        spans.push_back(spanIn(text, *found));
        from = spans.back()->first + spans.back()->second;
    }
    return spans;
}

TEST(ElementSearchDifferential, SuccessiveElementsAreTheRegexIteratorsMatches) {
    const std::regex track = compiled(R"(<TRACK\b[\s\S]*?</TRACK>)");
    const std::regex trackList = compiled(R"(<TRACK_LIST\b[\s\S]*?</TRACK_LIST>)");
    InputGenerator inputs(7);
    int severalTracks = 0;
    for (int n = 0; n < kInputs; ++n) {
        const std::string text = inputs.next();
        const std::vector<Span> expected = successiveRegexMatches(text, track);
        ASSERT_EQ(successiveElements(text, "TRACK"), expected) << escaped(text);
        ASSERT_EQ(successiveElements(text, "TRACK_LIST"), successiveRegexMatches(text, trackList)) << escaped(text);
        if (expected.size() > 1) ++severalTracks;
    }
    EXPECT_GT(severalTracks, kInputs / 20);
}

// A replacement text that std::regex_replace inserts literally.
std::string literalFormat(std::string_view text) {
    std::string format;
    for (char c : text) format += c == '$' ? std::string("$$") : std::string(1, c);
    return format;
}

// The rewrite as the same steps would run it on std::regex: literal replacement of every list,
// else of every closing BWFXML tag.
std::string regexRewrite(std::string text, const std::vector<std::string>& names) {
    const std::size_t originalSize = text.size();
    text.erase(text.find_last_not_of('\0') + 1);
    if (text.empty()) return buildTrackListIxml(names);
    const std::string list = buildTrackListInner(names);
    const std::regex trackList = compiled(R"(<TRACK_LIST\b[\s\S]*?</TRACK_LIST>)");
    const std::regex closing = compiled("</BWFXML>");
    if (std::regex_search(text, trackList)) {
        text = std::regex_replace(text, trackList, literalFormat(list));
    } else if (std::regex_search(text, closing)) {
        text = std::regex_replace(text, closing, literalFormat(list + "\n</BWFXML>"));
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
        ASSERT_EQ(chunks.front().body, regexRewrite(text, names)) << escaped(text);
    }
}

TEST(ElementSearchFuzz, RandomBytesNeverTripTheSearchOrTheMetadataReading) {
    std::mt19937 random(99);
    static const std::string kSeeds[] = {"<TRACK_LIST", "<TRACK", "</TRACK>", "<NAME>", "</NAME>", "<CHANNEL_INDEX>",
                                         "<TIMECODE_RATE>", "</TIMECODE_RATE>", "</BWFXML>", "9", "/"};
    for (int n = 0; n < 2000; ++n) {
        std::string text;
        const std::size_t length = random() % 600;
        while (text.size() < length) {
            if (random() % 5 == 0) {
                text += kSeeds[random() % std::size(kSeeds)];
            } else {
                text += static_cast<char>(random() % 256);
            }
        }
        std::vector<std::string> names{"Track 1", "Track 2", "Track 3"};
        readIxmlTrackNames(text, names);
        WavFile wav;
        wav.ixmlText = text;
        readIxmlTimecode(wav);
        formatTimecode(wav.timeReference, 48000, wav.timecodeRate);
        findNumberElement(text, "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI");
        std::vector<MetaChunk> chunks{{"iXML", text}};
        rewriteMetaChunks(chunks, names, {0, -1, 1});
        EXPECT_GE(chunks.front().body.size(), text.size());
    }
}

}  // namespace
}  // namespace tracksieve
