#pragma once

#include <filesystem>
#include <ostream>
#include <vector>

#include "tracksieve/fixed_values.h"
#include "track_selection.h"

namespace tracksieve::cli {

struct SlimRequest {
    std::vector<std::filesystem::path> files;
    bool overwrite = false;
    std::filesystem::path output;   // empty: the default name; otherwise for a single file only
    double threshold = kThreshold;  // linear amplitude
    TrackLists lists;               // --keep and --remove
    bool sameTracks = false;        // takes of one track layout keep the same tracks
    bool outIsTerminal = false;     // names and messages shown escaped
    bool errIsTerminal = false;
};

/// `tracksieve-cli slim`: writes each file without its empty tracks, printing one report line
/// per file, a line per group of takes that kept a track silent in some of them, and then the
/// status line to `out`. Returns 0 when every file was written, 1 when some were not, and 2,
/// with the message on `err` and nothing written, when the lists name a track no file has or
/// a track in both.
int runSlim(const SlimRequest& request, std::ostream& out, std::ostream& err);

}  // namespace tracksieve::cli
