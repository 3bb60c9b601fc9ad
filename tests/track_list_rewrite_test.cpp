#include "tracksieve/track_list_rewrite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "recorder_metadata.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

using namespace std::string_literals;

const std::vector<std::string> kBoomAndLav2 = {"Boom", "Lav 2"};

std::string sourceTrackList(const std::vector<std::string>& names) {
    std::string list = "<TRACK_LIST><TRACK_COUNT>" + std::to_string(names.size()) + "</TRACK_COUNT>";
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        list += "<TRACK><CHANNEL_INDEX>" + n + "</CHANNEL_INDEX><INTERLEAVE_INDEX>" + n + "</INTERLEAVE_INDEX><NAME>" +
                names[i] + "</NAME></TRACK>";
    }
    return list + "</TRACK_LIST>";
}

std::string nulFilled(std::string text, std::size_t size) {
    text.resize(std::max(text.size(), size), '\0');
    return text;
}

TEST(TrackListRewrite, TrackListAndMinimalDocumentTextsAreExact) {
    EXPECT_EQ(buildTrackListInner(kBoomAndLav2),
              "<TRACK_LIST>\n"
              "  <TRACK_COUNT>2</TRACK_COUNT>\n"
              "  <TRACK>\n"
              "   <CHANNEL_INDEX>1</CHANNEL_INDEX>\n"
              "   <INTERLEAVE_INDEX>1</INTERLEAVE_INDEX>\n"
              "   <NAME>Boom</NAME>\n"
              "   <FUNCTION>SINGLE</FUNCTION>\n"
              "  </TRACK>\n"
              "  <TRACK>\n"
              "   <CHANNEL_INDEX>2</CHANNEL_INDEX>\n"
              "   <INTERLEAVE_INDEX>2</INTERLEAVE_INDEX>\n"
              "   <NAME>Lav 2</NAME>\n"
              "   <FUNCTION>SINGLE</FUNCTION>\n"
              "  </TRACK>\n"
              "</TRACK_LIST>");
    EXPECT_EQ(buildTrackListInner({}), "<TRACK_LIST>\n  <TRACK_COUNT>0</TRACK_COUNT>\n</TRACK_LIST>");
    EXPECT_EQ(buildTrackListIxml(kBoomAndLav2), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>\n" +
                                                    buildTrackListInner(kBoomAndLav2) + "\n</BWFXML>\n");
}

TEST(TrackListRewrite, XmlBodiesGetTheNewListAndKeepEverythingElse) {
    struct Case {
        std::string label;
        std::string id;
        std::string body;
        std::string expected;
        std::vector<std::string> names = kBoomAndLav2;
    };
    const std::string list = buildTrackListInner(kBoomAndLav2);
    const std::string head = "<?xml version=\"1.0\"?>\r\n<BWFXML>\r\n\t<SCENE>12A</SCENE>\r\n\t";
    const std::string tail = "\r\n\t<TAKE>3</TAKE>\r\n</BWFXML>\r\n";
    const std::string fourTracks = head + sourceTrackList({"Boom", "Lav 1", "Lav 2", "Lav 3"}) + tail;
    const std::vector<std::string> many(8, "A rather long track name");
    const std::vector<std::string> dollars = {"$1 $& $$ $` &amp; \\1", "R&D"};
    std::string tracks;
    for (int i = 0; i < 1000; ++i) tracks += "<TRACK><NAME>" + std::string(40, 'n') + "</NAME></TRACK>\n";
    const std::string bigList = "<BWFXML><TRACK_LIST>" + tracks + "</TRACK_LIST></BWFXML>";
    std::string unclosed;  // four megabytes of opening tags that never close
    while (unclosed.size() < (4u << 20)) unclosed += "<TRACK_LIST <track_list\t";

    const std::vector<Case> cases = {
        {"a shorter list leaves NULs behind", "iXML", fourTracks, nulFilled(head + list + tail, fourTracks.size())},
        {"reserved NUL space stays reserved", "iXML",
         nulFilled("<BWFXML>" + sourceTrackList({"A", "B", "C", "D"}) + "</BWFXML>", 4096),
         nulFilled("<BWFXML>" + list + "</BWFXML>", 4096)},
        {"a longer list grows the chunk", "iXML", "<BWFXML>" + sourceTrackList({"A"}) + "</BWFXML>\0\0"s,
         "<BWFXML>" + buildTrackListInner(many) + "</BWFXML>", many},
        {"all NULs", "iXML", std::string(8192, '\0'), buildTrackListIxml(kBoomAndLav2)},
        {"empty", "axml", "", buildTrackListIxml(kBoomAndLav2)},
        {"lists in any case, every one", "IXML",
         "<bwfxml><Track_List id=\"a\"><track/></track_list>|<TRACK_LIST></TRACK_LIST></bwfxml>",
         "<bwfxml>" + list + "|" + list + "</bwfxml>"},
        {"no list: before the closing tag", "axml", "<BWFXML><TAKE>1</TAKE></bwfxml>\n",
         "<BWFXML><TAKE>1</TAKE>" + list + "\n</BWFXML>\n"},
        {"no list: before every closing tag", "AXML", "</BWFXML></BwfXml>",
         list + "\n</BWFXML>" + list + "\n</BWFXML>"},
        {"a list that never closes goes behind the new one", "iXML", "<TRACK_LIST></BWFXML>",
         list + "\n<TRACK_LIST></BWFXML>"},
        {"plain text gets the list appended", "iXML", "recorder notes\0\0\0"s, "recorder notes\n" + list + "\n"},
        {"names verbatim in a list", "iXML", "<BWFXML><TRACK_LIST>x</TRACK_LIST></BWFXML>",
         "<BWFXML>" + buildTrackListInner(dollars) + "</BWFXML>", dollars},
        {"names verbatim before the closing tag", "iXML", "<BWFXML></BWFXML>",
         "<BWFXML>" + buildTrackListInner(dollars) + "\n</BWFXML>", dollars},
        {"a huge list", "iXML", bigList, nulFilled("<BWFXML>" + list + "</BWFXML>", bigList.size())},
        {"pathological unclosed tags", "iXML", unclosed, list + "\n" + unclosed},
    };
    for (const Case& c : cases) {
        std::vector<MetaChunk> chunks{{c.id, c.body}};
        rewriteMetaChunks(chunks, c.names, {0, -1, 1, -1});
        ASSERT_EQ(chunks.size(), 1u) << c.label;
        EXPECT_EQ(chunks[0].id, "iXML") << c.label;
        EXPECT_EQ(chunks[0].body, c.expected) << c.label;
    }
    EXPECT_NE(buildTrackListInner(dollars).find("<NAME>$1 $& $$ $` &amp; \\1</NAME>"), std::string::npos);
}

TEST(TrackListRewrite, PerChannelChunksAreRenumberedOrDroppedAndEveryXmlChunkRewritten) {
    std::vector<MetaChunk> chunks{{"axml", "<BWFXML></BWFXML>"},
                                  {"ond1", "one"},
                                  {"ond2", "two"},
                                  {"ond3", "three"},
                                  {"ond4", "four"},
                                  {"ond5", "five"},
                                  {"ond0", "zero"},
                                  {"Ond3", "x"},
                                  {"iXML", ""}};
    const std::vector<std::string> kept = {"a", "c", "d"};
    rewriteMetaChunks(chunks, kept, {0, -1, 1, 2});
    const std::vector<std::pair<std::string, std::string>> expected{
        {"iXML", "<BWFXML>" + buildTrackListInner(kept) + "\n</BWFXML>"},
        {"ond1", "one"},
        {"ond2", "three"},
        {"ond3", "four"},
        {"ond0", "zero"},
        {"Ond3", "x"},
        {"iXML", buildTrackListIxml(kept)}};
    ASSERT_EQ(chunks.size(), expected.size());
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].id, expected[i].first) << i;
        EXPECT_EQ(chunks[i].body, expected[i].second) << i;
    }

    chunks = {{"ond3", "three"}};
    rewriteMetaChunks(chunks, {"a", "b", "d"}, {0, 1, -1, 2});
    EXPECT_TRUE(chunks.empty());
}

// A `chna` entry: the 1-based track, then a 12-byte UID, 14-byte track and 11-byte pack
// references, and a pad byte; `tag` tells the entries apart.
std::string chnaEntry(std::uint16_t track, char tag) {
    return std::string{static_cast<char>(track & 0xFF), static_cast<char>(track >> 8)} + std::string(12, tag) +
           std::string(14, 't') + std::string(11, 'p') + std::string(1, '\0');
}

std::string chnaBody(std::uint16_t tracks, std::uint16_t uids, const std::vector<std::string>& entries) {
    std::string body{static_cast<char>(tracks), '\0', static_cast<char>(uids), '\0'};
    for (const std::string& entry : entries) body += entry;
    return body;
}

std::string peakBody(const std::string& pairs) {
    return "\x01\0\0\0"
           "\x2A\0\0\0"s +
           pairs;
}

TEST(TrackListRewrite, PeakAndChnaKeepOnlyTheKeptChannelsRecords) {
    struct Case {
        std::string label;
        MetaChunk chunk;
        std::optional<std::string> expected;  // nothing: the chunk is dropped
    };
    // Four source channels; the first and the last go.
    const std::vector<std::int32_t> channelMap = {-1, 0, 1, -1};
    const std::string pair1 = "1111aaaa", pair2 = "2222bbbb", pair3 = "3333cccc", pair4 = "4444dddd";
    const std::vector<Case> cases = {
        {"PEAK pairs of the kept channels", {"PEAK", peakBody(pair1 + pair2 + pair3 + pair4)}, peakBody(pair2 + pair3)},
        {"PEAK with a pair missing", {"PEAK", peakBody(pair1 + pair2 + pair3)}, std::nullopt},
        {"PEAK with a pair too many", {"PEAK", peakBody(pair1 + pair2 + pair3 + pair4 + pair4)}, std::nullopt},
        {"chna renumbered, two UIDs on one track, an unused entry kept",
         {"chna", chnaBody(4, 5,
                           {chnaEntry(1, 'A'), chnaEntry(2, 'B'), chnaEntry(3, 'C'), chnaEntry(3, 'D'),
                            chnaEntry(4, 'E'), chnaEntry(0, 'z')})},
         chnaBody(2, 3, {chnaEntry(1, 'B'), chnaEntry(2, 'C'), chnaEntry(2, 'D'), chnaEntry(0, 'z')})},
        {"chna entries beyond the channels go",
         {"chna", chnaBody(2, 2, {chnaEntry(9, 'X'), chnaEntry(3, 'C')})},
         chnaBody(1, 1, {chnaEntry(2, 'C')})},
        {"chna with only removed tracks keeps nothing but its counts",
         {"chna", chnaBody(1, 1, {chnaEntry(4, 'E')})},
         chnaBody(0, 0, {})},
        {"chna cut inside an entry", {"chna", chnaBody(1, 1, {chnaEntry(2, 'B').substr(0, 39)})}, std::nullopt},
        {"chna without its counts", {"chna", "\x01"}, std::nullopt},
    };
    for (const Case& c : cases) {
        std::vector<MetaChunk> chunks{c.chunk};
        rewriteMetaChunks(chunks, {"b", "c"}, channelMap);
        if (!c.expected) {
            EXPECT_TRUE(chunks.empty()) << c.label;
            continue;
        }
        ASSERT_EQ(chunks.size(), 1u) << c.label;
        EXPECT_EQ(chunks[0].id, c.chunk.id) << c.label;
        EXPECT_EQ(chunks[0].body, *c.expected) << c.label;
    }
}

// The names a scan shows for `channels` channels described by `ixml`.
std::vector<std::string> namesRead(std::string_view ixml, std::size_t channels) {
    std::vector<std::string> names;
    for (std::size_t i = 1; i <= channels; ++i) names.push_back("Track " + std::to_string(i));
    readIxmlTrackNames(ixml, names);
    return names;
}

// Damaged copies of a real recorder's iXML: cut at every byte, each tag that matters deleted
// once, the list repeated, and hand-made breakages.
std::vector<std::pair<std::string, std::string>> mutatedIxml() {
    const std::string wav =
        testing::readFile(std::string(TRACKSIEVE_TEST_DATA) + "/wavinfo Test Project - Audio - 5.1.wav");
    std::string base;
    for (const testing::RiffChunk& chunk : testing::parseChunks(wav)) {
        if (chunk.id == "iXML") base = chunk.body.substr(0, chunk.body.find('\0'));
    }
    std::vector<std::pair<std::string, std::string>> cases = {{"as recorded", base}};
    for (std::size_t cut = 0; cut < base.size(); ++cut)
        cases.push_back({"cut at " + std::to_string(cut), base.substr(0, cut)});
    for (const std::string tag :
         {"<TRACK_LIST>", "</TRACK_LIST>", "<TRACK>", "</TRACK>", "<NAME>", "</NAME>", "<CHANNEL_INDEX>"}) {
        for (std::size_t at = base.find(tag); at != std::string::npos; at = base.find(tag, at + 1)) {
            cases.push_back({"without " + tag + " at " + std::to_string(at), std::string(base).erase(at, tag.size())});
        }
    }
    const std::size_t listStart = base.find("<TRACK_LIST>");
    const std::size_t listEnd = base.find("</TRACK_LIST>") + 13;
    const std::string list = base.substr(listStart, listEnd - listStart);
    cases.push_back({"the list twice", std::string(base).insert(listEnd, list)});
    cases.push_back({"the list again, unclosed", std::string(base).insert(listEnd, list.substr(0, list.size() / 2))});
    cases.push_back({"lower-case tags", "<bwfxml><track_list><track><name>low</name></track></track_list></bwfxml>"});
    cases.push_back({"a stray closing tag inside a loose track",
                     "<BWFXML><TRACK><NAME>a</TRACK_LIST>b</NAME></TRACK><TRACK><NAME>c</NAME></TRACK></BWFXML>"});
    cases.push_back(
        {"a stray closing tag before an unclosed list",
         "<BWFXML></TRACK_LIST><TRACK_LIST><TRACK><CHANNEL_INDEX>2</CHANNEL_INDEX><NAME>Mic2</NAME></TRACK></BWFXML>"});
    cases.push_back({"a list after the closing tag", "<BWFXML></BWFXML>" + list});
    return cases;
}

TEST(TrackListRewrite, ACopyReadsBackExactlyTheKeptNamesWhateverTheIxml) {
    const std::vector<std::vector<std::int32_t>> channelMaps = {{0, -1, 1, 2, -1, 3}, {-1, 0, -1, -1, 1, -1}};
    for (const auto& [label, ixml] : mutatedIxml()) {
        const std::vector<std::string> sourceNames = namesRead(ixml, 6);
        for (const std::vector<std::int32_t>& channelMap : channelMaps) {
            std::vector<std::string> kept;
            for (std::size_t c = 0; c < channelMap.size(); ++c) {
                if (channelMap[c] >= 0) kept.push_back(sourceNames[c]);
            }
            std::vector<MetaChunk> chunks{{"iXML", ixml}};
            rewriteMetaChunks(chunks, kept, channelMap);
            ASSERT_EQ(namesRead(chunks[0].body, kept.size()), kept) << label;
        }
    }
}

}  // namespace
}  // namespace tracksieve
