#pragma once

#include <filesystem>
#include <functional>
#include <vector>

#include "tracksieve/poly_wav_info.h"

namespace tracksieve {

/// Called before each file is analysed, with its 1-based number, the total and its path.
using ScanProgress = std::function<void(int done, int total, const std::filesystem::path& file)>;

/// The polyphonic WAV files under `dir` (visible *.wav files that open as WAV files with at
/// least `minChannels` channels), sorted by file name byte by byte.
std::vector<std::filesystem::path> discoverPolyPaths(const std::filesystem::path& dir, bool recursive,
                                                     int minChannels);

/// Discovers and analyses every polyphonic WAV file under `dir`. Files that fail the analysis
/// stay in the result as failed records.
std::vector<PolyWavInfo> scanDirectory(const std::filesystem::path& dir, bool recursive, double threshold,
                                       int minChannels, const ScanProgress& onProgress);

}  // namespace tracksieve
