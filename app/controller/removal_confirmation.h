#pragma once

#include <string>
#include <vector>

#include "toolkit.h"

namespace tracksieve::app {

/// Why chosen files are left out of a removal.
struct SkippedFiles {
    int withoutEmptyTracks = 0;
    int allTracksEmpty = 0;
    int unreadable = 0;
    int total() const { return withoutEmptyTracks + allTracksEmpty + unreadable; }
};

/// The question asked before a removal: what it will write (the first files by name), every
/// track with sound that the user's choices throw away ("file: track"), and which chosen files
/// it leaves out, worded by whether the originals are overwritten.
Alert removalConfirmation(const std::vector<std::string>& shownNames, const std::vector<std::string>& soundDiscarded,
                          const SkippedFiles& skipped, bool overwrite);

/// The same question before mono files are exported.
Alert monoExportConfirmation(const std::vector<std::string>& shownNames, const std::vector<std::string>& soundDiscarded,
                             const SkippedFiles& skipped);

}  // namespace tracksieve::app
