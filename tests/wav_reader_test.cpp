#include "wav_reader.h"

#include <gtest/gtest.h>

#include "wav_builder.h"

namespace tracksieve {
namespace {

using testing::Format;
using testing::TempDir;
using testing::WavBuilder;

class WavReader : public ::testing::Test {
protected:
    // Opens `bytes` as a file and returns the error ("" on success); `wav` keeps the result.
    std::string open(const std::string& bytes) {
        return openWav(dir_.write("f.wav", bytes), wav) ? "" : wav.error;
    }

    TempDir dir_;
    WavFile wav;
};

std::string stereo16(std::size_t frames = 4) { return testing::constantFrames(16, 2, frames, 100); }

TEST_F(WavReader, ReadsPlainPcmFormatAndDataPosition) {
    ASSERT_EQ(open(WavBuilder().fmt({}).data(stereo16()).bytes()), "");
    EXPECT_EQ(wav.formatTag, 1);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.sampleRate, 48000u);
    EXPECT_EQ(wav.byteRate, 192000u);
    EXPECT_EQ(wav.blockAlign, 4);
    EXPECT_EQ(wav.bitsPerSample, 16);
    EXPECT_EQ(wav.sampleFormat, 1);
    EXPECT_EQ(wav.dataOffset, 12 + 24 + 8);
    EXPECT_EQ(wav.dataSize, 16u);
    EXPECT_FALSE(wav.hasTimeReference);
    EXPECT_EQ(wav.timecodeRate, 24.0);
}

TEST_F(WavReader, RejectsWhatIsNotRiffWave) {
    EXPECT_EQ(open("RIFF\x04\0\0\0WAV"), "Not a RIFF/WAVE file");
    wav.stream.close();
    EXPECT_EQ(open(WavBuilder().signature("RIFX", "WAVE").fmt({}).data(stereo16()).bytes()), "Not a RIFF/WAVE file");
    wav.stream.close();
    EXPECT_EQ(open(WavBuilder().signature("RF64", "WAVE").fmt({}).data(stereo16()).bytes()), "Not a RIFF/WAVE file");
    wav.stream.close();
    EXPECT_EQ(open(WavBuilder().signature("RIFF", "AVI ").fmt({}).data(stereo16()).bytes()), "Not a RIFF/WAVE file");
}

TEST_F(WavReader, ReportsAFileThatCannotBeOpened) {
    EXPECT_FALSE(openWav(dir_.path() / "missing.wav", wav));
    EXPECT_EQ(wav.error, "Could not open file");
}

TEST_F(WavReader, ARecordIsUsedForOneFileOnly) {
    const auto path = dir_.write("a.wav", WavBuilder().fmt({}).data(stereo16()).bytes());
    ASSERT_TRUE(openWav(path, wav));
    EXPECT_FALSE(openWav(path, wav));
    EXPECT_EQ(wav.error, "Could not open file");
}

TEST_F(WavReader, ReportsMissingChunks) {
    EXPECT_EQ(open(WavBuilder().bytes()), "Missing fmt or data chunk");
    wav.stream.close();
    EXPECT_EQ(open(WavBuilder().fmt({}).bytes()), "Missing fmt or data chunk");
    wav.stream.close();
    EXPECT_EQ(open(WavBuilder().data(stereo16()).bytes()), "Missing fmt or data chunk");
}

TEST_F(WavReader, FmtBodyMustHoldSixteenBytes) {
    const std::string body = testing::fmtBody({});
    EXPECT_EQ(open(WavBuilder().chunk("fmt ", body.substr(0, 14)).data(stereo16()).bytes()), "Invalid fmt chunk");
    wav.stream.close();
    EXPECT_EQ(open(WavBuilder().chunk("fmt ", body + std::string(2, '\0')).data(stereo16()).bytes()), "");
}

TEST_F(WavReader, FmtCutShortIsInvalidEvenWhenItClaimsGigabytes) {
    const std::string body = testing::fmtBody({});
    EXPECT_EQ(open(WavBuilder().chunkDeclaring("fmt ", body, 0xFFFFFFF0u).bytes()), "Invalid fmt chunk");
}

TEST_F(WavReader, ExtensibleFormatTakesTheSubFormat) {
    ASSERT_EQ(open(WavBuilder().fmt({.channels = 6, .bitsPerSample = 24, .extensible = true, .channelMask = 0x3F})
                       .data(testing::constantFrames(24, 6, 2, 1)).bytes()),
              "");
    EXPECT_EQ(wav.formatTag, 0xFFFE);
    EXPECT_EQ(wav.sampleFormat, 1);
    EXPECT_EQ(wav.channelMask, 0x3Fu);
    wav.stream.close();

    Format floatFormat{.channels = 3, .bitsPerSample = 32, .extensible = true, .subFormat = 3};
    ASSERT_EQ(open(WavBuilder().fmt(floatFormat).data(std::string(24, '\0')).bytes()), "");
    EXPECT_EQ(wav.sampleFormat, 3);
}

TEST_F(WavReader, ExtensibleTagWithShortBodyIsUnsupported) {
    std::string body = testing::fmtBody({.formatTag = 0xFFFE});
    body += std::string(2, '\0');
    EXPECT_EQ(open(WavBuilder().chunk("fmt ", body).data(stereo16()).bytes()),
              "Unsupported WAV format (need PCM or IEEE float)");
    EXPECT_EQ(wav.sampleFormat, 0xFFFE);
}

TEST_F(WavReader, ChecksFormatBeforeDepth) {
    EXPECT_EQ(open(WavBuilder().fmt({.formatTag = 2, .bitsPerSample = 4, .blockAlign = 1}).data(stereo16()).bytes()),
              "Unsupported WAV format (need PCM or IEEE float)");
    for (std::uint16_t bits : {8, 20, 64}) {
        wav.stream.close();
        EXPECT_EQ(open(WavBuilder().fmt({.bitsPerSample = bits, .blockAlign = 4}).data(stereo16()).bytes()),
                  "Unsupported bit depth")
            << bits;
    }
}

TEST_F(WavReader, ZeroChannelsBitsOrAlignmentIsInvalid) {
    EXPECT_EQ(open(WavBuilder().fmt({.channels = 0}).data(stereo16()).bytes()), "Invalid format");
    wav.stream.close();
    EXPECT_EQ(open(WavBuilder().fmt({.blockAlign = 0}).data(stereo16()).bytes()), "Invalid format");
    wav.stream.close();
    EXPECT_EQ(open(WavBuilder().fmt({.bitsPerSample = 0, .blockAlign = 4}).data(stereo16()).bytes()), "Invalid format");
}

TEST_F(WavReader, LeavesOddCombinationsToTheAnalysis) {
    EXPECT_EQ(open(WavBuilder().fmt({.formatTag = 3, .bitsPerSample = 24}).data(stereo16()).bytes()), "");
    wav.stream.close();
    EXPECT_EQ(open(WavBuilder().fmt({.sampleRate = 0}).data(stereo16()).bytes()), "");
}

TEST_F(WavReader, DataBeforeFmtOpensNormally) {
    ASSERT_EQ(open(WavBuilder().data(stereo16()).fmt({}).bytes()), "");
    EXPECT_EQ(wav.dataOffset, 20);
}

TEST_F(WavReader, OverlongDataAfterFmtKeepsItsDeclaredSize) {
    ASSERT_EQ(open(WavBuilder().fmt({}).chunkDeclaring("data", stereo16(), 1'000'000).bytes()), "");
    EXPECT_EQ(wav.dataSize, 1'000'000u);
}

TEST_F(WavReader, OverlongDataBeforeFmtHidesIt) {
    EXPECT_EQ(open(WavBuilder().chunkDeclaring("data", stereo16(), 1'000'000).fmt({}).bytes()),
              "Missing fmt or data chunk");
}

TEST_F(WavReader, OddChunkIsFollowedByItsPadByte) {
    ASSERT_EQ(open(WavBuilder().chunk("abcd", "xyz").fmt({}).data(stereo16()).bytes()), "");
    EXPECT_EQ(wav.dataOffset, 12 + 12 + 24 + 8);
}

TEST_F(WavReader, OddDataAtTheEndOfTheFileWithoutPadByte) {
    ASSERT_EQ(open(WavBuilder().fmt({}).chunkDeclaring("data", std::string(5, '\1'), 5).bytes()), "");
    EXPECT_EQ(wav.dataSize, 5u);
}

TEST_F(WavReader, XmlChunkAfterDataIsRead) {
    ASSERT_EQ(open(WavBuilder().fmt({}).data(stereo16()).chunk("iXML", "<BWFXML/>").bytes()), "");
    EXPECT_EQ(wav.ixmlText, "<BWFXML/>");
}

TEST_F(WavReader, LastXmlChunkWins) {
    ASSERT_EQ(open(WavBuilder().chunk("iXML", "first").fmt({}).data(stereo16()).chunk("axml", "second").bytes()), "");
    EXPECT_EQ(wav.ixmlText, "second");
    wav.stream.close();
    ASSERT_EQ(open(WavBuilder().chunk("AXML", "first").fmt({}).chunk("IXML", std::string("x\0\0", 3)).data(stereo16()).bytes()), "");
    EXPECT_EQ(wav.ixmlText, std::string("x\0\0", 3));
}

TEST_F(WavReader, XmlChunkCutShortKeepsWhatWasThere) {
    ASSERT_EQ(open(WavBuilder().fmt({}).data(stereo16()).chunkDeclaring("iXML", "<BWFXML>", 0xFFFFFF00u).bytes()), "");
    EXPECT_EQ(wav.ixmlText, "<BWFXML>");
}

TEST_F(WavReader, BextNeedsRoomForTheTimeReference) {
    ASSERT_EQ(open(WavBuilder().chunk("bext", testing::bextBody(172800000, 345)).fmt({}).data(stereo16()).bytes()), "");
    EXPECT_FALSE(wav.hasTimeReference);
    wav.stream.close();

    ASSERT_EQ(open(WavBuilder().chunk("bext", testing::bextBody(172800000, 346)).fmt({}).data(stereo16()).bytes()), "");
    EXPECT_TRUE(wav.hasTimeReference);
    EXPECT_EQ(wav.timeReference, 172800000u);
    wav.stream.close();

    ASSERT_EQ(open(WavBuilder().chunk("bext", testing::bextBody(0x1'2345'6789ull)).fmt({}).data(stereo16()).bytes()), "");
    EXPECT_EQ(wav.timeReference, 0x1'2345'6789ull);
}

TEST_F(WavReader, BextCutShortEndsTheWalk) {
    const std::string bytes = WavBuilder().fmt({}).data(stereo16())
                                  .chunkDeclaring("bext", testing::bextBody(99, 400), 0xFFFFFFF0u).bytes();
    ASSERT_EQ(open(bytes), "");
    EXPECT_TRUE(wav.hasTimeReference);
    EXPECT_EQ(wav.timeReference, 99u);
}

TEST_F(WavReader, TruncatedRecordingStillOpens) {
    const std::string whole = WavBuilder().fmt({}).data(stereo16(1000)).bytes();
    ASSERT_EQ(open(whole.substr(0, 12 + 24 + 8 + 101)), "");
    EXPECT_EQ(wav.dataSize, 4000u);
}

TEST_F(WavReader, LaterFmtReplacesEarlier) {
    ASSERT_EQ(open(WavBuilder().fmt({.channels = 4}).data(stereo16()).fmt({.channels = 2}).bytes()), "");
    EXPECT_EQ(wav.channels, 2);
}

}  // namespace
}  // namespace tracksieve
