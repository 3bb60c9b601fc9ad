#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cli_run.h"
#include "tracksieve/path_text.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::Format;
using testing::parseChunks;
using testing::readFile;
using testing::runCli;
using testing::TempDir;
using testing::WavBuilder;
using testing::wavWithLevels;

std::string unsupportedFloat24() {
    const Format format{.formatTag = 3, .channels = 2, .bitsPerSample = 24};
    return WavBuilder().fmt(format).data(testing::constantFrames(24, 2, 4, 0)).bytes();
}

// A path as the JSON output writes it: UTF-8, a Windows backslash escaped.
std::string jsonText(const fs::path& path) {
    std::string text;
    for (const char c : pathToUtf8(path)) {
        if (c == '\\') text += '\\';
        text += c;
    }
    return text;
}

class CliScan : public ::testing::Test {
protected:
    std::string dir() const { return dir_.path().string(); }
    TempDir dir_;
};

TEST_F(CliScan, PrintsEachSummaryThenTheStatusLine) {
    dir_.write("mono.wav", wavWithLevels({1000}));
    EXPECT_EQ(runCli({"scan", dir()}).out, "Found 0 polyphonic WAV file(s); 0 have empty tracks.\n");

    dir_.write("b.wav", wavWithLevels({1000, 0, 0}));
    dir_.write("a.wav", wavWithLevels({1000, 1000}));
    dir_.write("c.wav", unsupportedFloat24());
    dir_.write("sub/d.wav", wavWithLevels({0, 0}));
    const CliRun run = runCli({"scan", dir()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "a.wav  \xE2\x80\x94  2 tracks (2 active, 0 empty)  48000 Hz  0.0s\n"
              "b.wav  \xE2\x80\x94  3 tracks (1 active, 2 empty)  48000 Hz  0.0s\n"
              "c.wav  \xE2\x80\x94  error: Unsupported bit depth\n"
              "Found 3 polyphonic WAV file(s); 1 have empty tracks.\n");

    for (const char* flag : {"-r", "--recursive"}) {
        const CliRun recursive = runCli({"scan", flag, dir()});
        EXPECT_EQ(recursive.status, 0);
        const std::string subfolderLine = "sub/d.wav  \xE2\x80\x94  2 tracks (0 active, 2 empty)";
        EXPECT_NE(recursive.out.find("\n" + subfolderLine), std::string::npos);
        EXPECT_NE(recursive.out.find("Found 4 polyphonic WAV file(s); 2 have empty tracks.\n"), std::string::npos);
    }
}

TEST_F(CliScan, JsonCarriesTheRecordFieldNames) {
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    const CliRun run = runCli({"scan", "--json", dir()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, R"({
  "files": [
    {
      "path": ")" + jsonText(dir_.path() / "a.wav") +
                           R"(",
      "channels": 2,
      "sampleRate": 48000,
      "bitsPerSample": 16,
      "isFloat": false,
      "durationSeconds": 8.333333333333333e-05,
      "lengthTakenFromFile": false,
      "timecode": "",
      "error": "",
      "tracks": [
        {
          "index": 0,
          "name": "Track 1",
          "peak": 0.030517578125,
          "rms": 0.030517578125,
          "empty": false
        },
        {
          "index": 1,
          "name": "Track 2",
          "peak": 0.0,
          "rms": 0.0,
          "empty": true
        }
      ]
    }
  ]
}
)");

    // An unfinalised take says its length came from the file.
    std::string unfinalised = wavWithLevels({1000, 0});
    unfinalised.replace(unfinalised.size() - 16 - 4, 4, std::string(4, '\0'));
    dir_.write("u.wav", unfinalised);
    EXPECT_NE(runCli({"scan", "--json", dir()}).out.find(R"("durationSeconds": 8.333333333333333e-05,
      "lengthTakenFromFile": true,)"),
              std::string::npos);
    std::filesystem::remove(dir_.path() / "u.wav");

    // A failed record is listed too.
    dir_.write("c.wav", unsupportedFloat24());
    EXPECT_NE(runCli({"scan", "--json", dir()}).out.find(R"("error": "Unsupported bit depth",
      "tracks": []
    })"),
              std::string::npos);
#ifndef _WIN32
    // Names that are not UTF-8, which exist only where names are bytes, escape each stray byte
    // as a lone surrogate, so the exact name can be had back.
    dir_.write("\xFF.wav", wavWithLevels({1000, 0}));
    dir_.write("\xC3\xA9.wav", wavWithLevels({1000, 0}));
    const std::string more = runCli({"scan", "--json", dir()}).out;
    EXPECT_NE(more.find("/\\udcff.wav\""), std::string::npos);
    EXPECT_NE(more.find("/\xC3\xA9.wav\""), std::string::npos);
#endif
}

TEST_F(CliScan, ShowsProgressByShownNameOnlyOnATerminal) {
    dir_.write("sub/a.wav", wavWithLevels({1000, 0}));
    dir_.write("b.wav", wavWithLevels({1000, 0}));

    const CliRun terminal = runCli({"scan", "-r", dir()}, {.err = true});
    EXPECT_EQ(terminal.err, "\r\x1b[KAnalyzing 1/2: sub/a.wav\r\x1b[KAnalyzing 2/2: b.wav\r\x1b[K");
    EXPECT_EQ(terminal.out, runCli({"scan", "-r", dir()}).out);
    EXPECT_EQ(runCli({"scan", "-r", dir()}).err, "");
}

TEST_F(CliScan, TellsTakesOfTheSameNameInTwoSubfoldersApart) {
    dir_.write("Day 1/T1.wav", wavWithLevels({1000, 0}));
    dir_.write("Day 2/T1.wav", wavWithLevels({1000, 1000}));
    // A trailing separator names the same folder.
    for (const std::string& folder : {dir(), dir() + "/"}) {
        EXPECT_EQ(runCli({"scan", "-r", folder}).out,
                  std::string("Day 1/T1.wav  \xE2\x80\x94  2 tracks (1 active, 1 empty)  48000 Hz  0.0s\n") +
                      "Day 2/T1.wav  \xE2\x80\x94  2 tracks (2 active, 0 empty)  48000 Hz  0.0s\n" +
                      "Found 2 polyphonic WAV file(s); 1 have empty tracks.\n");
    }
}

// A name can hold escape sequences that recolour, retitle or rewrite a terminal.
const std::string kHostileName = "\x1b]0;owned\x07take\x1b[2J.wav";
const std::string kHostileShown = "\\033]0;owned\\atake\\033[2J.wav";

TEST_F(CliScan, EscapesControlCharactersInNamesOnlyOnATerminal) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows file names cannot hold control characters";
#endif
    dir_.write(kHostileName, wavWithLevels({1000, 0}));
    const std::string line = "  \xE2\x80\x94  2 tracks (1 active, 1 empty)  48000 Hz  0.0s\n";

    const CliRun terminal = runCli({"scan", dir()}, {.out = true, .err = true});
    EXPECT_EQ(terminal.out, kHostileShown + line + "Found 1 polyphonic WAV file(s); 1 have empty tracks.\n");
    EXPECT_EQ(terminal.err, "\r\x1b[KAnalyzing 1/1: " + kHostileShown + "\r\x1b[K");
    EXPECT_EQ(runCli({"scan", dir()}).out,
              kHostileName + line + "Found 1 polyphonic WAV file(s); 1 have empty tracks.\n");

    const std::string json = runCli({"scan", "--json", dir()}, {.out = true}).out;
    EXPECT_NE(json.find("/\\u001b]0;owned\\u0007take\\u001b[2J.wav\""), std::string::npos) << json;

    const std::string missing = dir() + "/\x1b[31mgone";
    EXPECT_EQ(runCli({"scan", missing}, {.err = true}).err, "Not a directory: " + dir() + "/\\033[31mgone\n");
    EXPECT_EQ(runCli({"scan", missing}).err, "Not a directory: " + missing + "\n");
}

// The report gives each track's loudest moment in the whole take, though the scan may judge a
// track sounding from its first second alone.
TEST_F(CliScan, TheSoundReportGivesThePeakOfTheWholeTake) {
    // Both tracks sound in the first second, so a scan could stop there.
    std::vector<std::vector<std::int32_t>> frames(48000, {1000, 500});
    frames.insert(frames.end(), 10, {20000, 1000});
    dir_.write("a.wav", WavBuilder().fmt({.channels = 2}).data(testing::pcmFrames(16, frames)).bytes());
    const std::string header =
        "Folder,File,Scene,Take,Start Timecode,Sample Rate,Bit Depth,Length (s),Track,Track Name,Peak "
        "(dBFS),Status\r\n";
    const std::string row = dir() + ",a.wav,,,,48000,16,1.000,";
    EXPECT_EQ(runCli({"scan", "--csv", dir()}).out,
              header + row + "1,Track 1,-4.3,active\r\n" + row + "2,Track 2,-30.3,active\r\n");
    EXPECT_EQ(runCli({"scan", "--csv", "--threshold", "-31", dir()}).out,
              header + row + "1,Track 1,-4.3,active\r\n" + row + "2,Track 2,-30.3,active\r\n");
    EXPECT_EQ(runCli({"scan", "--csv", "--threshold", "-30", dir()}).out,
              header + row + "1,Track 1,-4.3,active\r\n" + row + "2,Track 2,-30.3,empty\r\n");
}

// The sound report's texts come from names and from the files' own metadata alike.
TEST_F(CliScan, EscapesControlCharactersInTheSoundReportOnlyOnATerminal) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows file names cannot hold control characters";
#endif
    const std::string ixml =
        "<BWFXML><SCENE>\x1b[31mSC1</SCENE><TAKE>2\nB</TAKE><TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT>"
        "<TRACK><CHANNEL_INDEX>1</CHANNEL_INDEX><INTERLEAVE_INDEX>1</INTERLEAVE_INDEX>"
        "<NAME>Boom\x07</NAME></TRACK><TRACK><CHANNEL_INDEX>2</CHANNEL_INDEX>"
        "<INTERLEAVE_INDEX>2</INTERLEAVE_INDEX><NAME>Lav, 1</NAME></TRACK></TRACK_LIST></BWFXML>";
    dir_.write("sub\x1b[2J/" + kHostileName, WavBuilder()
                                                 .fmt({})
                                                 .chunk("iXML", ixml)
                                                 .data(testing::pcmFrames(16, {4, std::vector<std::int32_t>{1000, 0}}))
                                                 .bytes());
    const std::string header =
        "Folder,File,Scene,Take,Start Timecode,Sample Rate,Bit Depth,Length (s),Track,Track Name,Peak "
        "(dBFS),Status\r\n";

    const std::string shownFolder = dir() + "/sub\\033[2J";
    const std::string shown = shownFolder + "," + kHostileShown + ",\\033[31mSC1,2\\nB,,48000,16,0.000,";
    EXPECT_EQ(runCli({"scan", "-r", "--csv", dir()}, {.out = true}).out,
              header + shown + "1,Boom\\a,-30.3,active\r\n" + shown + "2,\"Lav, 1\",-inf,empty\r\n");

    const std::string exact = dir() + "/sub\x1b[2J," + kHostileName + ",\x1b[31mSC1,\"2\nB\",,48000,16,0.000,";
    EXPECT_EQ(runCli({"scan", "-r", "--csv", dir()}).out,
              header + exact + "1,Boom\x07,-30.3,active\r\n" + exact + "2,\"Lav, 1\",-inf,empty\r\n");
}

TEST_F(CliScan, APathThatIsNoDirectoryIsAUsageError) {
    const std::string file = dir_.write("a.wav", wavWithLevels({1000, 0})).string();
    for (const std::string& path : {file, dir() + "/missing"}) {
        const CliRun run = runCli({"scan", path});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "Not a directory: " + path + "\n");
    }
}

TEST_F(CliScan, BadArgumentsPrintUsageAndExitWithTwo) {
    const std::vector<std::vector<std::string>> badCalls = {
        {}, {"scan"}, {"scan", "--deep", dir()}, {"scan", dir(), dir()}, {"rescan", dir()}, {"--json", "scan"}};
    for (const auto& args : badCalls) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("Usage: tracksieve-cli"), std::string::npos);
    }
}

TEST_F(CliScan, HelpGoesToTheOutputWithSuccess) {
    const CliRun run = runCli({"scan", "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Usage: tracksieve-cli scan [OPTIONS] DIR"), std::string::npos);
    EXPECT_NE(run.out.find("--recursive"), std::string::npos);
}

// The channel count of a written file with fewer than 256 channels.
int channelsOf(const fs::path& file) { return static_cast<unsigned char>(parseChunks(readFile(file)).front().body[2]); }

class CliSlim : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return (dir_.path() / name).string(); }
    TempDir dir_;
};

TEST_F(CliSlim, ReportsEachFileInOrderThenTheStatusLine) {
    dir_.write("a.wav", wavWithLevels({1000, 0, 1000}));
    dir_.write("b.wav", wavWithLevels({1000, 1000}));
    dir_.write("c.wav", wavWithLevels({0, 1000, 0, 0}));

    const CliRun run = runCli({"slim", path("a.wav"), path("b.wav"), path("missing.wav"), path("c.wav")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "a.wav \xE2\x86\x92 a_SLIM.wav (1 removed, 2 kept)\n"
              "b.wav: No empty tracks to remove\n"
              "missing.wav: Could not open file\n"
              "c.wav \xE2\x86\x92 c_SLIM.wav (3 removed, 1 kept)\n"
              "Removed empty tracks from 2 file(s). 2 failed.\n");
    EXPECT_EQ(channelsOf(dir_.path() / "a_SLIM.wav"), 2);
    EXPECT_EQ(channelsOf(dir_.path() / "c_SLIM.wav"), 1);
}

// Files that cannot be read are reported and passed over; the source stays as it was.
TEST_F(CliSlim, GoesOnPastFilesThatCannotBeRead) {
    const std::string containers = WavBuilder()
                                       .fmt({.bitsPerSample = 24, .blockAlign = 8})
                                       .data(std::string("\x0c\x5a\x00\x00\x00\x00\x00\x00", 8))
                                       .bytes();
    dir_.write("containers.wav", containers);
    dir_.write("cut.wav", wavWithLevels({1000, 0}).substr(0, 30));
    dir_.write("z.wav", wavWithLevels({1000, 0}));

    const CliRun run = runCli({"slim", path("containers.wav"), path("cut.wav"), path("z.wav")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "containers.wav: Invalid format\n"
              "cut.wav: Invalid fmt chunk\n"
              "z.wav \xE2\x86\x92 z_SLIM.wav (1 removed, 1 kept)\n"
              "Removed empty tracks from 1 file(s). 2 failed.\n");
    EXPECT_EQ(readFile(dir_.path() / "containers.wav"), containers);
    EXPECT_FALSE(fs::exists(dir_.path() / "containers_SLIM.wav"));
}

TEST_F(CliSlim, OverwriteAndOutputChooseWhereTheResultGoes) {
    dir_.write("a.wav", wavWithLevels({1000, 0, 1000}));
    const CliRun overwrite = runCli({"slim", "--overwrite", path("a.wav")});
    EXPECT_EQ(overwrite.status, 0);
    EXPECT_EQ(overwrite.out, "a.wav \xE2\x86\x92 a.wav (1 removed, 2 kept)\nRemoved empty tracks from 1 file(s).\n");
    EXPECT_EQ(channelsOf(dir_.path() / "a.wav"), 2);

    dir_.write("b.wav", wavWithLevels({0, 1000, 1000}));
    for (const char* flag : {"-o", "--output"}) {
        const CliRun output = runCli({"slim", flag, path("chosen.wav"), path("b.wav")});
        EXPECT_EQ(output.status, 0);
        EXPECT_EQ(output.out,
                  "b.wav \xE2\x86\x92 chosen.wav (1 removed, 2 kept)\nRemoved empty tracks from 1 file(s).\n");
        EXPECT_EQ(channelsOf(dir_.path() / "chosen.wav"), 2);
    }
}

TEST_F(CliSlim, EscapesControlCharactersInNamesOnlyOnATerminal) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows file names cannot hold control characters";
#endif
    dir_.write(kHostileName, wavWithLevels({1000, 0}));
    const std::vector<std::string> args = {"slim", path(kHostileName), path("\x1b[2Jmissing.wav")};
    const std::string slimShown = "\\033]0;owned\\atake\\033[2J_SLIM.wav";

    EXPECT_EQ(runCli(args, {.out = true}).out, kHostileShown + " \xE2\x86\x92 " + slimShown +
                                                   " (1 removed, 1 kept)\n\\033[2Jmissing.wav: Could not open file\n"
                                                   "Removed empty tracks from 1 file(s). 1 failed.\n");
    EXPECT_EQ(runCli(args).out, kHostileName +
                                    " \xE2\x86\x92 \x1b]0;owned\x07take\x1b[2J_SLIM.wav (1 removed, 1 kept)\n"
                                    "\x1b[2Jmissing.wav: Could not open file\n"
                                    "Removed empty tracks from 1 file(s). 1 failed.\n");
}

TEST_F(CliSlim, UsageErrorsWriteNothing) {
    dir_.write("a.wav", wavWithLevels({1000, 0, 1000}));
    dir_.write("b.wav", wavWithLevels({1000, 0, 1000}));
    const std::vector<std::vector<std::string>> usageErrors = {
        {"slim"},
        {"slim", "-o", path("chosen.wav"), path("a.wav"), path("b.wav")},
        {"slim", "--output"},
        {"slim", "--bogus", path("a.wav")},
    };
    for (const auto& args : usageErrors) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.status, 2) << args.size();
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("slim"), std::string::npos) << "usage text on the error stream";
    }
    EXPECT_FALSE(fs::exists(dir_.path() / "chosen.wav"));
    EXPECT_FALSE(fs::exists(dir_.path() / "a_SLIM.wav"));
}

TEST_F(CliSlim, SplitWritesTheKeptTracksAsMonoFiles) {
    dir_.write("a.wav", wavWithLevels({1000, 0, 1000}));
    dir_.write("b.wav", wavWithLevels({0, 0}));
    fs::create_directory(dir_.path() / "mono");

    const CliRun beside = runCli({"split", path("a.wav"), path("b.wav")});
    EXPECT_EQ(beside.status, 1);
    EXPECT_EQ(beside.out,
              "a.wav \xE2\x86\x92 a_1.wav, a_3.wav (1 left out)\n"
              "b.wav: All tracks are empty \xE2\x80\x94 nothing to keep\n"
              "Split 1 file(s) into 2 mono file(s). 1 failed.\n");
    EXPECT_EQ(channelsOf(dir_.path() / "a_1.wav"), 1);
    EXPECT_EQ(channelsOf(dir_.path() / "a_3.wav"), 1);

    const CliRun into = runCli({"split", "-o", path("mono"), path("a.wav")});
    EXPECT_EQ(into.status, 0);
    EXPECT_EQ(into.out, "a.wav \xE2\x86\x92 a_1.wav, a_3.wav (1 left out)\nSplit 1 file(s) into 2 mono file(s).\n");
    EXPECT_EQ(channelsOf(dir_.path() / "mono" / "a_3.wav"), 1);

    for (const auto& args :
         std::vector<std::vector<std::string>>{{"split"}, {"split", "-o", path("a.wav"), path("a.wav")}}) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.status, 2) << args.size();
        EXPECT_EQ(run.out, "");
    }
}

TEST_F(CliScan, CsvWritesTheSoundReport) {
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    const CliRun run = runCli({"scan", "--csv", dir()});
    EXPECT_EQ(run.status, 0);
    const std::string folder = pathToUtf8(dir_.path());
    EXPECT_EQ(run.out,
              "Folder,File,Scene,Take,Start Timecode,Sample Rate,Bit Depth,Length (s),Track,Track Name,Peak "
              "(dBFS),Status\r\n" +
                  folder + ",a.wav,,,,48000,16,0.000,1,Track 1,-30.3,active\r\n" + folder +
                  ",a.wav,,,,48000,16,0.000,2,Track 2,-inf,empty\r\n");
    EXPECT_EQ(runCli({"scan", "--csv", "--json", dir()}).status, 2);
}

}  // namespace
}  // namespace tracksieve
