#include "tracksieve/same_tracks.h"

#include <algorithm>

namespace tracksieve {
namespace {

bool sameLayout(const PolyWavInfo& a, const PolyWavInfo& b) {
    return std::equal(a.tracks.begin(), a.tracks.end(), b.tracks.begin(), b.tracks.end(),
                      [](const TrackInfo& x, const TrackInfo& y) { return x.name == y.name; });
}

}  // namespace

SameTracks sameTracksAcrossTakes(const std::vector<PolyWavInfo>& records) {
    SameTracks same;
    same.choices.resize(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!records[i].error.empty()) continue;
        const auto group = std::find_if(same.groups.begin(), same.groups.end(), [&](const TakeGroup& g) {
            return sameLayout(records[g.files.front()], records[i]);
        });
        if (group == same.groups.end()) {
            same.groups.push_back({{i}, {}});
        } else {
            group->files.push_back(i);
        }
    }
    for (TakeGroup& group : same.groups) {
        const std::size_t channels = records[group.files.front()].tracks.size();
        std::vector<TrackChoice> choices(channels, TrackChoice::FollowThreshold);
        for (std::size_t channel = 0; channel < channels; ++channel) {
            const auto emptyIn = [&](std::size_t file) { return records[file].tracks[channel].empty; };
            const bool emptyEverywhere = std::all_of(group.files.begin(), group.files.end(), emptyIn);
            if (emptyEverywhere) continue;
            choices[channel] = TrackChoice::Keep;
            if (std::any_of(group.files.begin(), group.files.end(), emptyIn)) {
                group.keptThoughSilentSomewhere.push_back(static_cast<std::int32_t>(channel));
            }
        }
        for (const std::size_t file : group.files) same.choices[file] = choices;
    }
    return same;
}

std::vector<TrackChoice> withChoicesOnTop(const std::vector<TrackChoice>& base, const std::vector<TrackChoice>& onTop) {
    if (onTop.empty()) return base;
    std::vector<TrackChoice> merged =
        base.empty() ? std::vector<TrackChoice>(onTop.size(), TrackChoice::FollowThreshold) : base;
    for (std::size_t i = 0; i < merged.size() && i < onTop.size(); ++i) {
        if (onTop[i] != TrackChoice::FollowThreshold) merged[i] = onTop[i];
    }
    return merged;
}

}  // namespace tracksieve
