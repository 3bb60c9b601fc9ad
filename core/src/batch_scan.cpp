#include "tracksieve/analysis.h"
#include "tracksieve/scan.h"

namespace tracksieve {

std::vector<PolyWavInfo> scanDirectory(const std::filesystem::path& dir, bool recursive, double threshold,
                                       int minChannels, const ScanProgress& onProgress) {
    const std::vector<std::filesystem::path> paths = discoverPolyPaths(dir, recursive, minChannels);
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
    return records;
}

}  // namespace tracksieve
