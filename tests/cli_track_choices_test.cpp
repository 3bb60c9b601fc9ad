#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "cli_run.h"
#include "tracksieve/analysis.h"
#include "tracksieve/fixed_values.h"
#include "wav_builder.h"

// The recordist's own decisions on the command line: a threshold, tracks kept or removed by
// hand, and the same tracks in every take of a scene.
namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::Format;
using testing::readFile;
using testing::runCli;
using testing::TempDir;
using testing::WavBuilder;

// A 16-bit take of four frames whose iXML names the tracks; each channel holds a constant level.
std::string namedTake(const std::vector<std::pair<std::string, std::int32_t>>& tracks) {
    std::string ixml = "<BWFXML><TRACK_LIST><TRACK_COUNT>" + std::to_string(tracks.size()) + "</TRACK_COUNT>";
    std::vector<std::int32_t> levels;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const std::string number = std::to_string(i + 1);
        ixml += "<TRACK><CHANNEL_INDEX>" + number + "</CHANNEL_INDEX><INTERLEAVE_INDEX>" + number +
                "</INTERLEAVE_INDEX><NAME>" + tracks[i].first + "</NAME></TRACK>";
        levels.push_back(tracks[i].second);
    }
    ixml += "</TRACK_LIST></BWFXML>";
    const Format format{.channels = static_cast<std::uint16_t>(tracks.size())};
    return WavBuilder().fmt(format).chunk("iXML", ixml).data(testing::pcmFrames(16, {4, levels})).bytes();
}

// The track names of a written file, in channel order.
std::vector<std::string> namesIn(const fs::path& file) {
    std::vector<std::string> names;
    for (const TrackInfo& track : analyzePolyWav(file, kThreshold).tracks) names.push_back(track.name);
    return names;
}

std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

constexpr const char* kArrow = " \xE2\x86\x92 ";

// Three channels: one at the boundary, one just under it, one at it again. Float or 16-bit samples.
struct BoundaryCase {
    std::vector<std::string> threshold;  // the option and its value, or nothing for the default
    bool isFloat;
    double atIt;
    double justUnder;
};

std::string boundaryTake(const BoundaryCase& c) {
    if (c.isFloat) {
        const std::vector<float> frame = {static_cast<float>(c.atIt), static_cast<float>(c.justUnder),
                                          static_cast<float>(c.atIt)};
        return WavBuilder()
            .fmt({.formatTag = 3, .channels = 3, .bitsPerSample = 32})
            .data(testing::floatFrames({4, frame}))
            .bytes();
    }
    const std::vector<std::int32_t> frame = {static_cast<std::int32_t>(c.atIt), static_cast<std::int32_t>(c.justUnder),
                                             static_cast<std::int32_t>(c.atIt)};
    return WavBuilder().fmt({.channels = 3}).data(testing::pcmFrames(16, {4, frame})).bytes();
}

TEST(CliThreshold, APeakAtTheThresholdSoundsAndOneJustUnderIsEmpty) {
    const double floatAtDefault = static_cast<double>(0.001f);  // the nearest float, just above 0.001
    const std::vector<BoundaryCase> cases = {
        {{}, true, floatAtDefault, std::nextafter(0.001f, 0.0f)},
        {{"--threshold", "-60"}, true, floatAtDefault, std::nextafter(0.001f, 0.0f)},
        {{"--threshold=-60"}, true, floatAtDefault, std::nextafter(0.001f, 0.0f)},
        {{"--threshold", "0"}, true, 1.0, std::nextafter(1.0f, 0.0f)},
        {{"--threshold", "-0"}, false, -32768, 32767},  // -32768 is exactly full scale
        {{"--threshold", "-72.5"}, false, 8, 7},        // 8/32768 is -72.2 dBFS, 7/32768 is -73.4
        {{"--threshold", "-120"}, false, 1, 0},
    };
    for (const BoundaryCase& c : cases) {
        const std::string what = c.threshold.empty() ? "default" : c.threshold.back();
        TempDir dir;
        const fs::path source = dir.write("t.wav", boundaryTake(c));

        std::vector<std::string> scan = {"scan"};
        scan.insert(scan.end(), c.threshold.begin(), c.threshold.end());
        scan.push_back(dir.path().string());
        const CliRun text = runCli(scan);
        EXPECT_EQ(text.status, 0) << what << text.err;
        EXPECT_NE(text.out.find("t.wav  \xE2\x80\x94  3 tracks (2 active, 1 empty)"), std::string::npos)
            << what << text.out;
        EXPECT_NE(text.out.find("Found 1 polyphonic WAV file(s); 1 have empty tracks."), std::string::npos) << what;
        scan.insert(scan.begin() + 1, "--json");
        const std::string json = runCli(scan).out;
        EXPECT_EQ(json.find("\"empty\": true"), json.rfind("\"empty\": true")) << what << json;
        EXPECT_NE(json.find("\"empty\": true"), std::string::npos) << what;
        scan[1] = "--csv";
        const std::string csv = runCli(scan).out;
        EXPECT_EQ(csv.find(",empty\r\n"), csv.rfind(",empty\r\n")) << what << csv;
        EXPECT_NE(csv.find(",empty\r\n"), std::string::npos) << what;

        std::vector<std::string> slim = {"slim"};
        slim.insert(slim.end(), c.threshold.begin(), c.threshold.end());
        slim.push_back(source.string());
        const CliRun run = runCli(slim);
        EXPECT_EQ(run.status, 0) << what << run.out << run.err;
        EXPECT_EQ(run.out, std::string("t.wav") + kArrow +
                               "t_SLIM.wav (1 removed, 2 kept)\nRemoved empty tracks from 1 file(s).\n")
            << what;
        EXPECT_EQ(namesIn(dir.path() / "t_SLIM.wav"), (std::vector<std::string>{"Track 1", "Track 3"})) << what;
    }
}

TEST(CliThreshold, AnythingButANumberUpToZeroIsAUsageErrorThatWritesNothing) {
    TempDir dir;
    const fs::path source = dir.write("a.wav", namedTake({{"Mix", 1000}, {"Boom", 0}}));
    const std::string before = readFile(source);
    for (const std::string value :
         {"1", "0.5", "+0", "abc", "-60dB", "-60 ", " -60", "nan", "inf", "-inf", "", "-1e999", "-6,5", "0x10"}) {
        for (const std::string command : {"scan", "slim", "split"}) {
            const std::string target = command == "scan" ? dir.path().string() : source.string();
            const CliRun run = runCli({command, "--threshold=" + value, target});
            EXPECT_EQ(run.status, 2) << command << " '" << value << "'";
            EXPECT_EQ(run.out, "") << command << " '" << value << "'";
            EXPECT_NE(run.err.find("--threshold"), std::string::npos) << command << " '" << value << "'";
        }
    }
    EXPECT_EQ(runCli({"slim", "--threshold", source.string()}).status, 2);
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"a.wav"});
    EXPECT_EQ(readFile(source), before);
}

// Below about -6500 dBFS the level is too small for a double: digital silence, whose level
// is minus infinity, is still below it, and the quietest sample is not.
TEST(CliThreshold, DigitalSilenceStaysEmptyAtTheLowestLevels) {
    TempDir dir;
    const fs::path source = dir.write("a.wav", namedTake({{"Mix", 1}, {"Boom", 0}}));
    for (const std::string value : {"-400", "-6500", "-7000", "-1e300"}) {
        EXPECT_EQ(runCli({"scan", "--threshold", value, dir.path().string()}).out,
                  "a.wav  \xE2\x80\x94  2 tracks (1 active, 1 empty)  48000 Hz  0.0s\n"
                  "Found 1 polyphonic WAV file(s); 1 have empty tracks.\n")
            << value;
        EXPECT_EQ(runCli({"split", "--threshold", value, source.string()}).out,
                  std::string("a.wav") + kArrow + "a_1.wav (1 left out)\nSplit 1 file(s) into 1 mono file(s).\n")
            << value;
        EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"a.wav", "a_1.wav"})) << value;
        fs::remove(dir.path() / "a_1.wav");
    }
}

// Two takes: a.wav has a silent Boom and Lav 2, b.wav a silent Boom and a Lav 3 that a.wav lacks.
class CliTrackLists : public ::testing::Test {
protected:
    void SetUp() override {
        a_ = dir_.write("a.wav", namedTake({{"Mix", 9000}, {"Boom", 0}, {"Lav 1", 5000}, {"Lav 2", 0}}));
        b_ = dir_.write("b.wav", namedTake({{"Mix", 9000}, {"Boom", 3}, {"Lav 3", 4000}}));
    }
    CliRun slim(std::vector<std::string> options) {
        options.insert(options.begin(), "slim");
        options.push_back(a_.string());
        options.push_back(b_.string());
        return runCli(options);
    }
    TempDir dir_;
    fs::path a_;
    fs::path b_;
};

TEST_F(CliTrackLists, KeepAndRemoveOverruleTheThresholdTrackByTrack) {
    using Names = std::vector<std::string>;
    struct Case {
        std::vector<std::string> options;
        std::string out;
        Names keptInA;  // empty: no copy of a.wav
        Names keptInB;
    };
    const std::string aLine = std::string("a.wav") + kArrow + "a_SLIM.wav ";
    const std::string bLine = std::string("b.wav") + kArrow + "b_SLIM.wav ";
    const std::string noneInB = "b.wav: No empty tracks to remove\n";
    const std::vector<Case> cases = {
        {{},
         aLine + "(2 removed, 2 kept)\n" + bLine + "(1 removed, 2 kept)\nRemoved empty tracks from 2 file(s).\n",
         {"Mix", "Lav 1"},
         {"Mix", "Lav 3"}},
        {{"--keep", "Boom"},
         aLine + "(1 removed, 3 kept)\n" + noneInB + "Removed empty tracks from 1 file(s). 1 failed.\n",
         {"Mix", "Boom", "Lav 1"},
         {}},
        {{"--keep", "2"},
         aLine + "(1 removed, 3 kept)\n" + noneInB + "Removed empty tracks from 1 file(s). 1 failed.\n",
         {"Mix", "Boom", "Lav 1"},
         {}},
        // Lav 1 is no track of b.wav, Lav 3 none of a.wav: each is ignored where it is missing.
        {{"--remove", "Lav 1", "--keep", "Lav 3"},
         aLine + "(3 removed, 1 kept)\n" + bLine + "(1 removed, 2 kept)\nRemoved empty tracks from 2 file(s).\n",
         {"Mix"},
         {"Mix", "Lav 3"}},
        // Track 4 is a.wav's alone; names and numbers mix, blanks around items go.
        {{"--keep", " 4 ,Boom", "--remove=3"},
         aLine + "(1 removed, 3 kept)\n" + bLine + "(1 removed, 2 kept)\nRemoved empty tracks from 2 file(s).\n",
         {"Mix", "Boom", "Lav 2"},
         {"Mix", "Boom"}},
        {{"--keep", "Boom", "--keep", "4"},
         "a.wav: No empty tracks to remove\n" + noneInB + "Removed empty tracks from 0 file(s). 2 failed.\n",
         {},
         {}},
        {{"--remove", "Mix,Lav 1"},
         "a.wav: Every track would be removed \xE2\x80\x94 nothing to keep\n" + bLine +
             "(2 removed, 1 kept)\nRemoved empty tracks from 1 file(s). 1 failed.\n",
         {},
         {"Lav 3"}},
    };
    for (const Case& c : cases) {
        std::string what;
        for (const std::string& option : c.options) what += option + " ";
        const CliRun run = slim(c.options);
        const bool allWritten = c.out.find("failed") == std::string::npos;
        EXPECT_EQ(run.status, allWritten ? 0 : 1) << what;
        EXPECT_EQ(run.err, "") << what;
        EXPECT_EQ(run.out, c.out) << what;
        const fs::path aSlim = dir_.path() / "a_SLIM.wav";
        const fs::path bSlim = dir_.path() / "b_SLIM.wav";
        EXPECT_EQ(fs::exists(aSlim) ? namesIn(aSlim) : Names{}, c.keptInA) << what;
        EXPECT_EQ(fs::exists(bSlim) ? namesIn(bSlim) : Names{}, c.keptInB) << what;
        fs::remove(aSlim);
        fs::remove(bSlim);
    }
}

TEST_F(CliTrackLists, ListsNamingNoTrackOfAnyFileOrOneTrackTwiceAreUsageErrors) {
    const std::string before = readFile(a_);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--keep", "Lav 9"}, "--keep: \"Lav 9\" matches no track of the files given\n"},
        {{"--keep", "Boom,boom"}, "--keep: \"boom\" matches no track of the files given\n"},
        {{"--remove", "5"}, "--remove: 5 matches no track of the files given\n"},
        {{"--remove", "0"}, "--remove: 0 matches no track of the files given\n"},
        {{"--remove", "1,,2"}, "--remove: \"\" matches no track of the files given\n"},
        {{"--keep", "Boom", "--remove", "2"}, "--keep and --remove both choose track 2 (Boom) of a.wav\n"},
        {{"--keep", "Lav 3", "--remove", "3"}, "--keep and --remove both choose track 3 (Lav 3) of b.wav\n"},
    };
    for (const auto& [options, message] : cases) {
        const CliRun run = slim(options);
        EXPECT_EQ(run.status, 2) << message;
        EXPECT_EQ(run.out, "") << message;
        EXPECT_EQ(run.err, message);
    }
    EXPECT_EQ(filesIn(dir_.path()), (std::vector<std::string>{"a.wav", "b.wav"}));
    EXPECT_EQ(readFile(a_), before);
}

// A list can match nothing because a file could not be read (a typing mistake in its name):
// the reason is given with the usage error, which alone would blame the list.
TEST(CliTrackListErrors, NameTheFilesThatCouldNotBeRead) {
    TempDir dir;
    const std::string bytes = namedTake({{"Mix", 9000}, {"Boom", 0}});
    const fs::path take = dir.write("a.wav", bytes);
    const std::string missing = (dir.path() / "b.wav").string();
    const std::string notWav = dir.write("c.wav", "RIFF").string();
    for (const char* command : {"slim", "split"}) {
        const CliRun run = runCli({command, "--keep", "Boom", "--remove", "Lav", missing, notWav});
        EXPECT_EQ(run.status, 2) << command;
        EXPECT_EQ(run.out, "") << command;
        EXPECT_EQ(run.err, "b.wav: Could not open file\nc.wav: " + analyzePolyWav(notWav, kThreshold).error +
                               "\n--keep: \"Boom\" matches no track of the files given\n")
            << command;

        // Where the lists match, the file that cannot be read fails as any other.
        const CliRun some = runCli({command, "--keep", "Boom", take.string(), missing});
        EXPECT_EQ(some.status, 1) << command;
        EXPECT_EQ(some.err, "") << command;
        EXPECT_NE(some.out.find("b.wav: Could not open file\n"), std::string::npos) << some.out;
    }
    EXPECT_EQ(readFile(take), bytes);
}

TEST(CliTrackListErrors, ShowNamesEscapedOnATerminal) {
    TempDir dir;
    const std::string hostile = "Boom\x1b[2J";
    const fs::path take = dir.write("a.wav", namedTake({{"Mix", 9000}, {hostile, 0}}));
    const std::vector<std::string> args = {"slim", "--keep", hostile, "--remove", "2", take.string()};
    EXPECT_EQ(runCli(args, {.err = true}).err, "--keep and --remove both choose track 2 (Boom\\033[2J) of a.wav\n");
    EXPECT_EQ(runCli(args).err, "--keep and --remove both choose track 2 (" + hostile + ") of a.wav\n");
    EXPECT_EQ(runCli({"slim", "--keep", "\x1b[2J", take.string()}, {.err = true}).err,
              "--keep: \"\\033[2J\" matches no track of the files given\n");
}

TEST(CliSameTracks, TakesOfOneLayoutKeepEveryTrackThatSoundsInOneOfThem) {
    TempDir dir;
    const auto write = [&dir](const std::string& name,
                              const std::vector<std::pair<std::string, std::int32_t>>& tracks) {
        return dir.write(name, namedTake(tracks)).string();
    };
    // t1 and t2 share a layout; t3 has one track less, t4 another name, t5 another order.
    const std::vector<std::string> takes = {
        write("t1.wav", {{"Mix", 9000}, {"Boom", 0}, {"Lav", 5000}, {"Spare", 0}}),
        write("t2.wav", {{"Mix", 9000}, {"Boom", 7000}, {"Lav", 2}, {"Spare", 1}}),
        write("t3.wav", {{"Mix", 9000}, {"Boom", 0}, {"Lav", 5000}}),
        write("t4.wav", {{"Mix", 9000}, {"Boom", 0}, {"Lav 2", 5000}, {"Spare", 0}}),
        write("t5.wav", {{"Mix", 9000}, {"Lav", 5000}, {"Boom", 0}, {"Spare", 0}}),
    };
    const std::string others = std::string("t3.wav") + kArrow + "t3_SLIM.wav (1 removed, 2 kept)\n" + "t4.wav" +
                               kArrow + "t4_SLIM.wav (2 removed, 2 kept)\n" + "t5.wav" + kArrow +
                               "t5_SLIM.wav (2 removed, 2 kept)\n";
    struct Case {
        std::vector<std::string> options;
        std::string out;
        std::vector<std::string> keptInT1;
    };
    const std::vector<Case> cases = {
        {{"--same-tracks"},
         std::string("t1.wav") + kArrow + "t1_SLIM.wav (1 removed, 3 kept)\n" + "t2.wav" + kArrow +
             "t2_SLIM.wav (1 removed, 3 kept)\n" + others +
             "Kept in every take of t1.wav, t2.wav: Boom, Lav (silent in some of them)\n"
             "Removed empty tracks from 5 file(s).\n",
         {"Mix", "Boom", "Lav"}},
        // The user's choices come on top; a track the user chose is not reported as kept for the takes.
        {{"--same-tracks", "--remove", "Boom", "--keep", "Spare"},
         std::string("t1.wav") + kArrow + "t1_SLIM.wav (1 removed, 3 kept)\n" + "t2.wav" + kArrow +
             "t2_SLIM.wav (1 removed, 3 kept)\n" + "t3.wav" + kArrow + "t3_SLIM.wav (1 removed, 2 kept)\n" + "t4.wav" +
             kArrow + "t4_SLIM.wav (1 removed, 3 kept)\n" + "t5.wav" + kArrow + "t5_SLIM.wav (1 removed, 3 kept)\n" +
             "Kept in every take of t1.wav, t2.wav: Lav (silent in some of them)\n"
             "Removed empty tracks from 5 file(s).\n",
         {"Mix", "Lav", "Spare"}},
        {{},
         std::string("t1.wav") + kArrow + "t1_SLIM.wav (2 removed, 2 kept)\n" + "t2.wav" + kArrow +
             "t2_SLIM.wav (2 removed, 2 kept)\n" + others + "Removed empty tracks from 5 file(s).\n",
         {"Mix", "Lav"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"slim"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), takes.begin(), takes.end());
        const CliRun run = runCli(args);
        EXPECT_EQ(run.status, 0) << c.options.size();
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(namesIn(dir.path() / "t1_SLIM.wav"), c.keptInT1);
        for (const std::string& take : takes)
            fs::remove(fs::path(take).replace_filename(fs::path(take).stem().string() + "_SLIM.wav"));
    }
}

TEST(CliSplit, ChoosesTracksByTheSameRulesAsSlim) {
    TempDir dir;
    const fs::path a = dir.write("a.wav", namedTake({{"Mix", 9000}, {"Boom", 3}, {"Lav", 0}}));
    const fs::path b = dir.write("b.wav", namedTake({{"Mix", 9000}, {"Boom", 3}}));
    struct Case {
        std::vector<std::string> options;
        int status;
        std::string out;
        std::string err;
        std::vector<std::string> written;
    };
    const std::vector<Case> cases = {
        {{},
         0,
         std::string("a.wav") + kArrow + "a_1.wav (2 left out)\nb.wav" + kArrow +
             "b_1.wav (1 left out)\nSplit 2 file(s) into 2 mono file(s).\n",
         "",
         {"a_1.wav", "b_1.wav"}},
        // Boom peaks at -80.8 dBFS.
        {{"--threshold", "-90"},
         0,
         std::string("a.wav") + kArrow + "a_1.wav, a_2.wav (1 left out)\nb.wav" + kArrow +
             "b_1.wav, b_2.wav (0 left out)\nSplit 2 file(s) into 4 mono file(s).\n",
         "",
         {"a_1.wav", "a_2.wav", "b_1.wav", "b_2.wav"}},
        {{"--keep", "Lav", "--remove", "1"},
         1,
         std::string("a.wav") + kArrow + "a_3.wav (2 left out)\n" +
             "b.wav: Every track would be removed \xE2\x80\x94 nothing to keep\n" +
             "Split 1 file(s) into 1 mono file(s). 1 failed.\n",
         "",
         {"a_3.wav"}},
        {{"--keep", "Lav 2"}, 2, "", "--keep: \"Lav 2\" matches no track of the files given\n", {}},
        {{"--keep", "Boom", "--remove", "Boom"},
         2,
         "",
         "--keep and --remove both choose track 2 (Boom) of a.wav\n",
         {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"split"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(a.string());
        args.push_back(b.string());
        const CliRun run = runCli(args);
        EXPECT_EQ(run.status, c.status) << c.out;
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
        std::vector<std::string> expected = {"a.wav", "b.wav"};
        expected.insert(expected.end(), c.written.begin(), c.written.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(filesIn(dir.path()), expected) << c.out;
        for (const std::string& name : c.written) fs::remove(dir.path() / name);
    }
}

// Takes of one name from two cards, a file given twice, a take named like another's mono file:
// no split replaces a file that another file of the same command gave or wrote.
TEST(CliSplit, NeverReplacesAFileGivenOrWrittenByTheSameCommand) {
    TempDir dir;
    fs::create_directories(dir.path() / "card1");
    fs::create_directories(dir.path() / "card2");
    fs::create_directories(dir.path() / "mono");
    const std::string day1 = namedTake({{"Boom", 9000}, {"Lav", 8000}, {"Spare", 0}});
    const std::string day2 = namedTake({{"Boom", 7000}, {"Lav", 0}, {"Spare", 6000}});
    const fs::path take1 = dir.write("card1/T01.wav", day1);
    const fs::path take2 = dir.write("card2/T01.wav", day2);
    const fs::path named = dir.write("card1/T01_1.wav", day2);
    const std::string refusal = "The mono file T01_1.wav would replace one of the files given or already written\n";
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string out;
        fs::path written;
        std::vector<std::string> filesThere;
    };
    const std::vector<Case> cases = {
        {"one name on two cards",
         {"-o", (dir.path() / "mono").string(), take1.string(), take2.string()},
         std::string("T01.wav") + kArrow + "T01_1.wav, T01_2.wav (1 left out)\nT01.wav: " + refusal +
             "Split 1 file(s) into 2 mono file(s). 1 failed.\n",
         dir.path() / "mono",
         {"T01_1.wav", "T01_2.wav"}},
        {"one file twice",
         {take2.string(), take2.string()},
         std::string("T01.wav") + kArrow + "T01_1.wav, T01_3.wav (1 left out)\nT01.wav: " + refusal +
             "Split 1 file(s) into 2 mono file(s). 1 failed.\n",
         dir.path() / "card2",
         {"T01.wav", "T01_1.wav", "T01_3.wav"}},
        {"a take named like a mono file of another",
         {take1.string(), named.string()},
         "T01.wav: " + refusal + std::string("T01_1.wav") + kArrow +
             "T01_1_1.wav, T01_1_3.wav (1 left out)\nSplit 1 file(s) into 2 mono file(s). 1 failed.\n",
         dir.path() / "card1",
         {"T01.wav", "T01_1.wav", "T01_1_1.wav", "T01_1_3.wav"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"split"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = runCli(args);
        EXPECT_EQ(run.status, 1) << c.what;
        EXPECT_EQ(run.out, c.out) << c.what;
        EXPECT_EQ(filesIn(c.written), c.filesThere) << c.what;
        EXPECT_EQ(readFile(take1), day1) << c.what;
        EXPECT_EQ(readFile(take2), day2) << c.what;
        EXPECT_EQ(readFile(named), day2) << c.what;
        for (const fs::path& folder : {dir.path() / "mono", dir.path() / "card1", dir.path() / "card2"}) {
            for (const std::string& name : filesIn(folder)) {
                const fs::path file = folder / name;
                if (file != take1 && file != take2 && file != named) fs::remove(file);
            }
        }
    }
    // The first card's boom, at 9000, is the one left in the folder of mono files.
    runCli({"split", "-o", (dir.path() / "mono").string(), take1.string(), take2.string()});
    EXPECT_EQ(
        readFile(dir.path() / "mono" / "T01_1.wav").substr(readFile(dir.path() / "mono" / "T01_1.wav").size() - 2),
        std::string("\x28\x23", 2));
}

}  // namespace
}  // namespace tracksieve
