#include "recorder_metadata.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tracksieve/analysis.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

using Names = std::vector<std::string>;

std::string ixmlDocument(const std::string& inner) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>\n" + inner + "\n</BWFXML>\n";
}

std::string track(const std::string& inside) { return "<TRACK>" + inside + "</TRACK>"; }

std::string namedTrack(const std::string& channelIndex, const std::string& name) {
    return track("<CHANNEL_INDEX>" + channelIndex + "</CHANNEL_INDEX><NAME>" + name + "</NAME>");
}

std::string element(const std::string& tag, const std::string& text) {
    return "<" + tag + ">" + text + "</" + tag + ">";
}
std::string low(const std::string& text) { return element("TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO", text); }
std::string high(const std::string& text) { return element("TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI", text); }
std::string rate(const std::string& text) { return element("TIMECODE_RATE", text); }

class RecorderMetadataFile : public ::testing::Test {
protected:
    PolyWavInfo analyze(std::optional<std::uint64_t> bextTimeReference, const std::string& ixml,
                        std::uint32_t sampleRate = 48000) {
        testing::WavBuilder wav;
        if (bextTimeReference) wav.chunk("bext", testing::bextBody(*bextTimeReference, 346));
        if (!ixml.empty()) wav.chunk("iXML", ixml);
        wav.fmt({.sampleRate = sampleRate}).data(testing::constantFrames(16, 2, 10, 1000));
        return analyzePolyWav(dir_.write("take.wav", wav.bytes()), 0.001);
    }

    testing::TempDir dir_;
};

TEST_F(RecorderMetadataFile, TimecodeComesFromBextOrIxml) {
    const std::string ntsc = ixmlDocument("<SPEED>" + rate("30000/1001") + high("0") + low("172824000") + "</SPEED>");
    struct Case {
        std::optional<std::uint64_t> bext;
        std::string ixml;
        std::uint32_t sampleRate;
        const char* timecode;
    };
    const Case cases[] = {{172800000, "", 48000, "01:00:00:00"},
                          {3600ull * 48000 + 24000, "", 48000, "01:00:00:12"},
                          {172800000, ntsc, 48000, "01:00:00:15"},
                          {std::nullopt, ntsc, 48000, "01:00:00:15"},
                          {std::nullopt, ixmlDocument(rate("25")), 48000, ""},
                          {172800000, "", 0, ""}};
    for (const Case& c : cases)
        EXPECT_EQ(analyze(c.bext, c.ixml, c.sampleRate).timecode, c.timecode) << c.ixml << " at " << c.sampleRate;
}

TEST_F(RecorderMetadataFile, HugeAndPathologicalIxmlBodiesAreReadWithoutTrouble) {
    std::string tracks;
    for (int i = 0; tracks.size() < 50000; ++i)
        tracks += namedTrack(std::to_string(i % 2 + 1), "Name " + std::to_string(i));
    std::string padded = ixmlDocument("<TRACK_LIST>" + tracks + "</TRACK_LIST>" + low("48000"));
    padded.append((1u << 20) - padded.size(), ' ');
    PolyWavInfo info = analyze(std::nullopt, padded);
    EXPECT_EQ(info.timecode, "00:00:01:00");
    EXPECT_EQ(info.tracks[0].name, "Name 10");  // the eleventh track is the last one examined
    EXPECT_EQ(info.tracks[1].name, "Name 9");

    std::string unclosed = "<TRACK_LIST><TRACK><NAME>";
    while (unclosed.size() < (1u << 20)) unclosed += "<TRACK <NAME><TIMECODE_RATE> 25/ ";
    info = analyze(std::nullopt, unclosed);
    EXPECT_EQ(info.error, "");
    EXPECT_EQ(info.tracks[0].name, "Track 1");

    std::string manyTracks;
    while (manyTracks.size() < (1u << 20)) manyTracks += "<track><name></name></track>";
    EXPECT_EQ(analyze(std::nullopt, manyTracks).tracks[1].name, "Track 2");
}

// A number too large for its type ends the reading, keeping what was set before it.
TEST(RecorderMetadata, TimecodeElementsSetRateAndTimeStamp) {
    struct Case {
        std::string ixml;
        std::optional<std::uint64_t> bext;
        double rate;
        std::optional<std::uint64_t> timeReference;
    };
    const Case cases[] = {
        {rate("30000/1001"), {}, 30000.0 / 1001, {}},
        {"<timecode_rate> 25 </timecode_rate>", {}, 25.0, {}},
        {rate("24000 / 1001"), {}, 24000.0 / 1001, {}},
        {rate("23.976"), {}, 24.0, {}},
        {rate("0/1"), {}, 24.0, {}},
        {rate("25/0"), {}, 24.0, {}},
        {low("5") + high("1"), 777, 24.0, (1ull << 32) | 5},
        {high("1"), 777, 24.0, 777},
        {rate("25") + low("18446744073709551616"), 777, 25.0, 777},
        {low("5") + high("99999999999999999999"), {}, 24.0, {}},
        {rate(std::string(400, '9')) + low("5"), {}, 24.0, {}},
    };
    for (const Case& c : cases) {
        WavFile wav;
        wav.ixmlText = c.ixml;
        wav.hasTimeReference = c.bext.has_value();
        wav.timeReference = c.bext.value_or(0);
        readIxmlTimecode(wav);
        EXPECT_EQ(wav.timecodeRate, c.rate) << c.ixml;
        EXPECT_EQ(wav.hasTimeReference, c.timeReference.has_value()) << c.ixml;
        EXPECT_EQ(wav.timeReference, c.timeReference.value_or(0)) << c.ixml;
    }
}

TEST(RecorderMetadata, TimecodeText) {
    struct Case {
        std::uint64_t timeReference;
        std::int32_t sampleRate;
        double rate;
        const char* text;
    };
    const Case cases[] = {
        {48000 * 10 - 1, 48000, 25, "00:00:09:24"},  // frames never reach the rate
        {72000, 48000, 25, "00:00:01:13"},           // 12.5 frames round half up
        {71999, 48000, 25, "00:00:01:12"},
        {47999, 48000, 30000.0 / 1001, "00:00:00:29"},
        {47999, 48000, 0.25, "00:00:00:00"},
        {(25 * 3600 + 61) * 48000ull + 12000, 48000, 25, "25:01:01:06"},
        {(100 * 3600 + 5) * 48000ull, 48000, 25, "00:00:05:00"},  // hours wrap at 100
        {48000, 0, 25, ""},
        {48000, -48000, 25, ""},
        {48000, 48000, 0, ""},
        {48000, 48000, std::nan(""), ""},
        // Absurd values saturate the frame number instead of overflowing the text.
        {std::numeric_limits<std::uint64_t>::max(), 1, 25, "31:00:15:00"},
        {3, 2, 1e300, "00:00:01:18446744073709551615"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(formatTimecode(c.timeReference, c.sampleRate, c.rate), c.text) << c.timeReference << " at " << c.rate;
}

TEST(RecorderMetadata, TrackNames) {
    const std::string both = "<CHANNEL_INDEX>5</CHANNEL_INDEX><INTERLEAVE_INDEX>2</INTERLEAVE_INDEX><NAME>X</NAME>";
    std::string twenty, tenEmpty;
    for (int i = 1; i <= 20; ++i) twenty += track("<NAME>N" + std::to_string(i) + "</NAME>");
    for (int i = 1; i <= 10; ++i) tenEmpty += track("");
    struct Case {
        std::string ixml;
        Names names;
    };
    const Case cases[] = {
        {"<TRACK_LIST>" + namedTrack("3", "C") + namedTrack("1", "A") + namedTrack("2", "B") + "</TRACK_LIST>",
         {"A", "B", "C"}},
        // Out of range indexes fall back to the position; INTERLEAVE_INDEX counts only without CHANNEL_INDEX.
        {namedTrack("3", "C") + namedTrack("0", "Zero") + namedTrack("4", "Four"), {"Track 1", "Zero", "Four"}},
        {track(both), {"X", "Track 2", "Track 3", "Track 4"}},
        {track("<INTERLEAVE_INDEX>2</INTERLEAVE_INDEX><NAME>Y</NAME>"), {"Track 1", "Y"}},
        // Trimmed of exactly space, tab, CR and LF; taken verbatim from tags in any case.
        {track("<NAME>  Boom 1\r\n</NAME>") + track("<NAME> \t </NAME>") + track("<NAME>\vLav\f</NAME>"),
         {"Boom 1", "Track 2", "\vLav\f"}},
        {"<track_list><track><name>Boom &amp; Lav</name></track><Track><Name><![CDATA[x]]></NAME></Track></track_list>",
         {"Boom &amp; Lav", "<![CDATA[x]]>"}},
        // A track list limits the search; without one the whole text counts.
        {namedTrack("1", "Out") + "<TRACK_LIST>" + namedTrack("2", "Inside") + "</TRACK_LIST>", {"Track 1", "Inside"}},
        {"<SCENE>" + namedTrack("1", "Outside") + "</SCENE>" + namedTrack("2", "Also"), {"Outside", "Also"}},
        {namedTrack("1", "First") + namedTrack("1", "Second") + namedTrack("1", " "), {"Second"}},
        // At most channels + 9 tracks are examined.
        {twenty, {"N1", "N2"}},
        {tenEmpty + namedTrack("1", "Eleventh") + namedTrack("2", "Twelfth"), {"Eleventh", "Track 2"}},
        // An index too large for 32 bits ends the reading.
        {namedTrack("2", "B") + namedTrack("99999999999", "X") + namedTrack("1", "A"), {"Track 1", "B", "Track 3"}},
        {namedTrack("2147483647", "Max") + namedTrack("2147483648", "X") + namedTrack("1", "A"), {"Max", "Track 2"}},
    };
    for (const Case& c : cases) {
        Names names;
        for (std::size_t i = 0; i < c.names.size(); ++i) names.push_back("Track " + std::to_string(i + 1));
        readIxmlTrackNames(c.ixml, names);
        EXPECT_EQ(names, c.names) << c.ixml;
    }
}

}  // namespace
}  // namespace tracksieve
