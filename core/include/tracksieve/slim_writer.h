#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "tracksieve/fixed_values.h"
#include "tracksieve/track_choice.h"

namespace tracksieve {

struct SlimOptions {
    /// With no `outputPath`: replace the source instead of writing "<stem>_SLIM<ext>" beside it.
    bool overwrite = false;
    /// The file to write; empty for the default name.
    std::filesystem::path outputPath{};
    /// The linear peak below which a track following the threshold is removed.
    double threshold = kThreshold;
    /// One per source channel, in channel order; empty lets every channel follow the threshold.
    std::vector<TrackChoice> choices{};
};

/// What a slim wrote. Channels are zero-based source channel numbers, ascending.
struct SlimOutcome {
    std::filesystem::path path;
    std::vector<std::int32_t> keptChannels;
    std::vector<std::int32_t> removedChannels;
    /// The copy was made while the analysis read the samples, not after it.
    bool inOnePass = false;
};

/// Writes a copy of `source` without the channels the options remove, judged on the file as it
/// is now: the path is `outputPath` when given, else `source` itself when `overwrite` is set,
/// else "<stem>_SLIM<ext>" beside the source. Throws std::runtime_error with a message the user
/// can read; never leaves an incomplete file behind or touches the source on failure. A file
/// from which nothing would be removed, or nothing kept, is refused, as is one whose channel
/// count no longer matches a non-empty `choices`.
SlimOutcome slimPolyWav(const std::filesystem::path& source, const SlimOptions& options);

/// slimPolyWav with every channel following `threshold`, returning the path written.
std::filesystem::path compressPolyWav(const std::filesystem::path& source, bool overwrite, double threshold,
                                      const std::filesystem::path& outputPath = {});

}  // namespace tracksieve
