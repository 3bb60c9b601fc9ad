#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <streambuf>

#include "tracksieve/analysis.h"
#include "wav_builder.h"
#include "wav_reader.h"

namespace tracksieve {
namespace {

using namespace std::string_literals;
using testing::ds64Body;
using testing::pcmFrames;
using testing::WavBuilder;

constexpr std::uint32_t kDeferred = 0xFFFFFFFF;
constexpr double kThreshold = 0.001;
using Frames = std::vector<std::vector<std::int32_t>>;

// Four frames of two 16-bit channels, the second silent.
const std::string kSamples = pcmFrames(16, Frames(4, {1000, 0}));

// An RF64 or BW64 file whose 32-bit size fields all defer to a `ds64` that states `dataSize`.
std::string wideWav(const std::string& form, std::uint64_t dataSize, const std::string& afterAudio = "") {
    const std::string rest = WavBuilder().fmt({}).chunkDeclaring("data", kSamples, kDeferred).bytes().substr(12);
    const std::uint64_t riffSize = 4 + 8 + 28 + rest.size() + afterAudio.size();
    return WavBuilder()
               .signature(form, "WAVE")
               .riffSizeField(kDeferred)
               .chunk("ds64", ds64Body(riffSize, dataSize, dataSize / 4))
               .bytes() +
           rest + afterAudio;
}

struct OpenResult {
    std::string error;
    std::uint64_t dataBytes = 0;
    bool takenFromFile = false;
};

OpenResult open(const std::string& bytes) {
    std::istringstream in(bytes);
    WavFile wav;
    OpenResult result;
    if (!openWav(in, wav)) {
        result.error = wav.error;
        return result;
    }
    result.dataBytes = wav.dataBytesPresent;
    result.takenFromFile = wav.lengthTakenFromFile;
    return result;
}

struct FormCase {
    const char* name;
    std::string bytes;
    OpenResult expected;
};

class RiffForms : public ::testing::TestWithParam<FormCase> {};

TEST_P(RiffForms, ReadsTheSizesTheFileReallyStates) {
    const FormCase& c = GetParam();
    const OpenResult result = open(c.bytes);
    EXPECT_EQ(result.error, c.expected.error);
    EXPECT_EQ(result.dataBytes, c.expected.dataBytes);
    EXPECT_EQ(result.takenFromFile, c.expected.takenFromFile);
}

std::string withDs64(const std::string& form, const std::string& ds64, const std::string& rest) {
    return WavBuilder().signature(form, "WAVE").riffSizeField(kDeferred).chunk("ds64", ds64).bytes() + rest;
}

const std::string kFmtAndData = WavBuilder().fmt({}).chunkDeclaring("data", kSamples, kDeferred).bytes().substr(12);

INSTANTIATE_TEST_SUITE_P(
    Cases, RiffForms,
    ::testing::Values(
        FormCase{"Rf64", wideWav("RF64", 16), {"", 16, false}}, FormCase{"Bw64", wideWav("BW64", 16), {"", 16, false}},
        FormCase{"Rf64ChunksAfterTheAudio",
                 wideWav("RF64", 16, WavBuilder().chunk("LIST", "info").bytes().substr(12)),
                 {"", 16, false}},
        FormCase{"Rf64WithADataSizeItsOwnHeaderStates",
                 WavBuilder().signature("RF64", "WAVE").chunk("ds64", ds64Body(0, 0, 0)).fmt({}).data(kSamples).bytes(),
                 {"", 16, false}},
        FormCase{"Rf64TableNamingAnotherLargeChunk",
                 WavBuilder()
                         .signature("RF64", "WAVE")
                         .chunk("ds64", ds64Body(0, 16, 4, {{"LIST", 4}}))
                         .chunkDeclaring("LIST", "info", kDeferred)
                         .bytes() +
                     kFmtAndData,
                 {"", 16, false}},
        FormCase{"Rf64UnfinalisedDs64", wideWav("RF64", 0), {"", 16, true}},
        FormCase{"PlainRiffIdWithAds64Chunk",
                 WavBuilder().chunk("ds64", ds64Body(0, 0, 0)).fmt({}).data(kSamples).bytes(),
                 {"", 16, false}},
        FormCase{"MissingDs64",
                 WavBuilder().signature("RF64", "WAVE").fmt({}).data(kSamples).bytes(),
                 {"Invalid ds64 chunk", 0, false}},
        FormCase{"Ds64TooShort",
                 withDs64("RF64", ds64Body(0, 16, 4).substr(0, 24), kFmtAndData),
                 {"Invalid ds64 chunk", 0, false}},
        FormCase{"Ds64CutByTheEndOfTheFile",
                 withDs64("BW64", ds64Body(0, 16, 4), "").substr(0, 30),
                 {"Invalid ds64 chunk", 0, false}},
        FormCase{"Ds64DataSizePastTheEndOfTheFile",
                 withDs64("RF64", ds64Body(0, 1ull << 40, 4), kFmtAndData),
                 {"Invalid ds64 chunk", 0, false}},
        FormCase{"Ds64RiffSizePastTheEndOfTheFile",
                 withDs64("RF64", ds64Body(~0ull, 16, 4), kFmtAndData),
                 {"Invalid ds64 chunk", 0, false}},
        FormCase{"Ds64TableLongerThanItsChunk",
                 withDs64("RF64", ds64Body(0, 16, 4).replace(24, 4, "\x01\x00\x00\x00"s), kFmtAndData),
                 {"Invalid ds64 chunk", 0, false}},
        FormCase{"Ds64TableOfBillionsOfEntries",
                 withDs64("RF64", ds64Body(0, 16, 4).replace(24, 4, "\xFF\xFF\xFF\x7F"s), kFmtAndData),
                 {"Invalid ds64 chunk", 0, false}},
        FormCase{"Ds64TableSizePastTheEndOfTheFile",
                 withDs64("RF64", ds64Body(0, 16, 4, {{"LIST", 1ull << 40}}), kFmtAndData),
                 {"Invalid ds64 chunk", 0, false}},
        FormCase{
            "Rf64WrongFormType", WavBuilder().signature("RF64", "AVI ").bytes(), {"Not a RIFF/WAVE file", 0, false}},
        FormCase{"UnfinalisedDataSizeZero",
                 WavBuilder().fmt({}).chunkDeclaring("data", kSamples, 0).bytes(),
                 {"", 16, true}},
        FormCase{"UnfinalisedDataSizeAllOnes",
                 WavBuilder().fmt({}).chunkDeclaring("data", kSamples, kDeferred).bytes(),
                 {"", 16, true}},
        FormCase{"UnfinalisedRiffSizeZeroToo",
                 WavBuilder().riffSizeField(0).fmt({}).chunkDeclaring("data", kSamples, 0).bytes(),
                 {"", 16, true}},
        FormCase{"EmptyDataChunkWithChunksAfterIt",
                 WavBuilder().fmt({}).data("").chunk("LIST", "info").bytes(),
                 {"", 0, false}},
        FormCase{"EmptyDataChunkAtTheEnd", WavBuilder().fmt({}).data("").bytes(), {"", 0, false}},
        FormCase{"SampleRateBeyondASignedInt",
                 WavBuilder().fmt({.sampleRate = 0x80000000u}).data(kSamples).bytes(),
                 {"Invalid fmt chunk", 0, false}},
        FormCase{"HighestSampleRateARecordHolds",
                 WavBuilder().fmt({.sampleRate = 0x7FFFFFFFu}).data(kSamples).bytes(),
                 {"", 16, false}}),
    [](const auto& info) { return info.param.name; });

TEST(RiffForms, AnUnfinalisedTakeIsReportedWithTheLengthOfItsAudio) {
    const std::string take = WavBuilder().riffSizeField(0).fmt({}).chunkDeclaring("data", kSamples, 0).bytes();
    std::istringstream in(take);
    const PolyWavInfo record = analyzePolyWav(in, "take.wav", kThreshold);
    ASSERT_EQ(record.error, "");
    EXPECT_TRUE(record.lengthTakenFromFile);
    EXPECT_DOUBLE_EQ(record.durationSeconds, 4.0 / 48000);
    EXPECT_EQ(record.activeCount(), 1);
    EXPECT_EQ(record.emptyCount(), 1);
}

// A file past 4 GiB, all of it zeros after the bytes given, without holding it in memory.
class SparseFile : public std::streambuf {
public:
    SparseFile(std::string head, std::uint64_t size) : head_(std::move(head)), size_(size) {}

protected:
    int_type underflow() override {
        if (pos_ >= size_) return traits_type::eof();
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof buffer_, size_ - pos_));
        std::memset(buffer_, 0, n);
        if (pos_ < head_.size()) {
            std::memcpy(buffer_, head_.data() + pos_,
                        std::min<std::size_t>(n, head_.size() - static_cast<std::size_t>(pos_)));
        }
        setg(buffer_, buffer_, buffer_ + n);
        start_ = pos_;
        pos_ += n;
        return traits_type::to_int_type(buffer_[0]);
    }
    pos_type seekoff(off_type off, std::ios::seekdir dir, std::ios::openmode) override {
        const auto current = static_cast<off_type>(start_ + static_cast<std::uint64_t>(gptr() - eback()));
        const off_type base = dir == std::ios::beg ? 0 : dir == std::ios::cur ? current : static_cast<off_type>(size_);
        return seekpos(base + off, std::ios::in);
    }
    pos_type seekpos(pos_type to, std::ios::openmode) override {
        pos_ = static_cast<std::uint64_t>(static_cast<off_type>(to));
        start_ = pos_;
        setg(buffer_, buffer_, buffer_);
        return to;
    }

private:
    std::string head_;
    std::uint64_t size_;
    std::uint64_t pos_ = 0;
    std::uint64_t start_ = 0;
    char buffer_[1 << 16];
};

TEST(RiffForms, APlainRiffTakePast4GiBWhoseSizesWrappedRunsToTheEndOfTheFile) {
    // Both channels loud from the first frame, so the analysis stops after its first block.
    const std::string head =
        WavBuilder().fmt({}).chunkDeclaring("data", pcmFrames(16, Frames(4, {1000, -1000})), 1000).bytes();
    const std::uint64_t dataBytes = 1000 + (std::uint64_t{1} << 32);
    SparseFile file(head, head.size() - kSamples.size() + dataBytes);
    std::istream in(&file);
    const PolyWavInfo record = analyzePolyWav(in, "take.wav", kThreshold);
    ASSERT_EQ(record.error, "");
    EXPECT_TRUE(record.lengthTakenFromFile);
    EXPECT_DOUBLE_EQ(record.durationSeconds, static_cast<double>(dataBytes / 4) / 48000);
}

TEST(RiffForms, AnAdmDocumentDoesNotHideTheTrackNamesOfTheIxml) {
    const std::string bytes =
        WavBuilder()
            .fmt({})
            .chunk("iXML", "<BWFXML><TRACK_LIST><TRACK><NAME>Boom</NAME></TRACK></TRACK_LIST></BWFXML>")
            .chunk("axml", "<?xml version=\"1.0\"?><ebuCoreMain><TRACK><NAME>x</NAME></TRACK></ebuCoreMain>")
            .data(kSamples)
            .bytes();
    std::istringstream in(bytes);
    const PolyWavInfo record = analyzePolyWav(in, "take.wav", kThreshold);
    ASSERT_EQ(record.tracks.size(), 2u);
    EXPECT_EQ(record.tracks[0].name, "Boom");
}

}  // namespace
}  // namespace tracksieve
