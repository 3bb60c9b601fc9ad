#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "tracksieve/fixed_values.h"
#include "tracksieve/track_choice.h"

namespace tracksieve {

struct SplitOptions {
    double threshold = kThreshold;       // linear amplitude
    std::vector<TrackChoice> choices{};  // per source channel; missing ones follow the threshold
    std::filesystem::path outputDir{};   // empty: beside the source
    // Files no mono file may replace, such as the other sources and outputs of one command.
    std::vector<std::filesystem::path> mustNotReplace{};
};

struct SplitOutcome {
    std::vector<std::filesystem::path> written;  // one mono file per kept channel, in channel order
    std::vector<std::int32_t> keptChannels;      // zero-based source channels
    std::vector<std::int32_t> removedChannels;
    bool inOnePass = false;  // the files were written while the analysis read the samples
};

/// Writes one mono WAV file per kept channel of `source`, named "<stem>_<n><ext>" with n the
/// recorder's track number (the iXML CHANNEL_INDEX, else the channel's position), each holding
/// that channel's samples bit for bit and the source's chunks rewritten for that one track.
/// The sample data are read once for all files. Each file is written under a hidden temporary
/// name and renamed into place only when every file is complete and on disk; on failure none is
/// left and the source is untouched. Throws std::runtime_error with a message the user can read.
SplitOutcome splitPolyWav(const std::filesystem::path& source, const SplitOptions& options);

}  // namespace tracksieve
