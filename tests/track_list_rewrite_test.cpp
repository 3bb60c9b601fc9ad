#include "tracksieve/track_list_rewrite.h"

#include <gtest/gtest.h>

#include <string>

namespace tracksieve {
namespace {

using namespace std::string_literals;

const std::vector<std::string> kBoomAndLav2 = {"Boom", "Lav 2"};

std::string sourceTrackList(const std::vector<std::string>& names) {
    std::string list = "<TRACK_LIST><TRACK_COUNT>" + std::to_string(names.size()) + "</TRACK_COUNT>";
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        list += "<TRACK><CHANNEL_INDEX>" + n + "</CHANNEL_INDEX><INTERLEAVE_INDEX>" + n +
                "</INTERLEAVE_INDEX><NAME>" + names[i] + "</NAME></TRACK>";
    }
    return list + "</TRACK_LIST>";
}

std::string rewrittenBody(const std::string& id, const std::string& body,
                          const std::vector<std::string>& keptNames = kBoomAndLav2,
                          const std::vector<std::int32_t>& channelMap = {0, -1, 1, -1}) {
    std::vector<MetaChunk> chunks{{id, body}};
    rewriteMetaChunks(chunks, keptNames, channelMap);
    EXPECT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks.front().id, "iXML");
    return chunks.front().body;
}

TEST(TrackListRewrite, TrackListTextIsExact) {
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
}

TEST(TrackListRewrite, MinimalDocumentWrapsTheTrackList) {
    const std::vector<std::string> names = {"Track 1", "Track 3"};
    EXPECT_EQ(buildTrackListIxml(names), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>\n" +
                                             buildTrackListInner(names) + "\n</BWFXML>\n");
}

TEST(TrackListRewrite, ReplacesTheTrackListAndKeepsEverythingElseByteForByte) {
    const std::string head = "<?xml version=\"1.0\"?>\r\n<BWFXML>\r\n\t<SCENE>12A</SCENE>\r\n\t";
    const std::string tail = "\r\n\t<TAKE>3</TAKE>\r\n</BWFXML>\r\n";
    const std::string source = head + sourceTrackList({"Boom", "Lav 1", "Lav 2", "Lav 3"}) + tail;
    const std::string body = rewrittenBody("iXML", source);
    const std::string expected = head + buildTrackListInner(kBoomAndLav2) + tail;
    ASSERT_LT(expected.size(), source.size());
    EXPECT_EQ(body, expected + std::string(source.size() - expected.size(), '\0'));
}

TEST(TrackListRewrite, ReservedNulSpaceStaysReservedAndALongerResultGrows) {
    std::string source = "<BWFXML>" + sourceTrackList({"A", "B", "C", "D"}) + "</BWFXML>";
    source.resize(4096, '\0');
    std::string body = rewrittenBody("iXML", source);
    EXPECT_EQ(body.size(), 4096u);
    EXPECT_EQ(body.find('\0'), 8 + buildTrackListInner(kBoomAndLav2).size() + 9);

    const std::vector<std::string> many(8, "A rather long track name");
    body = rewrittenBody("iXML", "<BWFXML>" + sourceTrackList({"A"}) + "</BWFXML>\0\0"s, many);
    EXPECT_EQ(body, "<BWFXML>" + buildTrackListInner(many) + "</BWFXML>");
}

TEST(TrackListRewrite, EmptyOrAllNulBodyBecomesTheMinimalDocumentWithoutFill) {
    EXPECT_EQ(rewrittenBody("iXML", std::string(8192, '\0')), buildTrackListIxml(kBoomAndLav2));
    EXPECT_EQ(rewrittenBody("iXML", ""), buildTrackListIxml(kBoomAndLav2));
}

TEST(TrackListRewrite, FindsListsInAnyCaseAndReplacesEveryOne) {
    const std::string source = "<bwfxml><Track_List id=\"a\"><track/></track_list>|<TRACK_LIST></TRACK_LIST></bwfxml>";
    const std::string list = buildTrackListInner(kBoomAndLav2);
    EXPECT_EQ(rewrittenBody("IXML", source), "<bwfxml>" + list + "|" + list + "</bwfxml>");
}

TEST(TrackListRewrite, WithoutATrackListTheListTakesThePlaceOfEachClosingBwfxml) {
    const std::string list = buildTrackListInner(kBoomAndLav2);
    EXPECT_EQ(rewrittenBody("axml", "<BWFXML><TAKE>1</TAKE></bwfxml>\n"),
              "<BWFXML><TAKE>1</TAKE>" + list + "\n</BWFXML>\n");
    EXPECT_EQ(rewrittenBody("AXML", "</BWFXML></BwfXml>"), list + "\n</BWFXML>" + list + "\n</BWFXML>");
    // A list element that never closes is no list.
    EXPECT_EQ(rewrittenBody("iXML", "<TRACK_LIST></BWFXML>"), "<TRACK_LIST>" + list + "\n</BWFXML>");
}

TEST(TrackListRewrite, PlainTextGetsTheListAppended) {
    EXPECT_EQ(rewrittenBody("iXML", "recorder notes\0\0\0"s), "recorder notes\n" + buildTrackListInner(kBoomAndLav2) + "\n");
}

TEST(TrackListRewrite, NamesGoInVerbatimWithoutSubstitution) {
    const std::vector<std::string> names = {"$1 $& $$ $` &amp; \\1", "R&D"};
    const std::string list = buildTrackListInner(names);
    EXPECT_NE(list.find("<NAME>$1 $& $$ $` &amp; \\1</NAME>"), std::string::npos);
    EXPECT_EQ(rewrittenBody("iXML", "<BWFXML><TRACK_LIST>x</TRACK_LIST></BWFXML>", names),
              "<BWFXML>" + list + "</BWFXML>");
    EXPECT_EQ(rewrittenBody("iXML", "<BWFXML></BWFXML>", names), "<BWFXML>" + list + "\n</BWFXML>");
}

TEST(TrackListRewrite, PerChannelChunksAreRenumberedOrDropped) {
    std::vector<MetaChunk> chunks{{"bext", "b"}, {"ond1", "one"}, {"ond2", "two"}, {"ond3", "three"},
                                  {"ond4", "four"}, {"ond5", "five"}, {"ond0", "zero"}, {"Ond3", "x"},
                                  {"LIST", "l"}};
    rewriteMetaChunks(chunks, {"a", "c", "d"}, {0, -1, 1, 2});
    const std::vector<MetaChunk> expected{{"bext", "b"}, {"ond1", "one"}, {"ond2", "three"}, {"ond3", "four"},
                                          {"ond0", "zero"}, {"Ond3", "x"}, {"LIST", "l"}};
    ASSERT_EQ(chunks.size(), expected.size());
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].id, expected[i].id);
        EXPECT_EQ(chunks[i].body, expected[i].body);
    }

    chunks = {{"ond3", "three"}};
    rewriteMetaChunks(chunks, {"a", "b", "d"}, {0, 1, -1, 2});
    EXPECT_TRUE(chunks.empty());
}

TEST(TrackListRewrite, BothXmlChunksOfASourceBecomeIxml) {
    std::vector<MetaChunk> chunks{{"axml", "<BWFXML></BWFXML>"}, {"data", "d"}, {"iXML", ""}};
    rewriteMetaChunks(chunks, kBoomAndLav2, {0, 1});
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].id, "iXML");
    EXPECT_EQ(chunks[1].id, "data");
    EXPECT_EQ(chunks[2].id, "iXML");
    EXPECT_EQ(chunks[2].body, buildTrackListIxml(kBoomAndLav2));
}

TEST(TrackListRewrite, HugeOrPathologicalBodiesAreRewrittenWithoutTrouble) {
    std::string tracks;
    for (int i = 0; i < 1000; ++i) tracks += "<TRACK><NAME>" + std::string(40, 'n') + "</NAME></TRACK>\n";
    const std::string bigList = "<BWFXML><TRACK_LIST>" + tracks + "</TRACK_LIST></BWFXML>";
    ASSERT_GT(bigList.size(), 50000u);
    const std::string list = buildTrackListInner(kBoomAndLav2);
    std::string body = rewrittenBody("iXML", bigList);
    EXPECT_EQ(body.substr(0, 8 + list.size() + 9), "<BWFXML>" + list + "</BWFXML>");
    EXPECT_EQ(body.size(), bigList.size());

    // Four megabytes of unclosed opening tags: no list, no closing tag, so the list is appended.
    std::string unclosed;
    while (unclosed.size() < (4u << 20)) unclosed += "<TRACK_LIST <track_list\t";
    body = rewrittenBody("iXML", unclosed);
    EXPECT_EQ(body, unclosed + "\n" + list + "\n");
}

}  // namespace
}  // namespace tracksieve
