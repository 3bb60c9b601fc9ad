#pragma once

#include <filesystem>
#include <functional>
#include <vector>

#include <tracksieve/mono_split.h>
#include <tracksieve/poly_wav_info.h>
#include <tracksieve/scan.h>
#include <tracksieve/slim_writer.h>

namespace tracksieve::app {

/// The long core calls of the window, with the channel minimum bound. The scan measures every
/// peak up to full scale, so that the records' verdicts can be taken again at any threshold.
/// Tests wrap them to act while a call runs.
struct CoreOperations {
    std::function<ScanOutcome(const std::filesystem::path& dir, bool recursive, const ScanProgress& onProgress)>
        scanFolder;
    std::function<SlimOutcome(const std::filesystem::path& source, const SlimOptions& options)> slimPolyWav;
    std::function<SplitOutcome(const std::filesystem::path& source, const SplitOptions& options)> splitPolyWav;
};

CoreOperations coreOperations();

}  // namespace tracksieve::app
