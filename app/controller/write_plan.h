#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <tracksieve/poly_wav_info.h>
#include <tracksieve/track_choice.h>

#include "removal_confirmation.h"

namespace tracksieve::app {

/// Whether each track of `file` is kept: `choices` where they say Keep or Remove, else the
/// track's verdict.
std::vector<bool> keptTracks(const PolyWavInfo& file, const std::vector<TrackChoice>& choices);

/// One file to write, as the background job needs it.
struct WriteItem {
    std::filesystem::path path;
    std::string shownName;
    std::vector<TrackChoice> choices;  // empty: every track follows the threshold
};

/// What a removal or a mono export will write, and what its confirmation tells first.
struct WritePlan {
    std::vector<WriteItem> items;
    /// "file: track" for every track with sound that the choices remove.
    std::vector<std::string> soundDiscarded;
    /// "Kept in every take of …" for each group of takes that keeps a track silent in some.
    std::vector<std::string> keptForTheirTakes;
    SkippedFiles skipped;
};

/// Plans the writing of the files at `indexes` of `records` (judged by the threshold), with the
/// user's per-file `handChoices` on top of, when `sameTracksAmong` is given, the grouping of
/// takes among the files at those positions. A removal leaves out files with nothing to remove;
/// both leave out files with nothing to keep or that could not be read. Files decided by hand
/// or by the grouping get a choice for every track, so they are written exactly as planned.
WritePlan planWrites(const std::vector<PolyWavInfo>& records, const std::vector<std::vector<TrackChoice>>& handChoices,
                     const std::vector<std::size_t>& indexes,
                     const std::optional<std::vector<std::size_t>>& sameTracksAmong, bool removal,
                     const std::filesystem::path& scannedFolder);

}  // namespace tracksieve::app
