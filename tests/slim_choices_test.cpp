#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "tracksieve/analysis.h"
#include "tracksieve/slim_writer.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::parseChunks;
using testing::readFile;
using testing::TempDir;
using testing::wavWithLevels;
using enum TrackChoice;

// Four channels: full scale / 2 exactly, silence, just under full scale / 2, and an ordinary level.
const std::vector<std::int32_t> kLevels = {16384, 0, 16383, 1000};

std::string dataOf(const std::string& wav) {
    for (const testing::RiffChunk& chunk : parseChunks(wav)) {
        if (chunk.id == "data") return chunk.body;
    }
    return {};
}

std::vector<std::int32_t> allBut(const std::vector<std::int32_t>& removed) {
    std::vector<std::int32_t> kept;
    for (std::int32_t channel = 0; channel < static_cast<std::int32_t>(kLevels.size()); ++channel) {
        if (std::find(removed.begin(), removed.end(), channel) == removed.end()) kept.push_back(channel);
    }
    return kept;
}

TEST(SlimChoices, TheOutcomeNamesExactlyTheChannelsOfTheFileWritten) {
    struct Case {
        std::string label;
        double threshold;
        std::vector<TrackChoice> choices;
        std::vector<std::int32_t> removed;
        std::string message;  // set: refused, nothing written
    };
    const std::vector<Case> cases = {
        {"a peak exactly at the threshold stays, one just under goes", 0.5, {}, {1, 2, 3}, ""},
        {"kept silent tracks", 0.5, {FollowThreshold, Keep, FollowThreshold, Keep}, {2}, ""},
        {"a sounding track removed", 0.001, {Remove, FollowThreshold, FollowThreshold, FollowThreshold}, {0, 1}, ""},
        {"the silent track kept: nothing left to remove",
         0.001,
         {Keep, Keep, FollowThreshold, Keep},
         {},
         "No empty tracks to remove"},
        {"every track removed by choice",
         0.001,
         {Remove, FollowThreshold, Remove, Remove},
         {},
         "Every track would be removed \xE2\x80\x94 nothing to keep"},
        {"every track silent", 1.0, {}, {}, "All tracks are empty \xE2\x80\x94 nothing to keep"},
        {"choices for fewer channels",
         0.001,
         {Keep, Keep, Keep},
         {},
         "The tracks of this file changed since they were chosen"},
        {"choices for more channels",
         0.001,
         {Keep, Keep, Keep, Keep, Remove},
         {},
         "The tracks of this file changed since they were chosen"},
    };
    const std::string source = wavWithLevels(kLevels);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const TempDir dir;
        const fs::path path = dir.write("take.wav", source);
        const SlimOptions options{.threshold = c.threshold, .choices = c.choices};
        if (!c.message.empty()) {
            EXPECT_THAT([&] { slimPolyWav(path, options); }, ::testing::ThrowsMessage<std::runtime_error>(c.message));
            EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
            EXPECT_EQ(readFile(path), source);
            continue;
        }
        const SlimOutcome outcome = slimPolyWav(path, options);
        EXPECT_EQ(outcome.path, dir.path() / "take_SLIM.wav");
        EXPECT_EQ(outcome.removedChannels, c.removed);
        EXPECT_EQ(outcome.keptChannels, allBut(c.removed));

        const PolyWavInfo written = analyzePolyWav(outcome.path, 0.0);
        ASSERT_EQ(written.channels, static_cast<int>(outcome.keptChannels.size()));
        std::vector<std::int32_t> keptLevels;
        for (std::size_t i = 0; i < outcome.keptChannels.size(); ++i) {
            EXPECT_EQ(written.tracks[i].name, "Track " + std::to_string(outcome.keptChannels[i] + 1));
            keptLevels.push_back(kLevels[static_cast<std::size_t>(outcome.keptChannels[i])]);
        }
        EXPECT_TRUE(dataOf(readFile(outcome.path)) == dataOf(wavWithLevels(keptLevels))) << "the kept samples";
    }
}

TEST(SlimChoices, CompressPolyWavFollowsTheThresholdAlone) {
    const TempDir dir;
    const fs::path path = dir.write("take.wav", wavWithLevels(kLevels));
    EXPECT_EQ(analyzePolyWav(compressPolyWav(path, true, 0.5), 0.0).channels, 1);
}

}  // namespace
}  // namespace tracksieve
