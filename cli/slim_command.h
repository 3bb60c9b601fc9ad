#pragma once

#include <filesystem>
#include <ostream>
#include <vector>

namespace tracksieve::cli {

struct SlimRequest {
    std::vector<std::filesystem::path> files;
    bool overwrite = false;
    std::filesystem::path output;  // empty: the default name; otherwise for a single file only
    bool outIsTerminal = false;    // names and messages shown escaped
};

/// `tracksieve-cli slim`: writes each file without its empty tracks, printing one report line
/// per file and then the status line to `out`. Returns 0 when every file was written, else 1.
int runSlim(const SlimRequest& request, std::ostream& out);

}  // namespace tracksieve::cli
