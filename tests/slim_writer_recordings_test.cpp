#include "tracksieve/slim_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "tracksieve/track_list_rewrite.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::parseChunks;
using testing::readFile;
using testing::RiffChunk;
using testing::TempDir;

const fs::path kData = TRACKSIEVE_TEST_DATA;

std::vector<std::string> ids(const std::vector<RiffChunk>& chunks) {
    std::vector<std::string> out;
    for (const auto& c : chunks) out.push_back(c.id);
    return out;
}

// Every sample of channel `channel` of interleaved frames of `stride` bytes.
std::string channelBytes(const std::string& samples, std::size_t stride, std::size_t channel, std::size_t width) {
    std::string out;
    for (std::size_t offset = channel * width; offset + width <= samples.size(); offset += stride) {
        out.append(samples, offset, width);
    }
    return out;
}

// Zoom H4n: `bext` first, `cue ` and `list` after the audio. Both channels hold only noise;
// a threshold between their peaks (0.000122 and 0.000153) keeps the second.
TEST(SlimWriterRecordings, ZoomH4nKeepsBextFirstAndItsCueChunksAfterTheAudio) {
    TempDir dir;
    const fs::path source = dir.path() / "STE-000.wav";
    fs::copy_file(kData / "STE-000.wav", source);
    const auto original = parseChunks(readFile(source));

    const auto slim = parseChunks(readFile(compressPolyWav(source, false, 0.00014)));
    ASSERT_THAT(ids(slim), ElementsAre("bext", "fmt ", "iXML", "data", "cue ", "list"));
    EXPECT_EQ(slim[0].body, original[0].body);
    EXPECT_EQ(slim[1].body, testing::fmtBody({.channels = 1}));
    EXPECT_EQ(slim[2].body, buildTrackListIxml({"Track 2"}));
    EXPECT_EQ(slim[3].body, channelBytes(original[2].body, 4, 1, 2));
    EXPECT_EQ(slim[4].body, original[3].body);
    EXPECT_EQ(slim[5].body, original[4].body);
}

// Nuendo 5.1: `JUNK`, `bext`, a 2-byte `Fake`, an extensible `fmt `, and iXML after the audio.
// The recording is digital silence, so four channels get a signal here and two stay silent.
TEST(SlimWriterRecordings, NuendoSurroundKeepsEveryChunkAndRewritesTheTrailingIxml) {
    TempDir dir;
    std::string bytes = readFile(kData / "wavinfo Test Project - Audio - 5.1.wav");
    const std::size_t dataBody = bytes.find("data") + 8;
    constexpr std::size_t kStride = 18;
    for (std::size_t channel : {0u, 1u, 2u, 4u}) bytes[dataBody + kStride * 100 + channel * 3 + 2] = '\x40';
    const fs::path source = dir.write("surround.wav", bytes);
    const auto original = parseChunks(bytes);

    const auto slim = parseChunks(readFile(compressPolyWav(source, true, 0.001)));
    ASSERT_THAT(ids(slim), ElementsAre("fmt ", "JUNK", "bext", "Fake", "data", "iXML"));
    EXPECT_EQ(slim[0].size, 40u);
    EXPECT_EQ(slim[1].body, original[0].body);
    EXPECT_EQ(slim[2].body, original[1].body);
    EXPECT_EQ(slim[3].body, original[2].body);
    std::string expectedSamples;
    for (std::size_t offset = 0; offset < original[4].body.size(); offset += kStride) {
        for (std::size_t channel : {0u, 1u, 2u, 4u}) expectedSamples.append(original[4].body, offset + channel * 3, 3);
    }
    EXPECT_EQ(slim[4].body, expectedSamples);
    EXPECT_THAT(slim[5].body, HasSubstr("<TRACK_COUNT>4</TRACK_COUNT>"));
    EXPECT_GE(slim[5].body.size(), original[5].body.size());
}

}  // namespace
}  // namespace tracksieve
