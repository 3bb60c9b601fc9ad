#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tracksieve {

/// One channel of an analysed file. Levels are linear, 1.0 = digital full scale.
struct TrackInfo {
    std::int32_t index = 0;
    std::string name;
    double peak = 0.0;
    double rms = 0.0;
    bool empty = true;
};

/// One analysed WAV file. A non-empty `error` marks a failed record: then only `path` is set.
struct PolyWavInfo {
    std::filesystem::path path;
    std::int32_t channels = 0;
    std::int32_t sampleRate = 0;
    std::int32_t bitsPerSample = 0;
    bool isFloat = false;
    double durationSeconds = 0.0;
    /// The header did not hold the audio's length (a take never finalised, a 32-bit size that
    /// wrapped): the length is that of the audio the file holds.
    bool lengthTakenFromFile = false;
    std::string timecode;
    std::vector<TrackInfo> tracks;
    std::string error;

    int activeCount() const;
    int emptyCount() const;
    /// The one-line description of the file table; independent of the user's locale.
    std::string summary() const;
};

}  // namespace tracksieve
