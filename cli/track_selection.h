#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tracksieve/poly_wav_info.h"
#include "tracksieve/track_choice.h"

namespace tracksieve::cli {

/// The items of --keep and --remove: track numbers (1-based, digits only) or exact track names.
struct TrackLists {
    std::vector<std::string> keep;
    std::vector<std::string> remove;

    bool empty() const { return keep.empty() && remove.empty(); }
};

/// The comma-separated items of a LIST, each without the blanks around it.
std::vector<std::string> listItems(std::string_view list);

/// The records of `files` with their track names, from an analysis cut short after its first
/// block: the names come from the headers, the verdicts are left to the writer.
std::vector<PolyWavInfo> tracksOf(const std::vector<std::filesystem::path>& files);

struct ChosenTracks {
    /// One per record: a choice per track, or none where neither list names a track of it.
    std::vector<std::vector<TrackChoice>> choices;
    /// A usage error: an item that names no track of any record, or a track in both lists.
    std::string error;
};

/// Resolves the lists against each record's tracks; an item that matches no track of one record
/// is ignored there.
ChosenTracks chooseTracks(const std::vector<PolyWavInfo>& records, const TrackLists& lists);

/// The choices of `chooseTracks`, or, for a usage error, nothing once `err` has been told the
/// error, after "name: reason" for each file that could not be read: what an item that matches
/// nothing may have been meant for.
std::optional<std::vector<std::vector<TrackChoice>>> choicesOrUsageError(const std::vector<PolyWavInfo>& records,
                                                                         const TrackLists& lists, std::ostream& err,
                                                                         bool errIsTerminal);

}  // namespace tracksieve::cli
