#include "tracksieve/poly_wav_info.h"

#include <algorithm>
#include <charconv>

#include "tracksieve/path_text.h"

namespace tracksieve {
namespace {

constexpr const char* kSeparator = "  \xE2\x80\x94  ";

// to_chars never consults the locale: a point as decimal separator, no grouping.
std::string fixedOneDecimal(double value) {
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    return std::string(buffer, result.ptr);
}

}  // namespace

bool PolyWavInfo::unreadable() const { return error == kCouldNotOpenFile || error.starts_with(kCouldNotReadFile); }

int PolyWavInfo::activeCount() const {
    return static_cast<int>(std::count_if(tracks.begin(), tracks.end(), [](const TrackInfo& t) { return !t.empty; }));
}

int PolyWavInfo::emptyCount() const {
    return static_cast<int>(std::count_if(tracks.begin(), tracks.end(), [](const TrackInfo& t) { return t.empty; }));
}

std::string PolyWavInfo::summary(const std::filesystem::path& scannedFolder) const {
    const std::string fileName = shownName(path, scannedFolder);
    if (!error.empty()) return fileName + kSeparator + "error: " + error;

    std::string line;
    if (!timecode.empty()) line += timecode + "  ";
    line += fileName + kSeparator;
    line += std::to_string(channels) + " tracks (" + std::to_string(activeCount()) + " active, " +
            std::to_string(emptyCount()) + " empty)  ";
    line += std::to_string(sampleRate) + " Hz  " + fixedOneDecimal(durationSeconds) + "s";
    return line;
}

}  // namespace tracksieve
