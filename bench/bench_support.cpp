#include "bench_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <random>
#include <stdexcept>

#include "little_endian.h"
#include "wav_builder.h"

extern char** environ;

namespace tracksieve::bench {

std::string ixmlTrackList() {
    std::string list = "<TRACK_LIST><TRACK_COUNT>8</TRACK_COUNT>";
    for (int i = 1; i <= kChannels; ++i) {
        const std::string n = std::to_string(i);
        list += "<TRACK><CHANNEL_INDEX>" + n + "</CHANNEL_INDEX><INTERLEAVE_INDEX>" + n +
                "</INTERLEAVE_INDEX><NAME>Mic " + n + "</NAME></TRACK>\n";
    }
    return list + "</TRACK_LIST>";
}

void writeRecording(const std::filesystem::path& path, std::uint64_t frames, int silentChannels) {
    const std::uint64_t dataBytes = frames * kBytesPerFrame;
    std::string head =
        testing::WavBuilder()
            .chunk("bext", testing::bextBody(172800000))
            .chunk("iXML", "<BWFXML><SPEED><TIMECODE_RATE>25/1</TIMECODE_RATE></SPEED>" + ixmlTrackList() + "</BWFXML>")
            .fmt({.channels = kChannels, .bitsPerSample = 24})
            .chunkDeclaring("data", "", static_cast<std::uint32_t>(dataBytes))
            .bytes();
    le::writeU32(reinterpret_cast<unsigned char*>(head.data() + 4),
                 static_cast<std::uint32_t>(head.size() - 8 + dataBytes));

    // A tenth of a block of noise, repeated: enough to keep every channel busy.
    constexpr std::size_t noiseFrames = kBlockFrames / 10;
    std::minstd_rand random(2026);
    std::uniform_int_distribution<std::int32_t> level(-838860, 838860);
    std::vector<std::vector<std::int32_t>> noise(noiseFrames, std::vector<std::int32_t>(kChannels, 0));
    for (auto& frame : noise) std::generate(frame.begin(), frame.end() - silentChannels, [&] { return level(random); });
    const std::string samples = testing::pcmFrames(24, noise);

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(head.data(), static_cast<std::streamsize>(head.size()));
    for (std::uint64_t written = 0; written < frames; written += noiseFrames) {
        const std::uint64_t count = std::min<std::uint64_t>(noiseFrames, frames - written);
        out.write(samples.data(), static_cast<std::streamsize>(count * kBytesPerFrame));
    }
    if (!out.flush()) throw std::runtime_error("could not write " + path.string());
}

void writeSparseRf64Recording(const std::filesystem::path& path, std::uint64_t frames, int silentChannels) {
    const std::uint64_t dataBytes = frames * kBytesPerFrame;
    std::string head = testing::WavBuilder()
                           .signature("RF64", "WAVE")
                           .riffSizeField(0xFFFFFFFF)
                           .chunk("ds64", testing::ds64Body(0, dataBytes, frames))
                           .chunk("bext", testing::bextBody(172800000))
                           .chunk("iXML", "<BWFXML>" + ixmlTrackList() + "</BWFXML>")
                           .fmt({.channels = kChannels, .bitsPerSample = 24, .extensible = true})
                           .chunkDeclaring("data", "", 0xFFFFFFFF)
                           .bytes();
    const std::uint64_t riffSize = head.size() - 8 + dataBytes;
    for (int i = 0; i < 8; ++i) head[20 + i] = static_cast<char>(riffSize >> (8 * i));

    std::minstd_rand random(2026);
    std::uniform_int_distribution<std::int32_t> level(-838860, 838860);
    std::vector<std::vector<std::int32_t>> noise(kBlockFrames, std::vector<std::int32_t>(kChannels, 0));
    for (auto& frame : noise) std::generate(frame.begin(), frame.end() - silentChannels, [&] { return level(random); });
    const std::string samples = testing::pcmFrames(24, noise);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(head.data(), static_cast<std::streamsize>(head.size()));
        out.write(samples.data(), static_cast<std::streamsize>(std::min<std::uint64_t>(samples.size(), dataBytes)));
        if (!out.flush()) throw std::runtime_error("could not write " + path.string());
    }
    std::filesystem::resize_file(path, head.size() + dataBytes);
}

double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<double> medianSeconds(int rounds, const std::vector<std::function<void()>>& works) {
    std::vector<std::vector<double>> seconds(works.size());
    for (int round = 0; round < rounds; ++round)
        for (std::size_t i = 0; i < works.size(); ++i) seconds[i].push_back(secondsOf(works[i]));
    std::vector<double> medians;
    for (std::vector<double>& times : seconds) {
        std::sort(times.begin(), times.end());
        medians.push_back(times[times.size() / 2]);
    }
    return medians;
}

ChildRun runChild(const std::vector<std::string>& argv) {
    std::vector<char*> arguments;
    for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    // Whatever the child reports on its standard output would only clutter the figures.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int started = posix_spawnp(&child, arguments[0], &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) throw std::runtime_error("could not start " + argv[0]);
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) throw std::runtime_error("could not wait for " + argv[0]);
    }
#ifdef __APPLE__
    const long peakKiB = usage.ru_maxrss / 1024;
#else
    const long peakKiB = usage.ru_maxrss;
#endif
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, peakKiB, seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

ChildRun runShell(const std::string& command) {
    const ChildRun run = runChild({"/bin/sh", "-c", command});
    if (run.exitStatus != 0) throw std::runtime_error("failed: " + command);
    return run;
}

bool installed(const std::string& tool) {
    return runChild({"/bin/sh", "-c", "command -v " + tool + " >/dev/null 2>&1"}).exitStatus == 0;
}

}  // namespace tracksieve::bench
