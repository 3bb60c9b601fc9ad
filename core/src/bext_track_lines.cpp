#include "bext_track_lines.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "recorder_metadata.h"
#include "riff_reading.h"

namespace tracksieve {
namespace {

constexpr std::string_view kTrackLinePrefix = "sTRK";
constexpr std::size_t kDescriptionSize = 256;

// The n of a line "sTRKn=...", or nothing for any other line.
std::optional<int> trackNumberOf(std::string_view line) {
    if (!line.starts_with(kTrackLinePrefix)) return std::nullopt;
    const std::string_view rest = line.substr(kTrackLinePrefix.size());
    int number = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
    if (error != std::errc() || end == rest.data() || end == rest.data() + rest.size() || *end != '=') {
        return std::nullopt;
    }
    return number;
}

}  // namespace

std::string dropRemovedTrackLines(std::string_view description, const std::set<int>& keptTracks) {
    // Everything from the first NUL on is padding, never text.
    const std::string_view text = description.substr(0, description.find('\0'));
    std::string kept;
    kept.reserve(description.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t newline = text.find('\n', at);
        const std::size_t end = newline == std::string_view::npos ? text.size() : newline + 1;
        const std::string_view line = text.substr(at, end - at);
        const std::optional<int> track = trackNumberOf(line);
        if (!track || keptTracks.contains(*track)) kept += line;
        at = end;
    }
    kept.append(description.substr(text.size()));
    kept.resize(description.size(), '\0');
    return kept;
}

std::set<int> keptTrackNumbers(const std::vector<MetaChunk>& before, const std::vector<MetaChunk>& after,
                               const std::vector<std::int32_t>& keptIndices, std::size_t channels) {
    std::string_view ixmlText;
    for (const std::vector<MetaChunk>* chunks : {&before, &after}) {
        for (const MetaChunk& chunk : *chunks) {
            if (isXmlChunkId(chunk.id) && !isAdmDocumentChunk(chunk.id, chunk.body)) ixmlText = chunk.body;
        }
    }
    const std::vector<int> numbers = readIxmlTrackNumbers(ixmlText, channels);
    std::set<int> kept;
    for (const std::int32_t index : keptIndices) {
        if (index >= 0 && static_cast<std::size_t>(index) < numbers.size())
            kept.insert(numbers[static_cast<std::size_t>(index)]);
    }
    return kept;
}

void dropRemovedTrackLinesFromBext(std::vector<MetaChunk>& chunks, const std::set<int>& keptTracks) {
    for (MetaChunk& chunk : chunks) {
        if (chunk.id != "bext") continue;
        const std::size_t size = std::min(chunk.body.size(), kDescriptionSize);
        chunk.body.replace(0, size, dropRemovedTrackLines(std::string_view(chunk.body).substr(0, size), keptTracks));
    }
}

}  // namespace tracksieve
