#include "tracksieve/slim_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "tracksieve/track_list_rewrite.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::bextBody;
using testing::floatFrames;
using testing::Format;
using testing::parseChunks;
using testing::pcmFrames;
using testing::readFile;
using testing::RiffChunk;
using testing::TempDir;
using testing::WavBuilder;

constexpr double kThreshold = 0.001;
constexpr std::int32_t kMax24 = 8388607;
constexpr std::int32_t kMin24 = -8388608;

using Frames = std::vector<std::vector<std::int32_t>>;

// Keeps the columns of `frames` listed in `columns`.
Frames columnsOf(const Frames& frames, const std::vector<std::size_t>& columns) {
    Frames out;
    for (const auto& frame : frames) {
        std::vector<std::int32_t> row;
        for (std::size_t c : columns) row.push_back(frame[c]);
        out.push_back(row);
    }
    return out;
}

std::vector<std::string> ids(const std::vector<RiffChunk>& chunks) {
    std::vector<std::string> out;
    for (const auto& c : chunks) out.push_back(c.id);
    return out;
}

const RiffChunk& chunkNamed(const std::vector<RiffChunk>& chunks, const std::string& id) {
    const auto it = std::find_if(chunks.begin(), chunks.end(), [&](const RiffChunk& c) { return c.id == id; });
    if (it == chunks.end()) throw std::logic_error("no chunk " + id);
    return *it;
}

std::uint32_t riffSizeField(const std::string& file) {
    std::uint32_t size = 0;
    for (int i = 0; i < 4; ++i) size |= static_cast<std::uint32_t>(static_cast<unsigned char>(file[4 + i])) << (8 * i);
    return size;
}

std::string messageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no exception)";
}

// Channel c of frame f: full-scale and odd values on loud channels, a whisper on quiet ones.
Frames sixChannelFrames() {
    return {{kMax24, 3, 1, -7, 2, 8388606},
            {kMin24, -2, -1, 12345, 0, -8388607},
            {4194304, 0, 65536, -65536, -3, 1}};
}

class SlimWriter : public ::testing::Test {
protected:
    fs::path write(const std::string& name, const std::string& bytes) { return dir_.write(name, bytes); }

    std::vector<std::string> filesInDir() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.path())) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir_;
};

TEST_F(SlimWriter, RefusesWithoutWritingAnyFile) {
    const Frames frames = {{100, 0}, {-100, 0}};
    struct Case {
        std::string bytes;
        std::string message;
    };
    const std::vector<Case> cases = {
        {WavBuilder().fmt({}).data(pcmFrames(16, {{1000, 1000}})).bytes(), "No empty tracks to remove"},
        {WavBuilder().fmt({}).data(pcmFrames(16, {{1, -1}})).bytes(),
         "All tracks are empty \xE2\x80\x94 nothing to keep"},
        {WavBuilder().fmt({.bitsPerSample = 8}).data("\x80\x01").bytes(), "Unsupported bit depth"},
        {WavBuilder().chunk("fmt ", testing::fmtBody({}).substr(0, 14)).data(pcmFrames(16, frames)).bytes(),
         "Invalid fmt chunk"},
        {WavBuilder().fmt({.blockAlign = 2}).data(pcmFrames(16, frames)).bytes(), "Invalid format"},
        // A metadata chunk that claims nearly 4 GiB would make the result too large for RIFF.
        {WavBuilder().fmt({}).data(pcmFrames(16, frames)).chunkDeclaring("JUNK", "abc", 0xFFFFFFF0u).bytes(),
         "The slim file would exceed the 4 GiB size limit of a WAV file"},
    };
    for (const Case& c : cases) {
        const fs::path source = write("take.wav", c.bytes);
        EXPECT_EQ(messageOf([&] { compressPolyWav(source, false, kThreshold); }), c.message);
        EXPECT_EQ(messageOf([&] { compressPolyWav(source, true, kThreshold); }), c.message);
        EXPECT_THAT(filesInDir(), ::testing::ElementsAre("take.wav")) << c.message;
        EXPECT_EQ(readFile(source), c.bytes);
    }
    EXPECT_EQ(messageOf([&] { compressPolyWav(dir_.path() / "absent.wav", false, kThreshold); }),
              "Could not open file");
}

TEST_F(SlimWriter, SixChannelsLosingTwoBecomeFourExtensibleChannelsWithSamplesUnchanged) {
    const Frames frames = sixChannelFrames();
    const fs::path source =
        write("take.wav", WavBuilder().fmt({.channels = 6, .bitsPerSample = 24}).data(pcmFrames(24, frames)).bytes());

    const fs::path result = compressPolyWav(source, false, kThreshold);
    EXPECT_EQ(result, dir_.path() / "take_SLIM.wav");
    const std::string file = readFile(result);
    const auto chunks = parseChunks(file);
    ASSERT_THAT(ids(chunks), ::testing::ElementsAre("fmt ", "iXML", "data"));
    const std::string expectedFmt(
        "\xFE\xFF\x04\x00\x80\xBB\x00\x00\x00\xCA\x08\x00\x0C\x00\x18\x00"
        "\x16\x00\x18\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71",
        40);
    EXPECT_EQ(chunks[0].body, expectedFmt);
    EXPECT_EQ(chunks[1].body, buildTrackListIxml({"Track 1", "Track 3", "Track 4", "Track 6"}));
    EXPECT_EQ(chunks[2].body, pcmFrames(24, columnsOf(frames, {0, 2, 3, 5})));
    EXPECT_EQ(riffSizeField(file), file.size() - 8);
}

TEST_F(SlimWriter, TwoKeptChannelsOfAnExtensibleSourceGetThePlainForm) {
    const Frames frames = sixChannelFrames();
    const Format format{.channels = 6, .bitsPerSample = 24, .extensible = true, .channelMask = 0x3F};
    const fs::path source = write("take.wav", WavBuilder().fmt(format).data(pcmFrames(24, frames)).bytes());

    const auto chunks = parseChunks(readFile(compressPolyWav(source, false, 0.5)));
    const RiffChunk& fmt = chunkNamed(chunks, "fmt ");
    EXPECT_EQ(fmt.body, testing::fmtBody({.channels = 2, .bitsPerSample = 24}));
    EXPECT_EQ(chunkNamed(chunks, "data").body, pcmFrames(24, columnsOf(frames, {0, 5})));
}

TEST_F(SlimWriter, IntegerSamplesOfEveryDepthAreCopiedBitForBit) {
    const std::vector<std::int32_t> loud16 = {32767, -32768, 16385, 24576, -1};
    const std::vector<std::int32_t> loud32 = {std::numeric_limits<std::int32_t>::max(),
                                              std::numeric_limits<std::int32_t>::min(), 123456789, -123456789, 1};
    for (int bits : {16, 24, 32}) {
        Frames frames;
        for (std::size_t f = 0; f < loud16.size(); ++f) {
            const std::int32_t loud = bits == 16 ? loud16[f] : bits == 24 ? loud16[f] * 256 + 255 : loud32[f];
            frames.push_back({0, loud, 0, ~loud});
        }
        const fs::path source = write(
            "take.wav",
            WavBuilder().fmt({.channels = 4, .bitsPerSample = static_cast<std::uint16_t>(bits)}).data(pcmFrames(bits, frames)).bytes());
        const auto chunks = parseChunks(readFile(compressPolyWav(source, false, kThreshold)));
        EXPECT_EQ(chunkNamed(chunks, "data").body, pcmFrames(bits, columnsOf(frames, {1, 3}))) << bits << " bits";
    }
}

TEST_F(SlimWriter, FloatSamplesAreCopiedUnchangedWithFloatSubFormat) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::vector<float>> frames = {{0.5f, 0.0f, 1.5f, -0.0f, -2.0f},
                                                    {-1.0f, 0.0f, nan, 0.0f, 1e-30f},
                                                    {0.25f, 0.0f, 0.75f, 0.0f, -0.125f}};
    const Format format{.formatTag = 3, .channels = 5, .bitsPerSample = 32};
    const fs::path source = write("take.wav", WavBuilder().fmt(format).data(floatFrames(frames)).bytes());

    const auto chunks = parseChunks(readFile(compressPolyWav(source, false, kThreshold)));
    const RiffChunk& fmt = chunkNamed(chunks, "fmt ");
    ASSERT_EQ(fmt.size, 40u);
    EXPECT_EQ(fmt.body.substr(0, 4), std::string("\xFE\xFF\x03\x00", 4));
    EXPECT_EQ(fmt.body.substr(24, 2), std::string("\x03\x00", 2));
    std::vector<std::vector<float>> kept;
    for (const auto& frame : frames) kept.push_back({frame[0], frame[2], frame[4]});
    EXPECT_EQ(chunkNamed(chunks, "data").body, floatFrames(kept));
}

TEST_F(SlimWriter, FramePaddingAndNonNeighbouringChannelsAreHandled) {
    const Frames frames = {{1000, 0, 2000, 3000, 0}, {-1000, 0, -2000, -3000, 0}};
    std::string samples;
    for (const auto& frame : frames) samples += pcmFrames(16, {frame}) + "PAD!";  // 4 bytes of frame padding
    const Format format{.channels = 5, .bitsPerSample = 16, .blockAlign = 14};
    const fs::path source = write("take.wav", WavBuilder().fmt(format).data(samples).bytes());

    const auto chunks = parseChunks(readFile(compressPolyWav(source, false, kThreshold)));
    EXPECT_EQ(chunkNamed(chunks, "fmt ").body.substr(12, 2), std::string("\x06\x00", 2));
    EXPECT_EQ(chunkNamed(chunks, "data").body, pcmFrames(16, columnsOf(frames, {0, 2, 3})));
}

TEST_F(SlimWriter, OddDataSizeGetsAPadByteThatOnlyTheRiffSizeCounts) {
    const Frames frames = {{100000, 0, 100000, 100000}, {1, 0, 2, 3}, {4, 0, 5, 6}};
    const fs::path source =
        write("take.wav", WavBuilder().fmt({.channels = 4, .bitsPerSample = 24}).data(pcmFrames(24, frames)).bytes());

    const std::string file = readFile(compressPolyWav(source, false, kThreshold));
    const auto chunks = parseChunks(file);
    ASSERT_EQ(chunks.back().id, "data");
    EXPECT_EQ(chunks.back().size, 27u);
    EXPECT_EQ(file.back(), '\0');
    EXPECT_EQ(file.size() % 2, 0u);
    EXPECT_EQ(riffSizeField(file), file.size() - 8);
}

TEST_F(SlimWriter, BextStaysFirstOnlyWhenItWasFirst) {
    const std::string samples = pcmFrames(16, {{500, 0, 500}});
    const Format format{.channels = 3};
    const std::string bext = bextBody(123456789);
    const std::string ixml = "<BWFXML></BWFXML>";

    const fs::path bextFirst =
        write("a.wav", WavBuilder().chunk("bext", bext).fmt(format).chunk("iXML", ixml).data(samples).bytes());
    EXPECT_THAT(ids(parseChunks(readFile(compressPolyWav(bextFirst, false, kThreshold)))),
                ::testing::ElementsAre("bext", "fmt ", "iXML", "data"));

    const fs::path ixmlFirst =
        write("b.wav", WavBuilder().chunk("iXML", ixml).chunk("bext", bext).fmt(format).data(samples).bytes());
    const auto reordered = parseChunks(readFile(compressPolyWav(ixmlFirst, false, kThreshold)));
    EXPECT_THAT(ids(reordered), ::testing::ElementsAre("fmt ", "iXML", "bext", "data"));
    EXPECT_EQ(chunkNamed(reordered, "bext").body, bext);

    const fs::path ixmlAfter =
        write("c.wav", WavBuilder().chunk("bext", bext).fmt(format).data(samples).chunk("iXML", ixml).bytes());
    EXPECT_THAT(ids(parseChunks(readFile(compressPolyWav(ixmlAfter, false, kThreshold)))),
                ::testing::ElementsAre("bext", "fmt ", "data", "iXML"));
}

TEST_F(SlimWriter, LastDataChunkWinsAndChunksBetweenAreAfterAudio) {
    const Frames first = {{9, 9}};
    const Frames last = {{0, 700}, {0, -700}};
    const fs::path source = write("take.wav", WavBuilder()
                                                  .fmt({})
                                                  .data(pcmFrames(16, first))
                                                  .chunk("LIST", "between")
                                                  .data(pcmFrames(16, last))
                                                  .chunk("cue ", "after!")
                                                  .bytes());
    const std::string file = readFile(compressPolyWav(source, false, kThreshold));
    const auto chunks = parseChunks(file);
    EXPECT_THAT(ids(chunks), ::testing::ElementsAre("fmt ", "iXML", "data", "LIST", "cue "));
    EXPECT_EQ(chunkNamed(chunks, "data").body, pcmFrames(16, {{700}, {-700}}));
    EXPECT_EQ(chunkNamed(chunks, "LIST").body, "between");
    EXPECT_EQ(riffSizeField(file), file.size() - 8);
}

TEST_F(SlimWriter, OddAndCutShortMetadataChunksKeepTheirDeclaredSizes) {
    const std::string samples = pcmFrames(16, {{0, 700}, {0, -700}});
    const fs::path source = write("take.wav", WavBuilder()
                                                  .fmt({})
                                                  .chunk("odd!", "abc")
                                                  .data(samples)
                                                  .chunkDeclaring("tail", "xyz", 1001)
                                                  .bytes());
    const std::string file = readFile(compressPolyWav(source, false, kThreshold));
    const auto chunks = parseChunks(file);
    ASSERT_THAT(ids(chunks), ::testing::ElementsAre("fmt ", "odd!", "iXML", "data", "tail"));
    EXPECT_EQ(chunks[1].size, 3u);
    EXPECT_EQ(file.substr(file.find("odd!") + 8, 4), std::string("abc\0", 4));
    EXPECT_EQ(chunks[4].size, 1001u);
    EXPECT_EQ(chunks[4].body, "xyz" + std::string(998, '\0'));
    EXPECT_EQ(file.size() % 2, 0u) << "the odd declared size is padded too";
    EXPECT_EQ(riffSizeField(file), file.size() - 8);
}

TEST_F(SlimWriter, SampleDataShorterThanDeclaredGivesSizesThatMatchTheBytesWritten) {
    const Frames frames = {{0, 700, 800}, {0, -700, -800}, {0, 1, 2}};
    std::string samples = pcmFrames(16, frames) + "\x01\x02";  // and a partial fourth frame
    const fs::path source =
        write("take.wav", WavBuilder().fmt({.channels = 3}).chunkDeclaring("data", samples, 6000).bytes());

    const std::string file = readFile(compressPolyWav(source, false, kThreshold));
    const auto chunks = parseChunks(file);
    ASSERT_EQ(chunks.back().id, "data");
    EXPECT_EQ(chunks.back().size, 12u);
    EXPECT_EQ(chunks.back().body, pcmFrames(16, columnsOf(frames, {1, 2})));
    EXPECT_EQ(riffSizeField(file), file.size() - 8);
}

TEST_F(SlimWriter, DefaultNamesKeepTheStemAndExtension) {
    const std::string bytes = WavBuilder().fmt({}).data(pcmFrames(16, {{0, 700}})).bytes();
    EXPECT_EQ(compressPolyWav(write("Take 7.WAV", bytes), false, kThreshold), dir_.path() / "Take 7_SLIM.WAV");
    EXPECT_EQ(compressPolyWav(write("take", bytes), false, kThreshold), dir_.path() / "take_SLIM");
    EXPECT_EQ(compressPolyWav(write("a.b.wav", bytes), false, kThreshold), dir_.path() / "a.b_SLIM.wav");

    write("old_SLIM.wav", std::string(100000, 'x'));
    const fs::path replaced = compressPolyWav(write("old.wav", bytes), false, kThreshold);
    EXPECT_EQ(readFile(replaced), readFile(dir_.path() / "take_SLIM")) << "an existing _SLIM file is overwritten";

    const fs::path elsewhere = dir_.path() / "sub" / "chosen.wav";
    fs::create_directories(elsewhere.parent_path());
    EXPECT_EQ(compressPolyWav(dir_.path() / "take", false, kThreshold, elsewhere), elsewhere);
    EXPECT_EQ(readFile(elsewhere), readFile(replaced));
}

TEST_F(SlimWriter, OverwriteReplacesTheSourceThroughTheHiddenTemporaryName) {
    const Frames frames = {{0, 700}, {0, -700}};
    const std::string bytes = WavBuilder().fmt({}).data(pcmFrames(16, frames)).bytes();
    const fs::path slimElsewhere = compressPolyWav(write("reference.wav", bytes), false, kThreshold);

    // A link planted under the temporary name must be replaced, never written through.
    const fs::path victim = write("victim.txt", "keep me");
    fs::create_symlink(victim, dir_.path() / ".A_compressing.wav");

    const fs::path source = write("A.wav", bytes);
    EXPECT_EQ(compressPolyWav(source, true, kThreshold), source);
    EXPECT_EQ(readFile(source), readFile(slimElsewhere));
    EXPECT_EQ(readFile(victim), "keep me");
    EXPECT_THAT(filesInDir(), ::testing::ElementsAre("A.wav", "reference.wav", "reference_SLIM.wav", "victim.txt"));
}

TEST_F(SlimWriter, AnOutputPathThatIsTheSourceNeverTruncatesItBeforeReading) {
    const Frames frames = {{0, 700}, {0, -700}};
    const std::string bytes = WavBuilder().fmt({}).data(pcmFrames(16, frames)).bytes();
    const fs::path source = write("A.wav", bytes);
    const fs::path sameFileOtherSpelling = dir_.path() / "." / "A.wav";

    EXPECT_EQ(compressPolyWav(source, false, kThreshold, sameFileOtherSpelling), sameFileOtherSpelling);
    EXPECT_EQ(chunkNamed(parseChunks(readFile(source)), "data").body, pcmFrames(16, {{700}, {-700}}));
    EXPECT_THAT(filesInDir(), ::testing::ElementsAre("A.wav"));

    // A _SLIM name that is a link to the source must not truncate the source either.
    const fs::path other = write("B.wav", bytes);
    fs::create_symlink(other, dir_.path() / "B_SLIM.wav");
    compressPolyWav(other, false, kThreshold);
    EXPECT_EQ(readFile(other), bytes);
    EXPECT_EQ(chunkNamed(parseChunks(readFile(dir_.path() / "B_SLIM.wav")), "data").body,
              pcmFrames(16, {{700}, {-700}}));
}

TEST_F(SlimWriter, UncreatableOutputIsReportedAndLeavesTheSourceAlone) {
    const std::string bytes = WavBuilder().fmt({}).data(pcmFrames(16, {{0, 700}})).bytes();
    const fs::path source = write("A.wav", bytes);
    EXPECT_EQ(messageOf([&] { compressPolyWav(source, false, kThreshold, dir_.path() / "no" / "such.wav"); }),
              "Could not create output file");
    fs::create_directory(dir_.path() / ".A_compressing.wav");
    EXPECT_EQ(messageOf([&] { compressPolyWav(source, true, kThreshold); }), "Could not create output file");
    EXPECT_EQ(readFile(source), bytes);
    EXPECT_THAT(filesInDir(), ::testing::ElementsAre(".A_compressing.wav", "A.wav"));
}

TEST_F(SlimWriter, ChannelDescribingChunksFollowTheKeptChannels) {
    const std::string ixml =
        "<BWFXML><TRACK_LIST><TRACK_COUNT>4</TRACK_COUNT>"
        "<TRACK><INTERLEAVE_INDEX>1</INTERLEAVE_INDEX><NAME>Boom</NAME></TRACK>"
        "<TRACK><INTERLEAVE_INDEX>2</INTERLEAVE_INDEX><NAME>Lav 1</NAME></TRACK>"
        "<TRACK><INTERLEAVE_INDEX>3</INTERLEAVE_INDEX><NAME>Lav 2</NAME></TRACK>"
        "<TRACK><INTERLEAVE_INDEX>4</INTERLEAVE_INDEX><NAME>Lav 3</NAME></TRACK>"
        "</TRACK_LIST></BWFXML>";
    const fs::path source = write("take.wav", WavBuilder()
                                                  .fmt({.channels = 4})
                                                  .chunk("IXML", ixml)
                                                  .data(pcmFrames(16, {{900, 0, 900, 900}}))
                                                  .chunk("ond1", "first")
                                                  .chunk("ond2", "second")
                                                  .chunk("ond3", "third")
                                                  .bytes());
    const auto chunks = parseChunks(readFile(compressPolyWav(source, false, kThreshold)));
    EXPECT_THAT(ids(chunks), ::testing::ElementsAre("fmt ", "iXML", "data", "ond1", "ond2"));
    const std::string newList = buildTrackListInner({"Boom", "Lav 2", "Lav 3"});
    EXPECT_EQ(chunks[1].body, "<BWFXML>" + newList + "</BWFXML>");
    EXPECT_EQ(chunks[4].body, "third");
}

TEST_F(SlimWriter, IxmlCutShortAtTheEndIsRewrittenAtItsDeclaredSize) {
    const std::string ixml = "<BWFXML><TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT></TRACK_LIST></BWFXML>";
    const fs::path source = write("take.wav", WavBuilder()
                                                  .fmt({})
                                                  .data(pcmFrames(16, {{0, 900}}))
                                                  .chunkDeclaring("iXML", ixml, 5000)
                                                  .bytes());
    const auto chunks = parseChunks(readFile(compressPolyWav(source, false, kThreshold)));
    ASSERT_THAT(ids(chunks), ::testing::ElementsAre("fmt ", "data", "iXML"));
    const std::string rewritten = "<BWFXML>" + buildTrackListInner({"Track 2"}) + "</BWFXML>";
    EXPECT_EQ(chunks[2].size, 5000u);
    EXPECT_EQ(chunks[2].body, rewritten + std::string(5000 - rewritten.size(), '\0'));
}

TEST_F(SlimWriter, HugeTrackListIsRewrittenWithoutTrouble) {
    std::string ixml = "<BWFXML><TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT>";
    while (ixml.size() < (2u << 20)) ixml += "<TRACK><NAME>x</NAME></TRACK>";
    ixml += "</TRACK_LIST></BWFXML>";
    const fs::path source =
        write("take.wav", WavBuilder().fmt({}).chunk("iXML", ixml).data(pcmFrames(16, {{0, 900}})).bytes());
    const auto chunks = parseChunks(readFile(compressPolyWav(source, false, kThreshold)));
    const RiffChunk& rewritten = chunkNamed(chunks, "iXML");
    EXPECT_EQ(rewritten.size, ixml.size());
    EXPECT_THAT(rewritten.body, ::testing::StartsWith("<BWFXML>" + buildTrackListInner({"x"}) + "</BWFXML>"));
}

}  // namespace
}  // namespace tracksieve
