#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tracksieve/decibels.h"
#include "tracksieve/fixed_values.h"
#include "tracksieve/same_tracks.h"

namespace tracksieve {
namespace {

using Choices = std::vector<TrackChoice>;
constexpr TrackChoice F = TrackChoice::FollowThreshold;
constexpr TrackChoice K = TrackChoice::Keep;
constexpr TrackChoice R = TrackChoice::Remove;

// A record whose tracks carry `names`; an 'e' in `empties` marks that track empty.
PolyWavInfo take(const std::vector<std::string>& names, const std::string& empties) {
    PolyWavInfo info;
    for (std::size_t i = 0; i < names.size(); ++i) {
        info.tracks.push_back({.index = static_cast<std::int32_t>(i), .name = names[i], .empty = empties[i] == 'e'});
    }
    info.channels = static_cast<std::int32_t>(names.size());
    return info;
}

PolyWavInfo failed() {
    PolyWavInfo info;
    info.error = "Invalid format";
    return info;
}

TEST(SameTracks, KeepsATrackInEveryTakeOfALayoutWhereItSoundsInOne) {
    struct Case {
        const char* what;
        std::vector<PolyWavInfo> records;
        std::vector<std::vector<std::size_t>> groups;
        std::vector<std::vector<std::int32_t>> keptThoughSilent;
        std::vector<Choices> choices;
    };
    const std::vector<std::string> mixBoomLav = {"Mix", "Boom", "Lav"};
    const std::vector<Case> cases = {
        {"one layout",
         {take(mixBoomLav, "-e-"), take(mixBoomLav, "--e"), take(mixBoomLav, "-ee")},
         {{0, 1, 2}},
         {{1, 2}},
         {{K, K, K}, {K, K, K}, {K, K, K}}},
        {"a track silent everywhere follows the threshold",
         {take(mixBoomLav, "-ee"), take(mixBoomLav, "e-e")},
         {{0, 1}},
         {{0, 1}},
         {{K, K, F}, {K, K, F}}},
        {"count differs",
         {take(mixBoomLav, "-e-"), take({"Mix", "Boom"}, "--")},
         {{0}, {1}},
         {{}, {}},
         {{K, F, K}, {K, K}}},
        {"a name differs",
         {take(mixBoomLav, "-e-"), take({"Mix", "Boom", "Lav 2"}, "---")},
         {{0}, {1}},
         {{}, {}},
         {{K, F, K}, {K, K, K}}},
        {"order differs",
         {take(mixBoomLav, "-e-"), take({"Mix", "Lav", "Boom"}, "---"), take(mixBoomLav, "---")},
         {{0, 2}, {1}},
         {{1}, {}},
         {{K, K, K}, {K, K, K}, {K, K, K}}},
        {"failed records stay out",
         {failed(), take(mixBoomLav, "-e-"), failed(), take(mixBoomLav, "-ee")},
         {{1, 3}},
         {{2}},
         {{}, {K, F, K}, {}, {K, F, K}}},
    };
    for (const Case& c : cases) {
        const SameTracks same = sameTracksAcrossTakes(c.records);
        ASSERT_EQ(same.groups.size(), c.groups.size()) << c.what;
        for (std::size_t g = 0; g < c.groups.size(); ++g) {
            EXPECT_EQ(same.groups[g].files, c.groups[g]) << c.what;
            EXPECT_EQ(same.groups[g].keptThoughSilentSomewhere, c.keptThoughSilent[g]) << c.what;
        }
        EXPECT_EQ(same.choices, c.choices) << c.what;
    }
}

TEST(SameTracks, ChoicesOnTopWinUnlessTheyFollowTheThreshold) {
    EXPECT_EQ(withChoicesOnTop({K, F, K}, {R, K, F}), (Choices{R, K, K}));
    EXPECT_EQ(withChoicesOnTop({K, F}, {}), (Choices{K, F}));
    EXPECT_EQ(withChoicesOnTop({}, {F, R}), (Choices{F, R}));
    EXPECT_EQ(withChoicesOnTop({}, {}), Choices{});
}

TEST(Decibels, TheDefaultIsTheFixedThreshold) {
    EXPECT_EQ(amplitudeFromDecibels(kThresholdDecibels), kThreshold);
    EXPECT_EQ(amplitudeFromDecibels(0.0), 1.0);
    EXPECT_EQ(amplitudeFromDecibels(-20.0), 0.1);
    EXPECT_EQ(amplitudeFromDecibels(-120.0), 1e-6);
    EXPECT_NEAR(amplitudeFromDecibels(-72.5), 2.371373705661655e-4, 1e-18);
}

}  // namespace
}  // namespace tracksieve
