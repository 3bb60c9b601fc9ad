// Worst-case analysis speed: a large 8-channel 24-bit file whose last two channels are digital
// silence, so the analysis cannot stop early and reads to the end. Prints the analysis
// throughput next to a plain read of the same file with the same block size, from one run with
// the file warm in the page cache, and how the peak memory grows with the file's length.
//
//   analysis_throughput [--mib SIZE] [--dir FOLDER] [--rounds N]

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

#include "bench_support.h"
#include "tracksieve/analysis.h"
#include "wav_builder.h"

namespace {

namespace fs = std::filesystem;
using namespace tracksieve::bench;
using tracksieve::kBlockFrames;

void plainRead(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> block(kBlockFrames * kBytesPerFrame);
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
    }
}

void analyseWorstCase(const fs::path& path) {
    const tracksieve::PolyWavInfo info = tracksieve::analyzePolyWav(path, tracksieve::kThreshold);
    if (!info.error.empty() || info.activeCount() != kChannels - 2 || !info.tracks.back().empty)
        throw std::runtime_error("unexpected analysis: " + info.summary());
}

long peakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
#ifdef __APPLE__
    return usage.ru_maxrss / 1024;
#else
    return usage.ru_maxrss;
#endif
}

}  // namespace

int main(int argc, char** argv) try {
    std::uint64_t mebibytes = 1024;
    fs::path parent;
    int rounds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--mib") mebibytes = std::stoull(argv[i + 1]);
        else if (name == "--dir") parent = argv[i + 1];
        else if (name == "--rounds") rounds = std::max(1, std::stoi(argv[i + 1]));
        else throw std::runtime_error("unknown option " + name);
    }
    if (argc % 2 == 0) throw std::runtime_error(std::string("missing value after ") + argv[argc - 1]);
    const tracksieve::testing::TempDir folder(parent);
    const std::uint64_t frames = mebibytes * 1024 * 1024 / kBytesPerFrame;
    const fs::path longFile = folder.path() / "worst-case-long.wav";
    const fs::path shortFile = folder.path() / "worst-case-short.wav";
    writeRecording(longFile, frames, 2);
    writeRecording(shortFile, frames / 16 + 1, 2);
    const double megabytes = static_cast<double>(fs::file_size(longFile)) / 1e6;
    std::printf("file: %.0f MB, %d channels of 24 bits at 48000 Hz, the last 2 digital silence; blocks of %zu frames\n",
                megabytes, kChannels, kBlockFrames);

    // A length-independent analysis reaches its peak memory on the short file already.
    const long atStart = peakRssKiB();
    analyseWorstCase(shortFile);
    const long afterShort = peakRssKiB();
    analyseWorstCase(longFile);
    const long afterLong = peakRssKiB();

    plainRead(longFile);  // warms the page cache
    const std::vector<double> seconds =
        medianSeconds(rounds, {[&] { plainRead(longFile); }, [&] { analyseWorstCase(longFile); }});
    std::printf("plain read:     %6.0f MB/s\nanalyzePolyWav: %6.0f MB/s\n", megabytes / seconds[0],
                megabytes / seconds[1]);
    std::printf("analysis / plain read throughput (median of %d rounds): %.2f\n", rounds, seconds[0] / seconds[1]);
    std::printf("peak RSS growth: %ld KiB analysing the %.0f MB file, then %ld KiB more for the %.0f MB one\n",
                afterShort - atStart, static_cast<double>(fs::file_size(shortFile)) / 1e6, afterLong - afterShort,
                megabytes);
    return 0;
} catch (const std::exception& error) {
    std::fprintf(stderr, "analysis_throughput: %s\n", error.what());
    return 1;
}
