#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tracksieve/meta_chunk.h"

// Sound Devices recorders name each track in the `bext` Description, one "sTRKn=name" line per
// track n. A copy that holds fewer tracks drops the lines of the others, as the recorder itself
// does in its split files, so that a reader falling back to `bext` names no track wrongly.
namespace tracksieve {

/// The description with every "sTRKn=" line whose n is not in `keptTracks` taken out, its line
/// end with it. Every other byte stays in its order; NULs refill the text to its former length.
std::string dropRemovedTrackLines(std::string_view description, const std::set<int>& keptTracks);

/// The track numbers of the source channels `keptIndices` (of `channels`): each one's
/// CHANNEL_INDEX in the iXML track list of `before` and `after` (as the analysis reads it),
/// or its 1-based position where the list gives none.
std::set<int> keptTrackNumbers(const std::vector<MetaChunk>& before, const std::vector<MetaChunk>& after,
                               const std::vector<std::int32_t>& keptIndices, std::size_t channels);

/// Applies dropRemovedTrackLines to the description of every `bext` chunk in `chunks`.
void dropRemovedTrackLinesFromBext(std::vector<MetaChunk>& chunks, const std::set<int>& keptTracks);

}  // namespace tracksieve
