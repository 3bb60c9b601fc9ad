#include "slim_command.h"

#include <exception>
#include <string>

#include "exit_codes.h"
#include "tracksieve/analysis.h"
#include "tracksieve/path_text.h"
#include "tracksieve/run_texts.h"
#include "tracksieve/same_tracks.h"
#include "tracksieve/slim_writer.h"
#include "visible_text.h"

namespace tracksieve::cli {
namespace {

// "Kept in every take of A.wav, B.wav: Boom, Lav 2 (silent in some of them)" for a group that
// kept tracks only because another take needs them, or nothing. Lists match alike in every
// file of a group, so the first file's choices stand for all.
std::string sameTracksLine(const TakeGroup& group, const std::vector<PolyWavInfo>& records,
                           const std::vector<TrackChoice>& userChoices) {
    std::vector<std::string> tracks;
    for (const std::int32_t channel : group.keptThoughSilentSomewhere) {
        const auto index = static_cast<std::size_t>(channel);
        if (!userChoices.empty() && userChoices[index] != TrackChoice::FollowThreshold) continue;
        tracks.push_back(records[group.files.front()].tracks[index].name);
    }
    if (tracks.empty()) return {};
    std::vector<std::string> files;
    for (const std::size_t file : group.files) files.push_back(pathToUtf8(records[file].path.filename()));
    return keptInEveryTakeText(files, tracks);
}

}  // namespace

int runSlim(const SlimRequest& request, std::ostream& out, std::ostream& err) {
    std::vector<std::vector<TrackChoice>> choices(request.files.size());
    std::vector<std::string> summaries;
    if (request.sameTracks || !request.lists.empty()) {
        std::vector<PolyWavInfo> records;
        if (request.sameTracks) {
            for (const std::filesystem::path& file : request.files) {
                records.push_back(analyzePolyWav(file, request.threshold));
            }
        } else {
            records = tracksOf(request.files);
        }
        const std::optional<std::vector<std::vector<TrackChoice>>> chosen =
            choicesOrUsageError(records, request.lists, err, request.errIsTerminal);
        if (!chosen) return kExitUsage;
        choices = *chosen;
        if (request.sameTracks) {
            const SameTracks same = sameTracksAcrossTakes(records);
            for (std::size_t i = 0; i < records.size(); ++i) {
                choices[i] = withChoicesOnTop(same.choices[i], (*chosen)[i]);
            }
            for (const TakeGroup& group : same.groups) {
                std::string line = sameTracksLine(group, records, (*chosen)[group.files.front()]);
                if (!line.empty()) summaries.push_back(std::move(line));
            }
        }
    }

    std::size_t written = 0;
    int failed = 0;
    for (std::size_t i = 0; i < request.files.size(); ++i) {
        const std::filesystem::path& file = request.files[i];
        const std::string name = pathToUtf8(file.filename());
        try {
            const SlimOutcome outcome = slimPolyWav(file, {.overwrite = request.overwrite,
                                                           .outputPath = request.output,
                                                           .threshold = request.threshold,
                                                           .choices = choices[i]});
            const std::string line = writtenText(name, pathToUtf8(outcome.path.filename()),
                                                 outcome.removedChannels.size(), outcome.keptChannels.size());
            out << textFor(request.outIsTerminal, line) << '\n';
            ++written;
        } catch (const std::exception& e) {
            out << textFor(request.outIsTerminal, name + ": " + e.what()) << '\n';
            ++failed;
        }
    }
    for (const std::string& line : summaries) out << textFor(request.outIsTerminal, line) << '\n';
    out << removedFromFilesText(written);
    if (failed > 0) out << ' ' << failed << " failed.";
    out << '\n';
    return failed == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace tracksieve::cli
