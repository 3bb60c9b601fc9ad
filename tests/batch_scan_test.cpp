#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

#include "tracksieve/scan.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::WavBuilder;

constexpr double kThreshold = 0.001;

// Channel 0 carries a level of 1000/32768 (about -30 dBFS), the other channels are silent.
std::string oneActiveChannel(std::uint16_t channels) {
    std::vector<std::vector<std::int32_t>> frames(4, std::vector<std::int32_t>(channels, 0));
    for (auto& frame : frames) frame[0] = 1000;
    return WavBuilder().fmt({.channels = channels}).data(testing::pcmFrames(16, frames)).bytes();
}

class BatchScan : public ::testing::Test {
protected:
    std::vector<PolyWavInfo> scan(int minChannels, double threshold = kThreshold) const {
        return scanDirectory(dir_.path(), false, threshold, minChannels, {});
    }
    testing::TempDir dir_;
};

TEST_F(BatchScan, ReportsEachFileBeforeAnalysingItInNameOrder) {
    const fs::path c = dir_.write("c.wav", oneActiveChannel(2));
    const fs::path a = dir_.write("sub/a.wav", oneActiveChannel(3));
    const fs::path b = dir_.write("b.wav", oneActiveChannel(4));

    std::vector<std::tuple<int, int, fs::path>> calls;
    const std::vector<PolyWavInfo> records =
        scanDirectory(dir_.path(), true, kThreshold, 2, [&](int done, int total, const fs::path& file) {
            calls.emplace_back(done, total, file);
            // Turning the file mono now shows its analysis comes after this call: the record,
            // read cleanly with too few channels, is then dropped.
            if (done == 2) testing::writeFile(file, oneActiveChannel(1));
        });

    EXPECT_EQ(calls, (decltype(calls){{1, 3, a}, {2, 3, b}, {3, 3, c}}));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].path, a);
    EXPECT_EQ(records[0].channels, 3);
    EXPECT_EQ(records[0].emptyCount(), 2);
    EXPECT_EQ(records[1].path, c);
}

TEST_F(BatchScan, HandsThresholdAndChannelMinimumThroughWithoutACallback) {
    dir_.write("mono.wav", oneActiveChannel(1));
    ASSERT_EQ(scan(1, 0.03).size(), 1u);
    EXPECT_FALSE(scan(1, 0.03)[0].tracks[0].empty);
    EXPECT_TRUE(scan(1, 0.031)[0].tracks[0].empty);
    EXPECT_TRUE(scan(2).empty());
}

// The reader takes any depth for float data; only the analysis knows it cannot decode it.
TEST_F(BatchScan, KeepsAFileThatPassesDiscoveryButFailsTheAnalysis) {
    const testing::Format float24{.formatTag = 3, .channels = 2, .bitsPerSample = 24};
    dir_.write("float24.wav", WavBuilder().fmt(float24).data(testing::constantFrames(24, 2, 4, 0)).bytes());
    dir_.write("good.wav", oneActiveChannel(2));

    const std::vector<PolyWavInfo> records = scan(2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].path, dir_.path() / "float24.wav");
    EXPECT_EQ(records[0].error, "Unsupported bit depth");
    EXPECT_EQ(records[0].channels, 0);
    EXPECT_EQ(records[1].error, "");
}

TEST_F(BatchScan, NoFilesMeanNoCallsAndACallbackExceptionEndsTheScan) {
    const fs::path file = dir_.write("a.wav", oneActiveChannel(2));
    int calls = 0;
    const ScanProgress count = [&](int, int, const fs::path&) { ++calls; };
    EXPECT_TRUE(scanDirectory(dir_.path() / "missing", true, kThreshold, 2, count).empty());
    EXPECT_TRUE(scanDirectory(file, true, kThreshold, 2, count).empty());
    EXPECT_EQ(calls, 0);
    EXPECT_THROW(scanDirectory(dir_.path(), false, kThreshold, 2,
                               [](int, int, const fs::path&) { throw std::runtime_error("stop"); }),
                 std::runtime_error);
}

}  // namespace
}  // namespace tracksieve
