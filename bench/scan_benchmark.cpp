// Times scanDirectory on a folder of 200 eight-channel 24-bit takes in which every channel is
// active, so that the analysis may stop after its first block, against plainly reading that
// first block of each file (open, seek, read). Warm cache; target: scan <= 2x plain.

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "bench_support.h"
#include "tracksieve/scan.h"
#include "wav_builder.h"

namespace {

namespace fs = std::filesystem;
using namespace tracksieve::bench;
using tracksieve::kBlockFrames;

constexpr int kFiles = 200;
constexpr std::size_t kFileFrames = kBlockFrames * 5 / 4;  // more than one block, so stopping early shows
constexpr int kRounds = 7;

void check(bool expected, const char* what) {
    if (!expected) std::fprintf(stderr, "unexpected %s\n", what);
}

}  // namespace

int main() {
    const tracksieve::testing::TempDir dir;
    writeRecording(dir.path() / "T001.WAV", kFileFrames, 0);
    std::vector<fs::path> paths{dir.path() / "T001.WAV"};
    for (int i = 2; i <= kFiles; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "T%03d.WAV", i);
        paths.push_back(dir.path() / name);
        fs::copy_file(paths.front(), paths.back());
    }
    const auto dataOffset = static_cast<std::streamoff>(fs::file_size(paths.front()) - kFileFrames * kBytesPerFrame);

    std::vector<char> block(kBlockFrames * kBytesPerFrame);
    const auto plainRead = [&] {
        for (const fs::path& path : paths) {
            std::ifstream in(path, std::ios::binary);
            in.seekg(dataOffset);
            check(in.read(block.data(), static_cast<std::streamsize>(block.size())).good(), "short read");
        }
    };
    const auto scan = [&] {
        const auto records =
            tracksieve::scanDirectory(dir.path(), false, tracksieve::kThreshold, tracksieve::kMinChannels, {});
        check(records.size() == kFiles && std::all_of(records.begin(), records.end(),
                                                      [](const auto& r) { return r.activeCount() == kChannels; }),
              "scan result");
    };
    const auto discover = [&] {
        check(tracksieve::discoverPolyPaths(dir.path(), false, 2).size() == kFiles, "discovery");
    };
    plainRead();
    scan();  // both warm the page cache
    const std::vector<double> seconds = medianSeconds(kRounds, {plainRead, scan, discover});

    const double plainPerFile = seconds[0] / kFiles * 1e3;
    const double scanPerFile = seconds[1] / kFiles * 1e3;
    std::printf("%d files, %d channels, 24-bit, %zu frames each; median of %d rounds, warm cache\n", kFiles, kChannels,
                kFileFrames, kRounds);
    std::printf("plain read of the first %zu frames: %.3f ms per file\n", kBlockFrames, plainPerFile);
    std::printf("scanDirectory:                      %.3f ms per file\n", scanPerFile);
    std::printf("  of which the discovery:           %.3f ms per file\n", seconds[2] / kFiles * 1e3);
    std::printf("ratio scan / plain: %.2f (target <= 2.00)\n", scanPerFile / plainPerFile);
    return 0;
}
