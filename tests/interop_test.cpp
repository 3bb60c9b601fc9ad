// Slim files must be valid WAV files for tools nobody here wrote: libsndfile, sox and MediaInfo
// read every `fmt ` form the writer produces, odd data sizes and metadata on both sides of
// the audio, and find the expected channels, length, `bext` time reference and iXML.
#include "tracksieve/slim_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::bextBody;
using testing::floatFrames;
using testing::Format;
using testing::pcmFrames;
using testing::TempDir;
using testing::WavBuilder;

constexpr std::uint64_t kTimeReference = 48000ull * 3600 * 10;  // 10:00:00:00 at 48 kHz
constexpr std::uint64_t kDelayMilliseconds = 36000000;

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

bool toolAvailable(const std::string& tool) { return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0; }

std::string quoted(const fs::path& path) {
    std::string out(1, '\'');
    out += path.string();
    out += '\'';
    return out;
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

struct SlimFile {
    std::string label;
    fs::path path;
    int channels;
    std::size_t frames;
    int bits;
    bool isFloat;
    std::string ixmlMarker;  // text of the source's iXML that the written one must keep
};

constexpr std::size_t kOddFrames = 1001;
constexpr std::size_t kEvenFrames = 1000;

// Loud channels carry a tone; the channels in `silent` carry nothing.
std::string intSamples(int bits, int channels, std::size_t frames, const std::vector<int>& silent) {
    std::vector<std::vector<std::int32_t>> rows(frames, std::vector<std::int32_t>(static_cast<std::size_t>(channels)));
    const double fullScale = std::ldexp(1.0, bits - 1) - 1;
    for (std::size_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            const bool quiet = std::find(silent.begin(), silent.end(), c) != silent.end();
            rows[f][static_cast<std::size_t>(c)] = quiet ? 0 : static_cast<std::int32_t>(0.5 * fullScale * std::sin(0.01 * static_cast<double>(f * (c + 1))));
        }
    }
    return pcmFrames(bits, rows);
}

std::string floatSamples(int channels, std::size_t frames, const std::vector<int>& silent) {
    std::vector<std::vector<float>> rows(frames, std::vector<float>(static_cast<std::size_t>(channels)));
    for (std::size_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            const bool quiet = std::find(silent.begin(), silent.end(), c) != silent.end();
            rows[f][static_cast<std::size_t>(c)] = quiet ? 0.0f : 0.5f * std::sin(0.01f * static_cast<float>(f * (c + 1)));
        }
    }
    return floatFrames(rows);
}

std::string projectIxml(const std::string& project) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>\n<PROJECT>" + project +
           "</PROJECT>\n<TRACK_LIST><TRACK_COUNT>0</TRACK_COUNT></TRACK_LIST>\n</BWFXML>\n" + std::string(64, '\0');
}

std::vector<SlimFile> writeSlimFiles(const TempDir& dir) {
    const std::string bext = bextBody(kTimeReference);
    std::vector<SlimFile> files;
    auto slim = [&](SlimFile file, const std::string& bytes) {
        file.path = compressPolyWav(dir.write(file.label + ".wav", bytes), false, 0.001);
        files.push_back(file);
    };

    slim({"pcm16-plain", {}, 2, kOddFrames, 16, false, "<PROJECT>p16</PROJECT>"},
         WavBuilder()
             .chunk("bext", bext)
             .fmt({.channels = 3, .bitsPerSample = 16})
             .chunk("iXML", projectIxml("p16"))
             .data(intSamples(16, 3, kOddFrames, {1}))
             .bytes());
    slim({"pcm24-plain-odd-size", {}, 1, kOddFrames, 24, false, "<PROJECT>p24</PROJECT>"},
         WavBuilder()
             .chunk("bext", bext)
             .fmt({.channels = 3, .bitsPerSample = 24})
             .data(intSamples(24, 3, kOddFrames, {0, 2}))
             .chunk("iXML", projectIxml("p24"))
             .chunk("LIST", "INFOodd")
             .bytes());
    slim({"float-plain", {}, 2, kEvenFrames, 32, true, "<BWFXML>"},
         WavBuilder()
             .chunk("bext", bext)
             .fmt({.formatTag = 3, .channels = 3, .bitsPerSample = 32})
             .data(floatSamples(3, kEvenFrames, {2}))
             .bytes());
    slim({"pcm24-extensible-odd-size", {}, 3, kOddFrames, 24, false, "<PROJECT>x24</PROJECT>"},
         WavBuilder()
             .chunk("iXML", projectIxml("x24"))
             .chunk("bext", bext)
             .fmt({.channels = 5, .bitsPerSample = 24, .extensible = true, .channelMask = 0x1F})
             .data(intSamples(24, 5, kOddFrames, {1, 3}))
             .chunk("cue ", std::string(4, '\0'))
             .bytes());
    slim({"float-extensible", {}, 3, kEvenFrames, 32, true, "<BWFXML>"},
         WavBuilder()
             .fmt({.channels = 4, .bitsPerSample = 32, .extensible = true, .subFormat = 3})
             .data(floatSamples(4, kEvenFrames, {0}))
             .chunk("bext", bext)
             .bytes());
    return files;
}

class Interop : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST_F(Interop, SndfileInfoReadsEverySlimFile) {
    if (!toolAvailable("sndfile-info")) GTEST_SKIP() << "sndfile-info is not installed";
    for (const SlimFile& file : writeSlimFiles(dir_)) {
        SCOPED_TRACE(file.label);
        const std::string info = run("sndfile-info " + quoted(file.path));
        EXPECT_THAT(info, Not(HasSubstr("rror")));
        EXPECT_THAT(valuesOf(info, "Channels"), ::testing::Each(std::to_string(file.channels)));
        EXPECT_THAT(valuesOf(info, "Frames"), ::testing::ElementsAre(std::to_string(file.frames)));
        EXPECT_THAT(valuesOf(info, "Bit Width"), ::testing::ElementsAre(std::to_string(file.bits)));

        const std::vector<std::string> timeRef = valuesOf(run("sndfile-info --broadcast " + quoted(file.path)), "Time ref");
        ASSERT_EQ(timeRef.size(), 1u);
        EXPECT_EQ(std::strtoull(timeRef[0].c_str(), nullptr, 16), kTimeReference);
    }
}

TEST_F(Interop, SoxReadsEverySlimFile) {
    if (!toolAvailable("soxi")) GTEST_SKIP() << "soxi is not installed";
    for (const SlimFile& file : writeSlimFiles(dir_)) {
        SCOPED_TRACE(file.label);
        EXPECT_EQ(trimmed(run("soxi -c " + quoted(file.path))), std::to_string(file.channels));
        EXPECT_EQ(trimmed(run("soxi -s " + quoted(file.path))), std::to_string(file.frames));
        EXPECT_EQ(trimmed(run("soxi -b " + quoted(file.path))), std::to_string(file.bits));
        EXPECT_EQ(trimmed(run("soxi -e " + quoted(file.path))),
                  file.isFloat ? "Floating Point PCM" : "Signed Integer PCM");
    }
}

TEST_F(Interop, MediaInfoReadsEverySlimFileWithItsTimeReferenceAndIxml) {
    if (!toolAvailable("mediainfo")) GTEST_SKIP() << "mediainfo is not installed";
    for (const SlimFile& file : writeSlimFiles(dir_)) {
        SCOPED_TRACE(file.label);
        const std::string summary =
            run("mediainfo '--Inform=Audio;%Channel(s)%|%SamplingCount%|%BitDepth%|%Format%|%Delay%' " + quoted(file.path));
        const std::string expected = std::to_string(file.channels) + "|" + std::to_string(file.frames) + "|" +
                                     std::to_string(file.bits) + "|PCM|";
        ASSERT_THAT(summary, ::testing::StartsWith(expected));
        // Milliseconds, as an integer or with decimals depending on the `fmt ` form.
        EXPECT_EQ(std::stod(summary.substr(expected.size())), static_cast<double>(kDelayMilliseconds));
        const std::string details = run("mediainfo --Details=1 " + quoted(file.path));
        EXPECT_THAT(details, HasSubstr("Name:                                iXML"));
        EXPECT_THAT(details, HasSubstr(file.ixmlMarker));
        EXPECT_THAT(details, HasSubstr("<TRACK_COUNT>" + std::to_string(file.channels) + "</TRACK_COUNT>"));
    }
}

}  // namespace
}  // namespace tracksieve
