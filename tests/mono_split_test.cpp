#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "element_search.h"
#include "platform_file.h"
#include "tracksieve/analysis.h"
#include "tracksieve/mono_split.h"
#include "tracksieve/signal_cleanup.h"
#include "injected_faults.h"
#include "wav_builder.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::bextBody;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::InjectedFaults;
using testing::parseChunks;
using testing::readFile;
using testing::RiffChunk;
using testing::WavBuilder;

const fs::path kData = TRACKSIEVE_TEST_DATA;

std::uint32_t readU32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

std::uint16_t readU16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1])
                                                                                  << 8);
}

const RiffChunk& chunkOf(const std::vector<RiffChunk>& chunks, std::string_view id) {
    const auto found = std::find_if(chunks.begin(), chunks.end(), [&](const RiffChunk& c) { return c.id == id; });
    if (found == chunks.end()) throw std::runtime_error("no " + std::string(id) + " chunk");
    return *found;
}

std::vector<std::string> idsOf(const std::vector<RiffChunk>& chunks) {
    std::vector<std::string> ids;
    for (const RiffChunk& c : chunks) ids.push_back(c.id);
    return ids;
}

std::string textOf(std::string_view xml, std::string_view tag) {
    const std::optional<TextElement> found = findTextElement(xml, tag);
    return found ? std::string(found->content) : "<absent>";
}

std::string withoutElement(std::string xml, std::string_view tag) {
    const std::optional<std::string_view> found = findElement(xml, tag);
    if (!found) return xml;
    return xml.erase(static_cast<std::size_t>(found->data() - xml.data()), found->size());
}

std::string withoutPadding(std::string_view xml) {
    return std::string(xml.substr(0, xml.find_last_not_of(std::string_view(" \0\r\n\t", 5)) + 1));
}

std::vector<std::string> descriptionLines(std::string_view bext) {
    std::vector<std::string> lines;
    std::istringstream in(std::string(bext.substr(0, std::min<std::size_t>(256, bext.find('\0')))));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class MonoSplit : public ::testing::Test {
protected:
    std::vector<std::string> filesInDir() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.path())) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    testing::TempDir dir_;
};

// The recorder's own split of A101_1.WAV is the reference. Every difference that remains is
// deliberate and named here:
// - chunk order: bext, fmt, iXML (as a slim copy orders them) where the recorder writes fmt first;
// - the data chunk gets its pad byte (the recorder's files end after an odd-sized data chunk);
// - bext: the source's chunk with the other tracks' sTRKn= lines dropped and every other byte
//   kept, so the coding history stays and sFILENAME= still names the source, where the recorder
//   drops its coding history, renames sFILENAME and moves the sTRKn= line last;
// - iXML: the source's document with only TRACK_LIST and FILE_SET rewritten (the list with the
//   indentation and FUNCTION of a slim copy), where the recorder writes a document of its own
//   (new FILE_UID, a HISTORY naming the parent, an empty BEXT block, no indentation).
TEST_F(MonoSplit, MatchesTheRecordersOwnSplitChunkByChunk) {
    const fs::path source = dir_.path() / "A101_1.WAV";
    fs::copy_file(kData / "A101_1.WAV", source);
    const std::string sourceBytes = readFile(source);
    const std::vector<RiffChunk> sourceChunks = parseChunks(sourceBytes);

    // Both tracks are quiet (about -85 and -79 dBFS): they are kept by hand.
    const SplitOutcome outcome = splitPolyWav(source, {.choices = {TrackChoice::Keep, TrackChoice::Keep}});
    EXPECT_THAT(filesInDir(), ElementsAre("A101_1.WAV", "A101_1_1.WAV", "A101_1_2.WAV"));
    EXPECT_THAT(outcome.keptChannels, ElementsAre(0, 1));
    EXPECT_TRUE(outcome.removedChannels.empty());
    EXPECT_EQ(readFile(source), sourceBytes);

    for (const int track : {1, 2}) {
        const std::string name = "A101_1_" + std::to_string(track) + ".WAV";
        SCOPED_TRACE(name);
        const std::string oursBytes = readFile(dir_.path() / name);
        const std::vector<RiffChunk> ours = parseChunks(oursBytes);
        const std::vector<RiffChunk> reference = parseChunks(readFile(kData / name));

        EXPECT_THAT(idsOf(ours), ElementsAre("bext", "fmt ", "iXML", "data"));
        EXPECT_THAT(idsOf(reference), ElementsAre("fmt ", "bext", "iXML", "data"));
        EXPECT_EQ(readU32(oursBytes, 4), oursBytes.size() - 8);

        EXPECT_EQ(chunkOf(ours, "fmt ").body, chunkOf(reference, "fmt ").body);
        EXPECT_EQ(chunkOf(ours, "data").size, chunkOf(reference, "data").size);
        EXPECT_TRUE(chunkOf(ours, "data").body == chunkOf(reference, "data").body) << "samples differ";

        const std::string& bext = chunkOf(ours, "bext").body;
        const std::string& sourceBext = chunkOf(sourceChunks, "bext").body;
        const std::string& referenceBext = chunkOf(reference, "bext").body;
        EXPECT_EQ(bext.size(), sourceBext.size());
        EXPECT_EQ(bext.substr(256), sourceBext.substr(256));
        EXPECT_EQ(bext.substr(256, referenceBext.size() - 256), referenceBext.substr(256));
        auto comparable = [](std::vector<std::string> lines) {
            lines.erase(std::remove_if(lines.begin(), lines.end(),
                                       [](const std::string& l) { return l.rfind("sFILENAME=", 0) == 0; }),
                        lines.end());
            return std::multiset<std::string>(lines.begin(), lines.end());
        };
        EXPECT_EQ(comparable(descriptionLines(bext)), comparable(descriptionLines(referenceBext)));
        EXPECT_THAT(descriptionLines(bext), ::testing::Contains("sFILENAME=A101_1.WAV\r"));

        const std::string& ixml = chunkOf(ours, "iXML").body;
        const std::string& referenceIxml = chunkOf(reference, "iXML").body;
        for (const char* tag :
             {"TRACK_COUNT", "CHANNEL_INDEX", "INTERLEAVE_INDEX", "NAME", "TOTAL_FILES", "FILE_SET_INDEX", "FAMILY_UID",
              "SCENE", "TAKE", "TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO"}) {
            EXPECT_EQ(textOf(ixml, tag), textOf(referenceIxml, tag)) << tag;
        }
        const std::string& sourceIxml = chunkOf(sourceChunks, "iXML").body;
        EXPECT_EQ(withoutPadding(withoutElement(withoutElement(ixml, "TRACK_LIST"), "FILE_SET")),
                  withoutPadding(withoutElement(withoutElement(sourceIxml, "TRACK_LIST"), "FILE_SET")));
    }
}

// Noise-like values well above the threshold, different on every channel, within 16 bits.
std::int32_t loud(std::size_t frame, std::size_t channel) {
    return static_cast<std::int32_t>((frame * 7919 + channel * 104729) % 2001) * 16 - 16000;
}

struct SplitCase {
    std::string label;
    int bits = 16;
    bool isFloat = false;
    std::size_t channels = 3;
    std::vector<std::size_t> silent;
    std::size_t frames = 6;
    bool withIxml = true;
    bool withBext = true;
    std::optional<std::pair<std::size_t, std::size_t>>
        wakesAt{};  // (channel, frame): one loud sample late in a silent channel
    std::vector<std::int32_t> expectedNumbers{};
};

std::string ixmlWithNumbers(std::size_t channels) {
    // The recorder's track numbers differ from the positions: tracks 12, 14, 16 ... (beyond the
    // channel count, so that the names still go by position).
    std::string list = "<BWFXML>\n\t<SCENE>12</SCENE>\n\t<TRACK_LIST>\n";
    for (std::size_t c = 0; c < channels; ++c) {
        list += "\t\t<TRACK><CHANNEL_INDEX>" + std::to_string(10 + 2 * (c + 1)) + "</CHANNEL_INDEX><INTERLEAVE_INDEX>" +
                std::to_string(c + 1) + "</INTERLEAVE_INDEX><NAME>Mic " + std::to_string(c + 1) + "</NAME></TRACK>\n";
    }
    return list + "\t</TRACK_LIST>\n</BWFXML>\n";
}

// One chunk per channel ("ond1".."ondN") and a PEAK chunk with a pair per channel.
std::string peakBody(std::size_t channels) {
    std::string body(8, '\x01');
    for (std::size_t c = 0; c < channels; ++c) body += std::string(8, static_cast<char>('a' + c));
    return body;
}

std::string sampleBytes(const SplitCase& c, std::size_t frame, std::size_t channel) {
    const bool silent = std::find(c.silent.begin(), c.silent.end(), channel) != c.silent.end();
    const bool wakes = c.wakesAt && c.wakesAt->first == channel && c.wakesAt->second == frame;
    const std::int32_t value = wakes ? 30000 : silent ? static_cast<std::int32_t>(frame % 3) : loud(frame, channel);
    if (c.isFloat) return testing::floatFrames({{static_cast<float>(value) / 32768.0f}});
    return testing::pcmFrames(c.bits, {{value << (c.bits - 16)}});
}

TEST_F(MonoSplit, WritesEachKeptChannelWithItsOwnChunks) {
    const std::vector<SplitCase> cases = {
        {.label = "16-bit, iXML and bext", .silent = {1}, .expectedNumbers = {12, 16}},
        {.label = "24-bit", .bits = 24, .channels = 4, .silent = {0, 3}, .expectedNumbers = {14, 16}},
        {.label = "32-bit", .bits = 32, .channels = 2, .silent = {}, .expectedNumbers = {12, 14}},
        {.label = "float", .bits = 32, .isFloat = true, .silent = {2}, .expectedNumbers = {12, 14}},
        {.label = "no iXML, no bext", .silent = {0}, .withIxml = false, .withBext = false, .expectedNumbers = {2, 3}},
        {.label = "odd frame count, 24-bit, no iXML",
         .bits = 24,
         .channels = 3,
         .silent = {1},
         .frames = 7,
         .withIxml = false,
         .expectedNumbers = {1, 3}},
        {.label = "a silent channel waking after the first block",
         .silent = {1},
         .frames = kBlockFrames + 500,
         .wakesAt = std::make_pair(std::size_t{1}, kBlockFrames + 10),
         .expectedNumbers = {12, 14, 16}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.label);
        const testing::TempDir dir;
        std::string samples;
        for (std::size_t f = 0; f < c.frames; ++f)
            for (std::size_t ch = 0; ch < c.channels; ++ch) samples += sampleBytes(c, f, ch);
        WavBuilder builder;
        const std::string bext = bextBody(123456789, 602);
        if (c.withBext) builder.chunk("bext", bext);
        builder.fmt({.formatTag = static_cast<std::uint16_t>(c.isFloat ? 3 : 1),
                     .channels = static_cast<std::uint16_t>(c.channels),
                     .bitsPerSample = static_cast<std::uint16_t>(c.bits)});
        if (c.withIxml) builder.chunk("iXML", ixmlWithNumbers(c.channels));
        for (std::size_t ch = 0; ch < c.channels; ++ch)
            builder.chunk("ond" + std::to_string(ch + 1), "note " + std::to_string(ch));
        builder.data(samples).chunk("PEAK", peakBody(c.channels)).chunk("LIST", "after");
        const std::string bytes = builder.bytes();
        const fs::path source = dir.write("Take.WAV", bytes);

        const SplitOutcome outcome = splitPolyWav(source, {});
        EXPECT_EQ(readFile(source), bytes);
        ASSERT_EQ(outcome.written.size(), c.expectedNumbers.size());
        EXPECT_EQ(outcome.keptChannels.size() + outcome.removedChannels.size(), c.channels);
        std::set<std::string> familyUids;
        for (std::size_t k = 0; k < outcome.written.size(); ++k) {
            const std::size_t channel = static_cast<std::size_t>(outcome.keptChannels[k]);
            const std::string number = std::to_string(c.expectedNumbers[k]);
            SCOPED_TRACE("track " + number);
            EXPECT_EQ(outcome.written[k], dir.path() / ("Take_" + number + ".WAV"));
            const std::string out = readFile(outcome.written[k]);
            const std::vector<RiffChunk> chunks = parseChunks(out);
            EXPECT_EQ(readU32(out, 4), out.size() - 8);

            const std::string fmt = chunkOf(chunks, "fmt ").body;
            EXPECT_EQ(fmt.size(), 16u);
            EXPECT_EQ(readU16(fmt, 0), c.isFloat ? 3 : 1);
            EXPECT_EQ(readU16(fmt, 2), 1);
            EXPECT_EQ(readU16(fmt, 12), c.bits / 8);
            EXPECT_EQ(readU16(fmt, 14), c.bits);
            std::string expected;
            for (std::size_t f = 0; f < c.frames; ++f) expected += sampleBytes(c, f, channel);
            EXPECT_TRUE(chunkOf(chunks, "data").body == expected) << "samples differ";

            EXPECT_EQ(chunkOf(chunks, "ond1").body, "note " + std::to_string(channel));
            EXPECT_EQ(std::count_if(chunks.begin(), chunks.end(),
                                    [](const RiffChunk& r) { return r.id.rfind("ond", 0) == 0; }),
                      1);
            EXPECT_EQ(chunkOf(chunks, "PEAK").body,
                      std::string(8, '\x01') + std::string(8, static_cast<char>('a' + channel)));
            EXPECT_EQ(chunkOf(chunks, "LIST").body, "after");
            if (c.withBext) {
                EXPECT_EQ(chunkOf(chunks, "bext").body, bext);
            }

            const std::string& ixml = chunkOf(chunks, "iXML").body;
            EXPECT_EQ(textOf(ixml, "TRACK_COUNT"), "1");
            EXPECT_EQ(textOf(ixml, "CHANNEL_INDEX"), number);
            EXPECT_EQ(textOf(ixml, "INTERLEAVE_INDEX"), "1");
            EXPECT_EQ(textOf(ixml, "NAME"),
                      c.withIxml ? "Mic " + std::to_string(channel + 1) : "Track " + std::to_string(channel + 1));
            EXPECT_EQ(textOf(ixml, "TOTAL_FILES"), std::to_string(c.expectedNumbers.size()));
            EXPECT_EQ(textOf(ixml, "FILE_SET_INDEX"), number);
            if (c.withIxml) {
                EXPECT_EQ(textOf(ixml, "SCENE"), "12");
            }
            familyUids.insert(textOf(ixml, "FAMILY_UID"));
        }
        ASSERT_EQ(familyUids.size(), 1u) << "one family for all files of a take";
        // Checked by hand: GoogleTest's regular expressions on Windows know no classes or counts.
        const std::string& familyUid = *familyUids.begin();
        EXPECT_EQ(familyUid.size(), 32u);
        EXPECT_EQ(familyUid.find_first_not_of("0123456789ABCDEF"), std::string::npos) << familyUid;
    }
}

TEST_F(MonoSplit, ChoicesAndRefusals) {
    const std::string bytes = testing::wavWithLevels({1000, 0, 1000});
    const fs::path source = dir_.path() / "A.wav";
    testing::writeFile(source, bytes);
    struct ChoiceCase {
        std::string label;
        SplitOptions options;
        std::vector<std::int32_t> kept;
        std::string refusal;
    };
    const std::vector<ChoiceCase> cases = {
        {"the threshold", {}, {0, 2}, ""},
        {"a silent track kept by hand", {.choices = {TrackChoice::FollowThreshold, TrackChoice::Keep}}, {0, 1, 2}, ""},
        {"a sounding track removed by hand", {.choices = {TrackChoice::Remove}}, {2}, ""},
        {"a threshold above every peak", {.threshold = 0.5}, {}, "All tracks are empty \xE2\x80\x94 nothing to keep"},
        {"everything removed",
         {.choices = {TrackChoice::Remove, TrackChoice::FollowThreshold, TrackChoice::Remove}},
         {},
         "Every track would be removed \xE2\x80\x94 nothing to keep"},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(c.label);
        if (!c.refusal.empty()) {
            try {
                splitPolyWav(source, c.options);
                ADD_FAILURE() << "no refusal";
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(std::string(e.what()), c.refusal);
            }
            EXPECT_THAT(filesInDir(), ElementsAre("A.wav"));
            continue;
        }
        const SplitOutcome outcome = splitPolyWav(source, c.options);
        EXPECT_EQ(outcome.keptChannels, c.kept);
        std::vector<std::string> expectedFiles = {"A.wav"};
        for (const std::int32_t channel : c.kept) expectedFiles.push_back("A_" + std::to_string(channel + 1) + ".wav");
        EXPECT_THAT(filesInDir(), ElementsAreArray(expectedFiles));
        for (const fs::path& written : outcome.written) fs::remove(written);
    }
}

TEST_F(MonoSplit, IntoAnotherFolderReplacingAnEarlierSplit) {
    const fs::path source = dir_.path() / "A.wav";
    testing::writeFile(source, testing::wavWithLevels({1000, 0, 1000}));
    const fs::path out = dir_.path() / "mono";
    testing::writeFile(out / "A_1.wav", "an earlier split");
    const SplitOutcome outcome = splitPolyWav(source, {.outputDir = out});
    EXPECT_THAT(outcome.written, ElementsAre(out / "A_1.wav", out / "A_3.wav"));
    EXPECT_EQ(analyzePolyWav(out / "A_1.wav", kThreshold).channels, 1);
    EXPECT_THAT(filesInDir(), ElementsAre("A.wav", "mono"));
}

TEST_F(MonoSplit, AFailurePartWayLeavesNoFileOfTheSplit) {
    using platform::FileOperation;
    std::string samples;
    for (std::size_t f = 0; f < 3 * kBlockFrames; ++f)
        samples += testing::pcmFrames(16, {{loud(f, 0), 0, loud(f, 2), loud(f, 3)}});
    const std::string bytes = WavBuilder().fmt({.channels = 4}).data(samples).bytes();
    const fs::path source = dir_.path() / "A.wav";
    testing::writeFile(source, bytes);
    testing::writeFile(dir_.path() / "A_4.wav", "an earlier split");

    int writeCalls = 0;
    {
        InjectedFaults count(
            [&](FileOperation operation) { return operation == FileOperation::Write ? (++writeCalls, 0) : 0; });
        fs::create_directory(dir_.path() / "counted");
        splitPolyWav(source, {.outputDir = dir_.path() / "counted"});
        fs::remove_all(dir_.path() / "counted");
    }
    ASSERT_GE(writeCalls, 9);

    struct Fault {
        std::string label;
        FileOperation operation;
        int error;
        int failingCall;
        std::string message;
    };
    const std::vector<Fault> faults = {
        {"the second file not created", FileOperation::Create, EACCES, 2, "Could not create output file"},
        {"a write failing part way", FileOperation::Write, EIO, writeCalls / 2, "Could not write output file"},
        {"the disk full at the last write", FileOperation::Write, ENOSPC, writeCalls, "Could not write output file"},
        {"the last flush failing", FileOperation::Sync, EIO, 3, "Could not write output file"},
        {"the second rename refused", FileOperation::Rename, EXDEV, 2, "Could not move the output into place"},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.label);
        int calls = 0;
        InjectedFaults inject([&](FileOperation operation) {
            return operation == fault.operation && ++calls == fault.failingCall ? fault.error : 0;
        });
        try {
            splitPolyWav(source, {});
            ADD_FAILURE() << "no failure reported";
        } catch (const std::exception& e) {
            EXPECT_THAT(e.what(), ::testing::HasSubstr(fault.message));
        }
        EXPECT_EQ(readFile(source), bytes);
        EXPECT_EQ(readFile(dir_.path() / "A_4.wav"), "an earlier split");
        EXPECT_THAT(filesInDir(), ElementsAre("A.wav", "A_4.wav"));
    }
}

// A take rewritten in place or replaced by another while it is split (a copy from the card
// still going, a new take moved in) may leave files that hold neither take whole.
TEST_F(MonoSplit, ASourceChangedDuringTheSplitLeavesNoFile) {
    using platform::FileOperation;
    const std::string bytes =
        WavBuilder().fmt({.channels = 3}).data(testing::pcmFrames(16, {64, {900, 0, 700}})).bytes();
    const std::string other =
        WavBuilder().fmt({.channels = 3}).data(testing::pcmFrames(16, {64, {800, 0, 600}})).bytes();
    ASSERT_EQ(bytes.size(), other.size());
    const fs::path source = dir_.path() / "A.wav";
    struct Change {
        std::string label;
        FileOperation when;
        std::function<void()> make;
    };
    const std::vector<Change> changes = {
        {"rewritten in place while the files are closed", FileOperation::Close,
         [&] {
             std::fstream file(source, std::ios::binary | std::ios::in | std::ios::out);
             file.write(other.data(), static_cast<std::streamsize>(other.size()));
         }},
        {"replaced by another take while the files are flushed", FileOperation::Sync,
         [&] {
             testing::writeFile(dir_.path() / "B.wav", other);
             fs::rename(dir_.path() / "B.wav", source);
         }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.label);
        testing::writeFile(source, bytes);
        testing::writeFile(dir_.path() / "A_3.wav", "an earlier split");
        bool changed = false;
        {
            InjectedFaults strike([&](FileOperation operation) {
                if (operation == change.when && !changed) {
                    changed = true;
                    change.make();
                }
                return 0;
            });
            try {
                splitPolyWav(source, {});
                ADD_FAILURE() << "the split went through";
            } catch (const std::exception& e) {
                EXPECT_STREQ(e.what(), "The source file changed while it was being split");
            }
        }
        EXPECT_TRUE(changed);
        EXPECT_EQ(readFile(source), other);
        EXPECT_EQ(readFile(dir_.path() / "A_3.wav"), "an earlier split");
        EXPECT_THAT(filesInDir(), ElementsAre("A.wav", "A_3.wav"));
    }
}

#ifndef _WIN32
// A signal ends the split in a child process at the chosen file operation, as a user's Ctrl-C
// would: a take of many tracks holds more files open than a slim, and the files take their
// names one after the other.
TEST_F(MonoSplit, AnEndingSignalLeavesNoFileOfTheSplit) {
    using platform::FileOperation;
    struct Strike {
        std::string label;
        std::uint16_t channels;
        FileOperation operation;
        int call;
    };
    const std::vector<Strike> strikes = {
        {"24 tracks being written", 24, FileOperation::Write, 30},
        {"the first file named, the second not yet", 4, FileOperation::Rename, 2},
        {"the files named, the folder being flushed", 3, FileOperation::SyncFolder, 1},
        {"the last file not yet named", 4, FileOperation::Rename, 4},
    };
    for (const Strike& strike : strikes) {
        SCOPED_TRACE(strike.label);
        std::vector<std::int32_t> levels(strike.channels, 0);
        for (std::size_t c = 0; c < levels.size(); ++c) levels[c] = 1000 + static_cast<std::int32_t>(c);
        const std::string bytes =
            WavBuilder().fmt({.channels = strike.channels}).data(testing::pcmFrames(16, {64, levels})).bytes();
        const fs::path source = dir_.path() / "A.wav";
        testing::writeFile(source, bytes);
        testing::writeFile(dir_.path() / "A_4.wav", "an earlier split");

        const pid_t child = fork();
        if (child == 0) {
            removeUnfinishedOutputsOnSignals();
            int calls = 0;
            platform::setFaultInjector([&](FileOperation operation) {
                if (operation == strike.operation && ++calls == strike.call) std::raise(SIGTERM);
                return 0;
            });
            try {
                splitPolyWav(source, {});
            } catch (...) {
                _exit(2);
            }
            _exit(0);
        }
        int status = -1;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
        EXPECT_EQ(readFile(source), bytes);
        EXPECT_EQ(readFile(dir_.path() / "A_4.wav"), "an earlier split");
        EXPECT_THAT(filesInDir(), ElementsAre("A.wav", "A_4.wav"));
        for (const std::string& name : filesInDir()) fs::remove(dir_.path() / name);
    }
}
#endif

#ifdef __linux__
// Bytes this process has read through read() and its kin so far.
std::uint64_t bytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") return value;
    }
    return 0;
}

TEST_F(MonoSplit, ReadsTheSourceOnceForAllItsFiles) {
    if (bytesReadSoFar() == 0) GTEST_SKIP() << "no /proc/self/io";
    struct ReadCase {
        std::string label;
        std::vector<std::size_t> silent;
        double mostRead;  // in file sizes
    };
    // Once per file would be six or eight times the size. Without a silent track the analysis
    // stops after its first block (a quarter of this file) and the files are written in one read.
    for (const ReadCase& c : std::vector<ReadCase>{{"two of eight silent", {3, 7}, 1.05}, {"none silent", {}, 1.55}}) {
        SCOPED_TRACE(c.label);
        std::string samples;
        for (std::size_t f = 0; f < 4 * kBlockFrames; ++f) {
            for (std::size_t ch = 0; ch < 8; ++ch) {
                const bool silent = std::find(c.silent.begin(), c.silent.end(), ch) != c.silent.end();
                samples += testing::pcmFrames(16, {{silent ? 0 : loud(f, ch)}});
            }
        }
        const fs::path source = dir_.path() / "Eight.wav";
        testing::writeFile(source, WavBuilder().fmt({.channels = 8}).data(samples).bytes());
        const auto size = static_cast<double>(fs::file_size(source));

        const std::uint64_t before = bytesReadSoFar();
        const SplitOutcome outcome = splitPolyWav(source, {});
        const auto read = static_cast<double>(bytesReadSoFar() - before);
        EXPECT_EQ(outcome.written.size(), 8 - c.silent.size());
        EXPECT_LT(read, size * c.mostRead) << "read " << read << " bytes of a " << size << " byte file";
        EXPECT_GE(read, size);
        for (const fs::path& written : outcome.written) fs::remove(written);
    }
}
#endif

}  // namespace
}  // namespace tracksieve
