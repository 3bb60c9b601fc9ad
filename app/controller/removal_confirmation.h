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

/// What a confirmation lists before anything is written.
struct ConfirmationLists {
    std::vector<std::string> shownNames;         // the files to write; the first ones are named
    std::vector<std::string> soundDiscarded;     // "file: track", every one
    std::vector<std::string> keptForTheirTakes;  // a line per group of takes
    SkippedFiles skipped;
};

/// The question asked before a removal: what it will write, every track with sound that the
/// user's choices throw away, the tracks kept for the other takes of their scene and which
/// chosen files it leaves out, worded by whether the originals are overwritten.
Alert removalConfirmation(const ConfirmationLists& lists, bool overwrite);

/// The same question before mono files are exported.
Alert monoExportConfirmation(const ConfirmationLists& lists);

}  // namespace tracksieve::app
