#pragma once

#include <filesystem>
#include <ostream>

#include "tracksieve/fixed_values.h"

namespace tracksieve::cli {

struct ScanRequest {
    std::filesystem::path dir;
    bool recursive = false;
    bool json = false;
    bool csv = false;
    double threshold = kThreshold;  // linear amplitude
    bool outIsTerminal = false;     // names and messages shown escaped
    bool errIsTerminal = false;     // progress lines on the error stream, redrawn in place
};

/// `tracksieve-cli scan`: scans `request.dir` and writes the report to `out`; messages go to
/// `err`, among them each folder that could not be read. Returns the exit status: 0, 1 when the
/// scan failed, 2 when `dir` is no directory, 3 when some file or folder could not be read.
int runScan(const ScanRequest& request, std::ostream& out, std::ostream& err);

}  // namespace tracksieve::cli
