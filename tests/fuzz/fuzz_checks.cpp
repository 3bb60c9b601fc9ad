#include "fuzz_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>

namespace tracksieve::fuzz {
namespace {

constexpr std::string_view kReaderMessages[] = {
    "Could not open file",
    "Not a RIFF/WAVE file",
    "Invalid fmt chunk",
    "Invalid ds64 chunk",
    "Missing fmt or data chunk",
    "Invalid format",
    "Unsupported WAV format (need PCM or IEEE float)",
    "Unsupported bit depth",
};

void checkFailedRecord(const PolyWavInfo& record) {
    require(
        std::find(std::begin(kReaderMessages), std::end(kReaderMessages), record.error) != std::end(kReaderMessages),
        "a failed record carries a message of the reader, not: " + record.error);
    require(record.channels == 0 && record.sampleRate == 0 && record.bitsPerSample == 0 && !record.isFloat &&
                record.durationSeconds == 0.0 && record.timecode.empty() && record.tracks.empty(),
            "a failed record sets nothing but its path and error");
}

void checkCompleteRecord(const PolyWavInfo& record, double threshold) {
    require(record.channels > 0, "a complete record has channels");
    require(record.tracks.size() == static_cast<std::size_t>(record.channels), "one track per channel");
    require(record.activeCount() + record.emptyCount() == record.channels, "active and empty tracks add up");
    require(record.bitsPerSample == 16 || record.bitsPerSample == 24 || record.bitsPerSample == 32,
            "a depth the reader accepts");
    require(!record.isFloat || record.bitsPerSample == 32, "float samples are 32 bits wide");
    require(std::isfinite(record.durationSeconds) && record.durationSeconds >= 0, "a duration that is a length");
    require(record.timecode.empty() || record.timecode.size() >= 11, "a timecode is HH:MM:SS:FF");
    for (std::size_t i = 0; i < record.tracks.size(); ++i) {
        const TrackInfo& track = record.tracks[i];
        require(track.index == static_cast<std::int32_t>(i), "each track's index is its position");
        require(!track.name.empty(), "every track has a name");
        require(track.peak >= 0, "a peak is a magnitude and never NaN");
        require(!(track.rms < 0), "an rms is never negative");
        require(track.empty == (track.peak < threshold), "empty exactly when the peak is below the threshold");
    }
}

}  // namespace

void require(bool condition, std::string_view what) {
    if (condition) return;
    std::cerr << "Invariant broken: " << what << std::endl;
    std::abort();
}

std::string bytesOf(const std::uint8_t* data, std::size_t size) {
    return size == 0 ? std::string() : std::string(reinterpret_cast<const char*>(data), size);
}

void checkRecord(const PolyWavInfo& record, double threshold) {
    require(record.summary().find(record.path.filename().string()) != std::string::npos, "the summary names the file");
    if (record.error.empty()) {
        checkCompleteRecord(record, threshold);
    } else {
        checkFailedRecord(record);
    }
}

}  // namespace tracksieve::fuzz
