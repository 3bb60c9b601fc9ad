#pragma once

#include <filesystem>
#include <ostream>
#include <vector>

#include "tracksieve/mono_split.h"

namespace tracksieve::cli {

struct SplitRequest {
    std::vector<std::filesystem::path> files;
    SplitOptions options;
    bool outIsTerminal = false;  // names and messages shown escaped
};

/// `tracksieve-cli split`: writes each file's kept tracks as mono files, printing one report
/// line per file and then the status line to `out`. Returns 0 when every file was split, else 1.
int runSplit(const SplitRequest& request, std::ostream& out);

}  // namespace tracksieve::cli
