#include <gtest/gtest.h>

#include <stdexcept>

#include "tracksieve/scan.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::constantFrames;
using testing::Format;
using testing::TempDir;
using testing::WavBuilder;

constexpr double kThreshold = 0.001;

// Channel 0 carries a level of 1000/32768 (about -30 dBFS), the other channels are silent.
std::string oneActiveChannel(std::uint16_t channels) {
    std::vector<std::vector<std::int32_t>> frames(4, std::vector<std::int32_t>(channels, 0));
    for (auto& frame : frames) frame[0] = 1000;
    return WavBuilder().fmt({.channels = channels}).data(testing::pcmFrames(16, frames)).bytes();
}

struct ProgressCall {
    int done;
    int total;
    fs::path file;
    bool operator==(const ProgressCall&) const = default;
};

class BatchScan : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST_F(BatchScan, ReportsEachFileBeforeAnalysingItInNameOrder) {
    const fs::path c = dir_.write("c.wav", oneActiveChannel(2));
    const fs::path a = dir_.write("sub/a.wav", oneActiveChannel(3));
    const fs::path b = dir_.write("b.wav", oneActiveChannel(4));

    std::vector<ProgressCall> calls;
    const std::vector<PolyWavInfo> records =
        scanDirectory(dir_.path(), true, kThreshold, 2, [&](int done, int total, const fs::path& file) {
            calls.push_back({done, total, file});
            // Damaging the file now shows whether its analysis comes after this call.
            if (done == 2) testing::writeFile(file, "not a wav file");
        });

    EXPECT_EQ(calls, (std::vector<ProgressCall>{{1, 3, a}, {2, 3, b}, {3, 3, c}}));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].path, a);
    EXPECT_EQ(records[0].channels, 3);
    EXPECT_EQ(records[0].emptyCount(), 2);
    EXPECT_EQ(records[1].path, b);
    EXPECT_EQ(records[1].error, "Not a RIFF/WAVE file");
    EXPECT_EQ(records[2].path, c);
    EXPECT_EQ(records[2].channels, 2);
}

TEST_F(BatchScan, RunsTheSameWithoutACallback) {
    dir_.write("a.wav", oneActiveChannel(2));
    dir_.write("b.wav", oneActiveChannel(8));
    const std::vector<PolyWavInfo> records = scanDirectory(dir_.path(), false, kThreshold, 2, {});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].path, dir_.path() / "a.wav");
    EXPECT_EQ(records[1].path, dir_.path() / "b.wav");
    EXPECT_EQ(records[1].activeCount(), 1);
    EXPECT_EQ(records[1].emptyCount(), 7);
}

TEST_F(BatchScan, HandsTheThresholdToTheAnalysis) {
    dir_.write("a.wav", oneActiveChannel(2));
    EXPECT_FALSE(scanDirectory(dir_.path(), false, 0.03, 2, {})[0].tracks[0].empty);
    EXPECT_TRUE(scanDirectory(dir_.path(), false, 0.031, 2, {})[0].tracks[0].empty);
}

// The reader takes any depth for float data; only the analysis knows it cannot decode it.
TEST_F(BatchScan, KeepsAFileThatPassesDiscoveryButFailsTheAnalysis) {
    const Format float24{.formatTag = 3, .channels = 2, .bitsPerSample = 24};
    const fs::path path = dir_.write("float24.wav", WavBuilder().fmt(float24).data(constantFrames(24, 2, 4, 0)).bytes());
    dir_.write("good.wav", oneActiveChannel(2));

    const std::vector<PolyWavInfo> records = scanDirectory(dir_.path(), false, kThreshold, 2, {});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].path, path);
    EXPECT_EQ(records[0].error, "Unsupported bit depth");
    EXPECT_EQ(records[0].channels, 0);
    EXPECT_EQ(records[1].error, "");
}

TEST_F(BatchScan, DropsAFileThatShrankBelowTheChannelMinimumAfterDiscovery) {
    dir_.write("a.wav", oneActiveChannel(2));
    dir_.write("b.wav", oneActiveChannel(2));
    const std::vector<PolyWavInfo> records =
        scanDirectory(dir_.path(), false, kThreshold, 2, [&](int done, int, const fs::path& file) {
            if (done == 1) testing::writeFile(file, oneActiveChannel(1));
        });
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].path, dir_.path() / "b.wav");
}

TEST_F(BatchScan, AMinimumOfOneChannelKeepsMonoFiles) {
    dir_.write("mono.wav", oneActiveChannel(1));
    const std::vector<PolyWavInfo> records = scanDirectory(dir_.path(), false, kThreshold, 1, {});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].channels, 1);
    EXPECT_TRUE(scanDirectory(dir_.path(), false, kThreshold, 2, {}).empty());
}

TEST_F(BatchScan, NothingToScanMeansNoCallbackCalls) {
    const fs::path file = dir_.write("a.wav", oneActiveChannel(2));
    int calls = 0;
    const ScanProgress count = [&](int, int, const fs::path&) { ++calls; };
    EXPECT_TRUE(scanDirectory(dir_.path() / "missing", true, kThreshold, 2, count).empty());
    EXPECT_TRUE(scanDirectory(file, true, kThreshold, 2, count).empty());
    EXPECT_EQ(calls, 0);
}

TEST_F(BatchScan, AnExceptionFromTheCallbackEndsTheScan) {
    dir_.write("a.wav", oneActiveChannel(2));
    EXPECT_THROW(scanDirectory(dir_.path(), false, kThreshold, 2,
                               [](int, int, const fs::path&) { throw std::runtime_error("stop"); }),
                 std::runtime_error);
}

}  // namespace
}  // namespace tracksieve
