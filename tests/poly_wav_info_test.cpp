#include <gtest/gtest.h>

#include <clocale>
#include <locale>

#include "tracksieve/poly_wav_info.h"

namespace tracksieve {
namespace {

TrackInfo track(bool empty) {
    TrackInfo t;
    t.empty = empty;
    return t;
}

PolyWavInfo goodRecord() {
    PolyWavInfo info;
    info.path = "/rec/day1/a.wav";
    info.channels = 2;
    info.sampleRate = 48000;
    info.tracks = {track(false), track(false)};
    return info;
}

TEST(TrackInfo, DefaultIsAnEmptyTrack) {
    const TrackInfo t;
    EXPECT_TRUE(t.empty);
    EXPECT_EQ(t.index, 0);
    EXPECT_EQ(t.peak, 0.0);
    EXPECT_TRUE(t.name.empty());
}

TEST(PolyWavInfoCounts, CountTracksByTheirEmptyFlag) {
    PolyWavInfo info;
    info.channels = 8;  // the counts follow the tracks, not the channel count
    info.tracks = {track(false), track(true), track(true)};
    EXPECT_EQ(info.activeCount(), 1);
    EXPECT_EQ(info.emptyCount(), 2);

    info.tracks.clear();
    EXPECT_EQ(info.activeCount(), 0);
    EXPECT_EQ(info.emptyCount(), 0);
}

TEST(PolyWavInfoSummary, ErrorFormShowsFileNameAndReason) {
    PolyWavInfo info;
    info.path = "/rec/day1/T001.WAV";
    info.timecode = "01:00:00:00";
    info.error = "Not a RIFF/WAVE file";
    EXPECT_EQ(info.summary(), "T001.WAV  \xE2\x80\x94  error: Not a RIFF/WAVE file");
}

TEST(PolyWavInfoSummary, NormalFormWithAndWithoutTimecode) {
    PolyWavInfo info = goodRecord();
    EXPECT_EQ(info.summary(), "a.wav  \xE2\x80\x94  2 tracks (2 active, 0 empty)  48000 Hz  0.0s");

    info.timecode = "10:00:00:00";
    EXPECT_EQ(info.summary(), "10:00:00:00  a.wav  \xE2\x80\x94  2 tracks (2 active, 0 empty)  48000 Hz  0.0s");
}

TEST(PolyWavInfoSummary, RecorderExampleLine) {
    PolyWavInfo info;
    info.path = "/cards/T001.WAV";
    info.channels = 8;
    info.sampleRate = 48000;
    info.durationSeconds = 93.44;
    info.timecode = "01:00:00:00";
    info.tracks = {track(false), track(false), track(true), track(true),
                   track(true),  track(true),  track(true), track(true)};
    EXPECT_EQ(info.summary(), "01:00:00:00  T001.WAV  \xE2\x80\x94  8 tracks (2 active, 6 empty)  48000 Hz  93.4s");
}

TEST(PolyWavInfoSummary, DurationIsRoundedToTheNearestTenth) {
    PolyWavInfo info = goodRecord();
    const std::pair<double, const char*> cases[] = {{59.96, "60.0s"}, {90.0, "90.0s"}, {93.44, "93.4s"},
                                                    {1e7, "10000000.0s"}, {0.04, "0.0s"}};
    for (const auto& [seconds, ending] : cases) {
        info.durationSeconds = seconds;
        const std::string line = info.summary();
        EXPECT_EQ(line.substr(line.size() - std::string(ending).size()), ending) << seconds;
    }
}

TEST(PolyWavInfoSummary, NonAsciiFileNameIsCopiedByteForByte) {
    PolyWavInfo info = goodRecord();
    info.path = "/rec/Sc\xC3\xA8ne 1 \xE6\x97\xA5.wav";
    EXPECT_EQ(info.summary().rfind("Sc\xC3\xA8ne 1 \xE6\x97\xA5.wav  \xE2\x80\x94  ", 0), 0u);
}

struct DecimalComma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(PolyWavInfoSummary, IgnoresTheUsersLocale) {
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new DecimalComma));
    const std::string cLocale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");  // used when the machine has it

    PolyWavInfo info = goodRecord();
    info.sampleRate = 192000;
    info.durationSeconds = 1234.56;
    const std::string line = info.summary();

    std::setlocale(LC_ALL, cLocale.c_str());
    std::locale::global(previous);
    EXPECT_EQ(line, "a.wav  \xE2\x80\x94  2 tracks (2 active, 0 empty)  192000 Hz  1234.6s");
}

}  // namespace
}  // namespace tracksieve
