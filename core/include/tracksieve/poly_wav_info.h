#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
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

/// The errors of a file that could not be opened, or not read to its end; the second may carry
/// the system's reason after it, in parentheses.
inline constexpr std::string_view kCouldNotOpenFile = "Could not open file";
inline constexpr std::string_view kCouldNotReadFile = "Could not read file";

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
    std::string scene;  // from iXML SCENE, else the bext Description's "sSCENE="; empty when neither
    std::string take;   // likewise from TAKE or "sTAKE="
    std::vector<TrackInfo> tracks;
    std::string error;

    /// True for a failed record of a file that could not be opened or read, rather than one
    /// whose bytes are no usable WAV file.
    bool unreadable() const;
    int activeCount() const;
    int emptyCount() const;
    /// The one-line description of the file table; independent of the user's locale. The file
    /// is named by `shownName` under `scannedFolder`.
    std::string summary(const std::filesystem::path& scannedFolder = {}) const;
};

}  // namespace tracksieve
