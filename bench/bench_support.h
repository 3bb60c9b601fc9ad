#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tracksieve/fixed_values.h"

// What the benchmarks share: recordings as a field recorder writes them, and timing.
namespace tracksieve::bench {

inline constexpr std::uint16_t kChannels = 8;
inline constexpr std::size_t kBytesPerFrame = kChannels * 3;

/// An iXML TRACK_LIST naming the kChannels tracks "Mic 1" to "Mic 8".
std::string ixmlTrackList();

/// Writes a 48 kHz recording of kChannels 24-bit channels with a bext and an iXML chunk before
/// the audio: noise around -20 dBFS on every channel but the last `silentChannels`, which hold
/// digital silence. Streams the samples, so a file of any length needs little memory.
void writeRecording(const std::filesystem::path& path, std::uint64_t frames, int silentChannels);

/// Writes an RF64 recording of `frames` frames laid out as writeRecording's: a first stretch of
/// noise on every channel but the last `silentChannels`, then a hole the file system leaves
/// unallocated, which reads as digital silence. A file past 4 GiB takes little disk and no time.
void writeSparseRf64Recording(const std::filesystem::path& path, std::uint64_t frames, int silentChannels);

double secondsOf(const std::function<void()>& work);

/// Runs every piece of work `rounds` times, interleaved so that a busy moment on the shared
/// machine hits all of them alike, and returns each one's median time in seconds.
std::vector<double> medianSeconds(int rounds, const std::vector<std::function<void()>>& works);

/// How a child process ended: its exit status (-1 when it did not exit normally), the most
/// memory it held resident, in KiB, and the processor time it used, in seconds, each counting
/// the children it waited for.
struct ChildRun {
    int exitStatus = -1;
    long peakRssKiB = 0;
    double cpuSeconds = 0.0;
};

/// Runs `argv` (the program searched in PATH) as a child process, its standard output thrown
/// away, and waits for it.
ChildRun runChild(const std::vector<std::string>& argv);

/// Runs `command` with /bin/sh; throws when it fails.
ChildRun runShell(const std::string& command);

/// Whether `tool` is found in PATH.
bool installed(const std::string& tool);

}  // namespace tracksieve::bench
