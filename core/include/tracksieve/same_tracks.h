#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tracksieve/poly_wav_info.h"
#include "tracksieve/track_choice.h"

namespace tracksieve {

/// Takes of one layout: the same channel count and the same track names in the same order.
struct TakeGroup {
    /// Positions of the group's records in the list given, ascending.
    std::vector<std::size_t> files;
    /// Zero-based channels kept in every file of the group although some of them found it empty.
    std::vector<std::int32_t> keptThoughSilentSomewhere;
};

struct SameTracks {
    /// Groups in the order of their first file; failed records belong to none.
    std::vector<TakeGroup> groups;
    /// One per record: Keep for a track that sounds in some file of its group, FollowThreshold
    /// for one empty in all of them; empty for a failed record.
    std::vector<std::vector<TrackChoice>> choices;
};

/// Groups analysed takes by layout so that an editor conforming a scene finds the same tracks
/// in every take: a track is removed from a group's files only where it is empty in all of them.
SameTracks sameTracksAcrossTakes(const std::vector<PolyWavInfo>& records);

/// `base` with every choice of `onTop` other than FollowThreshold put over it; either may be
/// empty (every channel following the threshold).
std::vector<TrackChoice> withChoicesOnTop(const std::vector<TrackChoice>& base, const std::vector<TrackChoice>& onTop);

}  // namespace tracksieve
