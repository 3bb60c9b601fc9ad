// Runs tracksieve-cli scan and slim on hostile files of a few megabytes each (wide frames,
// tens of thousands of channels, absurd iXML) and reports each run's processor time and peak
// memory. Targets, which any work growing faster than the file would miss by far: every run
// within 1 s plus 0.2 s per MiB of the file of processor time, and within 32 MiB beyond twice
// the file's size of memory (a metadata chunk is held whole, and the slim rewrites it).
// The file of 12.5 million empty chunks (100 MB) took 4.3 s to scan and 327 s and 1.5 GB to
// slim before the walks stopped at kMaxChunks; now it fails in 0.05 s and 4 MB.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "wav_builder.h"

namespace {

namespace fs = std::filesystem;
using tracksieve::testing::pcmFrames;
using tracksieve::testing::WavBuilder;

struct HostileFile {
    const char* what;
    std::function<std::string()> bytes;  // made only when measured: the figures count this process
    bool slimFails = false;              // refused with a message, still within the bounds
};

// Channel 1 is silent, so the analysis reads to the end and the slim has a track to remove.
std::string wideFrames(std::uint16_t channels, std::uint16_t blockAlign, std::size_t frames) {
    std::string frame(blockAlign, '\x20');
    frame[2] = frame[3] = '\0';
    std::string samples;
    for (std::size_t f = 0; f < frames; ++f) samples += frame;
    return WavBuilder().fmt({.channels = channels, .blockAlign = blockAlign}).data(samples).bytes();
}

std::string withIxml(const std::string& ixml) {
    const std::vector<std::vector<std::int32_t>> frames(4800, {1000, 0});
    return WavBuilder().fmt({}).data(pcmFrames(16, frames)).chunk("iXML", ixml).bytes();
}

// 100 MB of empty chunks after the audio: 12.5 million chunk headers for the walks to pass.
std::string emptyChunks() {
    const std::vector<std::vector<std::int32_t>> frames(4800, {1000, 0});
    std::string bytes = WavBuilder().fmt({}).data(pcmFrames(16, frames)).bytes();
    const std::size_t chunks = 12'500'000;
    bytes.reserve(bytes.size() + chunks * 8);
    for (std::size_t i = 0; i < chunks; ++i) bytes.append("JUNK\0\0\0\0", 8);
    return bytes;
}

std::string hundredThousandTracks() {
    std::string ixml = "<BWFXML><TRACK_LIST>";
    for (int i = 0; i < 100'000; ++i) ixml += "<TRACK><NAME>T" + std::to_string(i) + "</NAME></TRACK>";
    return ixml + "</TRACK_LIST></BWFXML>";
}

// Each file is made in a child process: a program started from this one is reported with at
// least the most memory this process ever held resident.
void writeInChild(const fs::path& path, const std::function<std::string()>& bytes) {
    const pid_t child = fork();
    if (child == 0) {
        try {
            tracksieve::testing::writeFile(path, bytes());
            _exit(0);
        } catch (...) {
            _exit(1);
        }
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("could not write " + path.string());
    }
}

}  // namespace

int main() {
#ifndef TRACKSIEVE_CLI_PATH
    std::puts("tracksieve-cli is not built; nothing to measure");
    return 0;
#else
    using namespace tracksieve::bench;
    const std::string cli = TRACKSIEVE_CLI_PATH;
    const HostileFile files[] = {
        {"blockAlign 65534, 3 channels", [] { return wideFrames(3, 65534, 20); }},
        {"32767 channels", [] { return wideFrames(32767, 65534, 55); }},
        {"64 MB iXML", [] { return withIxml(std::string(64 << 20, ' ')); }},
        {"iXML of 100 000 TRACK elements", [] { return withIxml(hundredThousandTracks()); }},
        {"iXML of 16 MB of '<'", [] { return withIxml(std::string(16 << 20, '<')); }},
        {"12.5 million empty chunks", emptyChunks, true},
    };

    std::printf("%-32s %9s %17s %17s %s\n", "file", "size KiB", "scan s / KiB", "slim s / KiB", "target");
    bool allWithinTarget = true;
    for (const HostileFile& file : files) {
        const tracksieve::testing::TempDir dir;
        const fs::path path = dir.path() / "hostile.wav";
        writeInChild(path, file.bytes);
        const std::uintmax_t size = fs::file_size(path);
        const fs::path output = dir.path() / "out" / "slim.wav";
        fs::create_directory(output.parent_path());

        const ChildRun scan = runChild({cli, "scan", dir.path().string()});
        const ChildRun slim = runChild({cli, "slim", "-o", output.string(), path.string()});

        const long limitKiB = static_cast<long>(2 * size / 1024) + 32 * 1024;
        const double limitSeconds = 1.0 + 0.2 * static_cast<double>(size) / (1 << 20);
        const bool within = scan.exitStatus == 0 && (slim.exitStatus == 0) != file.slimFails &&
                            scan.cpuSeconds <= limitSeconds && slim.cpuSeconds <= limitSeconds &&
                            scan.peakRssKiB <= limitKiB && slim.peakRssKiB <= limitKiB;
        allWithinTarget = allWithinTarget && within;
        std::printf("%-32s %9ju %7.2f / %7ld %7.2f / %7ld %s\n", file.what, size / 1024, scan.cpuSeconds,
                    scan.peakRssKiB, slim.cpuSeconds, slim.peakRssKiB, within ? "ok" : "MISSED");
    }
    return allWithinTarget ? 0 : 1;
#endif
}
