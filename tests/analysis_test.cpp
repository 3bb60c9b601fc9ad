#include "tracksieve/analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <tuple>

#include "wav_builder.h"

namespace tracksieve {
namespace {

using testing::constantFrames;
using testing::pcmFrames;
using testing::WavBuilder;

class Analysis : public ::testing::Test {
protected:
    PolyWavInfo analyze(const std::string& bytes, double threshold = 0.001) {
        return analyzePolyWav(dir_.write("take.wav", bytes), threshold);
    }

    testing::TempDir dir_;
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

TEST_F(Analysis, EmptyMeansAPeakBelowTheThreshold) {
    PolyWavInfo info = analyze(wav16({{16384, 16383}}), 0.5);
    EXPECT_FALSE(info.tracks[0].empty);
    EXPECT_TRUE(info.tracks[1].empty);
    info = analyze(wav16({{32, 33}, {-32, -33}}));  // -60 dB on 16 bits
    EXPECT_TRUE(info.tracks[0].empty);
    EXPECT_FALSE(info.tracks[1].empty);
}

TEST_F(Analysis, FullScaleValuesOfEachDepth) {
    // 32-bit samples are rounded to single precision first, so the largest one reads as 1.0.
    const std::tuple<std::uint16_t, std::int32_t, double> depths[] = {
        {16, 32767, 32767.0 / 32768}, {24, 8388607, 8388607.0 / 8388608}, {32, 2147483647, 1.0}};
    for (const auto& [bits, max, maxPeak] : depths) {
        const auto samples = pcmFrames(bits, {{-max - 1, max}});
        const PolyWavInfo info = analyze(WavBuilder().fmt({.bitsPerSample = bits}).data(samples).bytes());
        EXPECT_EQ(info.tracks[0].peak, 1.0) << bits;
        EXPECT_EQ(info.tracks[1].peak, maxPeak) << bits;
    }
}

TEST_F(Analysis, FloatSamplesAreNotClampedAndNanNeverRaisesAPeak) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const auto bytes = WavBuilder()
                           .fmt({.formatTag = 3, .bitsPerSample = 32})
                           .data(testing::floatFrames({{1.5f, nan}, {-0.25f, 0.0005f}}))
                           .bytes();
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

// Wide frames are read in pieces smaller than a block (here 32768 frames of 128 bytes), but the
// early stop still waits for the whole block of 48000 frames.
TEST_F(Analysis, StopsAfterAWholeBlockEvenWhenItIsReadInPieces) {
    std::string samples = constantFrames(32, 32, 40000, 3'000'000);
    samples += constantFrames(32, 32, 8000, 4'000'000);
    samples += constantFrames(32, 32, 48000, 5'000'000);
    const PolyWavInfo info = analyze(WavBuilder().fmt({.channels = 32, .bitsPerSample = 32}).data(samples).bytes());
    EXPECT_EQ(info.tracks[31].peak, 4'000'000 * 0x1p-31);
}

// A frame of 65534 bytes leaves 64 frames to a piece: every piece counts, to the last frame.
TEST_F(Analysis, ReadsEveryPieceOfWideFrames) {
    const std::string padding(65534 - 6, '\xFF');
    std::string samples;
    for (int f = 0; f < 129; ++f) samples += std::string(6, '\0') + padding;
    samples += std::string("\0\0\0\0\x40\0", 6) + padding;
    const PolyWavInfo info = analyze(WavBuilder().fmt({.channels = 3, .blockAlign = 65534}).data(samples).bytes());
    ASSERT_EQ(info.error, "");
    EXPECT_EQ(info.tracks[0].peak, 0.0) << "the padding is never decoded";
    EXPECT_EQ(info.tracks[2].peak, 64.0 / 32768);
    EXPECT_DOUBLE_EQ(info.tracks[2].rms, std::sqrt((64.0 / 32768) * (64.0 / 32768) / 130));
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

TEST_F(Analysis, DurationFollowsTheDeclaredSizeAndTheSampleRate) {
    PolyWavInfo info = analyze(WavBuilder()
                                   .fmt({.channels = 8, .bitsPerSample = 24})
                                   .data(constantFrames(24, 8, 480'000, 0x100000))
                                   .chunk("LIST", "tail")
                                   .bytes());
    EXPECT_DOUBLE_EQ(info.durationSeconds, 10.0);
    EXPECT_EQ(info.tracks[7].peak, 0.125);

    // Frames of a size that stays inside the file count even where a later chunk holds them.
    info = analyze(WavBuilder()
                       .fmt({})
                       .chunkDeclaring("data", constantFrames(16, 2, 2, 200), 4800 * 4)
                       .chunk("iXML", std::string(4800 * 4, ' '))
                       .bytes());
    EXPECT_DOUBLE_EQ(info.durationSeconds, 0.1);

    info = analyze(WavBuilder().fmt({.sampleRate = 0}).data(constantFrames(16, 2, 4, 200)).bytes());
    EXPECT_EQ(info.durationSeconds, 0.0);
    EXPECT_FALSE(info.tracks[0].empty);

    info = analyze(WavBuilder().fmt({}).data("\x10\x10").bytes());  // shorter than one frame
    ASSERT_EQ(info.error, "");
    EXPECT_EQ(info.durationSeconds, 0.0);
    for (const TrackInfo& t : info.tracks) EXPECT_TRUE(t.peak == 0.0 && t.rms == 0.0 && t.empty) << t.index;
}

// A recorder that lost power leaves a size of 0xFFFFFFFF or one past the end of the file: only
// the whole frames present count, as in the slim copy.
TEST_F(Analysis, ADataSizePastTheEndOfTheFileCountsTheFramesPresent) {
    const std::string frames = constantFrames(16, 2, 4800, 200);
    const std::pair<std::string, std::uint32_t> cases[] = {{frames, 0xFFFFFFFF},
                                                           {frames, 4801 * 4},
                                                           {frames + "\x01\x02\x03", 0xFFFFFFFF},
                                                           {frames + "\x01", 4801 * 4 + 1}};
    for (const auto& [samples, declared] : cases) {
        const PolyWavInfo info = analyze(WavBuilder().fmt({}).chunkDeclaring("data", samples, declared).bytes());
        ASSERT_EQ(info.error, "") << declared;
        EXPECT_DOUBLE_EQ(info.durationSeconds, 0.1) << declared;
        EXPECT_TRUE(info.summary().ends_with("48000 Hz  0.1s")) << info.summary();
    }
}

// Neither a partial frame at a truncated end nor the padding of a frame is decoded: both hold
// full-scale garbage here.
TEST_F(Analysis, OnlyTheSamplesOfWholeFramesAreDecoded) {
    std::vector<std::vector<std::int32_t>> frames(9, {0, 0});
    frames[8] = {0, 64};
    const std::string partialFrame("\xFF\x7F\xFF", 3);
    const std::string samples = pcmFrames(16, frames) + partialFrame;
    PolyWavInfo info = analyze(WavBuilder().fmt({}).chunkDeclaring("data", samples, 40).bytes());
    ASSERT_EQ(info.error, "");
    EXPECT_EQ(info.tracks[0].peak, 0.0);
    EXPECT_EQ(info.tracks[1].peak, 64.0 / 32768);
    EXPECT_DOUBLE_EQ(info.tracks[1].rms, std::sqrt((64.0 / 32768) * (64.0 / 32768) / 9));

    // Three bytes of padding do not split between two channels, so they end the frame.
    const std::string paddedFrame("\x00\x01\x00\x00\xFF\x7F\xFF", 7);
    info = analyze(WavBuilder().fmt({.blockAlign = 7}).data(paddedFrame + paddedFrame).bytes());
    ASSERT_EQ(info.error, "");
    EXPECT_EQ(info.tracks[0].peak, 256.0 / 32768);
    EXPECT_EQ(info.tracks[1].peak, 0.0);
}

// Float of 16 or 24 bits, a frame smaller than its samples, and a frame of equal containers
// wider than the samples (nothing says where in them each sample sits) fail like a file that
// does not open.
TEST_F(Analysis, FailuresComeBackAsARecordWithoutTracks) {
    const std::string samples(60, '\x7F');
    const std::pair<std::string, const char*> cases[] = {
        {"not a wav file at all", "Not a RIFF/WAVE file"},
        {WavBuilder().fmt({.formatTag = 3, .bitsPerSample = 16}).data(samples).bytes(), "Unsupported bit depth"},
        {WavBuilder().fmt({.formatTag = 3, .bitsPerSample = 24}).data(samples).bytes(), "Unsupported bit depth"},
        {WavBuilder().fmt({.channels = 4, .bitsPerSample = 24, .blockAlign = 6}).data(samples).bytes(),
         "Invalid format"},
        {WavBuilder()
             .fmt({.channels = 2, .bitsPerSample = 24, .blockAlign = 8})
             .data(std::string("\x0c\x5a\x00\x00\x0c\x5a\x00\x00", 8))
             .bytes(),
         "Invalid format"},
        {WavBuilder().fmt({.channels = 2, .bitsPerSample = 16, .blockAlign = 6}).data(samples).bytes(),
         "Invalid format"},
        {WavBuilder().fmt({.channels = 1, .bitsPerSample = 16, .blockAlign = 4}).data(samples).bytes(),
         "Invalid format"},
    };
    for (const auto& [bytes, error] : cases) {
        const PolyWavInfo info = analyze(bytes);
        EXPECT_EQ(info.error, error);
        EXPECT_EQ(info.path, dir_.path() / "take.wav");
        EXPECT_EQ(info.channels, 0) << error;
        EXPECT_TRUE(info.tracks.empty()) << error;
    }
}

// Fuzz targets and tests read from memory: the record must not depend on where the bytes are.
TEST_F(Analysis, BytesInMemoryGiveTheRecordOfTheFile) {
    const std::string ixml = "<BWFXML><TRACK_LIST><TRACK><NAME>Boom</NAME></TRACK></TRACK_LIST></BWFXML>";
    const std::string cases[] = {
        wav16({{1000, 0, -2000}, {0, 0, 0}}),
        WavBuilder().fmt({}).chunk("iXML", ixml).chunkDeclaring("data", constantFrames(16, 2, 9, 7), 400).bytes(),
        WavBuilder().chunk("bext", testing::bextBody(48000 * 3600)).fmt({}).data(constantFrames(16, 2, 3, 9)).bytes(),
        WavBuilder().fmt({.bitsPerSample = 8, .blockAlign = 2}).data("abcd").bytes(),
        testing::readFile(std::filesystem::path(TRACKSIEVE_TEST_DATA) / "STE-000.wav"),
        "RIFF",
    };
    for (const std::string& bytes : cases) {
        const PolyWavInfo fromFile = analyze(bytes);
        std::istringstream memory(bytes);
        const PolyWavInfo fromMemory = analyzePolyWav(memory, "take.wav", 0.001);
        EXPECT_EQ(fromMemory.path, "take.wav");
        EXPECT_EQ(fromMemory.error, fromFile.error);
        EXPECT_EQ(fromMemory.summary(), fromFile.summary());
        ASSERT_EQ(fromMemory.tracks.size(), fromFile.tracks.size());
        for (std::size_t i = 0; i < fromFile.tracks.size(); ++i) {
            EXPECT_EQ(fromMemory.tracks[i].name, fromFile.tracks[i].name);
            EXPECT_EQ(fromMemory.tracks[i].peak, fromFile.tracks[i].peak);
            EXPECT_EQ(fromMemory.tracks[i].rms, fromFile.tracks[i].rms);
        }
    }
}

}  // namespace
}  // namespace tracksieve
