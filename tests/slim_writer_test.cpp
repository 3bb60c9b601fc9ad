#include "tracksieve/slim_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <csignal>
#include <functional>
#include <limits>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "child_process.h"
#include "little_endian.h"
#include "output_file.h"
#include "platform_file.h"
#include "tracksieve/analysis.h"
#include "tracksieve/scan.h"
#include "tracksieve/track_list_rewrite.h"
#include "injected_faults.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using testing::fmtBody;
using testing::Format;
using testing::InjectedFaults;
using testing::InjectedReadFaults;
using testing::parseChunks;
using testing::pcmFrames;
using testing::readFile;
using testing::RiffChunk;
using ::testing::ThrowsMessage;
using testing::WavBuilder;

constexpr double kThreshold = 0.001;
const fs::path kData = TRACKSIEVE_TEST_DATA;
using Frames = std::vector<std::vector<std::int32_t>>;

std::string bodyOf(const std::vector<RiffChunk>& chunks, const std::string& id) {
    for (const RiffChunk& chunk : chunks) {
        if (chunk.id == id) return chunk.body;
    }
    return "(no " + id + " chunk)";
}

// Runs `call` in a child process whose files may not grow beyond 32 KiB, so that the disk seems
// to fill up halfway through the output. True when the call reports the write failure.
bool failsToWriteOnAFullDisk(const std::function<void()>& call) {
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{32 * 1024, 32 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            call();
        } catch (const std::runtime_error& e) {
            _exit(std::string(e.what()) == "Could not write output file (File too large)" ? 0 : 1);
        }
        _exit(1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Hidden temporary files of any run, in `dir`.
std::vector<std::string> temporaryFilesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.front() == '.' && name.find("_compressing") != std::string::npos) names.push_back(name);
    }
    return names;
}

class SlimWriter : public ::testing::Test {
protected:
    fs::path write(const std::string& name, const std::string& bytes) { return dir_.write(name, bytes); }

    // What a slim of `bytes` writes, made in a folder of its own so that this one stays as it is.
    static std::string slimMadeElsewhere(const std::string& bytes) {
        const testing::TempDir elsewhere;
        return readFile(compressPolyWav(elsewhere.write("reference.wav", bytes), false, kThreshold));
    }

    std::vector<std::string> filesInDir() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.path())) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    testing::TempDir dir_;
};

TEST_F(SlimWriter, RefusesWithoutWritingAnyFile) {
    const std::string samples = pcmFrames(16, {{100, 0}, {-100, 0}});
    const std::vector<std::pair<std::string, std::string>> cases = {
        {WavBuilder().fmt({}).data(pcmFrames(16, {{1000, 1000}})).bytes(), "No empty tracks to remove"},
        {WavBuilder().fmt({}).data(pcmFrames(16, {{1, -1}})).bytes(),
         "All tracks are empty \xE2\x80\x94 nothing to keep"},
        {WavBuilder().fmt({.bitsPerSample = 8}).data("\x80\x01").bytes(), "Unsupported bit depth"},
        {WavBuilder().chunk("fmt ", fmtBody({}).substr(0, 14)).data(samples).bytes(), "Invalid fmt chunk"},
        {WavBuilder().fmt({.blockAlign = 2}).data(samples).bytes(), "Invalid format"},
    };
    for (const auto& [bytes, message] : cases) {
        const fs::path source = write("take.wav", bytes);
        EXPECT_THAT([&] { compressPolyWav(source, false, kThreshold); }, ThrowsMessage<std::runtime_error>(message));
        EXPECT_THAT([&] { compressPolyWav(source, true, kThreshold); }, ThrowsMessage<std::runtime_error>(message));
        EXPECT_THAT(filesInDir(), ElementsAre("take.wav")) << message;
        EXPECT_EQ(readFile(source), bytes);
    }
    EXPECT_THAT([&] { compressPolyWav(dir_.path() / "absent.wav", false, kThreshold); },
                ThrowsMessage<std::runtime_error>("Could not open file"));
}

// Each source is slimmed with `threshold`; the result must hold exactly the chunks `ids`, the
// listed chunks must hold exactly the listed bodies, and every size must match the bytes written.
struct LayoutCase {
    std::string label;
    std::string source;
    std::vector<std::string> ids;
    std::vector<std::pair<std::string, std::string>> bodies;
    double threshold = kThreshold;
};

// The samples of `channels`, `width` bytes each, from interleaved frames of `stride` bytes.
std::string channelBytes(std::string_view samples, std::size_t stride, std::size_t width,
                         const std::vector<std::size_t>& channels) {
    std::string out;
    for (std::size_t frame = 0; frame + stride <= samples.size(); frame += stride) {
        for (std::size_t c : channels) out.append(samples.substr(frame + c * width, width));
    }
    return out;
}

std::string nulFilled(std::string text, std::size_t size) {
    text.resize(std::max(text.size(), size), '\0');
    return text;
}

std::vector<LayoutCase> layoutCases() {
    const std::vector<std::string> audioOnly = {"fmt ", "iXML", "data"};
    std::vector<LayoutCase> cases;
    // Full-scale and odd values on loud channels, a whisper on quiet ones.
    const std::string six = pcmFrames(
        24,
        {{8388607, 3, 1, -7, 2, 8388606}, {-8388608, -2, -1, 12345, 0, -8388607}, {4194304, 0, 65536, -65536, -3, 1}});
    cases.push_back(
        {"six 24-bit channels losing two",
         WavBuilder().fmt({.channels = 6, .bitsPerSample = 24}).data(six).bytes(),
         audioOnly,
         {{"fmt ", std::string("\xFE\xFF\x04\x00\x80\xBB\x00\x00\x00\xCA\x08\x00\x0C\x00\x18\x00\x16\x00\x18\x00"
                               "\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71",
                               40)},
          {"iXML", buildTrackListIxml({"Track 1", "Track 3", "Track 4", "Track 6"})},
          {"data", channelBytes(six, 18, 3, {0, 2, 3, 5})}}});
    // Integer samples that a trip through floats would change: full scale at every depth, 16385
    // and 24576 at 16 bits, 123456789 at 32.
    for (int bits : {16, 24, 32}) {
        Frames frames;
        for (std::int32_t v : {INT32_MAX, INT32_MIN, 0x40010000, 0x60000000, 123456789})
            frames.push_back({0, v >> (32 - bits), 0, ~v >> (32 - bits)});
        const auto depth = static_cast<std::uint16_t>(bits);
        const std::string samples = pcmFrames(bits, frames);
        cases.push_back({std::to_string(bits) + "-bit samples",
                         WavBuilder().fmt({.channels = 4, .bitsPerSample = depth}).data(samples).bytes(),
                         audioOnly,
                         {{"fmt ", fmtBody({.channels = 2, .bitsPerSample = depth})},
                          {"data", channelBytes(samples, bits / 2, bits / 8, {1, 3})}}});
    }
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::string floats =
        testing::floatFrames({{0.5f, 0.0f, 1.5f, -0.0f, -2.0f}, {-1.0f, 0.0f, nan, 0.0f, 1e-30f}});
    cases.push_back({"float samples, three kept",
                     WavBuilder().fmt({.formatTag = 3, .channels = 5, .bitsPerSample = 32}).data(floats).bytes(),
                     audioOnly,
                     {{"fmt ", fmtBody({.channels = 3, .bitsPerSample = 32, .extensible = true, .subFormat = 3})},
                      {"data", channelBytes(floats, 20, 4, {0, 2, 4})}}});
    cases.push_back(
        {"float samples at 96 kHz of an extensible source, two kept",
         WavBuilder()
             .fmt({.channels = 3, .sampleRate = 96000, .bitsPerSample = 32, .extensible = true, .subFormat = 3})
             .data(testing::floatFrames({{0.5f, -0.0f, -3.0f}}))
             .bytes(),
         audioOnly,
         {{"fmt ", fmtBody({.formatTag = 3, .channels = 2, .sampleRate = 96000, .bitsPerSample = 32})},
          {"data", testing::floatFrames({{0.5f, -3.0f}})}}});
    const std::string padded =
        pcmFrames(16, {{1000, 0, 2000, 3000, 0}}) + "PAD!" + pcmFrames(16, {{-1000, 0, -2000, -3000, 0}}) + "PAD!";
    cases.push_back(
        {"frames with 4 bytes of padding",
         WavBuilder().fmt({.channels = 5, .blockAlign = 14}).data(padded).bytes(),
         audioOnly,
         {{"fmt ", fmtBody({.channels = 3, .extensible = true})}, {"data", channelBytes(padded, 14, 2, {0, 2, 3})}}});

    const std::string loud = pcmFrames(16, {{0, 700}, {0, -700}});
    const std::string keptLoud = pcmFrames(16, {{700}, {-700}});
    const std::string bext = testing::bextBody(123456789);
    const std::string ixml = "<BWFXML></BWFXML>";
    cases.push_back({"bext first stays first",
                     WavBuilder().chunk("bext", bext).fmt({}).chunk("iXML", ixml).data(loud).bytes(),
                     {"bext", "fmt ", "iXML", "data"},
                     {{"bext", bext}}});
    cases.push_back({"bext second moves behind fmt",
                     WavBuilder().chunk("iXML", ixml).chunk("bext", bext).fmt({}).data(loud).bytes(),
                     {"fmt ", "iXML", "bext", "data"},
                     {{"bext", bext}}});
    cases.push_back({"iXML after the audio stays there",
                     WavBuilder().chunk("bext", bext).fmt({}).data(loud).chunk("iXML", ixml).bytes(),
                     {"bext", "fmt ", "data", "iXML"},
                     {}});
    cases.push_back({"the last data chunk wins",
                     WavBuilder()
                         .fmt({})
                         .data(pcmFrames(16, {{9, 9}}))
                         .chunk("LIST", "between")
                         .data(loud)
                         .chunk("cue ", "after!")
                         .bytes(),
                     {"fmt ", "iXML", "data", "LIST", "cue "},
                     {{"data", keptLoud}, {"LIST", "between"}}});
    // A size field is only a claim: the copy holds what the source holds, and says so.
    cases.push_back({"metadata cut short is written with the bytes present",
                     WavBuilder().fmt({}).data(loud).chunkDeclaring("tail", "xyz", 1001).bytes(),
                     {"fmt ", "iXML", "data", "tail"},
                     {{"tail", "xyz"}}});
    cases.push_back({"a chunk claiming nearly 4 GiB is written with the bytes present",
                     WavBuilder().fmt({}).data(loud).chunkDeclaring("JUNK", "abc", 0xFFFFFFF0u).bytes(),
                     {"fmt ", "iXML", "data", "JUNK"},
                     {{"JUNK", "abc"}}});
    const std::string oddData = pcmFrames(24, {{100000, 0, 100000, 100000}, {1, 0, 2, 3}, {4, 0, 5, 6}});
    cases.push_back({"odd data size",
                     WavBuilder().fmt({.channels = 4, .bitsPerSample = 24}).data(oddData).bytes(),
                     audioOnly,
                     {{"data", channelBytes(oddData, 12, 3, {0, 2, 3})}}});
    const std::string shortData = pcmFrames(16, {{0, 700, 800}, {0, -700, -800}, {0, 1, 2}});
    cases.push_back({"sample data shorter than declared, ending in a partial frame",
                     WavBuilder().fmt({.channels = 3}).chunkDeclaring("data", shortData + "\x01\x02", 6000).bytes(),
                     audioOnly,
                     {{"data", channelBytes(shortData, 6, 2, {1, 2})}}});

    const std::string fourTracks =
        "<BWFXML><TRACK_LIST><TRACK_COUNT>4</TRACK_COUNT>"
        "<TRACK><INTERLEAVE_INDEX>1</INTERLEAVE_INDEX><NAME>Boom</NAME></TRACK>"
        "<TRACK><INTERLEAVE_INDEX>2</INTERLEAVE_INDEX><NAME>Lav 1</NAME></TRACK>"
        "<TRACK><INTERLEAVE_INDEX>3</INTERLEAVE_INDEX><NAME>Lav 2</NAME></TRACK>"
        "<TRACK><INTERLEAVE_INDEX>4</INTERLEAVE_INDEX><NAME>Lav 3</NAME></TRACK>"
        "</TRACK_LIST></BWFXML>";
    cases.push_back(
        {"channel-describing chunks follow the kept channels",
         WavBuilder()
             .fmt({.channels = 4})
             .chunk("IXML", fourTracks)
             .data(pcmFrames(16, {{900, 0, 900, 900}}))
             .chunk("ond1", "first")
             .chunk("ond2", "second")
             .chunk("ond3", "third")
             .bytes(),
         {"fmt ", "iXML", "data", "ond1", "ond2"},
         {{"iXML", "<BWFXML>" + buildTrackListInner({"Boom", "Lav 2", "Lav 3"}) + "</BWFXML>"}, {"ond2", "third"}}});
    const std::string twoTracks = "<BWFXML><TRACK_LIST><TRACK_COUNT>2</TRACK_COUNT></TRACK_LIST></BWFXML>";
    cases.push_back({"iXML cut short at the end",
                     WavBuilder().fmt({}).data(loud).chunkDeclaring("iXML", twoTracks, 5000).bytes(),
                     {"fmt ", "data", "iXML"},
                     {{"iXML", "<BWFXML>" + buildTrackListInner({"Track 2"}) + "</BWFXML>"}}});

    // Zoom H4n: both channels hold only noise; a threshold between their peaks (0.000122 and
    // 0.000153) keeps the second.
    const std::string zoom = readFile(kData / "STE-000.wav");
    const auto zoomChunks = parseChunks(zoom);
    cases.push_back({"Zoom H4n recording",
                     zoom,
                     {"bext", "fmt ", "iXML", "data", "cue ", "list"},
                     {{"bext", zoomChunks[0].body},
                      {"fmt ", fmtBody({.channels = 1})},
                      {"iXML", buildTrackListIxml({"Track 2"})},
                      {"data", channelBytes(zoomChunks[2].body, 4, 2, {1})},
                      {"cue ", zoomChunks[3].body},
                      {"list", zoomChunks[4].body}},
                     0.00014});
    // Nuendo 5.1, digital silence with a 2-byte `Fake` chunk and iXML after the audio: four
    // channels get a signal here.
    std::string nuendo = readFile(kData / "wavinfo Test Project - Audio - 5.1.wav");
    for (std::size_t channel : {0u, 1u, 2u, 4u}) nuendo[nuendo.find("data") + 8 + 18 * 100 + channel * 3 + 2] = '\x40';
    const auto nuendoChunks = parseChunks(nuendo);
    const std::string& nuendoIxml = nuendoChunks[5].body;
    const std::size_t listStart = nuendoIxml.find("<TRACK_LIST>");
    const std::size_t listEnd = nuendoIxml.find("</TRACK_LIST>") + 13;
    cases.push_back({"Nuendo 5.1 recording",
                     nuendo,
                     {"fmt ", "JUNK", "bext", "Fake", "data", "iXML"},
                     {{"fmt ", fmtBody({.channels = 4, .bitsPerSample = 24, .extensible = true})},
                      {"JUNK", nuendoChunks[0].body},
                      {"bext", nuendoChunks[1].body},
                      {"Fake", nuendoChunks[2].body},
                      {"data", channelBytes(nuendoChunks[4].body, 18, 3, {0, 1, 2, 4})},
                      {"iXML", nulFilled(nuendoIxml.substr(0, listStart) +
                                             buildTrackListInner({"Track 1", "Track 2", "Track 3", "Track 5"}) +
                                             nuendoIxml.substr(listEnd),
                                         nuendoIxml.size())}}});
    return cases;
}

TEST_F(SlimWriter, WritesEveryChunkInPlaceWithKeptSamplesBitForBit) {
    for (const LayoutCase& c : layoutCases()) {
        SCOPED_TRACE(c.label);
        const fs::path result = compressPolyWav(write("take.wav", c.source), false, c.threshold);
        EXPECT_EQ(result, dir_.path() / "take_SLIM.wav");
        const std::string file = readFile(result);
        const auto chunks = parseChunks(file);
        std::vector<std::string> ids;
        for (const RiffChunk& chunk : chunks) {
            ids.push_back(chunk.id);
            EXPECT_EQ(chunk.size, chunk.body.size()) << chunk.id;
        }
        EXPECT_EQ(ids, c.ids);
        for (const auto& [id, body] : c.bodies) EXPECT_EQ(bodyOf(chunks, id), body) << id;
        EXPECT_EQ(le::readU32(reinterpret_cast<const unsigned char*>(file.data()) + 4), file.size() - 8);
        EXPECT_EQ(file.size() % 2, 0u) << "odd chunks are padded";
        if (chunks.back().size % 2 == 1) {
            EXPECT_EQ(file.back(), '\0');
        }
    }
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

TEST_F(SlimWriter, TheSourceIsOnlyEverReplacedThroughTheHiddenTemporaryName) {
    const std::string bytes = WavBuilder().fmt({}).data(pcmFrames(16, {{0, 700}, {0, -700}})).bytes();
    const std::string slim = readFile(compressPolyWav(write("reference.wav", bytes), false, kThreshold));

    // A link planted under the temporary name must be replaced, never written through.
    const fs::path victim = write("victim.txt", "keep me");
    fs::create_symlink(victim, dir_.path() / ".A_compressing.wav");
    const fs::path a = write("A.wav", bytes);
    EXPECT_EQ(compressPolyWav(a, true, kThreshold), a);
    EXPECT_EQ(readFile(a), slim);
    EXPECT_EQ(readFile(victim), "keep me");

    // An output path naming the source must not truncate it before it is read, even without
    // overwrite, and neither must a _SLIM name that is a link to the source.
    const fs::path bOtherSpelling = dir_.path() / "." / "B.wav";
    write("B.wav", bytes);
    EXPECT_EQ(compressPolyWav(dir_.path() / "B.wav", false, kThreshold, bOtherSpelling), bOtherSpelling);
    EXPECT_EQ(readFile(bOtherSpelling), slim);
    const fs::path c = write("C.wav", bytes);
    fs::create_symlink(c, dir_.path() / "C_SLIM.wav");
    compressPolyWav(c, false, kThreshold);
    EXPECT_EQ(readFile(c), bytes);
    EXPECT_EQ(readFile(dir_.path() / "C_SLIM.wav"), slim);
    EXPECT_THAT(filesInDir(), ElementsAre("A.wav", "B.wav", "C.wav", "C_SLIM.wav", "reference.wav",
                                          "reference_SLIM.wav", "victim.txt"));
}

TEST_F(SlimWriter, OutputFailuresLeaveTheSourceIntactAndNoPartialOrTemporaryFile) {
    // 80 000 bytes of kept samples: far beyond the child's file-size limit.
    const std::string bytes =
        WavBuilder().fmt({.channels = 3}).data(pcmFrames(16, {20000, {0, 28672, -28672}})).bytes();
    const fs::path source = write("A.wav", bytes);
    const auto expectCleanFailure = [&](bool overwrite, const std::vector<std::string>& files) {
        EXPECT_TRUE(failsToWriteOnAFullDisk([&] { compressPolyWav(source, overwrite, kThreshold); }));
        EXPECT_EQ(readFile(source), bytes);
        EXPECT_EQ(filesInDir(), files) << (overwrite ? "overwrite" : "_SLIM");
    };
    expectCleanFailure(true, {"A.wav"});
    expectCleanFailure(false, {"A.wav"});
    // A slim file of an earlier run stays as it was until a complete one replaces it.
    write("A_SLIM.wav", "an older slim file");
    expectCleanFailure(false, {"A.wav", "A_SLIM.wav"});
    EXPECT_EQ(readFile(dir_.path() / "A_SLIM.wav"), "an older slim file");
    fs::remove(dir_.path() / "A_SLIM.wav");

    // Only a file or a link is ever replaced: never a device or a folder.
    if (fs::is_character_file("/dev/full")) {
        EXPECT_THAT([&] { compressPolyWav(source, false, kThreshold, "/dev/full"); },
                    ThrowsMessage<std::runtime_error>("Could not create output file"));
        EXPECT_TRUE(fs::is_character_file("/dev/full"));
    }
    fs::create_directory(dir_.path() / "A_SLIM.wav");
    EXPECT_THAT([&] { compressPolyWav(source, false, kThreshold); },
                ThrowsMessage<std::runtime_error>("Could not create output file (Is a directory)"));
    EXPECT_TRUE(fs::is_empty(dir_.path() / "A_SLIM.wav"));
    fs::remove(dir_.path() / "A_SLIM.wav");
    EXPECT_THAT([&] { compressPolyWav(source, false, kThreshold, dir_.path() / "no" / "such.wav"); },
                ThrowsMessage<std::runtime_error>("Could not create output file (No such file or directory)"));
    // A folder under an earlier version's temporary name neither blocks the slim nor goes.
    fs::create_directory(dir_.path() / ".A_compressing.wav");
    EXPECT_EQ(compressPolyWav(source, true, kThreshold), source);
    EXPECT_NE(readFile(source), bytes);
    EXPECT_THAT(filesInDir(), ElementsAre(".A_compressing.wav", "A.wav"));
}

TEST_F(SlimWriter, AnOutputTakesItsNameOnlyWhenCompleteAndOnDisk) {
    const std::string bytes = WavBuilder().fmt({.channels = 3}).data(pcmFrames(16, {100, {0, 700, -700}})).bytes();
    const std::string slim = readFile(compressPolyWav(write("reference.wav", bytes), false, kThreshold));
    struct Mode {
        std::string label;
        bool overwrite;
        std::string outputName;
        std::string resultName;
        std::string temporaryName;
    };
    const std::vector<Mode> modes = {
        {"_SLIM", false, "", "A_SLIM.wav", ".A_SLIM_compressing-0123abcd.wav"},
        {"overwrite", true, "", "A.wav", ".A_compressing-0123abcd.wav"},
        {"chosen output", false, "chosen.WAV", "chosen.WAV", ".chosen_compressing-0123abcd.WAV"},
    };
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.label);
        const testing::TempDir dir;
        const fs::path source = dir.write("A.wav", bytes);
        const fs::path result = dir.path() / mode.resultName;
        const fs::path output = mode.outputName.empty() ? fs::path() : dir.path() / mode.outputName;
        // Leftovers of interrupted runs, complete enough for a scan to take them for recordings,
        // one under an earlier version's name.
        dir.write(mode.temporaryName, bytes);
        const std::string earlierName = std::string(mode.temporaryName).erase(mode.temporaryName.find('-'), 9);
        dir.write(earlierName, bytes);
        // A link planted under the final name must be replaced, never written through.
        const fs::path victim = dir.write("victim.txt", "keep me");
        if (!mode.overwrite) fs::create_symlink(victim, result);

        std::string resultWhileSyncing;
        std::uintmax_t temporarySizeWhileSyncing = 0;
        {
            InjectedFaults watch([&](platform::FileOperation operation) {
                if (operation == platform::FileOperation::Sync) {
                    resultWhileSyncing = fs::is_symlink(result) ? "link" : readFile(result);
                    const std::vector<std::string> temporaries = temporaryFilesIn(dir.path());
                    if (temporaries.size() == 1) temporarySizeWhileSyncing = fs::file_size(dir.path() / temporaries[0]);
                }
                return 0;
            });
            EXPECT_EQ(compressPolyWav(source, mode.overwrite, kThreshold, output), result);
        }
        EXPECT_EQ(resultWhileSyncing, mode.overwrite ? bytes : "link")
            << "the final name is untouched until the rename";
        EXPECT_EQ(temporarySizeWhileSyncing, slim.size());
        EXPECT_FALSE(fs::is_symlink(result));
        EXPECT_EQ(readFile(result), slim);
        EXPECT_EQ(readFile(victim), "keep me");
        EXPECT_THAT(temporaryFilesIn(dir.path()), ::testing::IsEmpty());

        const fs::path temporary = dir.write(mode.temporaryName, bytes);
        EXPECT_THAT(discoverPolyPaths(dir.path(), false, 2), ::testing::Not(::testing::Contains(temporary)))
            << "a hidden temporary is never listed";
    }
}

TEST_F(SlimWriter, AnotherRunsTemporaryFileIsNeverMovedIntoPlace) {
    const std::string bytes = WavBuilder().fmt({}).data(pcmFrames(16, {{0, 700}})).bytes();
    const std::string slim = slimMadeElsewhere(bytes);
    for (const bool overwrite : {false, true}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "_SLIM");
        const fs::path source = write("A.wav", bytes);
        const fs::path result = overwrite ? source : dir_.path() / "A_SLIM.wav";
        // A second slim of the same file starts while the first flushes: neither may take the
        // other's temporary file for a leftover.
        std::unique_ptr<OutputFile> secondRun;
        {
            InjectedFaults startSecondRun([&](platform::FileOperation operation) {
                if (operation == platform::FileOperation::Sync && !secondRun) {
                    secondRun = std::make_unique<OutputFile>(result, 0644);
                    secondRun->write("the second run, unfinished", 26);
                }
                return 0;
            });
            EXPECT_EQ(compressPolyWav(source, overwrite, kThreshold), result);
        }
        EXPECT_EQ(readFile(result), slim);
        const std::vector<std::string> temporaries = temporaryFilesIn(dir_.path());
        ASSERT_EQ(temporaries.size(), 1u);
        EXPECT_EQ(readFile(dir_.path() / temporaries[0]), "the second run, unfinished");
        secondRun.reset();
        EXPECT_THAT(temporaryFilesIn(dir_.path()), ::testing::IsEmpty());
        fs::remove(dir_.path() / "A_SLIM.wav");
    }
}

TEST_F(SlimWriter, TwoSlimsOfOneFileWithASlowCloseLoseNothing) {
    const std::string bytes = WavBuilder().fmt({.channels = 3}).data(pcmFrames(16, {20000, {0, 700, -700}})).bytes();
    const std::string slim = slimMadeElsewhere(bytes);
    for (const bool overwrite : {false, true}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "_SLIM");
        const fs::path source = write("A.wav", bytes);
        {
            // As on a network file system, where the close sends what was written.
            InjectedFaults slowClose([](platform::FileOperation operation) {
                if (operation == platform::FileOperation::Close)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                return 0;
            });
            const auto slimIgnoringFailure = [&] {
                try {
                    compressPolyWav(source, overwrite, kThreshold);
                } catch (const std::runtime_error&) {
                }
            };
            std::thread first(slimIgnoringFailure);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::thread second(slimIgnoringFailure);
            first.join();
            second.join();
        }
        EXPECT_EQ(readFile(overwrite ? source : dir_.path() / "A_SLIM.wav"), slim);
        EXPECT_THAT(temporaryFilesIn(dir_.path()), ::testing::IsEmpty());
        fs::remove(dir_.path() / "A_SLIM.wav");
    }
}

TEST_F(SlimWriter, OverwriteKeepsTheOriginalsPermissionsAndOwner) {
    const std::string bytes = WavBuilder().fmt({}).data(pcmFrames(16, {{0, 700}})).bytes();
    const bool mayGiveAway = geteuid() == 0;
    const uid_t owner = mayGiveAway ? 65534 : geteuid();
    const gid_t group = mayGiveAway ? 65534 : getegid();
    for (const fs::perms mode : {fs::perms(0444), fs::perms(0640), fs::perms(0600), fs::perms(0755)}) {
        const fs::path source = write("A.wav", bytes);
        ASSERT_EQ(chown(source.c_str(), owner, group), 0);
        fs::permissions(source, mode);
        compressPolyWav(source, true, kThreshold);
        struct stat status {};
        ASSERT_EQ(stat(source.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, static_cast<unsigned>(mode));
        EXPECT_EQ(status.st_uid, owner);
        EXPECT_EQ(status.st_gid, group);
        EXPECT_NE(readFile(source), bytes);
        fs::remove(source);
    }
}

TEST_F(SlimWriter, AnyReadErrorFailsTheSlimAndWritesNothing) {
    // iXML before the audio, a chunk after it that only the writer reads, and a channel that
    // wakes up past the first block, so that the analysis and the copy read everything.
    std::vector<std::vector<std::int32_t>> frames(100'000, {900, 0, 0});
    for (std::size_t f = 60'000; f < frames.size(); ++f) frames[f][1] = 900;
    const std::string bytes = WavBuilder()
                                  .fmt({.channels = 3})
                                  .chunk("iXML", std::string(3000, ' '))
                                  .data(pcmFrames(16, frames))
                                  .chunk("LIST", std::string(5000, 'l'))
                                  .bytes();
    const std::string slim = slimMadeElsewhere(bytes);
    const std::uint64_t afterAudio = bytes.size() - 5000;

    struct Fault {
        std::string label;
        std::uint64_t offset;  // the first byte no read can get past
    };
    const std::vector<Fault> faults = {
        {"in the file header", 4},
        {"in the iXML before the audio", 1000},
        {"in the first block of samples", 20'000},
        {"in the samples after the first block", 450'000},
        {"in the last sample", afterAudio - 9},
        {"in the chunk after the audio", afterAudio + 100},
    };
    for (const bool overwrite : {false, true}) {
        for (const Fault& fault : faults) {
            SCOPED_TRACE(fault.label + (overwrite ? ", overwrite" : ", _SLIM"));
            const fs::path source = write("A.wav", bytes);
            write("A_SLIM.wav", "an older slim file");
            {
                // As a failing sector does it: reads stop short of it, and a read from it fails.
                InjectedReadFaults failingSector([&](std::uint64_t at, std::size_t& size) {
                    if (at <= fault.offset && fault.offset < at + size) {
                        if (at == fault.offset) return EIO;
                        size = static_cast<std::size_t>(fault.offset - at);
                    }
                    return 0;
                });
                EXPECT_THAT([&] { compressPolyWav(source, overwrite, kThreshold); },
                            ThrowsMessage<std::runtime_error>("Could not read source file (Input/output error)"));
            }
            EXPECT_EQ(readFile(source), bytes);
            EXPECT_EQ(readFile(dir_.path() / "A_SLIM.wav"), "an older slim file");
            EXPECT_THAT(filesInDir(), ElementsAre("A.wav", "A_SLIM.wav"));
        }

        // Short and interrupted reads are no errors: the copy is whole.
        SCOPED_TRACE(overwrite ? "overwrite" : "_SLIM");
        std::mutex interruptedLock;  // the analysis reads ahead on a thread of its own
        std::set<std::uint64_t> interrupted;
        for (const bool shortReads : {true, false}) {
            const fs::path source = write("A.wav", bytes);
            {
                InjectedReadFaults slowDevice([&](std::uint64_t at, std::size_t& size) {
                    if (shortReads) size = std::min<std::size_t>(size, 1000 + at % 777);
                    const std::lock_guard lock(interruptedLock);
                    return !shortReads && interrupted.insert(at).second ? EINTR : 0;
                });
                compressPolyWav(source, overwrite, kThreshold);
            }
            EXPECT_EQ(readFile(overwrite ? source : dir_.path() / "A_SLIM.wav"), slim);
            EXPECT_THAT(temporaryFilesIn(dir_.path()), ::testing::IsEmpty());
        }
        fs::remove(dir_.path() / "A_SLIM.wav");
    }
}

TEST_F(SlimWriter, EveryCopyTakesTheSourcesPermissionBits) {
    const std::string bytes = WavBuilder().fmt({}).data(pcmFrames(16, {{0, 700}})).bytes();
    const mode_t previousMask = umask(022);
    for (const fs::perms mode : {fs::perms(0600), fs::perms(0640), fs::perms(0444), fs::perms(0666), fs::perms(0750)}) {
        SCOPED_TRACE(static_cast<unsigned>(mode));
        const fs::path source = write("A.wav", bytes);
        fs::permissions(source, mode);
        // As cp makes a copy: the source's bits less the umask.
        const auto expected = static_cast<unsigned>(mode) & ~0022u;
        EXPECT_EQ(static_cast<unsigned>(fs::status(compressPolyWav(source, false, kThreshold)).permissions()),
                  expected);
        EXPECT_EQ(static_cast<unsigned>(
                      fs::status(compressPolyWav(source, false, kThreshold, dir_.path() / "chosen.wav")).permissions()),
                  expected);
        for (const char* name : {"A.wav", "A_SLIM.wav", "chosen.wav"}) fs::remove(dir_.path() / name);
    }
    umask(previousMask);

    // A slim run as the superuser over a shared folder, through a link to someone's private take.
    const fs::path privateTake = write("private.wav", bytes);
    fs::permissions(privateTake, fs::perms(0600));
    fs::create_symlink(privateTake, dir_.path() / "shared.wav");
    EXPECT_EQ(
        static_cast<unsigned>(fs::status(compressPolyWav(dir_.path() / "shared.wav", false, kThreshold)).permissions()),
        0600u);

    // The owner of a private take slims it: the copy stays private to them.
    fs::permissions(dir_.path(), fs::perms(0777));
    const fs::path own = write("own.wav", bytes);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(own.c_str(), 65534, 65534), 0);
    }
    fs::permissions(own, fs::perms(0600));
    EXPECT_TRUE(testing::holdsUnprivileged([&] {
        const fs::path copy = compressPolyWav(own, false, kThreshold);
        struct stat status {};
        return stat(copy.c_str(), &status) == 0 && (status.st_mode & 0777) == 0600 && status.st_uid == geteuid();
    }));
    fs::permissions(dir_.path(), fs::perms(0700));
}

TEST_F(SlimWriter, NamesUpToTheLimitOfAFileNameCanBeSlimmed) {
    const std::string bytes = WavBuilder().fmt({}).data(pcmFrames(16, {{0, 700}})).bytes();
    for (const std::size_t length : {238u, 239u, 250u, 251u, 255u}) {
        SCOPED_TRACE(length);
        std::string stem(length - 4, 'n');
        const fs::path source = write(stem + ".wav", bytes);
        EXPECT_EQ(compressPolyWav(source, true, kThreshold), source);
        EXPECT_NE(readFile(source), bytes);
        write(stem + ".wav", bytes);
        if (length + 5 <= 255) {
            EXPECT_EQ(compressPolyWav(source, false, kThreshold), dir_.path() / (stem + "_SLIM.wav"));
        } else {
            // The _SLIM name itself would be past the limit.
            EXPECT_THAT([&] { compressPolyWav(source, false, kThreshold); },
                        ThrowsMessage<std::runtime_error>("Could not create output file (File name too long)"));
        }
        EXPECT_THAT(temporaryFilesIn(dir_.path()), ::testing::IsEmpty());
        for (const auto& entry : fs::directory_iterator(dir_.path())) fs::remove(entry.path());
    }
}

TEST_F(SlimWriter, OnlyARegularFileIsEverOpened) {
    ASSERT_EQ(mkfifo((dir_.path() / "pipe.wav").c_str(), 0600), 0);
    fs::create_directory(dir_.path() / "folder.wav");
    for (const char* name : {"pipe.wav", "folder.wav"}) {
        SCOPED_TRACE(name);
        // A FIFO would block the open for good: the check runs where an alarm can end it.
        const pid_t child = fork();
        if (child == 0) {
            alarm(10);
            try {
                compressPolyWav(dir_.path() / name, true, kThreshold);
            } catch (const std::runtime_error& e) {
                _exit(std::string(e.what()) == "Not a regular file" ? 0 : 1);
            }
            _exit(1);
        }
        int status = -1;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_THAT(filesInDir(), ElementsAre("folder.wav", "pipe.wav"));
}

TEST_F(SlimWriter, ASourceChangedDuringTheSlimIsLeftAsItIsNow) {
    const std::string take = WavBuilder().fmt({.channels = 3}).data(pcmFrames(16, {4000, {0, 700, -700}})).bytes();
    const std::string newTake = WavBuilder().fmt({.channels = 3}).data(pcmFrames(16, {4000, {300, 0, -300}})).bytes();
    ASSERT_EQ(take.size(), newTake.size());
    const fs::path folder = dir_.path() / "day1";
    const fs::path source = folder / "S.WAV";
    const std::string changed = "The source file changed while it was being slimmed";
    struct Change {
        std::string label;
        std::function<void()> make;
        std::string message;
        fs::path folderAfter;
    };
    const std::vector<Change> changes = {
        {"a new take moved in, as rsync delivers it",
         [&] {
             testing::writeFile(folder / ".S.WAV.rsync", newTake);
             fs::rename(folder / ".S.WAV.rsync", source);
         },
         changed, folder},
        {"rewritten in place with a new take", [&] { testing::writeFile(source, newTake); }, changed, folder},
        {"rewritten in place and its time set back",
         [&] {
             const fs::file_time_type time = fs::last_write_time(source);
             testing::writeFile(source, newTake);
             fs::last_write_time(source, time);
         },
         changed, folder},
        {"grown by a chunk",
         [&] { std::ofstream(source, std::ios::binary | std::ios::app) << "JUNK" << std::string(4, '\0'); }, changed,
         folder},
        {"removed", [&] { fs::remove(source); }, changed + " (No such file or directory)", folder},
        {"its folder renamed", [&] { fs::rename(folder, dir_.path() / "day1-renamed"); },
         changed + " (No such file or directory)", dir_.path() / "day1-renamed"},
    };
    for (const Change& change : changes) {
        for (const bool overwrite : {false, true}) {
            SCOPED_TRACE(change.label + (overwrite ? ", overwrite" : ", _SLIM"));
            fs::remove_all(folder);
            fs::remove_all(dir_.path() / "day1-renamed");
            testing::writeFile(source, take);
            testing::writeFile(folder / "S_SLIM.WAV", "an older slim file");
            // After the copy is flushed, just before it would be renamed into place.
            bool madeChange = false;
            InjectedFaults change_([&](platform::FileOperation operation) {
                if (operation == platform::FileOperation::Sync && !madeChange) {
                    madeChange = true;
                    change.make();
                }
                return 0;
            });
            EXPECT_THAT([&] { compressPolyWav(source, overwrite, kThreshold); },
                        ThrowsMessage<std::runtime_error>(change.message));
            const fs::path sourceAfter = change.folderAfter / "S.WAV";
            if (fs::exists(sourceAfter)) {
                const std::string now = readFile(sourceAfter);
                EXPECT_TRUE(now == newTake || now.starts_with(take))
                    << "the source as it was made, untouched by the slim";
            }
            EXPECT_EQ(readFile(change.folderAfter / "S_SLIM.WAV"), "an older slim file");
            EXPECT_THAT(temporaryFilesIn(change.folderAfter), ::testing::IsEmpty());
        }
    }
}

TEST_F(SlimWriter, InjectedFailuresLeaveTheFolderAsItWas) {
    using platform::FileOperation;
    const std::string bytes = WavBuilder().fmt({.channels = 3}).data(pcmFrames(16, {150000, {0, 700, -700}})).bytes();
    const fs::path source = write("A.wav", bytes);
    write("A_SLIM.wav", "an older slim file");

    int writeCalls = 0;
    {
        InjectedFaults count(
            [&](FileOperation operation) { return operation == FileOperation::Write ? (++writeCalls, 0) : 0; });
        compressPolyWav(source, false, kThreshold, dir_.path() / "counted.wav");
    }
    fs::remove(dir_.path() / "counted.wav");
    ASSERT_GE(writeCalls, 3);

    struct Fault {
        std::string label;
        FileOperation operation;
        int error;
        int failingCall;
        std::string message;
    };
    const std::vector<Fault> faults = {
        {"a read-only folder", FileOperation::Create, EACCES, 1, "Could not create output file (Permission denied)"},
        {"the first write failing", FileOperation::Write, EIO, 1, "Could not write output file (Input/output error)"},
        {"a write failing part way", FileOperation::Write, EIO, writeCalls / 2 + 1,
         "Could not write output file (Input/output error)"},
        {"the disk full at the last write", FileOperation::Write, ENOSPC, writeCalls,
         "Could not write output file (No space left on device)"},
        {"the quota exceeded", FileOperation::Write, EDQUOT, writeCalls / 2 + 1,
         "Could not write output file (Disk quota exceeded)"},
        {"the file too large", FileOperation::Write, EFBIG, writeCalls, "Could not write output file (File too large)"},
        {"the flush to disk failing", FileOperation::Sync, EIO, 1, "Could not write output file (Input/output error)"},
        {"the close failing", FileOperation::Close, EIO, 0, "Could not write output file (Input/output error)"},
        {"the rename refused", FileOperation::Rename, EXDEV, 1,
         "Could not move the output into place (Invalid cross-device link)"},
    };
    for (const Fault& fault : faults) {
        for (const bool overwrite : {false, true}) {
            SCOPED_TRACE(fault.label + (overwrite ? ", overwrite" : ", _SLIM"));
            int calls = 0;
            InjectedFaults inject([&](FileOperation operation) {
                // A failing call of 0 is every call.
                return operation == fault.operation && (++calls == fault.failingCall || fault.failingCall == 0)
                           ? fault.error
                           : 0;
            });
            EXPECT_THAT([&] { compressPolyWav(source, overwrite, kThreshold); },
                        ThrowsMessage<std::runtime_error>(fault.message));
            EXPECT_EQ(readFile(source), bytes);
            EXPECT_EQ(readFile(dir_.path() / "A_SLIM.wav"), "an older slim file");
            EXPECT_THAT(filesInDir(), ElementsAre("A.wav", "A_SLIM.wav"));
        }
    }
}

// Twenty frames of `frameBytes` bytes holding 16-bit samples of `channels` channels, a sound only
// on `loud`.
std::string wideFrames(std::uint16_t channels, std::uint16_t frameBytes, const std::vector<std::size_t>& loud) {
    std::string samples(20u * frameBytes, '\0');
    for (std::size_t frame = 0; frame < 20; ++frame) {
        for (std::size_t c : loud) samples[frame * frameBytes + 2 * c + 1] = '\x40';
    }
    return WavBuilder().fmt({.channels = channels, .blockAlign = frameBytes}).data(samples).bytes();
}

TEST_F(SlimWriter, WideFramesAreCopiedInBoundedMemory) {
    if (!testing::addressSpaceIsLimitable()) GTEST_SKIP() << "address space cannot be limited here";
    const fs::path padded = write("padded.wav", wideFrames(3, 65534, {0, 2}));
    const fs::path wide = write("wide.wav", wideFrames(32767, 65534, {0, 5, 100}));
    EXPECT_TRUE(testing::holdsWithinMemory(64 << 20, [&] {
        const PolyWavInfo paddedCopy = analyzePolyWav(compressPolyWav(padded, false, kThreshold), kThreshold);
        const PolyWavInfo wideCopy = analyzePolyWav(compressPolyWav(wide, true, kThreshold), kThreshold);
        return paddedCopy.activeCount() == 2 && paddedCopy.durationSeconds * 48000 == 20 &&
               wideCopy.activeCount() == 3 && wideCopy.channels == 3;
    }));
}

TEST_F(SlimWriter, AReadOnlyFolderRefusesTheOutputAndKeepsTheSource) {
    const std::string bytes = WavBuilder().fmt({}).data(pcmFrames(16, {{0, 700}})).bytes();
    const fs::path source = write("A.wav", bytes);
    fs::permissions(dir_.path(), fs::perms(0555));
    EXPECT_TRUE(testing::holdsUnprivileged([&] {
        for (const bool overwrite : {false, true}) {
            try {
                compressPolyWav(source, overwrite, kThreshold);
                return false;
            } catch (const std::runtime_error& e) {
                if (std::string(e.what()) != "Could not create output file (Permission denied)") return false;
            }
        }
        return true;
    }));
    fs::permissions(dir_.path(), fs::perms(0700));
    EXPECT_EQ(readFile(source), bytes);
    EXPECT_THAT(filesInDir(), ElementsAre("A.wav"));
}

TEST_F(SlimWriter, AFileChangedSinceTheScanIsJudgedAsItIsNow) {
    const Frames frames(1000, {0, 900, -900});
    const std::string scanned = WavBuilder().fmt({.channels = 3}).data(pcmFrames(16, frames)).bytes();
    const std::string header = scanned.substr(0, scanned.size() - 6000);
    struct Change {
        std::string label;
        std::string now;
        std::string message;      // empty: the slim succeeds
        std::vector<int> kept{};  // source channels the copy keeps
        std::size_t frames = 0;
    };
    const std::vector<Change> changes = {
        {"shrunk to half its samples", scanned.substr(0, header.size() + 3000), "", {1, 2}, 500},
        {"shrunk into a frame", scanned.substr(0, header.size() + 3000 + 4), "", {1, 2}, 500},
        {"shrunk into its header", scanned.substr(0, 30), "Invalid fmt chunk"},
        {"another channel fell silent",
         WavBuilder().fmt({.channels = 3}).data(pcmFrames(16, Frames(1000, {900, 0, -900}))).bytes(),
         "",
         {0, 2},
         1000},
        {"every channel sounds now",
         WavBuilder().fmt({.channels = 3}).data(pcmFrames(16, Frames(1000, {90, 900, -900}))).bytes(),
         "No empty tracks to remove"},
        {"no longer a WAV file", std::string(6044, 'x'), "Not a RIFF/WAVE file"},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.label);
        fs::remove(dir_.path() / "A_SLIM.wav");
        const fs::path source = write("A.wav", scanned);
        ASSERT_EQ(scanDirectory(dir_.path(), false, kThreshold, 2, {}).at(0).emptyCount(), 1);
        write("A.wav", change.now);
        if (!change.message.empty()) {
            EXPECT_THAT([&] { compressPolyWav(source, false, kThreshold); },
                        ThrowsMessage<std::runtime_error>(change.message));
            EXPECT_THAT(filesInDir(), ElementsAre("A.wav"));
            continue;
        }
        const fs::path copy = compressPolyWav(source, false, kThreshold);
        const std::string samples = parseChunks(change.now).back().body;
        std::vector<std::size_t> kept(change.kept.begin(), change.kept.end());
        EXPECT_EQ(bodyOf(parseChunks(readFile(copy)), "data"), channelBytes(samples, 6, 2, kept));
        EXPECT_EQ(analyzePolyWav(copy, kThreshold).durationSeconds * 48000, change.frames);
    }
    fs::remove(dir_.path() / "A_SLIM.wav");

    // A file that shrinks while it is copied: the sizes already written would promise too much.
    const fs::path source = write("A.wav", scanned);
    InjectedFaults shrinkOnFirstWrite([&](platform::FileOperation operation) {
        if (operation == platform::FileOperation::Write) fs::resize_file(source, header.size());
        return 0;
    });
    EXPECT_THAT([&] { compressPolyWav(source, false, kThreshold); },
                ThrowsMessage<std::runtime_error>("The source file changed while it was being slimmed"));
    EXPECT_THAT(filesInDir(), ElementsAre("A.wav"));
}

TEST_F(SlimWriter, AScanOfTheCopyShowsExactlyTheKeptNames) {
    const std::string samples = pcmFrames(16, {{700, 0, 700, 700}, {-700, 0, -700, -700}});
    const std::string list =
        "<TRACK_LIST><TRACK><CHANNEL_INDEX>3</CHANNEL_INDEX><NAME>Mic3</NAME></TRACK>"
        "<TRACK><CHANNEL_INDEX>1</CHANNEL_INDEX><NAME>Boom</NAME></TRACK></TRACK_LIST>";
    const std::string attributes = "<ATTR><NAME>AudioSampleFormatSize</NAME></ATTR><TRACK><NAME>Stray</NAME></TRACK>";
    std::string unclosed = "<BWFXML><TRACK_LIST>";
    for (int i = 1; i <= 13; ++i) unclosed += "<TRACK><NAME>Mic" + std::to_string(i) + "</NAME></TRACK>";
    const std::vector<std::pair<std::string, WavBuilder>> sources = {
        {"a list left unclosed", WavBuilder().fmt({.channels = 4}).chunk("iXML", unclosed + attributes + "</BWFXML>")},
        {"the list repeated", WavBuilder().fmt({.channels = 4}).chunk("iXML", "<BWFXML>" + list + list + "</BWFXML>")},
        {"a second XML chunk names the tracks", WavBuilder()
                                                    .fmt({.channels = 4})
                                                    .chunk("iXML", "<BWFXML>" + attributes + "<TRACK_LIST>")
                                                    .chunk("axml", "<BWFXML>" + list + "</BWFXML>")},
        {"the iXML cut short by the end of the file",
         WavBuilder().fmt({.channels = 4}).chunk("bext", testing::bextBody(1))},
    };
    for (const auto& [label, builder] : sources) {
        SCOPED_TRACE(label);
        WavBuilder source = builder;
        source.data(samples);
        if (label.find("cut short") != std::string::npos)
            source.chunkDeclaring("iXML", "<BWFXML>" + list.substr(0, 150), 4000);
        const fs::path path = write("take.wav", source.bytes());
        std::vector<std::string> kept;
        for (const TrackInfo& track : analyzePolyWav(path, kThreshold).tracks) {
            if (!track.empty) kept.push_back(track.name);
        }
        ASSERT_EQ(kept.size(), 3u);
        std::vector<std::string> copied;
        for (const TrackInfo& track : analyzePolyWav(compressPolyWav(path, false, kThreshold), kThreshold).tracks)
            copied.push_back(track.name);
        EXPECT_EQ(copied, kept);
    }
}

TEST_F(SlimWriter, AFileTooLargeForMemoryFailsWithAMessageAndLeavesNothing) {
    if (!testing::addressSpaceIsLimitable()) GTEST_SKIP() << "address space cannot be limited here";
    const std::string bytes =
        WavBuilder().fmt({}).data(pcmFrames(16, {{0, 700}})).chunk("JUNK", std::string(24 << 20, ' ')).bytes();
    const fs::path source = write("A.wav", bytes);
    EXPECT_TRUE(testing::holdsWithinMemory(12 << 20, [&] {
        try {
            compressPolyWav(source, true, kThreshold);
        } catch (const std::runtime_error& e) {
            return std::string(e.what()) == "Not enough memory to slim this file";
        }
        return false;
    }));
    EXPECT_EQ(readFile(source), bytes);
    EXPECT_THAT(filesInDir(), ElementsAre("A.wav"));
}

}  // namespace
}  // namespace tracksieve
