#pragma once

#include <filesystem>
#include <functional>
#include <vector>

#include <tracksieve/poly_wav_info.h>
#include <tracksieve/scan.h>

namespace tracksieve::app {

/// The two long core calls of the window, with the fixed threshold and channel minimum bound.
/// Tests wrap them to act while a call runs.
struct CoreOperations {
    std::function<ScanOutcome(const std::filesystem::path& dir, bool recursive, const ScanProgress& onProgress)>
        scanFolder;
    std::function<std::filesystem::path(const std::filesystem::path& source, bool overwrite)> compressPolyWav;
};

CoreOperations coreOperations();

}  // namespace tracksieve::app
