#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "slim_routes.h"
#include "tracksieve/fixed_values.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::bextBody;
using testing::floatFrames;
using testing::pcmFrames;
using testing::readFile;
using testing::WavBuilder;

constexpr std::size_t kBlock = kBlockFrames;
using SampleAt = std::function<std::int32_t(std::size_t frame, std::size_t channel)>;

// Noise-like values well above the threshold, different on every channel.
std::int32_t loud(std::size_t frame, std::size_t channel) {
    return static_cast<std::int32_t>((frame * 7919 + channel * 104729) % 2001) * 200 - 200000;
}

std::string samples(int bits, std::size_t channels, std::size_t frames, const SampleAt& at) {
    std::vector<std::vector<std::int32_t>> values(frames, std::vector<std::int32_t>(channels));
    for (std::size_t f = 0; f < frames; ++f)
        for (std::size_t c = 0; c < channels; ++c) values[f][c] = at(f, c);
    return pcmFrames(bits, values);
}

// Loud on every channel but the silent ones, where `wakesAt` (channel, frame) puts one loud sample.
SampleAt silentOn(std::vector<std::size_t> silent, std::optional<std::pair<std::size_t, std::size_t>> wakesAt = {}) {
    return [silent, wakesAt](std::size_t f, std::size_t c) -> std::int32_t {
        if (std::find(silent.begin(), silent.end(), c) == silent.end()) return loud(f, c);
        return wakesAt && wakesAt->first == c && wakesAt->second == f ? 30000 : 0;
    };
}

std::string wav(int bits, std::size_t channels, std::size_t frames, const SampleAt& at) {
    return WavBuilder()
        .fmt({.channels = static_cast<std::uint16_t>(channels), .bitsPerSample = static_cast<std::uint16_t>(bits)})
        .data(samples(bits, channels, frames, at))
        .bytes();
}

struct Layout {
    std::string label;
    std::string source;
    std::optional<bool> onePass;  // how the copy is expected to be made; unset: either way
};

std::vector<Layout> layouts() {
    const std::string ixml =
        "<BWFXML><TRACK_LIST><TRACK_COUNT>3</TRACK_COUNT><TRACK><CHANNEL_INDEX>1</CHANNEL_INDEX>"
        "<NAME>Boom</NAME></TRACK><TRACK><CHANNEL_INDEX>2</CHANNEL_INDEX><NAME>Spare</NAME></TRACK>"
        "<TRACK><CHANNEL_INDEX>3</CHANNEL_INDEX><NAME>Lav</NAME></TRACK></TRACK_LIST></BWFXML>";
    const std::vector<std::vector<float>> floats(kBlock + 3, std::vector<float>{0.0f, 0.25f, -0.5f});
    const std::string threeChannels = samples(24, 3, 2 * kBlock + 11, silentOn({1}));
    // 40 channels of 24 bits: a piece holds less than a block, so the first block comes in two.
    const std::size_t wideFrames = kBlock + 100;
    std::vector<std::size_t> lastTen(10);
    for (std::size_t i = 0; i < lastTen.size(); ++i) lastTen[i] = 30 + i;

    return {
        {"8 channels of 24 bits, the last two silent", wav(24, 8, 2 * kBlock + kBlock / 2, silentOn({6, 7})), true},
        {"an odd data size: 3 kept channels of 24 bits, odd frames", wav(24, 4, kBlock + 7, silentOn({1})), true},
        {"16 bits, one block exactly", wav(16, 3, kBlock, silentOn({0})), true},
        {"shorter than a block", wav(16, 2, 100, silentOn({1})), true},
        {"32-bit float, the first channel silent",
         WavBuilder().fmt({.formatTag = 3, .channels = 3, .bitsPerSample = 32}).data(floatFrames(floats)).bytes(),
         true},
        {"a silent channel wakes up in the last frame",
         wav(24, 8, 2 * kBlock + 5, silentOn({6, 7}, std::pair{6, 2 * kBlock + 4})), false},
        {"a silent channel wakes up in the first frame after the first block",
         wav(24, 8, 3 * kBlock, silentOn({6, 7}, std::pair{7, kBlock})), false},
        {"the only silent channel wakes up in the last block",
         wav(16, 4, 2 * kBlock + 9, silentOn({2}, std::pair{2, 2 * kBlock})), false},
        {"every channel silent in the first block, one speaks later",
         wav(16, 3, 2 * kBlock, [](std::size_t f, std::size_t c) { return f >= kBlock && c == 1 ? loud(f, c) : 0; }),
         false},
        {"nothing silent", wav(16, 2, kBlock + 1, silentOn({})), false},
        {"everything silent", wav(16, 2, kBlock + 1, silentOn({0, 1})), false},
        {"wide frames, the last ten of 40 channels silent", wav(24, 40, wideFrames, silentOn(lastTen)), true},
        {"wide frames, a silent channel wakes up in the second piece of the first block",
         wav(24, 40, wideFrames, silentOn(lastTen, std::pair{35, kBlock - 1})), false},
        {"bext first, iXML track names, a chunk after the audio",
         WavBuilder()
             .chunk("bext", bextBody(48000))
             .fmt({.channels = 3, .bitsPerSample = 24})
             .chunk("iXML", ixml)
             .data(threeChannels)
             .chunk("JUNK", "after the audio")
             .bytes(),
         true},
        {"a data size running past the end of the file",
         WavBuilder()
             .fmt({.channels = 3, .bitsPerSample = 24})
             .chunkDeclaring("data", threeChannels, 0xFFFFFFFFu)
             .bytes(),
         true},
        {"a partial frame after the last whole one",
         WavBuilder().fmt({.channels = 3, .bitsPerSample = 24}).data(threeChannels + "\x01\x02").bytes(), true},
        {"padding after the samples of every frame",
         WavBuilder()
             .fmt({.channels = 3, .bitsPerSample = 16, .blockAlign = 7})
             .data(std::string(7 * (kBlock + 2), '\0').replace(0, 7, std::string("\x10\x20\x00\x00\x30\x40\x55", 7)))
             .bytes(),
         true},
        {"two data chunks",
         WavBuilder()
             .fmt({.channels = 3, .bitsPerSample = 24})
             .data(samples(24, 3, 10, silentOn({2})))
             .data(threeChannels)
             .bytes(),
         std::nullopt},
    };
}

// What one route left behind: the file it wrote, or the message it threw, and the folder.
struct Result {
    std::string message;
    std::string bytes;
    std::vector<std::string> files;
    bool onePass = false;
    std::vector<std::int32_t> kept;
    std::vector<std::int32_t> removed;
};

Result slim(const fs::path& folder, const std::string& source, bool overwrite, SlimRoute route,
            const std::vector<TrackChoice>& choices = {}) {
    fs::create_directories(folder);
    testing::writeFile(folder / "A.wav", source);
    Result result;
    try {
        const SlimOutcome outcome =
            slimPolyWavByRoute(folder / "A.wav", {.overwrite = overwrite, .choices = choices}, route);
        result.bytes = readFile(outcome.path);
        result.onePass = outcome.inOnePass;
        result.kept = outcome.keptChannels;
        result.removed = outcome.removedChannels;
    } catch (const std::exception& e) {
        result.message = e.what();
    }
    for (const auto& entry : fs::directory_iterator(folder)) result.files.push_back(entry.path().filename().string());
    std::sort(result.files.begin(), result.files.end());
    return result;
}

TEST(OnePassSlim, WritesWhatTwoPassesWriteByteForByte) {
    const testing::TempDir dir;
    for (const Layout& layout : layouts()) {
        for (const bool overwrite : {false, true}) {
            SCOPED_TRACE(layout.label + (overwrite ? ", overwrite" : ", _SLIM"));
            const Result twoPasses = slim(dir.path() / "two", layout.source, overwrite, SlimRoute::TwoPasses);
            const Result onePass = slim(dir.path() / "one", layout.source, overwrite, SlimRoute::OnePassWhereItCan);
            EXPECT_EQ(onePass.message, twoPasses.message);
            EXPECT_TRUE(onePass.bytes == twoPasses.bytes) << "the outputs differ";
            EXPECT_EQ(onePass.files, twoPasses.files);
            EXPECT_FALSE(twoPasses.onePass);
            if (layout.onePass) {
                EXPECT_EQ(onePass.onePass, *layout.onePass);
            }
            fs::remove_all(dir.path() / "one");
            fs::remove_all(dir.path() / "two");
        }
    }
}

TEST(OnePassSlim, ChoicesGiveTheSameCopyEitherWay) {
    using enum TrackChoice;
    struct Case {
        std::string label;
        std::string source;
        std::vector<TrackChoice> choices;
        std::vector<std::int32_t> removed;
        bool onePass;
    };
    const std::vector<Case> cases = {
        {"a silent track kept, a sounding one removed",
         wav(24, 4, 2 * kBlock + 3, silentOn({1, 2})),
         {Remove, Keep, FollowThreshold, FollowThreshold},
         {0, 2},
         true},
        {"a track removed by choice wakes up later",
         wav(16, 3, 2 * kBlock, silentOn({2}, std::pair{2, kBlock + 1})),
         {FollowThreshold, FollowThreshold, Remove},
         {2},
         true},
        {"a track kept by choice wakes up later",
         wav(16, 3, 2 * kBlock, silentOn({1, 2}, std::pair{1, kBlock + 1})),
         {FollowThreshold, Keep, FollowThreshold},
         {2},
         true},
        {"a track following the threshold wakes up later",
         wav(16, 3, 2 * kBlock, silentOn({1, 2}, std::pair{2, kBlock + 1})),
         {FollowThreshold, Keep, FollowThreshold},
         {},
         false},
        {"every track removed", wav(16, 2, kBlock, silentOn({})), {Remove, Remove}, {}, false},
    };
    const testing::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Result twoPasses = slim(dir.path() / "two", c.source, false, SlimRoute::TwoPasses, c.choices);
        const Result onePass = slim(dir.path() / "one", c.source, false, SlimRoute::OnePassWhereItCan, c.choices);
        EXPECT_EQ(onePass.message, twoPasses.message);
        EXPECT_TRUE(onePass.bytes == twoPasses.bytes) << "the outputs differ";
        EXPECT_EQ(onePass.files, twoPasses.files);
        EXPECT_EQ(onePass.removed, c.removed);
        EXPECT_EQ(twoPasses.removed, c.removed);
        EXPECT_EQ(onePass.kept, twoPasses.kept);
        EXPECT_EQ(onePass.onePass, c.onePass);
        fs::remove_all(dir.path() / "one");
        fs::remove_all(dir.path() / "two");
    }
}

}  // namespace
}  // namespace tracksieve
