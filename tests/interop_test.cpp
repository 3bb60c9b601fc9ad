// Slim files must be valid WAV files for tools nobody here wrote: libsndfile, sox and MediaInfo
// read every `fmt ` form the writer produces, odd data sizes and metadata on both sides of
// the audio, and find the expected channels, length, `bext` time reference and iXML.
#include "tracksieve/slim_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "riff_head.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::Format;
using ::testing::HasSubstr;

constexpr std::uint64_t kTimeReference = 48000ull * 3600 * 10;  // 10:00:00:00 at 48 kHz
constexpr double kDelayMilliseconds = 36000000;

// The standard output of `command`. Warnings on its standard error are the tool's business: sox,
// for one, warns that a 16-byte float `fmt ` lacks the size field of an extension it doesn't have.
std::string run(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    pclose(pipe);
    return output;
}

bool toolAvailable(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string trimmed(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

// The values after "key :" on every line of `output` whose first word is `key`.
std::vector<std::string> valuesOf(const std::string& output, const std::string& key) {
    std::vector<std::string> values;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find_first_not_of(' ');
        const std::size_t colon = line.find(':');
        if (start == std::string::npos || colon == std::string::npos) continue;
        if (trimmed(line.substr(start, colon - start)) != key) continue;
        values.push_back(trimmed(line.substr(line.find_first_not_of(' ', colon + 1))));
    }
    return values;
}

struct InteropCase {
    std::string label;
    Format format;
    std::vector<int> silent;
    std::size_t frames;
    std::vector<std::string> layout;  // chunk ids in file order
    std::string form = "RIFF";        // the source's form; a 64-bit one is also the copy's

    bool isFloat() const { return format.formatTag == 3 || format.subFormat == 3; }
    int keptChannels() const { return format.channels - static_cast<int>(silent.size()); }
    bool hasIxml() const { return std::find(layout.begin(), layout.end(), "iXML") != layout.end(); }
};

// A `PEAK` chunk as audio editors write it: version 1, a time stamp, then a peak value and
// its frame position per channel.
std::string peakBody(std::uint16_t channels) {
    std::string body("\x01\x00\x00\x00\x2A\x00\x00\x00", 8);
    for (std::uint16_t c = 0; c < channels; ++c)
        body += std::string("\x00\x00\x80\x3E", 4) + std::string(1, static_cast<char>(c)) + std::string(3, '\0');
    return body;
}

// Writes the source of `c` (silent channels hold zeros, the others a steady level; its iXML
// names the label as project) and returns the slim file made from it.
fs::path writeSlimFile(const testing::TempDir& dir, const InteropCase& c) {
    std::vector<std::vector<std::int32_t>> ints(
        c.frames, std::vector<std::int32_t>(c.format.channels, 1 << (c.format.bitsPerSample - 3)));
    std::vector<std::vector<float>> floats(c.frames, std::vector<float>(c.format.channels, 0.25f));
    for (int channel : c.silent) {
        for (auto& frame : ints) frame[static_cast<std::size_t>(channel)] = 0;
        for (auto& frame : floats) frame[static_cast<std::size_t>(channel)] = 0.0f;
    }
    testing::WavBuilder source;
    for (const std::string& id : c.layout) {
        if (id == "fmt ") source.fmt(c.format);
        else if (id == "data")
            source.data(c.isFloat() ? testing::floatFrames(floats) : testing::pcmFrames(c.format.bitsPerSample, ints));
        else if (id == "bext") source.chunk(id, testing::bextBody(kTimeReference));
        else if (id == "iXML")
            source.chunk(id, "<?xml version=\"1.0\"?>\n<BWFXML>\n<PROJECT>" + c.label +
                                 "</PROJECT>\n<TRACK_LIST><TRACK_COUNT>0</TRACK_COUNT></TRACK_LIST>\n</BWFXML>\n" +
                                 std::string(64, '\0'));
        else if (id == "PEAK") source.chunk(id, peakBody(c.format.channels));
        else source.chunk(id, "odd");
    }
    const std::string bytes = c.form == "RIFF" ? source.bytes() : testing::inWideForm(source.bytes(), c.form);
    const std::uint64_t plainLimit = plainRiffSizeLimit();
    // A 64-bit copy without gigabytes: every copy past a few bytes is written in that form.
    if (c.form != "RIFF") setPlainRiffSizeLimit(16);
    const fs::path copy = compressPolyWav(dir.write(c.label + ".wav", bytes), false, 0.001);
    setPlainRiffSizeLimit(plainLimit);
    EXPECT_EQ(testing::readFile(copy).substr(0, 4), c.form);
    return copy;
}

void expectToolsRead(const fs::path& file, const InteropCase& c) {
    std::string path(1, '\'');
    path += file.string();
    path += '\'';
    const std::string channels = std::to_string(c.keptChannels());
    const std::string frames = std::to_string(c.frames);
    const std::string bits = std::to_string(c.format.bitsPerSample);
    if (toolAvailable("sndfile-info")) {
        const std::string info = run("sndfile-info " + path);
        EXPECT_THAT(info, ::testing::Not(HasSubstr("rror")));
        EXPECT_THAT(valuesOf(info, "Channels"), ::testing::Each(channels));
        // A 64-bit form's `ds64` gives its frame count on a line of its own.
        EXPECT_THAT(valuesOf(info, "Frames"),
                    ::testing::AllOf(::testing::Not(::testing::IsEmpty()), ::testing::Each(frames)));
        EXPECT_THAT(valuesOf(info, "Bit Width"), ::testing::ElementsAre(bits));
        const std::vector<std::string> timeRef = valuesOf(run("sndfile-info --broadcast " + path), "Time ref");
        EXPECT_THAT(timeRef, ::testing::ElementsAre(::testing::ResultOf(
                                 [](const std::string& hex) { return std::strtoull(hex.c_str(), nullptr, 16); },
                                 kTimeReference)));
    }
    // sox reads no 64-bit form.
    if (toolAvailable("soxi") && c.form == "RIFF") {
        EXPECT_EQ(trimmed(run("soxi -c " + path)), channels);
        EXPECT_EQ(trimmed(run("soxi -s " + path)), frames);
        EXPECT_EQ(trimmed(run("soxi -b " + path)), bits);
        EXPECT_EQ(trimmed(run("soxi -e " + path)), c.isFloat() ? "Floating Point PCM" : "Signed Integer PCM");
    }
    if (toolAvailable("mediainfo")) {
        const std::string summary =
            run("mediainfo '--Inform=Audio;%Channel(s)%|%SamplingCount%|%BitDepth%|%Format%|%Delay%' " + path);
        const std::string expected = channels + "|" + frames + "|" + bits + "|PCM|";
        ASSERT_THAT(summary, ::testing::StartsWith(expected));
        // Milliseconds, as an integer or with decimals depending on the `fmt ` form.
        EXPECT_EQ(std::stod(summary.substr(expected.size())), kDelayMilliseconds);
        const std::string details = run("mediainfo --Details=1 " + path);
        EXPECT_THAT(details, HasSubstr("Name:                                iXML"));
        EXPECT_THAT(details, HasSubstr(c.hasIxml() ? "<PROJECT>" + c.label + "</PROJECT>" : "<BWFXML>"));
        EXPECT_THAT(details, HasSubstr("<TRACK_COUNT>" + channels + "</TRACK_COUNT>"));
    }
}

TEST(Interop, SndfileSoxAndMediaInfoReadEverySlimFile) {
    if (!toolAvailable("sndfile-info") && !toolAvailable("soxi") && !toolAvailable("mediainfo")) {
        GTEST_SKIP() << "none of sndfile-info, soxi and mediainfo is installed";
    }
    // Odd frame counts with an odd number of kept 24-bit channels give an odd data size.
    const std::vector<InteropCase> cases = {
        {"pcm16-plain", {.channels = 3, .bitsPerSample = 16}, {1}, 1001, {"bext", "fmt ", "iXML", "data"}},
        {"pcm24-plain-odd-size",
         {.channels = 3, .bitsPerSample = 24},
         {0, 2},
         1001,
         {"bext", "fmt ", "data", "iXML", "LIST"}},
        {"float-plain", {.formatTag = 3, .channels = 3, .bitsPerSample = 32}, {2}, 1000, {"bext", "fmt ", "data"}},
        {"pcm24-extensible-odd-size",
         {.channels = 5, .bitsPerSample = 24, .extensible = true, .channelMask = 0x1F},
         {1, 3},
         1001,
         {"iXML", "bext", "fmt ", "data", "cue "}},
        {"float-extensible",
         {.channels = 4, .bitsPerSample = 32, .extensible = true, .subFormat = 3},
         {0},
         1000,
         {"fmt ", "data", "bext"}},
        // libsndfile refuses a PEAK chunk whose pairs do not match the channel count.
        {"float-with-peak",
         {.formatTag = 3, .channels = 2, .bitsPerSample = 32},
         {1},
         1000,
         {"bext", "fmt ", "PEAK", "data"}},
        {"float-with-peak-of-five",
         {.channels = 5, .bitsPerSample = 32, .extensible = true, .subFormat = 3},
         {0, 3},
         1000,
         {"bext", "fmt ", "PEAK", "data"}},
    };
    testing::TempDir dir;
    for (const InteropCase& c : cases) {
        SCOPED_TRACE(c.label);
        expectToolsRead(writeSlimFile(dir, c), c);
    }
}

TEST(Interop, SndfileAndMediaInfoReadEverySlimFileInA64BitForm) {
    if (!toolAvailable("sndfile-info") && !toolAvailable("mediainfo")) {
        GTEST_SKIP() << "neither sndfile-info nor mediainfo is installed";
    }
    const std::vector<InteropCase> cases = {
        {"rf64-pcm24-odd-size",
         {.channels = 3, .bitsPerSample = 24},
         {0, 2},
         1001,
         {"bext", "fmt ", "data", "iXML", "LIST"},
         "RF64"},
        {"rf64-pcm16-extensible",
         {.channels = 5, .bitsPerSample = 16, .extensible = true, .channelMask = 0x1F},
         {1},
         1000,
         {"bext", "fmt ", "iXML", "data"},
         "RF64"},
        {"rf64-float",
         {.formatTag = 3, .channels = 3, .bitsPerSample = 32},
         {2},
         1000,
         {"bext", "fmt ", "data"},
         "RF64"},
    };
    testing::TempDir dir;
    for (const InteropCase& c : cases) {
        SCOPED_TRACE(c.label);
        expectToolsRead(writeSlimFile(dir, c), c);
    }
}

}  // namespace
}  // namespace tracksieve
