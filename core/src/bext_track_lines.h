#pragma once

#include <set>
#include <string>
#include <string_view>

// Sound Devices recorders name each track in the `bext` Description, one "sTRKn=name" line per
// track n. A copy that holds fewer tracks drops the lines of the others, as the recorder itself
// does in its split files, so that a reader falling back to `bext` names no track wrongly.
namespace tracksieve {

/// The description with every "sTRKn=" line whose n is not in `keptTracks` taken out, its line
/// end with it. Every other byte stays in its order; NULs refill the text to its former length.
std::string dropRemovedTrackLines(std::string_view description, const std::set<int>& keptTracks);

}  // namespace tracksieve
