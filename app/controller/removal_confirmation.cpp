#include "removal_confirmation.h"

#include <algorithm>

namespace tracksieve::app {
namespace {

constexpr std::size_t kListedFiles = 10;

std::string fileList(const std::vector<std::string>& shownNames) {
    std::string list;
    const std::size_t listed = std::min(shownNames.size(), kListedFiles);
    for (std::size_t i = 0; i < listed; ++i) list += shownNames[i] + "\n";
    if (shownNames.size() > listed) list += "and " + std::to_string(shownNames.size() - listed) + " more\n";
    return list;
}

std::string skippedLine(const SkippedFiles& skipped) {
    if (skipped.total() == 0) return "";
    std::string reasons;
    const auto reason = [&reasons](int count, const char* why) {
        if (count == 0) return;
        if (!reasons.empty()) reasons += ", ";
        reasons += std::to_string(count) + " " + why;
    };
    reason(skipped.withoutEmptyTracks, "without empty tracks");
    reason(skipped.allTracksEmpty, "with every track empty");
    reason(skipped.unreadable, "that could not be read");
    return "\nSkipped " + std::to_string(skipped.total()) + " of the chosen files: " + reasons + ".\n";
}

// Every one, however many: this is recorded sound thrown away.
std::string discardedLines(const std::vector<std::string>& soundDiscarded) {
    if (soundDiscarded.empty()) return "";
    std::string lines = "\nYour choices remove these tracks although they have sound:\n";
    for (const std::string& track : soundDiscarded) lines += track + "\n";
    return lines;
}

std::string keptLines(const std::vector<std::string>& keptForTheirTakes) {
    std::string lines;
    for (const std::string& line : keptForTheirTakes) lines += (lines.empty() ? "\n" : "") + line + "\n";
    return lines;
}

std::string listedFiles(const ConfirmationLists& lists) {
    return "\n\n" + fileList(lists.shownNames) + discardedLines(lists.soundDiscarded) +
           keptLines(lists.keptForTheirTakes) + skippedLine(lists.skipped) + "\n";
}

}  // namespace

Alert removalConfirmation(const ConfirmationLists& lists, bool overwrite) {
    const std::string count = std::to_string(lists.shownNames.size());
    const std::string files = listedFiles(lists);
    if (overwrite) {
        return {"Remove Empty Tracks",
                "Remove empty tracks from " + count + " file(s) and OVERWRITE the originals?" + files +
                    "Timecode (bext), iXML, and other metadata are preserved, but you will not keep a backup of the "
                    "original file. Prefer leaving overwrite OFF so *_SLIM.wav copies are written instead.",
                AlertStyle::Critical,
                {"Overwrite", "Cancel"}};
    }
    return {"Remove Empty Tracks",
            "Remove empty tracks from " + count + " file(s) and write *_SLIM.wav beside each original?" + files +
                "bext timecode, iXML (scene/take/track names), and other metadata chunks are copied into the new "
                "files. Originals are left untouched.",
            AlertStyle::Warning,
            {"Remove Empty Tracks", "Cancel"}};
}

Alert monoExportConfirmation(const ConfirmationLists& lists) {
    return {"Export Mono Files",
            "Write one mono file for each kept track of " + std::to_string(lists.shownNames.size()) +
                " file(s), beside each original?" + listedFiles(lists) +
                "Empty tracks get no file. bext timecode, iXML (scene/take/track names), and other metadata chunks "
                "are copied into each mono file. Originals are left untouched.",
            AlertStyle::Warning,
            {"Export Mono Files", "Cancel"}};
}

}  // namespace tracksieve::app
