#pragma once

#include <filesystem>
#include <ostream>
#include <vector>

#include "tracksieve/mono_split.h"
#include "track_selection.h"

namespace tracksieve::cli {

struct SplitRequest {
    std::vector<std::filesystem::path> files;
    SplitOptions options;        // threshold and folder; the choices come from `lists`
    TrackLists lists;            // --keep and --remove
    bool outIsTerminal = false;  // names and messages shown escaped
    bool errIsTerminal = false;
};

/// `tracksieve-cli split`: writes each file's kept tracks as mono files, printing one report
/// line per file and then the status line to `out`. Returns 0 when every file was split, 1 when
/// some were not, and 2, with the message on `err` and nothing written, when the lists name a
/// track no file has or a track in both.
int runSplit(const SplitRequest& request, std::ostream& out, std::ostream& err);

}  // namespace tracksieve::cli
