#include "write_plan.h"

#include <algorithm>

#include <tracksieve/path_text.h>
#include <tracksieve/run_texts.h>
#include <tracksieve/same_tracks.h>

namespace tracksieve::app {
namespace {

std::size_t keptCount(const std::vector<bool>& kept) {
    return static_cast<std::size_t>(std::count(kept.begin(), kept.end(), true));
}

}  // namespace

std::vector<bool> keptTracks(const PolyWavInfo& file, const std::vector<TrackChoice>& choices) {
    std::vector<bool> kept;
    for (std::size_t i = 0; i < file.tracks.size(); ++i) {
        const TrackChoice choice = i < choices.size() ? choices[i] : TrackChoice::FollowThreshold;
        kept.push_back(choice == TrackChoice::Keep ||
                       (choice == TrackChoice::FollowThreshold && !file.tracks[i].empty));
    }
    return kept;
}

WritePlan planWrites(const std::vector<PolyWavInfo>& records, const std::vector<std::vector<TrackChoice>>& handChoices,
                     const std::vector<std::size_t>& indexes,
                     const std::optional<std::vector<std::size_t>>& sameTracksAmong, bool removal,
                     const std::filesystem::path& scannedFolder) {
    std::vector<std::vector<TrackChoice>> choices = handChoices;
    std::vector<bool> written(records.size(), false);
    std::vector<std::vector<bool>> kept(records.size());
    SameTracks same;
    if (sameTracksAmong) {
        std::vector<PolyWavInfo> takes;
        for (const std::size_t index : *sameTracksAmong) takes.push_back(records[index]);
        same = sameTracksAcrossTakes(takes);
        for (std::size_t i = 0; i < sameTracksAmong->size(); ++i) {
            const std::size_t index = (*sameTracksAmong)[i];
            choices[index] = withChoicesOnTop(same.choices[i], handChoices[index]);
        }
    }

    WritePlan plan;
    for (const std::size_t index : indexes) {
        const PolyWavInfo& file = records[index];
        kept[index] = keptTracks(file, choices[index]);
        const std::size_t keeps = keptCount(kept[index]);
        if (!file.error.empty()) {
            ++plan.skipped.unreadable;
        } else if (keeps == 0) {
            ++plan.skipped.allTracksEmpty;
        } else if (removal && keeps == file.tracks.size()) {
            ++plan.skipped.withoutEmptyTracks;
        } else {
            written[index] = true;
            WriteItem item{file.path, shownName(file.path, scannedFolder), {}};
            const bool decided = std::any_of(choices[index].begin(), choices[index].end(),
                                             [](TrackChoice choice) { return choice != TrackChoice::FollowThreshold; });
            for (std::size_t track = 0; decided && track < file.tracks.size(); ++track) {
                item.choices.push_back(kept[index][track] ? TrackChoice::Keep : TrackChoice::Remove);
                if (!kept[index][track] && !file.tracks[track].empty)
                    plan.soundDiscarded.push_back(item.shownName + ": " + file.tracks[track].name);
            }
            plan.items.push_back(std::move(item));
        }
    }

    // A group's line names the tracks it keeps in a file written here that found them silent.
    for (const TakeGroup& group : same.groups) {
        std::vector<std::string> tracks;
        for (const std::int32_t channel : group.keptThoughSilentSomewhere) {
            const auto track = static_cast<std::size_t>(channel);
            const bool keptThoughSilent = std::any_of(group.files.begin(), group.files.end(), [&](std::size_t take) {
                const std::size_t index = (*sameTracksAmong)[take];
                return written[index] && records[index].tracks[track].empty && kept[index][track];
            });
            if (keptThoughSilent) tracks.push_back(records[(*sameTracksAmong)[group.files.front()]].tracks[track].name);
        }
        if (tracks.empty()) continue;
        std::vector<std::string> files;
        for (const std::size_t take : group.files) {
            files.push_back(pathToUtf8(records[(*sameTracksAmong)[take]].path.filename()));
        }
        plan.keptForTheirTakes.push_back(keptInEveryTakeText(files, tracks));
    }
    return plan;
}

}  // namespace tracksieve::app
