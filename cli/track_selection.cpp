#include "track_selection.h"

#include <algorithm>
#include <charconv>

#include "tracksieve/analysis.h"
#include "tracksieve/path_text.h"
#include "visible_text.h"

namespace tracksieve::cli {
namespace {

bool isNumber(std::string_view item) {
    return !item.empty() && std::all_of(item.begin(), item.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool matches(const std::string& item, const TrackInfo& track) {
    if (!isNumber(item)) return item == track.name;
    long long number = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), number);
    return error == std::errc() && number == static_cast<long long>(track.index) + 1;
}

std::string describe(const std::string& item) { return isNumber(item) ? item : "\"" + item + "\""; }

std::string_view withoutBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::vector<std::string> listItems(std::string_view list) {
    std::vector<std::string> items;
    for (std::size_t start = 0;;) {
        const std::size_t comma = list.find(',', start);
        items.emplace_back(withoutBlanks(list.substr(start, comma == std::string_view::npos ? comma : comma - start)));
        if (comma == std::string_view::npos) return items;
        start = comma + 1;
    }
}

std::vector<PolyWavInfo> tracksOf(const std::vector<std::filesystem::path>& files) {
    // Every peak reaches a threshold of 0, so each analysis stops after its first block.
    std::vector<PolyWavInfo> records;
    records.reserve(files.size());
    for (const std::filesystem::path& file : files) records.push_back(analyzePolyWav(file, 0.0));
    return records;
}

ChosenTracks chooseTracks(const std::vector<PolyWavInfo>& records, const TrackLists& lists) {
    ChosenTracks chosen;
    std::vector<bool> keepMatched(lists.keep.size(), false);
    std::vector<bool> removeMatched(lists.remove.size(), false);
    for (const PolyWavInfo& record : records) {
        std::vector<TrackChoice> choices(record.tracks.size(), TrackChoice::FollowThreshold);
        bool any = false;
        for (const TrackInfo& track : record.tracks) {
            TrackChoice& choice = choices[static_cast<std::size_t>(track.index)];
            for (std::size_t i = 0; i < lists.keep.size(); ++i) {
                if (!matches(lists.keep[i], track)) continue;
                keepMatched[i] = true;
                choice = TrackChoice::Keep;
            }
            for (std::size_t i = 0; i < lists.remove.size(); ++i) {
                if (!matches(lists.remove[i], track)) continue;
                removeMatched[i] = true;
                if (choice == TrackChoice::Keep && chosen.error.empty()) {
                    chosen.error = "--keep and --remove both choose track " + std::to_string(track.index + 1) + " (" +
                                   track.name + ") of " + pathToUtf8(record.path.filename());
                }
                choice = TrackChoice::Remove;
            }
            any = any || choice != TrackChoice::FollowThreshold;
        }
        chosen.choices.push_back(any ? std::move(choices) : std::vector<TrackChoice>{});
    }
    const auto reportUnmatched = [&](const char* option, const std::vector<std::string>& items,
                                     const std::vector<bool>& matched) {
        for (std::size_t i = 0; i < items.size() && chosen.error.empty(); ++i) {
            if (!matched[i]) {
                chosen.error = std::string(option) + ": " + describe(items[i]) + " matches no track of the files given";
            }
        }
    };
    reportUnmatched("--keep", lists.keep, keepMatched);
    reportUnmatched("--remove", lists.remove, removeMatched);
    return chosen;
}

std::optional<std::vector<std::vector<TrackChoice>>> choicesOrUsageError(const std::vector<PolyWavInfo>& records,
                                                                         const TrackLists& lists, std::ostream& err,
                                                                         bool errIsTerminal) {
    ChosenTracks chosen = chooseTracks(records, lists);
    if (chosen.error.empty()) return std::move(chosen.choices);
    for (const PolyWavInfo& record : records) {
        if (record.error.empty()) continue;
        err << textFor(errIsTerminal, pathToUtf8(record.path.filename()) + ": " + record.error) << '\n';
    }
    err << textFor(errIsTerminal, chosen.error) << '\n';
    return std::nullopt;
}

}  // namespace tracksieve::cli
