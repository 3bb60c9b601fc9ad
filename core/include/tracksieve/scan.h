#pragma once

#include <filesystem>
#include <functional>
#include <vector>

#include "tracksieve/poly_wav_info.h"

namespace tracksieve {

/// Called before each file is analysed, with its 1-based number, the total and its path.
using ScanProgress = std::function<void(int done, int total, const std::filesystem::path& file)>;

/// What a discovery found: the candidate files, sorted by file name byte by byte, and the
/// folders it could not open or list to their end (their files are missing from `paths`).
struct Discovery {
    std::vector<std::filesystem::path> paths;
    std::vector<std::filesystem::path> unreadableFolders;
};

/// The files that look like polyphonic WAV files under `dir`: visible *.wav files that open as
/// WAV files with at least `minChannels` channels, and those that cannot be opened or read at
/// all, so that their analysis says why. Files that open and are no such WAV file stay out.
Discovery discoverPolyFiles(const std::filesystem::path& dir, bool recursive, int minChannels);

/// A scan's records, in the order of the discovered paths, and the folders it could not read.
struct ScanOutcome {
    std::vector<PolyWavInfo> records;
    std::vector<std::filesystem::path> unreadableFolders;
};

/// Discovers and analyses every polyphonic WAV file under `dir`. Files that fail the analysis
/// (those that could not be opened or read among them) stay in the result as failed records.
ScanOutcome scanFolder(const std::filesystem::path& dir, bool recursive, double threshold, int minChannels,
                       const ScanProgress& onProgress);

/// The paths of discoverPolyFiles.
std::vector<std::filesystem::path> discoverPolyPaths(const std::filesystem::path& dir, bool recursive, int minChannels);

/// The records of scanFolder.
std::vector<PolyWavInfo> scanDirectory(const std::filesystem::path& dir, bool recursive, double threshold,
                                       int minChannels, const ScanProgress& onProgress);

}  // namespace tracksieve
