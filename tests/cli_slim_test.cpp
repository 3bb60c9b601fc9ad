#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli_app.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::parseChunks;
using testing::readFile;
using testing::TempDir;
using testing::WavBuilder;

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun runCli(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"tracksieve-cli"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::ostringstream out;
    std::ostringstream err;
    const int status = cli::runCli(static_cast<int>(argv.size()), argv.data(), out, err, false);
    return {status, out.str(), err.str()};
}

// Four frames at 48 kHz; channel c holds the constant levels[c] (16-bit).
std::string wavWithLevels(const std::vector<std::int32_t>& levels) {
    return WavBuilder().fmt({.channels = static_cast<std::uint16_t>(levels.size())}).data(testing::pcmFrames(16, {4, levels})).bytes();
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
        EXPECT_EQ(output.out, "b.wav \xE2\x86\x92 chosen.wav (1 removed, 2 kept)\nRemoved empty tracks from 1 file(s).\n");
        EXPECT_EQ(channelsOf(dir_.path() / "chosen.wav"), 2);
    }
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

}  // namespace
}  // namespace tracksieve
