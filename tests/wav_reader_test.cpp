#include "wav_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "wav_builder.h"

namespace tracksieve {
namespace {

using testing::bextBody;
using testing::fmtBody;
using testing::WavBuilder;

class WavReader : public ::testing::Test {
protected:
    // Opens `bytes` as a file in a fresh record and returns the error ("" on success).
    std::string open(const std::string& bytes) {
        wav.emplace();
        return openWav(dir_.write("f.wav", bytes), *wav) ? "" : wav->error;
    }

    testing::TempDir dir_;
    std::optional<WavFile> wav;
};

const char* const kUnsupportedFormat = "Unsupported WAV format (need PCM or IEEE float)";

std::string stereo16(std::size_t frames = 4) { return testing::constantFrames(16, 2, frames, 100); }
std::string withFmt(const testing::Format& format) { return WavBuilder().fmt(format).data(stereo16()).bytes(); }

TEST_F(WavReader, ReadsPlainPcmFormatAndDataPosition) {
    ASSERT_EQ(open(withFmt({})), "");
    EXPECT_EQ(wav->fmt.formatTag, 1);
    EXPECT_EQ(wav->fmt.channels, 2);
    EXPECT_EQ(wav->fmt.sampleRate, 48000u);
    EXPECT_EQ(wav->fmt.byteRate, 192000u);
    EXPECT_EQ(wav->fmt.blockAlign, 4);
    EXPECT_EQ(wav->fmt.bitsPerSample, 16);
    EXPECT_EQ(wav->fmt.sampleFormat, 1);
    EXPECT_EQ(wav->dataOffset, 12 + 24 + 8);
    EXPECT_EQ(wav->dataSize, 16u);
    EXPECT_FALSE(wav->hasTimeReference);
    EXPECT_EQ(wav->timecodeRate, 24.0);
}

// Checks run in this order: signature, chunks present, fmt size, format, bit depth, the rest.
TEST_F(WavReader, ReportsEachFaultWithItsMessage) {
    const std::pair<std::string, const char*> cases[] = {
        {std::string("RIFF\x04\0\0\0WAV", 11), "Not a RIFF/WAVE file"},
        {WavBuilder().signature("RIFX", "WAVE").fmt({}).data(stereo16()).bytes(), "Not a RIFF/WAVE file"},
        {WavBuilder().signature("RF64", "WAVE").fmt({}).data(stereo16()).bytes(), "Invalid ds64 chunk"},
        {WavBuilder().signature("RIFF", "AVI ").fmt({}).data(stereo16()).bytes(), "Not a RIFF/WAVE file"},
        {WavBuilder().bytes(), "Missing fmt or data chunk"},
        {WavBuilder().fmt({}).bytes(), "Missing fmt or data chunk"},
        {WavBuilder().data(stereo16()).bytes(), "Missing fmt or data chunk"},
        {WavBuilder().chunkDeclaring("data", stereo16(), 1'000'000).fmt({}).bytes(), "Missing fmt or data chunk"},
        {WavBuilder().chunk("fmt ", fmtBody({}).substr(0, 14)).data(stereo16()).bytes(), "Invalid fmt chunk"},
        {WavBuilder().chunkDeclaring("fmt ", fmtBody({}), 0xFFFFFFF0u).bytes(), "Invalid fmt chunk"},
        {withFmt({.formatTag = 2, .bitsPerSample = 4, .blockAlign = 1}), kUnsupportedFormat},
        {withFmt({.bitsPerSample = 8, .blockAlign = 4}), "Unsupported bit depth"},
        {withFmt({.bitsPerSample = 20, .blockAlign = 4}), "Unsupported bit depth"},
        {withFmt({.bitsPerSample = 64, .blockAlign = 4}), "Unsupported bit depth"},
        {withFmt({.channels = 0}), "Invalid format"},
        {withFmt({.blockAlign = 0}), "Invalid format"},
        {withFmt({.bitsPerSample = 0, .blockAlign = 4}), "Invalid format"},
        // Odd combinations are left to the analysis.
        {withFmt({.formatTag = 3, .bitsPerSample = 24}), ""},
        {withFmt({.sampleRate = 0}), ""},
        {WavBuilder().chunk("fmt ", fmtBody({}) + std::string(2, '\0')).data(stereo16()).bytes(), ""},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(open(cases[i].first), cases[i].second) << "case " << i;

    const std::string extensibleTagOnly = fmtBody({.formatTag = 0xFFFE}) + std::string(2, '\0');
    EXPECT_EQ(open(WavBuilder().chunk("fmt ", extensibleTagOnly).data(stereo16()).bytes()), kUnsupportedFormat);
    EXPECT_EQ(wav->fmt.sampleFormat, 0xFFFE);  // an extensible tag without the body to go with it
}

TEST_F(WavReader, ARecordIsUsedForOneFileThatCanBeOpened) {
    WavFile record;
    EXPECT_FALSE(openWav(dir_.path() / "missing.wav", record));
    EXPECT_EQ(record.error, "Could not open file");

    const auto path = dir_.write("a.wav", withFmt({}));
    WavFile used;
    ASSERT_TRUE(openWav(path, used));
    EXPECT_FALSE(openWav(path, used));
    EXPECT_EQ(used.error, "Could not open file");

    std::istringstream memory(withFmt({}));
    WavFile fromMemory;
    ASSERT_TRUE(openWav(memory, fromMemory));
    EXPECT_EQ(fromMemory.dataOffset, 12 + 24 + 8);
    EXPECT_FALSE(openWav(path, fromMemory));
    EXPECT_FALSE(openWav(memory, fromMemory));
    EXPECT_EQ(fromMemory.error, "Could not open file");
}

TEST_F(WavReader, ExtensibleFormatTakesTheSubFormat) {
    ASSERT_EQ(open(WavBuilder()
                       .fmt({.channels = 6, .bitsPerSample = 24, .extensible = true, .channelMask = 0x3F})
                       .data(testing::constantFrames(24, 6, 2, 1))
                       .bytes()),
              "");
    EXPECT_EQ(wav->fmt.formatTag, 0xFFFE);
    EXPECT_EQ(wav->fmt.sampleFormat, 1);
    EXPECT_EQ(wav->fmt.channelMask, 0x3Fu);

    ASSERT_EQ(open(withFmt({.channels = 3, .bitsPerSample = 32, .extensible = true, .subFormat = 3})), "");
    EXPECT_EQ(wav->fmt.sampleFormat, 3);
}

TEST_F(WavReader, ChunkWalkFindsTheDataAndKeepsItsDeclaredSize) {
    const std::string whole = WavBuilder().fmt({}).data(stereo16(1000)).bytes();
    struct Case {
        std::string what;
        std::string bytes;
        std::int64_t offset;
        std::uint64_t size;
    };
    const Case cases[] = {
        {"data before fmt", WavBuilder().data(stereo16()).fmt({}).bytes(), 20, 16},
        {"odd chunk and its pad byte", WavBuilder().chunk("abcd", "xyz").fmt({}).data(stereo16()).bytes(), 56, 16},
        {"overlong data", WavBuilder().fmt({}).chunkDeclaring("data", stereo16(), 999999).bytes(), 44, 999999},
        {"odd data without pad byte", WavBuilder().fmt({}).chunkDeclaring("data", "\1\1\1\1\1", 5).bytes(), 44, 5},
        {"truncated recording", whole.substr(0, 12 + 24 + 8 + 101), 44, 4000},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(open(c.bytes), "") << c.what;
        EXPECT_EQ(wav->dataOffset, c.offset) << c.what;
        EXPECT_EQ(wav->dataSize, c.size) << c.what;
    }
    ASSERT_EQ(open(WavBuilder().fmt({.channels = 4}).data(stereo16()).fmt({.channels = 2}).bytes()), "");
    EXPECT_EQ(wav->fmt.channels, 2) << "a later fmt replaces an earlier one";
}

TEST_F(WavReader, LastXmlChunkIsKeptEvenWhenCutShort) {
    const std::pair<std::string, std::string> cases[] = {
        {WavBuilder().fmt({}).data(stereo16()).chunk("iXML", "<BWFXML/>").bytes(), "<BWFXML/>"},
        {WavBuilder().chunk("iXML", "first").fmt({}).data(stereo16()).chunk("axml", "second").bytes(), "second"},
        {WavBuilder().chunk("AXML", "first").fmt({}).chunk("IXML", std::string("x\0\0", 3)).data(stereo16()).bytes(),
         std::string("x\0\0", 3)},
        {WavBuilder().fmt({}).data(stereo16()).chunkDeclaring("iXML", "<BWFXML>", 0xFFFFFF00u).bytes(), "<BWFXML>"},
    };
    for (const auto& [bytes, ixml] : cases) {
        ASSERT_EQ(open(bytes), "");
        EXPECT_EQ(wav->ixmlText, ixml);
    }
}

TEST_F(WavReader, BextGivesTheTimeReferenceWhenItHasRoomForIt) {
    const std::pair<std::string, std::optional<std::uint64_t>> cases[] = {
        {WavBuilder().chunk("bext", bextBody(172800000, 345)).fmt({}).data(stereo16()).bytes(), std::nullopt},
        {WavBuilder().chunk("bext", bextBody(172800000, 346)).fmt({}).data(stereo16()).bytes(), 172800000},
        {WavBuilder().chunk("bext", bextBody(0x1'2345'6789ull)).fmt({}).data(stereo16()).bytes(), 0x1'2345'6789ull},
        // Cut short, it still gives its time reference and ends the walk.
        {WavBuilder().fmt({}).data(stereo16()).chunkDeclaring("bext", bextBody(99, 400), 0xFFFFFFF0u).bytes(), 99},
    };
    for (const auto& [bytes, timeReference] : cases) {
        ASSERT_EQ(open(bytes), "");
        EXPECT_EQ(wav->hasTimeReference, timeReference.has_value());
        EXPECT_EQ(wav->timeReference, timeReference.value_or(0));
    }
}

}  // namespace
}  // namespace tracksieve
