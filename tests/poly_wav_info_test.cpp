#include <gtest/gtest.h>

#include <clocale>
#include <locale>

#include "tracksieve/path_text.h"
#include "tracksieve/poly_wav_info.h"

namespace tracksieve {
namespace {

const std::string kDash = "  \xE2\x80\x94  ";

PolyWavInfo record(const std::string& path, int active, int empty, double seconds = 0.0,
                   const std::string& timecode = "") {
    PolyWavInfo info;
    info.path = pathFromUtf8(path);
    info.channels = active + empty;
    info.sampleRate = 48000;
    info.durationSeconds = seconds;
    info.timecode = timecode;
    info.tracks.resize(static_cast<std::size_t>(active + empty));
    for (int i = 0; i < active; ++i) info.tracks[static_cast<std::size_t>(i)].empty = false;
    return info;
}

TEST(PolyWavInfo, TracksAreEmptyByDefaultAndCountedByTheirFlag) {
    const TrackInfo t;
    EXPECT_TRUE(t.empty && t.index == 0 && t.peak == 0.0 && t.name.empty());

    PolyWavInfo info = record("a.wav", 1, 2);
    info.channels = 8;  // the counts follow the tracks, not the channel count
    EXPECT_EQ(info.activeCount(), 1);
    EXPECT_EQ(info.emptyCount(), 2);
    info.tracks.clear();
    EXPECT_EQ(info.activeCount(), 0);
    EXPECT_EQ(info.emptyCount(), 0);
}

TEST(PolyWavInfo, SummaryLines) {
    PolyWavInfo failed = record("/rec/day1/T001.WAV", 0, 0, 0.0, "01:00:00:00");
    failed.error = "Not a RIFF/WAVE file";
    const std::string stereo = "2 tracks (2 active, 0 empty)  48000 Hz  ";
    const std::pair<PolyWavInfo, std::string> cases[] = {
        {failed, "T001.WAV" + kDash + "error: Not a RIFF/WAVE file"},
        {record("/rec/day1/a.wav", 2, 0), "a.wav" + kDash + stereo + "0.0s"},
        {record("/rec/day1/a.wav", 2, 0, 0.0, "10:00:00:00"), "10:00:00:00  a.wav" + kDash + stereo + "0.0s"},
        {record("/cards/T001.WAV", 2, 6, 93.44, "01:00:00:00"),
         "01:00:00:00  T001.WAV" + kDash + "8 tracks (2 active, 6 empty)  48000 Hz  93.4s"},
        // The duration is rounded to the nearest tenth; the file name is copied byte for byte.
        {record("a.wav", 2, 0, 59.96), "a.wav" + kDash + stereo + "60.0s"},
        {record("a.wav", 2, 0, 90.0), "a.wav" + kDash + stereo + "90.0s"},
        {record("a.wav", 2, 0, 1e7), "a.wav" + kDash + stereo + "10000000.0s"},
        {record("a.wav", 2, 0, 0.04), "a.wav" + kDash + stereo + "0.0s"},
        {record("/rec/Sc\xC3\xA8ne \xE6\x97\xA5.wav", 2, 0), "Sc\xC3\xA8ne \xE6\x97\xA5.wav" + kDash + stereo + "0.0s"},
    };
    for (const auto& [info, line] : cases) EXPECT_EQ(info.summary(), line);
}

TEST(PolyWavInfo, NamesAFileBelowTheScannedFolderByItsRelativePath) {
    namespace fs = std::filesystem;
    const fs::path rec = fs::path("rec");
    const fs::path day2 = fs::path("Day 2") / "T1.WAV";
    struct Case {
        fs::path file;
        fs::path folder;
        std::string shown;
    };
    const Case cases[] = {
        {rec / day2, rec, "Day 2/T1.WAV"},
        {rec / day2, rec / "", "Day 2/T1.WAV"},
        {rec / "." / day2, rec / "." / "", "Day 2/T1.WAV"},
        {rec / "T1.WAV", rec, "T1.WAV"},
        {rec / day2, {}, "T1.WAV"},
        {fs::path("elsewhere") / "T1.WAV", rec, "T1.WAV"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string() + " under " + c.folder.string());
        EXPECT_EQ(shownName(c.file, c.folder), c.shown);
        EXPECT_EQ(record(pathToUtf8(c.file), 2, 0).summary(c.folder).substr(0, c.shown.size() + kDash.size()),
                  c.shown + kDash);
    }
}

struct DecimalComma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(PolyWavInfo, SummaryIgnoresTheUsersLocale) {
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new DecimalComma));
    const std::string cLocale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");  // used when the machine has it

    PolyWavInfo info = record("/rec/day1/a.wav", 2, 0, 1234.56);
    info.sampleRate = 192000;
    const std::string line = info.summary();

    std::setlocale(LC_ALL, cLocale.c_str());
    std::locale::global(previous);
    EXPECT_EQ(line, "a.wav" + kDash + "2 tracks (2 active, 0 empty)  192000 Hz  1234.6s");
}

}  // namespace
}  // namespace tracksieve
