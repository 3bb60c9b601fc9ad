#include "recorder_metadata.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tracksieve/analysis.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

using testing::bextBody;
using testing::constantFrames;
using testing::TempDir;
using testing::WavBuilder;

constexpr std::uint64_t kOneHourAt48k = 3600ull * 48000;

std::string ixmlDocument(const std::string& inner) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>\n" + inner + "\n</BWFXML>\n";
}

std::string track(const std::string& inside) { return "<TRACK>" + inside + "</TRACK>"; }

std::string namedTrack(const std::string& channelIndex, const std::string& name) {
    return track("<CHANNEL_INDEX>" + channelIndex + "</CHANNEL_INDEX><NAME>" + name + "</NAME>");
}

std::vector<std::string> namesFrom(const std::string& ixml, std::size_t channels) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < channels; ++i) names.push_back("Track " + std::to_string(i + 1));
    readIxmlTrackNames(ixml, names);
    return names;
}

using Names = std::vector<std::string>;

// ---- Timecode through whole files ----

class RecorderMetadataFile : public ::testing::Test {
protected:
    PolyWavInfo analyze(std::optional<std::uint64_t> bextTimeReference, const std::string& ixml,
                        std::uint32_t sampleRate = 48000, std::uint16_t channels = 2) {
        WavBuilder wav;
        if (bextTimeReference) wav.chunk("bext", bextBody(*bextTimeReference, 346));
        if (!ixml.empty()) wav.chunk("iXML", ixml);
        wav.fmt({.channels = channels, .sampleRate = sampleRate}).data(constantFrames(16, channels, 10, 1000));
        return analyzePolyWav(dir_.write("take.wav", wav.bytes()), 0.001);
    }

    TempDir dir_;
};

TEST_F(RecorderMetadataFile, BextTimeReferenceAloneGivesTimecodeAtTheDefaultRate) {
    EXPECT_EQ(analyze(172800000, "").timecode, "01:00:00:00");
    EXPECT_EQ(analyze(kOneHourAt48k + 24000, "").timecode, "01:00:00:12");
}

TEST_F(RecorderMetadataFile, IxmlRateAndTimeStampWinOverBext) {
    const std::string ixml = ixmlDocument(
        "<SPEED><TIMECODE_RATE>30000/1001</TIMECODE_RATE>"
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>0</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>"
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>172824000</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO></SPEED>");
    EXPECT_EQ(analyze(172800000, ixml).timecode, "01:00:00:15");
    EXPECT_EQ(analyze(std::nullopt, ixml).timecode, "01:00:00:15");
}

TEST_F(RecorderMetadataFile, NoTimeReferenceOrNoSampleRateLeavesTimecodeEmpty) {
    EXPECT_EQ(analyze(std::nullopt, ixmlDocument("<TIMECODE_RATE>25</TIMECODE_RATE>")).timecode, "");
    EXPECT_EQ(analyze(172800000, "", 0).timecode, "");
}

TEST_F(RecorderMetadataFile, TrackNamesComeFromTheTrackList) {
    const std::string ixml = ixmlDocument("<TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT>" + namedTrack("2", "Lav") +
                                          namedTrack("1", "Boom") + "</TRACK_LIST>");
    const PolyWavInfo info = analyze(std::nullopt, ixml + std::string(500, '\0'), 48000, 3);
    ASSERT_EQ(info.error, "");
    ASSERT_EQ(info.tracks.size(), 3u);
    EXPECT_EQ(info.tracks[0].name, "Boom");
    EXPECT_EQ(info.tracks[1].name, "Lav");
    EXPECT_EQ(info.tracks[2].name, "Track 3");
}

TEST_F(RecorderMetadataFile, HugeAndPathologicalIxmlBodiesAreReadWithoutTrouble) {
    std::string tracks;
    for (int i = 0; tracks.size() < 50000; ++i) tracks += namedTrack(std::to_string(i % 2 + 1), "Name " + std::to_string(i));
    const std::string bigList = "<TRACK_LIST>" + tracks + "</TRACK_LIST>";
    std::string padded = ixmlDocument(bigList + "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>48000</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>");
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

// ---- Step A: timecode elements ----

struct TimecodeFields {
    double rate;
    std::uint64_t timeReference;
    bool hasTimeReference;
};

TimecodeFields readTimecode(const std::string& ixml, std::optional<std::uint64_t> bextTimeReference = std::nullopt) {
    WavFile wav;
    wav.ixmlText = ixml;
    if (bextTimeReference) {
        wav.timeReference = *bextTimeReference;
        wav.hasTimeReference = true;
    }
    readIxmlTimecode(wav);
    return {wav.timecodeRate, wav.timeReference, wav.hasTimeReference};
}

TEST(RecorderMetadata, RateIsAWholeNumberOrAFraction) {
    struct Case { std::string element; double rate; };
    for (const Case& c : {Case{"<TIMECODE_RATE>30000/1001</TIMECODE_RATE>", 30000.0 / 1001},
                          Case{"<timecode_rate> 25 </timecode_rate>", 25.0},
                          Case{"<TIMECODE_RATE>24000 / 1001</TIMECODE_RATE>", 24000.0 / 1001},
                          Case{"<TIMECODE_RATE>23.976</TIMECODE_RATE>", 24.0},
                          Case{"<TIMECODE_RATE>0/1</TIMECODE_RATE>", 24.0},
                          Case{"<TIMECODE_RATE>25/0</TIMECODE_RATE>", 24.0}}) {
        const TimecodeFields read = readTimecode(c.element);
        EXPECT_EQ(read.rate, c.rate) << c.element;
        EXPECT_FALSE(read.hasTimeReference);
    }
}

TEST(RecorderMetadata, TimeStampJoinsHighAndLowHalves) {
    TimecodeFields read = readTimecode(
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>5</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>"
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>1</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>", 777);
    EXPECT_TRUE(read.hasTimeReference);
    EXPECT_EQ(read.timeReference, (1ull << 32) | 5);

    read = readTimecode("<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>1</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>", 777);
    EXPECT_EQ(read.timeReference, 777u);
}

TEST(RecorderMetadata, NumberTooLargeEndsTimecodeReadingKeepingWhatWasSet) {
    const std::string hugeLow = "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>18446744073709551616</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>";
    TimecodeFields read = readTimecode("<TIMECODE_RATE>25</TIMECODE_RATE>" + hugeLow, 777);
    EXPECT_EQ(read.rate, 25.0);
    EXPECT_EQ(read.timeReference, 777u);

    read = readTimecode("<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>5</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>"
                        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>99999999999999999999</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>");
    EXPECT_FALSE(read.hasTimeReference);

    read = readTimecode("<TIMECODE_RATE>" + std::string(400, '9') + "</TIMECODE_RATE>"
                        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>5</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>");
    EXPECT_EQ(read.rate, 24.0);
    EXPECT_FALSE(read.hasTimeReference);
}

// ---- Step B: timecode text ----

TEST(RecorderMetadata, TimecodeRoundsFramesHalfUpAndNeverReachesTheRate) {
    EXPECT_EQ(formatTimecode(48000 * 10 - 1, 48000, 25), "00:00:09:24");
    EXPECT_EQ(formatTimecode(72000, 48000, 25), "00:00:01:13");  // 12.5 frames
    EXPECT_EQ(formatTimecode(71999, 48000, 25), "00:00:01:12");
    EXPECT_EQ(formatTimecode(47999, 48000, 30000.0 / 1001), "00:00:00:29");
    EXPECT_EQ(formatTimecode(47999, 48000, 0.25), "00:00:00:00");
}

TEST(RecorderMetadata, TimecodeHoursWrapAtOneHundred) {
    EXPECT_EQ(formatTimecode((25 * 3600 + 61) * 48000ull + 12000, 48000, 25), "25:01:01:06");
    EXPECT_EQ(formatTimecode((100 * 3600 + 5) * 48000ull, 48000, 25), "00:00:05:00");
}

TEST(RecorderMetadata, TimecodeNeedsUsableRates) {
    EXPECT_EQ(formatTimecode(48000, 0, 25), "");
    EXPECT_EQ(formatTimecode(48000, -48000, 25), "");
    EXPECT_EQ(formatTimecode(48000, 48000, 0), "");
    EXPECT_EQ(formatTimecode(48000, 48000, std::nan("")), "");
}

// Absurd rates saturate the frame number instead of overflowing it.
TEST(RecorderMetadata, ExtremeValuesFitTheTimecodeText) {
    EXPECT_EQ(formatTimecode(std::numeric_limits<std::uint64_t>::max(), 1, 25), "31:00:15:00");
    EXPECT_EQ(formatTimecode(3, 2, 1e300), "00:00:01:18446744073709551615");
}

// ---- Step C: track names ----

TEST(RecorderMetadata, ChannelIndexPlacesNames) {
    EXPECT_EQ(namesFrom("<TRACK_LIST>" + namedTrack("3", "C") + namedTrack("1", "A") + namedTrack("2", "B") +
                            "</TRACK_LIST>", 3),
              (Names{"A", "B", "C"}));
}

TEST(RecorderMetadata, OutOfRangeIndexFallsBackToPosition) {
    EXPECT_EQ(namesFrom(namedTrack("3", "C") + namedTrack("0", "Zero") + namedTrack("4", "Four"), 3),
              (Names{"Track 1", "Zero", "Four"}));
    const std::string both = "<CHANNEL_INDEX>5</CHANNEL_INDEX><INTERLEAVE_INDEX>2</INTERLEAVE_INDEX><NAME>X</NAME>";
    EXPECT_EQ(namesFrom(track(both), 4), (Names{"X", "Track 2", "Track 3", "Track 4"}));
    const std::string interleaveOnly = "<INTERLEAVE_INDEX>2</INTERLEAVE_INDEX><NAME>Y</NAME>";
    EXPECT_EQ(namesFrom(track(interleaveOnly), 2), (Names{"Track 1", "Y"}));
}

TEST(RecorderMetadata, NamesAreTrimmedOfExactlyFourBlanks) {
    EXPECT_EQ(namesFrom(track("<NAME>  Boom 1\r\n</NAME>") + track("<NAME> \t </NAME>") + track("<NAME>\vLav\f</NAME>"), 3),
              (Names{"Boom 1", "Track 2", "\vLav\f"}));
}

TEST(RecorderMetadata, NamesAreTakenVerbatimFromTagsInAnyCase) {
    EXPECT_EQ(namesFrom("<track_list><track><name>Boom &amp; Lav</name></track><Track><Name><![CDATA[x]]></NAME></Track></track_list>", 2),
              (Names{"Boom &amp; Lav", "<![CDATA[x]]>"}));
}

TEST(RecorderMetadata, TrackListLimitsTheSearchWhenPresent) {
    const std::string outside = namedTrack("1", "Outside");
    EXPECT_EQ(namesFrom(outside + "<TRACK_LIST>" + namedTrack("2", "Inside") + "</TRACK_LIST>", 2),
              (Names{"Track 1", "Inside"}));
    EXPECT_EQ(namesFrom("<SCENE>" + outside + "</SCENE>" + namedTrack("2", "Also"), 2), (Names{"Outside", "Also"}));
}

TEST(RecorderMetadata, LaterTrackForTheSameSlotWins) {
    EXPECT_EQ(namesFrom(namedTrack("1", "First") + namedTrack("1", "Second") + namedTrack("1", " "), 1),
              (Names{"Second"}));
}

TEST(RecorderMetadata, AtMostChannelsPlusNineTracksAreExamined) {
    std::string tracks;
    for (int i = 1; i <= 20; ++i) tracks += track("<NAME>N" + std::to_string(i) + "</NAME>");
    EXPECT_EQ(namesFrom(tracks, 2), (Names{"N1", "N2"}));
    tracks.clear();
    for (int i = 1; i <= 10; ++i) tracks += track("");
    EXPECT_EQ(namesFrom(tracks + namedTrack("1", "Eleventh") + namedTrack("2", "Twelfth"), 2),
              (Names{"Eleventh", "Track 2"}));
}

TEST(RecorderMetadata, IndexTooLargeEndsNameReading) {
    EXPECT_EQ(namesFrom(namedTrack("2", "B") + namedTrack("99999999999", "X") + namedTrack("1", "A"), 3),
              (Names{"Track 1", "B", "Track 3"}));
    EXPECT_EQ(namesFrom(namedTrack("2147483647", "Max") + namedTrack("2147483648", "X") + namedTrack("1", "A"), 2),
              (Names{"Max", "Track 2"}));
}

}  // namespace
}  // namespace tracksieve
