#include "tracksieve/analysis.h"
#include "tracksieve/scan.h"

namespace tracksieve {

ScanOutcome scanFolder(const std::filesystem::path& dir, bool recursive, double threshold, int minChannels,
                       const ScanProgress& onProgress) {
    Discovery discovery = discoverPolyFiles(dir, recursive, minChannels);
    const std::vector<std::filesystem::path>& paths = discovery.paths;
    std::vector<PolyWavInfo> records;
    records.reserve(paths.size());
    const int total = static_cast<int>(paths.size());
    for (int i = 0; i < total; ++i) {
        const std::filesystem::path& path = paths[static_cast<std::size_t>(i)];
        if (onProgress) onProgress(i + 1, total, path);
        PolyWavInfo record = analyzePolyWav(path, threshold);
        // A failed record stays so that the user sees why that file could not be read.
        if (!record.error.empty() || record.channels >= minChannels) records.push_back(std::move(record));
    }
    return {std::move(records), std::move(discovery.unreadableFolders)};
}

std::vector<PolyWavInfo> scanDirectory(const std::filesystem::path& dir, bool recursive, double threshold,
                                       int minChannels, const ScanProgress& onProgress) {
    return scanFolder(dir, recursive, threshold, minChannels, onProgress).records;
}

}  // namespace tracksieve
