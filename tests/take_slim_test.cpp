#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "little_endian.h"
#include "riff_head.h"
#include "slim_routes.h"
#include "tracksieve/analysis.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::bextBody;
using testing::inWideForm;
using testing::pcmFrames;
using testing::readFile;
using testing::WavBuilder;

constexpr double kThreshold = 0.001;
using Frames = std::vector<std::vector<std::int32_t>>;

// Lowers the size past which an output is written in a 64-bit form, for one test.
class PlainRiffLimit {
public:
    explicit PlainRiffLimit(std::uint64_t limit) : saved_(plainRiffSizeLimit()) { setPlainRiffSizeLimit(limit); }
    ~PlainRiffLimit() { setPlainRiffSizeLimit(saved_); }
    PlainRiffLimit(const PlainRiffLimit&) = delete;
    PlainRiffLimit& operator=(const PlainRiffLimit&) = delete;

private:
    std::uint64_t saved_;
};

struct Chunk {
    std::string id;
    std::uint64_t size = 0;
    std::string body;
};

// A file read the way a strict reader does: every size field checked against the file's
// real length, 64-bit sizes taken from `ds64`, which must come first in a 64-bit form.
struct ParsedFile {
    std::string form;
    std::vector<Chunk> chunks;  // without the `ds64`
    std::vector<std::string> faults;

    std::string body(const std::string& id) const {
        for (const Chunk& c : chunks) {
            if (c.id == id) return c.body;
        }
        return "(no " + id + ")";
    }
    std::vector<std::string> ids() const {
        std::vector<std::string> out;
        for (const Chunk& c : chunks) out.push_back(c.id);
        return out;
    }
};

std::uint64_t u64(std::string_view bytes, std::size_t at) {
    return le::readU64(reinterpret_cast<const unsigned char*>(bytes.data()) + at);
}
std::uint32_t u32(std::string_view bytes, std::size_t at) {
    return le::readU32(reinterpret_cast<const unsigned char*>(bytes.data()) + at);
}

ParsedFile parse(const std::string& bytes) {
    ParsedFile file;
    file.form = bytes.substr(0, 4);
    const bool wide = file.form != "RIFF";
    std::uint64_t riffSize = u32(bytes, 4);
    std::uint64_t dataSize = 0;
    std::uint64_t sampleCount = 0;
    std::size_t at = 12;
    if (wide) {
        if (riffSize != 0xFFFFFFFF) file.faults.push_back("RIFF size field not deferred");
        if (bytes.substr(12, 4) != "ds64" || u32(bytes, 16) < 28) {
            file.faults.push_back("no ds64 first");
            return file;
        }
        riffSize = u64(bytes, 20);
        dataSize = u64(bytes, 28);
        sampleCount = u64(bytes, 36);
        at = 20 + u32(bytes, 16);
    }
    if (riffSize + 8 != bytes.size()) file.faults.push_back("RIFF size " + std::to_string(riffSize));
    while (at + 8 <= bytes.size()) {
        Chunk chunk{bytes.substr(at, 4), u32(bytes, at + 4), {}};
        if (wide && chunk.id == "data") {
            if (chunk.size != 0xFFFFFFFF) file.faults.push_back("data size field not deferred");
            chunk.size = dataSize;
        }
        if (chunk.id == "ds64") file.faults.push_back("a second ds64");
        if (at + 8 + chunk.size > bytes.size()) file.faults.push_back(chunk.id + " past the end");
        chunk.body = bytes.substr(at + 8, static_cast<std::size_t>(chunk.size));
        at += 8 + static_cast<std::size_t>(chunk.size + chunk.size % 2);
        file.chunks.push_back(std::move(chunk));
    }
    if (at != bytes.size()) file.faults.push_back("chunks end at " + std::to_string(at));
    if (wide) {
        const std::uint32_t blockAlign = u32(file.body("fmt "), 12) & 0xFFFF;
        if (sampleCount * blockAlign != dataSize) file.faults.push_back("sample count " + std::to_string(sampleCount));
    }
    return file;
}

// Four channels of 24 bits, the second and the fourth silent.
const Frames kFrames = [] {
    Frames frames;
    for (std::int32_t f = 0; f < 301; ++f) frames.push_back({f * 1000 + 7, 0, -f * 900 - 11, 0});
    return frames;
}();
const std::string kKeptSamples = [] {
    Frames kept;
    for (const auto& frame : kFrames) kept.push_back({frame[0], frame[2]});
    return pcmFrames(24, kept);
}();

std::string plainTake() {
    return WavBuilder()
        .chunk("bext", bextBody(48000 * 3600))
        .fmt({.channels = 4, .bitsPerSample = 24})
        .chunk("iXML", "<BWFXML><PROJECT>wide</PROJECT></BWFXML>")
        .data(pcmFrames(24, kFrames))
        .chunk("LIST", "INFOtail")
        .bytes();
}

struct Result {
    std::string message;
    std::string bytes;
};

Result slim(const testing::TempDir& dir, const std::string& source, SlimRoute route) {
    const fs::path path = dir.write("take.wav", source);
    Result result;
    try {
        result.bytes = readFile(slimPolyWavByRoute(path, {}, route).path);
    } catch (const std::exception& e) {
        result.message = e.what();
    }
    return result;
}

struct FormCase {
    const char* name;
    std::string source;
    std::uint64_t limit;
    const char* expectedForm;
};

class TakeForms : public ::testing::TestWithParam<FormCase> {};

TEST_P(TakeForms, SlimsToTheRightFormWithTrueSizesAndTheKeptSamplesBitForBit) {
    const FormCase& c = GetParam();
    const PlainRiffLimit limit(c.limit);
    const testing::TempDir dir;
    for (const SlimRoute route : {SlimRoute::OnePassWhereItCan, SlimRoute::TwoPasses}) {
        SCOPED_TRACE(route == SlimRoute::TwoPasses ? "two passes" : "one pass");
        const Result result = slim(dir, c.source, route);
        ASSERT_EQ(result.message, "");
        const ParsedFile file = parse(result.bytes);
        EXPECT_EQ(file.form, c.expectedForm);
        EXPECT_THAT(file.faults, ::testing::IsEmpty());
        EXPECT_THAT(file.ids(), ::testing::ElementsAre("bext", "fmt ", "iXML", "data", "LIST"));
        EXPECT_TRUE(file.body("data") == kKeptSamples);

        std::istringstream copy(result.bytes);
        const PolyWavInfo record = analyzePolyWav(copy, "copy.wav", kThreshold);
        EXPECT_EQ(record.error, "");
        EXPECT_EQ(record.channels, 2);
        EXPECT_EQ(record.emptyCount(), 0);
        EXPECT_DOUBLE_EQ(record.durationSeconds, 301.0 / 48000);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TakeForms,
    ::testing::Values(FormCase{"Rf64SmallEnoughForPlainRiff", inWideForm(plainTake(), "RF64"), 0xFFFFFFFF, "RIFF"},
                      FormCase{"Bw64SmallEnoughForPlainRiff", inWideForm(plainTake(), "BW64"), 0xFFFFFFFF, "RIFF"},
                      FormCase{"Rf64PastTheLimit", inWideForm(plainTake(), "RF64"), 1000, "RF64"},
                      FormCase{"Bw64PastTheLimit", inWideForm(plainTake(), "BW64"), 1000, "BW64"},
                      FormCase{"PlainRiffPastTheLimit", plainTake(), 1000, "RF64"}),
    [](const auto& info) { return info.param.name; });

TEST(TakeForms, TheLimitIsTheLargestRiffSizeWrittenPlain) {
    const testing::TempDir dir;
    const std::uint64_t plainSize = slim(dir, plainTake(), SlimRoute::TwoPasses).bytes.size();
    const auto formWithLimit = [&](std::uint64_t limit) {
        const PlainRiffLimit lowered(limit);
        return slim(dir, plainTake(), SlimRoute::TwoPasses).bytes.substr(0, 4);
    };
    EXPECT_EQ(formWithLimit(plainSize - 8), "RIFF");
    EXPECT_EQ(formWithLimit(plainSize - 9), "RF64");
}

struct RepairCase {
    const char* name;
    std::string source;
};

class TakeRepairs : public ::testing::TestWithParam<RepairCase> {};

TEST_P(TakeRepairs, AnUnfinalisedTakeComesBackWithTrueSizes) {
    const testing::TempDir dir;
    const Result result = slim(dir, GetParam().source, SlimRoute::OnePassWhereItCan);
    ASSERT_EQ(result.message, "");
    const ParsedFile file = parse(result.bytes);
    EXPECT_EQ(file.form, "RIFF");
    EXPECT_THAT(file.faults, ::testing::IsEmpty());
    EXPECT_TRUE(file.body("data") == kKeptSamples);
    std::istringstream copy(result.bytes);
    const PolyWavInfo record = analyzePolyWav(copy, "copy.wav", kThreshold);
    EXPECT_FALSE(record.lengthTakenFromFile);
    EXPECT_DOUBLE_EQ(record.durationSeconds, 301.0 / 48000);
}

std::string unfinalised(std::uint32_t riffSize, std::uint32_t dataSize) {
    return WavBuilder()
        .riffSizeField(riffSize)
        .fmt({.channels = 4, .bitsPerSample = 24})
        .chunkDeclaring("data", pcmFrames(24, kFrames), dataSize)
        .bytes();
}

INSTANTIATE_TEST_SUITE_P(Cases, TakeRepairs,
                         ::testing::Values(RepairCase{"SizesZero", unfinalised(0, 0)},
                                           RepairCase{"SizesAllOnes", unfinalised(0xFFFFFFFF, 0xFFFFFFFF)},
                                           RepairCase{"Rf64Ds64Zero",
                                                      WavBuilder()
                                                          .signature("RF64", "WAVE")
                                                          .riffSizeField(0xFFFFFFFF)
                                                          .chunk("ds64", testing::ds64Body(0, 0, 0))
                                                          .fmt({.channels = 4, .bitsPerSample = 24})
                                                          .chunkDeclaring("data", pcmFrames(24, kFrames), 0xFFFFFFFF)
                                                          .bytes()}),
                         [](const auto& info) { return info.param.name; });

TEST(TakeChunks, FactCountsTheFramesCopiedWhenTheDataSizeRunsPastTheEnd) {
    const std::string samples = pcmFrames(24, kFrames);
    const std::string source = WavBuilder()
                                   .fmt({.channels = 4, .bitsPerSample = 24})
                                   .chunk("fact", "\x10\x27\x00\x00"s)
                                   .chunkDeclaring("data", samples, static_cast<std::uint32_t>(samples.size() * 3))
                                   .bytes();
    const testing::TempDir dir;
    const ParsedFile file = parse(slim(dir, source, SlimRoute::TwoPasses).bytes);
    EXPECT_EQ(u32(file.body("fact"), 0), 301u);
}

// The Sound Devices 702T description of take A101_1, as in the recorder's files.
const std::string kHead =
    "sSPEED=023.976-ND\r\nsTAKE=1\r\nsUBITS=$12311801\r\nsSWVER=2.67\r\nsPROJECT=BMH\r\nsSCENE=A101\r\n"
    "sFILENAME=A101_1.WAV\r\nsTAPE=18Y12M31\r\n";

std::string bextWithDescription(const std::string& description) {
    std::string body = bextBody(0);
    body.replace(0, description.size(), description);
    return body;
}

struct BextCase {
    const char* name;
    std::string ixml;  // empty: no iXML chunk
    std::string expectedLines;
};

class TakeBextLines : public ::testing::TestWithParam<BextCase> {};

TEST_P(TakeBextLines, NameOnlyTheKeptTracks) {
    const BextCase& c = GetParam();
    const std::string lines = "sTRK1=MKH416\r\nsTRK2=Spare\r\nsTRK3=Boom\r\nsTRK4=Spare 2\r\nsNOTE=\r\n";
    WavBuilder source;
    source.chunk("bext", bextWithDescription(kHead + lines)).fmt({.channels = 4, .bitsPerSample = 24});
    if (!c.ixml.empty()) source.chunk("iXML", c.ixml);
    const testing::TempDir dir;
    const ParsedFile file = parse(slim(dir, source.data(pcmFrames(24, kFrames)).bytes(), SlimRoute::TwoPasses).bytes);
    const std::string bext = file.body("bext");
    ASSERT_EQ(bext.size(), 602u);
    EXPECT_EQ(bext.substr(0, 256), bextWithDescription(kHead + c.expectedLines).substr(0, 256));
    EXPECT_EQ(bext.substr(256), bextBody(0).substr(256));
}

std::string trackList(const std::vector<std::pair<int, int>>& channelAndInterleave) {
    std::string list = "<BWFXML><TRACK_LIST>";
    for (const auto& [channel, interleave] : channelAndInterleave) {
        list += "<TRACK><CHANNEL_INDEX>" + std::to_string(channel) + "</CHANNEL_INDEX><INTERLEAVE_INDEX>" +
                std::to_string(interleave) + "</INTERLEAVE_INDEX><NAME>n</NAME></TRACK>";
    }
    return list + "</TRACK_LIST></BWFXML>";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TakeBextLines,
    ::testing::Values(BextCase{"ByPositionWithoutATrackList", "", "sTRK1=MKH416\r\nsTRK3=Boom\r\nsNOTE=\r\n"},
                      BextCase{"ByChannelIndex", trackList({{1, 1}, {2, 2}, {3, 3}, {4, 4}}),
                               "sTRK1=MKH416\r\nsTRK3=Boom\r\nsNOTE=\r\n"},
                      // Inputs 2 and 4 recorded on the first and third channels.
                      BextCase{"ByChannelIndexOfInputsOnOtherChannels", trackList({{2, 1}, {1, 2}, {4, 3}, {3, 4}}),
                               "sTRK2=Spare\r\nsTRK4=Spare 2\r\nsNOTE=\r\n"}),
    [](const auto& info) { return info.param.name; });

// A peak envelope of `frames` frames, one byte per point, two points per value.
std::string levlBody(std::uint32_t channels, std::uint32_t frames) {
    std::string body;
    for (const std::uint32_t field : {1u, 1u, 2u, 256u, channels, frames, 0xFFFFFFFFu, 128u})
        le::appendU32(body, field);
    body += std::string(28, '0') + std::string(60, '\0');
    for (std::uint32_t f = 0; f < frames; ++f) {
        for (std::uint32_t c = 0; c < channels; ++c) body += {static_cast<char>(f), static_cast<char>(c)};
    }
    return body;
}

TEST(TakeChunks, LevlKeepsTheEnvelopesOfTheKeptChannelsOrGoesWhenItDoesNotFitItsHeader) {
    const std::string samples = pcmFrames(24, kFrames);
    const auto slimmed = [&](const std::string& levl) {
        const testing::TempDir dir;
        return parse(
            slim(dir, WavBuilder().fmt({.channels = 4, .bitsPerSample = 24}).chunk("levl", levl).data(samples).bytes(),
                 SlimRoute::TwoPasses)
                .bytes);
    };
    std::string expected = levlBody(2, 3).substr(0, 120);
    for (char f = 0; f < 3; ++f) expected += {f, 0, f, 2};
    EXPECT_EQ(slimmed(levlBody(4, 3)).body("levl"), expected);

    const std::vector<std::string> damaged = {levlBody(4, 3).substr(0, 130), levlBody(4, 3) + "x", levlBody(3, 4),
                                              levlBody(4, 3).replace(4, 1, "\x03"), levlBody(4, 3).substr(0, 100)};
    for (const std::string& levl : damaged) EXPECT_EQ(slimmed(levl).body("levl"), "(no levl)");
}

TEST(TakeChunks, AnAdmDocumentKeepsItsIdAndBodyBesideTheRewrittenChna) {
    const std::string adm = "<?xml version=\"1.0\"?>\n<!-- ADM -->\n<ebuCoreMain><coreMetadata/></ebuCoreMain>\n";
    std::string chna;
    le::appendU16(chna, 4);
    le::appendU16(chna, 4);
    for (std::uint16_t track = 1; track <= 4; ++track) {
        le::appendU16(chna, track);
        chna += "ATU_0000000" + std::to_string(track) + "AT_00010001_01" + std::string(12, '\0') + "AP_0003100" +
                std::to_string(track);
        chna.resize(4 + 40 * track, '\0');
    }
    const std::string source = WavBuilder()
                                   .fmt({.channels = 4, .bitsPerSample = 24})
                                   .chunk("chna", chna)
                                   .chunk("axml", adm)
                                   .data(pcmFrames(24, kFrames))
                                   .bytes();
    const testing::TempDir dir;
    const ParsedFile file = parse(slim(dir, source, SlimRoute::TwoPasses).bytes);
    EXPECT_THAT(file.ids(), ::testing::ElementsAre("fmt ", "chna", "axml", "iXML", "data"));
    EXPECT_EQ(file.body("axml"), adm);
    const std::string keptChna = file.body("chna");
    ASSERT_EQ(keptChna.size(), 4u + 2 * 40);
    EXPECT_EQ(keptChna.substr(6, 38), chna.substr(4 + 2, 38));
    EXPECT_EQ(keptChna.substr(46, 38), chna.substr(4 + 80 + 2, 38));

    const std::string bwfxml = "<BWFXML><TRACK_LIST></TRACK_LIST></BWFXML>";
    const std::string withBwfxml = WavBuilder()
                                       .fmt({.channels = 4, .bitsPerSample = 24})
                                       .chunk("axml", bwfxml)
                                       .data(pcmFrames(24, kFrames))
                                       .bytes();
    EXPECT_THAT(parse(slim(dir, withBwfxml, SlimRoute::TwoPasses).bytes).ids(),
                ::testing::ElementsAre("fmt ", "iXML", "data"));
}

}  // namespace
}  // namespace tracksieve
