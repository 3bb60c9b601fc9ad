#include "tracksieve/run_texts.h"

#include <algorithm>

#include "tracksieve/path_text.h"

namespace tracksieve {
namespace {

std::string commaSeparated(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text.append(text.empty() ? "" : ", ").append(item);
    return text;
}

}  // namespace

bool hasEmptyTracks(const PolyWavInfo& record) { return record.error.empty() && record.emptyCount() > 0; }

std::string foundFilesText(std::size_t files, std::size_t withEmptyTracks, std::size_t unreadableFolders) {
    std::string text = "Found " + std::to_string(files) + " polyphonic WAV file(s); ";
    text.append(std::to_string(withEmptyTracks)).append(" have empty tracks");
    if (unreadableFolders > 0) {
        text.append("; ").append(std::to_string(unreadableFolders));
        text.append(unreadableFolders == 1 ? " folder" : " folders").append(" could not be read");
    }
    return text + ".";
}

std::string foundFilesText(const std::vector<PolyWavInfo>& records, std::size_t unreadableFolders) {
    const auto withEmptyTracks = std::count_if(records.begin(), records.end(), hasEmptyTracks);
    return foundFilesText(records.size(), static_cast<std::size_t>(withEmptyTracks), unreadableFolders);
}

std::string analyzingText(int done, int total, const std::filesystem::path& file,
                          const std::filesystem::path& scannedFolder) {
    std::string text = "Analyzing " + std::to_string(done);
    text.append("/").append(std::to_string(total)).append(": ").append(shownName(file, scannedFolder));
    return text;
}

std::string writtenText(std::string_view source, std::string_view written, std::size_t removed, std::size_t kept) {
    std::string text(source);
    text.append(" \xE2\x86\x92 ").append(written).append(" (").append(std::to_string(removed)).append(" removed, ");
    text.append(std::to_string(kept)).append(" kept)");
    return text;
}

std::string removedFromFilesText(std::size_t files) {
    return "Removed empty tracks from " + std::to_string(files) + " file(s).";
}

std::string keptInEveryTakeText(const std::vector<std::string>& files, const std::vector<std::string>& tracks) {
    std::string text = "Kept in every take of ";
    text.append(commaSeparated(files)).append(": ").append(commaSeparated(tracks)).append(" (silent in some of them)");
    return text;
}

}  // namespace tracksieve
