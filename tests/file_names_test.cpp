#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "cli_run.h"
#include "tracksieve/path_text.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;

// Every run here is heard on stdout alone.
testing::CliRun runWithoutComplaint(const std::vector<std::string>& args) {
    testing::CliRun run = testing::runCli(args);
    EXPECT_EQ(run.err, "");
    return run;
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(pathToUtf8(entry.path().filename()));
    return names;
}

int channelsOf(const fs::path& file) {
    return static_cast<unsigned char>(testing::parseChunks(testing::readFile(file)).front().body[2]);
}

// Names travel as UTF-8 from the command line to the file system and back into what is
// printed; on Windows they pass through UTF-16 on the way, never through the ANSI code page.
TEST(FileNames, NamesOutsideAsciiScanSlimAndPrintUnchanged) {
    struct NameCase {
        std::string folder;
        std::string file;
        std::string slimFile;
    };
    const std::vector<NameCase> cases = {
        // "Szene 3 – Außen" / "Take ü.WAV"
        {"Szene 3 \xE2\x80\x93 Au\xC3\x9F"
         "en",
         "Take \xC3\xBC.WAV", "Take \xC3\xBC_SLIM.WAV"},
        // "東京ロケ" / "テイク１.wav"
        {"\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x83\xAD\xE3\x82\xB1", "\xE3\x83\x86\xE3\x82\xA4\xE3\x82\xAF\xEF\xBC\x91.wav",
         "\xE3\x83\x86\xE3\x82\xA4\xE3\x82\xAF\xEF\xBC\x91_SLIM.wav"},
    };
    const std::string take =
        testing::WavBuilder()
            .fmt({.channels = 3})
            .data(testing::pcmFrames(16, std::vector<std::vector<std::int32_t>>(4, {1000, 0, 1000})))
            .bytes();
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.file);
        const testing::TempDir root;
        const fs::path folder = root.path() / pathFromUtf8(c.folder);
        testing::writeFile(folder / pathFromUtf8(c.file), take);

        const testing::CliRun scan = runWithoutComplaint({"scan", "-r", pathToUtf8(root.path())});
        EXPECT_EQ(scan.status, 0);
        // Below the scanned folder, the file is named by its path relative to it.
        EXPECT_EQ(scan.out, c.folder + "/" + c.file +
                                "  \xE2\x80\x94  3 tracks (2 active, 1 empty)  48000 Hz  0.0s\n"
                                "Found 1 polyphonic WAV file(s); 1 have empty tracks.\n");
        const std::string json = runWithoutComplaint({"scan", "--json", pathToUtf8(folder)}).out;
        EXPECT_NE(json.find(c.folder), std::string::npos) << json;
        EXPECT_NE(json.find(c.file + "\","), std::string::npos) << json;

        const std::string file = pathToUtf8(folder / pathFromUtf8(c.file));
        const std::string written = c.file + " \xE2\x86\x92 " + c.slimFile + " (1 removed, 2 kept)\n";
        const std::string status = "Removed empty tracks from 1 file(s).\n";
        // The second run replaces the first run's copy.
        for (int run = 0; run < 2; ++run) EXPECT_EQ(runWithoutComplaint({"slim", file}).out, written + status);
        EXPECT_EQ(channelsOf(folder / pathFromUtf8(c.slimFile)), 2);

        const testing::CliRun overwrite = runWithoutComplaint({"slim", "--overwrite", file});
        EXPECT_EQ(overwrite.out, c.file + " \xE2\x86\x92 " + c.file + " (1 removed, 2 kept)\n" + status);
        EXPECT_EQ(channelsOf(folder / pathFromUtf8(c.file)), 2);
        EXPECT_EQ(namesIn(folder), (std::set<std::string>{c.file, c.slimFile}));
    }
}

}  // namespace
}  // namespace tracksieve
