// Worst-case analysis speed: a large 8-channel 24-bit file whose last two channels are digital
// silence, so the analysis cannot stop early and reads to the end. Prints the analysis
// throughput next to a plain read of the same file with the same block size, from one run with
// the file warm in the page cache, and the memory the analysis needs for two file lengths.
//
//   analysis_throughput [--mib SIZE] [--dir FOLDER] [--rounds N]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "channel_levels_kernels.h"
#include "little_endian.h"
#include "tracksieve/analysis.h"

namespace {

namespace fs = std::filesystem;
using tracksieve::LevelsKernel;

constexpr std::uint16_t kChannels = 8;
constexpr std::uint16_t kSilentChannels = 2;
constexpr std::uint16_t kBytesPerSample = 3;
constexpr std::uint16_t kBlockAlign = kChannels * kBytesPerSample;
constexpr std::uint32_t kSampleRate = 48000;
constexpr std::size_t kBlockFrames = 48000;  // the analysis reads blocks of this many frames
constexpr std::size_t kHeaderBytes = 44;
constexpr double kThreshold = 0.001;

struct Options {
    std::uint64_t mebibytes = 1024;
    fs::path folder;
    int rounds = 5;
};

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) throw std::runtime_error("missing value after " + name);
        const std::string value = argv[++i];
        if (name == "--mib") options.mebibytes = std::stoull(value);
        else if (name == "--dir") options.folder = value;
        else if (name == "--rounds") options.rounds = std::max(1, std::stoi(value));
        else throw std::runtime_error("unknown option " + name);
    }
    return options;
}

// A folder of its own for the test files, removed with them.
class ScratchFolder {
public:
    explicit ScratchFolder(const fs::path& parent) {
        std::random_device entropy;
        path_ = (parent.empty() ? fs::temp_directory_path() : parent) /
                ("tracksieve-bench-" + std::to_string(entropy()));
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Six channels of noise around -20 dBFS, then the silent ones. Written in chunks smaller than
// an analysis block so that writing leaves no large allocation behind.
void writeWorstCaseFile(const fs::path& path, std::uint64_t frames) {
    const std::uint64_t dataBytes = frames * kBlockAlign;
    std::string header;
    header += "RIFF";
    tracksieve::le::appendU32(header, static_cast<std::uint32_t>(kHeaderBytes - 8 + dataBytes));
    header += "WAVEfmt ";
    tracksieve::le::appendU32(header, 16);
    tracksieve::le::appendU16(header, 1);
    tracksieve::le::appendU16(header, kChannels);
    tracksieve::le::appendU32(header, kSampleRate);
    tracksieve::le::appendU32(header, kSampleRate * kBlockAlign);
    tracksieve::le::appendU16(header, kBlockAlign);
    tracksieve::le::appendU16(header, 8 * kBytesPerSample);
    header += "data";
    tracksieve::le::appendU32(header, static_cast<std::uint32_t>(dataBytes));

    constexpr std::size_t chunkFrames = 4800;
    std::vector<unsigned char> chunk(chunkFrames * kBlockAlign, 0);
    std::minstd_rand noise(2026);
    std::uniform_int_distribution<std::int32_t> level(-838860, 838860);
    for (std::size_t f = 0; f < chunkFrames; ++f) {
        for (std::size_t c = 0; c < kChannels - kSilentChannels; ++c) {
            const auto sample = static_cast<std::uint32_t>(level(noise));
            unsigned char* at = chunk.data() + f * kBlockAlign + c * kBytesPerSample;
            for (int i = 0; i < kBytesPerSample; ++i) at[i] = static_cast<unsigned char>(sample >> (8 * i));
        }
    }

    std::ofstream out(path, std::ios::binary);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    for (std::uint64_t written = 0; written < frames; written += chunkFrames) {
        const std::uint64_t count = std::min<std::uint64_t>(chunkFrames, frames - written);
        out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(count * kBlockAlign));
    }
    if (!out.flush()) throw std::runtime_error("could not write " + path.string());
}

// Reads the file from `offset` to its end in analysis-sized blocks, handing each to `consume`.
std::uint64_t readInBlocks(const fs::path& path, std::uint64_t offset,
                           const std::function<void(const unsigned char*, std::size_t)>& consume) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::vector<unsigned char> block(kBlockFrames * kBlockAlign);
    std::uint64_t total = 0;
    while (in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size())) ||
           in.gcount() > 0) {
        const auto bytes = static_cast<std::size_t>(in.gcount());
        consume(block.data(), bytes);
        total += bytes;
    }
    return total;
}

double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void requireWorstCaseResult(const tracksieve::PolyWavInfo& info) {
    bool asExpected = info.error.empty() && info.tracks.size() == kChannels;
    for (std::size_t c = 0; asExpected && c < kChannels; ++c)
        asExpected = info.tracks[c].empty == (c >= kChannels - kSilentChannels);
    if (!asExpected) throw std::runtime_error("unexpected analysis of " + info.path.string() + ": " + info.summary());
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

// How far the peak resident memory rises while one file is analysed, measured in a child
// process so that no earlier run has already paid for it.
long analysisRssGrowthKiB(const fs::path& path) {
    int channel[2];
    if (pipe(channel) != 0) throw std::runtime_error("pipe failed");
    std::cout.flush();
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        const long before = peakRssKiB();
        requireWorstCaseResult(tracksieve::analyzePolyWav(path, kThreshold));
        const long growth = peakRssKiB() - before;
        const bool sent = write(channel[1], &growth, sizeof growth) == static_cast<ssize_t>(sizeof growth);
        _exit(sent ? 0 : 1);
    }
    close(channel[1]);
    long growth = -1;
    const bool received = read(channel[0], &growth, sizeof growth) == static_cast<ssize_t>(sizeof growth);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!received || !WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("child run failed");
    return growth;
}

struct Timing {
    std::string label;
    std::function<void()> run;
    std::vector<double> seconds;
};

double megabytesPerSecond(std::uint64_t bytes, double seconds) { return static_cast<double>(bytes) / 1e6 / seconds; }

void run(const Options& options) {
    const ScratchFolder folder(options.folder);
    const std::uint64_t frames = options.mebibytes * 1024 * 1024 / kBlockAlign;
    const fs::path longFile = folder.path() / "worst-case-long.wav";
    const fs::path shortFile = folder.path() / "worst-case-short.wav";
    writeWorstCaseFile(longFile, frames);
    writeWorstCaseFile(shortFile, std::max<std::uint64_t>(frames / 16, 1));
    const std::uint64_t fileBytes = fs::file_size(longFile);

    std::cout << "file: " << fileBytes / 1e6 << " MB, " << kChannels << " channels of 24 bits at " << kSampleRate
              << " Hz, the last " << kSilentChannels << " digital silence; blocks of " << kBlockFrames
              << " frames\n";

    const long shortGrowth = analysisRssGrowthKiB(shortFile);
    const long longGrowth = analysisRssGrowthKiB(longFile);

    std::uint64_t checksum = 0;
    auto plainRead = [&] { checksum += readInBlocks(longFile, 0, [](const unsigned char*, std::size_t) {}); };
    plainRead();  // warms the page cache

    std::vector<Timing> timings;
    timings.push_back({"plain read", plainRead, {}});
    timings.push_back({"analyzePolyWav", [&] { requireWorstCaseResult(tracksieve::analyzePolyWav(longFile, kThreshold)); }, {}});
    for (const LevelsKernel& kernel : tracksieve::levelsKernels()) {
        if (!kernel.runsHere()) continue;
        timings.push_back({std::string("read + ") + kernel.name + " kernel", [&, kernel] {
                               std::vector<double> peaks(kChannels), sums(kChannels);
                               readInBlocks(longFile, kHeaderBytes, [&](const unsigned char* block, std::size_t bytes) {
                                   kernel.accumulate(tracksieve::SampleEncoding::Pcm24, block, bytes / kBlockAlign,
                                                     kBlockAlign, kChannels, peaks.data(), sums.data());
                               });
                               checksum += peaks[kChannels - 1] == 0.0;
                           }, {}});
    }
    for (int round = 0; round < options.rounds; ++round)
        for (Timing& timing : timings) timing.seconds.push_back(secondsOf(timing.run));

    auto best = [](const Timing& timing) { return *std::min_element(timing.seconds.begin(), timing.seconds.end()); };
    const double plainBest = best(timings.front());
    std::printf("%-24s %12s %12s %10s\n", "", "best MB/s", "median MB/s", "vs read");
    for (Timing& timing : timings) {
        std::sort(timing.seconds.begin(), timing.seconds.end());
        const double median = timing.seconds[timing.seconds.size() / 2];
        std::printf("%-24s %12.0f %12.0f %9.0f%%\n", timing.label.c_str(), megabytesPerSecond(fileBytes, best(timing)),
                    megabytesPerSecond(fileBytes, median), 100.0 * plainBest / best(timing));
    }
    std::printf("analysis / plain read (best of %d rounds): %.2f\n", options.rounds, plainBest / best(timings[1]));
    std::printf("peak RSS growth while analysing: %.0f MB file %ld KiB, %.0f MB file %ld KiB\n",
                fs::file_size(shortFile) / 1e6, shortGrowth, fileBytes / 1e6, longGrowth);
    if (checksum == 0) std::printf("(nothing read)\n");
}

}  // namespace

int main(int argc, char** argv) {
    try {
        run(parseOptions(argc, argv));
    } catch (const std::exception& error) {
        std::cerr << "analysis_throughput: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
