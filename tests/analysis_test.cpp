#include "tracksieve/analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "wav_builder.h"

namespace tracksieve {
namespace {

using testing::constantFrames;
using testing::Format;
using testing::pcmFrames;
using testing::TempDir;
using testing::WavBuilder;

constexpr double kThreshold = 0.001;

class Analysis : public ::testing::Test {
protected:
    PolyWavInfo analyze(const std::string& bytes, double threshold = kThreshold) {
        return analyzePolyWav(dir_.write("take.wav", bytes), threshold);
    }

    TempDir dir_;
};

// One frame per row; each row holds one sample per channel.
std::string wav16(const std::vector<std::vector<std::int32_t>>& frames) {
    const auto channels = static_cast<std::uint16_t>(frames.front().size());
    return WavBuilder().fmt({.channels = channels}).data(pcmFrames(16, frames)).bytes();
}

TEST_F(Analysis, FillsFormatFieldsAndDefaultNames) {
    const PolyWavInfo info = analyze(wav16({{1000, 0, -2000}, {0, 0, 0}}));
    ASSERT_EQ(info.error, "");
    EXPECT_EQ(info.channels, 3);
    EXPECT_EQ(info.sampleRate, 48000);
    EXPECT_EQ(info.bitsPerSample, 16);
    EXPECT_FALSE(info.isFloat);
    EXPECT_TRUE(info.timecode.empty());
    ASSERT_EQ(info.tracks.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(info.tracks[i].index, i);
        EXPECT_EQ(info.tracks[i].name, "Track " + std::to_string(i + 1));
    }
    EXPECT_EQ(info.tracks[0].peak, 1000.0 / 32768);
    EXPECT_EQ(info.tracks[2].peak, 2000.0 / 32768);
    EXPECT_DOUBLE_EQ(info.tracks[0].rms, std::sqrt((1000.0 / 32768) * (1000.0 / 32768) / 2));
    EXPECT_FALSE(info.tracks[0].empty);
    EXPECT_TRUE(info.tracks[1].empty);
    EXPECT_EQ(info.tracks[1].peak, 0.0);
}

TEST_F(Analysis, PeakEqualToTheThresholdIsNotEmpty) {
    const PolyWavInfo info = analyze(wav16({{16384, 16383}}), 0.5);
    EXPECT_FALSE(info.tracks[0].empty);
    EXPECT_TRUE(info.tracks[1].empty);
}

TEST_F(Analysis, SixtyDecibelThresholdOnSixteenBits) {
    const PolyWavInfo info = analyze(wav16({{32, 33}, {-32, -33}}));
    EXPECT_TRUE(info.tracks[0].empty);
    EXPECT_FALSE(info.tracks[1].empty);
}

TEST_F(Analysis, FullScaleValuesOfEachDepth) {
    EXPECT_EQ(analyze(wav16({{-32768, 32767}})).tracks[0].peak, 1.0);
    EXPECT_EQ(analyze(wav16({{-32768, 32767}})).tracks[1].peak, 32767.0 / 32768);

    const auto b24 = WavBuilder().fmt({.bitsPerSample = 24}).data(pcmFrames(24, {{-8388608, 8388607}})).bytes();
    EXPECT_EQ(analyze(b24).tracks[0].peak, 1.0);
    EXPECT_EQ(analyze(b24).tracks[1].peak, 8388607.0 / 8388608);

    const auto b32 = WavBuilder().fmt({.bitsPerSample = 32})
                         .data(pcmFrames(32, {{std::numeric_limits<std::int32_t>::min(), 2147483647}})).bytes();
    EXPECT_EQ(analyze(b32).tracks[0].peak, 1.0);
    EXPECT_EQ(analyze(b32).tracks[1].peak, 1.0);  // rounded to single precision first
}

TEST_F(Analysis, FloatSamplesAreNotClampedAndNanNeverRaisesAPeak) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const auto bytes = WavBuilder().fmt({.formatTag = 3, .bitsPerSample = 32})
                           .data(testing::floatFrames({{1.5f, nan}, {-0.25f, 0.0005f}})).bytes();
    const PolyWavInfo info = analyze(bytes);
    ASSERT_EQ(info.error, "");
    EXPECT_TRUE(info.isFloat);
    EXPECT_EQ(info.tracks[0].peak, 1.5);
    EXPECT_EQ(info.tracks[1].peak, 0.0005f);
    EXPECT_TRUE(info.tracks[1].empty);
    EXPECT_TRUE(std::isnan(info.tracks[1].rms));
}

TEST_F(Analysis, StopsAfterTheFirstBlockWhenEveryChannelIsLoud) {
    std::string samples = constantFrames(16, 2, 48000, 1000);
    samples += constantFrames(16, 2, 48000, 30000);
    const PolyWavInfo info = analyze(WavBuilder().fmt({}).data(samples).bytes());
    EXPECT_EQ(info.tracks[0].peak, 1000.0 / 32768);
    EXPECT_DOUBLE_EQ(info.tracks[1].rms, 1000.0 / 32768);
    EXPECT_DOUBLE_EQ(info.durationSeconds, 2.0);
}

TEST_F(Analysis, ReadsToTheEndWhenAChannelStaysSilent) {
    std::string samples = pcmFrames(16, std::vector<std::vector<std::int32_t>>(48000, {1000, 0}));
    samples += pcmFrames(16, std::vector<std::vector<std::int32_t>>(48000, {30000, 0}));
    samples += pcmFrames(16, {{0, 40}});
    const PolyWavInfo info = analyze(WavBuilder().fmt({}).data(samples).bytes());
    EXPECT_EQ(info.tracks[0].peak, 30000.0 / 32768);
    EXPECT_EQ(info.tracks[1].peak, 40.0 / 32768);
    EXPECT_FALSE(info.tracks[1].empty);
    const double a = 1000.0 / 32768, b = 30000.0 / 32768;
    EXPECT_DOUBLE_EQ(info.tracks[0].rms, std::sqrt((48000 * a * a + 48000 * b * b) / 96001));
}

TEST_F(Analysis, ThresholdOfZeroOrNanMarksNothingEmpty) {
    const std::string samples = constantFrames(16, 2, 48001, 0) + pcmFrames(16, {{5, 5}});
    const std::string bytes = WavBuilder().fmt({}).data(samples).bytes();
    for (double threshold : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        const PolyWavInfo info = analyze(bytes, threshold);
        EXPECT_FALSE(info.tracks[0].empty) << threshold;
        EXPECT_EQ(info.tracks[0].peak, 0.0) << "stopped after the first block";
    }
}

TEST_F(Analysis, DataShorterThanOneFrame) {
    const PolyWavInfo info = analyze(WavBuilder().fmt({}).data("\x10\x10").bytes());
    ASSERT_EQ(info.error, "");
    EXPECT_EQ(info.durationSeconds, 0.0);
    for (const TrackInfo& t : info.tracks) {
        EXPECT_EQ(t.peak, 0.0);
        EXPECT_EQ(t.rms, 0.0);
        EXPECT_TRUE(t.empty);
    }
}

TEST_F(Analysis, DurationFollowsTheDeclaredSize) {
    const auto bytes = WavBuilder().fmt({.channels = 8, .bitsPerSample = 24})
                           .chunkDeclaring("data", constantFrames(24, 8, 10, 0x100000), 11'520'000).bytes();
    const PolyWavInfo info = analyze(bytes);
    ASSERT_EQ(info.error, "");
    EXPECT_DOUBLE_EQ(info.durationSeconds, 10.0);
    EXPECT_EQ(info.tracks[7].peak, 0.125);
}

TEST_F(Analysis, TruncatedDataScansTheWholeFramesThatArePresent) {
    std::vector<std::vector<std::int32_t>> frames(9, {0, 0});
    frames[8] = {0, 64};
    const std::string partialFrame("\xFF\x7F\xFF", 3);  // never decoded
    const auto bytes = WavBuilder().fmt({}).chunkDeclaring("data", pcmFrames(16, frames) + partialFrame, 40).bytes();
    const PolyWavInfo info = analyze(bytes);
    ASSERT_EQ(info.error, "");
    EXPECT_EQ(info.tracks[0].peak, 0.0);
    EXPECT_EQ(info.tracks[1].peak, 64.0 / 32768);
    EXPECT_DOUBLE_EQ(info.tracks[1].rms, std::sqrt((64.0 / 32768) * (64.0 / 32768) / 9));
}

TEST_F(Analysis, SampleRateZeroGivesZeroDuration) {
    const PolyWavInfo info = analyze(WavBuilder().fmt({.sampleRate = 0}).data(constantFrames(16, 2, 4, 200)).bytes());
    ASSERT_EQ(info.error, "");
    EXPECT_EQ(info.durationSeconds, 0.0);
    EXPECT_FALSE(info.tracks[0].empty);
}

TEST_F(Analysis, FramePaddingIsNeverDecoded) {
    // Two 16-bit channels in an 8-byte frame; the padding holds full-scale garbage.
    const std::string frame("\x00\x01\x00\x00\xFF\x7F\xFF\x7F", 8);
    const PolyWavInfo info = analyze(WavBuilder().fmt({.blockAlign = 8}).data(frame + frame).bytes());
    ASSERT_EQ(info.error, "");
    EXPECT_EQ(info.tracks[0].peak, 256.0 / 32768);
    EXPECT_EQ(info.tracks[1].peak, 0.0);
}

TEST_F(Analysis, FailedOpenComesBackAsARecord) {
    const PolyWavInfo info = analyze("not a wav file at all");
    EXPECT_EQ(info.error, "Not a RIFF/WAVE file");
    EXPECT_EQ(info.path, dir_.path() / "take.wav");
    EXPECT_EQ(info.channels, 0);
    EXPECT_TRUE(info.tracks.empty());
}

TEST_F(Analysis, FloatOfSixteenOrTwentyFourBitsIsRejected) {
    for (std::uint16_t bits : {16, 24}) {
        const auto bytes = WavBuilder().fmt({.formatTag = 3, .bitsPerSample = bits}).data(std::string(12, '\x7F')).bytes();
        const PolyWavInfo info = analyze(bytes);
        EXPECT_EQ(info.error, "Unsupported bit depth") << bits;
        EXPECT_EQ(info.channels, 0);
        EXPECT_TRUE(info.tracks.empty());
    }
}

TEST_F(Analysis, FrameSmallerThanItsSamplesIsInvalid) {
    const PolyWavInfo info = analyze(WavBuilder().fmt({.channels = 4, .bitsPerSample = 24, .blockAlign = 6})
                                         .data(std::string(60, '\x7F')).bytes());
    EXPECT_EQ(info.error, "Invalid format");
    EXPECT_TRUE(info.tracks.empty());
}

TEST_F(Analysis, ThirtyTwoBitIntegerIsSupported) {
    const auto bytes = WavBuilder().fmt({.channels = 2, .bitsPerSample = 32}).data(pcmFrames(32, {{1 << 24, 0}})).bytes();
    const PolyWavInfo info = analyze(bytes);
    ASSERT_EQ(info.error, "");
    EXPECT_EQ(info.tracks[0].peak, 1.0 / 128);
}

}  // namespace
}  // namespace tracksieve
