// Times scanDirectory on a folder of 200 eight-channel 24-bit takes in which every channel is
// active, so that the analysis may stop after its first block, against plainly reading that
// first block of each file (open, seek, read). Warm cache; target: scan <= 2x plain.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tracksieve/scan.h"
#include "wav_builder.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 200;
constexpr std::uint16_t kChannels = 8;
constexpr std::size_t kBytesPerFrame = kChannels * 3;
constexpr std::size_t kBlockFrames = 48000;
constexpr std::size_t kFileFrames = kBlockFrames * 5 / 4;  // more than one block, so stopping early shows
constexpr int kRounds = 7;

// Random bytes make full-scale noise on every channel. A recorder's bext and a modest iXML
// come first, as on a real card.
std::string take(const std::string& samples) {
    std::string ixml = "<BWFXML><SPEED><TIMECODE_RATE>25/1</TIMECODE_RATE></SPEED><TRACK_LIST>";
    for (int i = 1; i <= kChannels; ++i) {
        ixml += "<TRACK><CHANNEL_INDEX>" + std::to_string(i) + "</CHANNEL_INDEX><INTERLEAVE_INDEX>" +
                std::to_string(i) + "</INTERLEAVE_INDEX><NAME>Mic " + std::to_string(i) + "</NAME></TRACK>";
    }
    ixml += "</TRACK_LIST></BWFXML>";
    return tracksieve::testing::WavBuilder()
        .chunk("bext", tracksieve::testing::bextBody(172800000))
        .chunk("iXML", ixml)
        .fmt({.channels = kChannels, .bitsPerSample = 24})
        .data(samples)
        .bytes();
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double plainReadSeconds(const std::vector<fs::path>& paths, std::streamoff dataOffset, std::vector<char>& block) {
    const auto start = Clock::now();
    for (const fs::path& path : paths) {
        std::ifstream in(path, std::ios::binary);
        in.seekg(dataOffset);
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        if (in.gcount() != static_cast<std::streamsize>(block.size())) std::fprintf(stderr, "short read\n");
    }
    return secondsSince(start);
}

double scanSeconds(const fs::path& dir) {
    const auto start = Clock::now();
    const std::vector<tracksieve::PolyWavInfo> records = tracksieve::scanDirectory(dir, false, 0.001, 2, {});
    const double seconds = secondsSince(start);
    const bool allActive = std::all_of(records.begin(), records.end(), [](const auto& r) {
        return r.error.empty() && r.activeCount() == kChannels;
    });
    if (records.size() != kFiles || !allActive) std::fprintf(stderr, "unexpected scan result\n");
    return seconds;
}

double discoverySeconds(const fs::path& dir) {
    const auto start = Clock::now();
    const std::size_t found = tracksieve::discoverPolyPaths(dir, false, 2).size();
    const double seconds = secondsSince(start);
    if (found != kFiles) std::fprintf(stderr, "unexpected discovery result\n");
    return seconds;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    tracksieve::testing::TempDir dir;
    std::string samples(kFileFrames * kBytesPerFrame, '\0');
    std::mt19937 random(2026);
    std::generate(samples.begin(), samples.end(), [&random] { return static_cast<char>(random()); });
    const std::string bytes = take(samples);
    const auto dataOffset = static_cast<std::streamoff>(bytes.size() - samples.size());

    std::vector<fs::path> paths;
    for (int i = 0; i < kFiles; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "T%03d.WAV", i + 1);
        paths.push_back(dir.write(name, bytes));
    }

    std::vector<char> block(kBlockFrames * kBytesPerFrame);
    plainReadSeconds(paths, dataOffset, block);
    scanSeconds(dir.path());

    std::vector<double> plain;
    std::vector<double> scan;
    std::vector<double> discovery;
    for (int round = 0; round < kRounds; ++round) {
        plain.push_back(plainReadSeconds(paths, dataOffset, block));
        scan.push_back(scanSeconds(dir.path()));
        discovery.push_back(discoverySeconds(dir.path()));
    }

    const double plainPerFile = median(plain) / kFiles * 1e3;
    const double scanPerFile = median(scan) / kFiles * 1e3;
    std::printf("%d files, %d channels, 24-bit, %zu frames each; median of %d rounds, warm cache\n", kFiles,
                kChannels, kFileFrames, kRounds);
    std::printf("plain read of the first %zu frames: %.3f ms per file\n", kBlockFrames, plainPerFile);
    std::printf("scanDirectory:                      %.3f ms per file\n", scanPerFile);
    std::printf("  of which the discovery:           %.3f ms per file\n", median(discovery) / kFiles * 1e3);
    std::printf("ratio scan / plain: %.2f (target <= 2.00)\n", scanPerFile / plainPerFile);
    return 0;
}
