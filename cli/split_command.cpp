#include "split_command.h"

#include <exception>
#include <string>
#include <utility>

#include "exit_codes.h"
#include "tracksieve/path_text.h"
#include "visible_text.h"

namespace tracksieve::cli {

int runSplit(const SplitRequest& request, std::ostream& out, std::ostream& err) {
    std::vector<std::vector<TrackChoice>> choices(request.files.size());
    if (!request.lists.empty()) {
        std::optional<std::vector<std::vector<TrackChoice>>> chosen =
            choicesOrUsageError(tracksOf(request.files), request.lists, err, request.errIsTerminal);
        if (!chosen) return kExitUsage;
        choices = std::move(*chosen);
    }

    // A later file must not replace what an earlier one wrote, nor a file still to be split.
    std::vector<std::filesystem::path> mustNotReplace = request.files;
    int split = 0;
    int written = 0;
    int failed = 0;
    for (std::size_t i = 0; i < request.files.size(); ++i) {
        const std::filesystem::path& file = request.files[i];
        const std::string name = pathToUtf8(file.filename());
        try {
            SplitOptions options = request.options;
            options.choices = choices[i];
            options.mustNotReplace = mustNotReplace;
            const SplitOutcome outcome = splitPolyWav(file, options);
            std::string names;
            for (const std::filesystem::path& mono : outcome.written) {
                names += (names.empty() ? "" : ", ") + pathToUtf8(mono.filename());
                mustNotReplace.push_back(mono);
            }
            const std::string line =
                name + " \xE2\x86\x92 " + names + " (" + std::to_string(outcome.removedChannels.size()) + " left out)";
            out << textFor(request.outIsTerminal, line) << '\n';
            ++split;
            written += static_cast<int>(outcome.written.size());
        } catch (const std::exception& e) {
            out << textFor(request.outIsTerminal, name + ": " + e.what()) << '\n';
            ++failed;
        }
    }
    out << "Split " << split << " file(s) into " << written << " mono file(s).";
    if (failed > 0) out << ' ' << failed << " failed.";
    out << '\n';
    return failed == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace tracksieve::cli
