#include "slim_command.h"

#include <exception>
#include <string>

#include "exit_codes.h"
#include "tracksieve/fixed_values.h"
#include "tracksieve/path_text.h"
#include "tracksieve/run_texts.h"
#include "tracksieve/slim_writer.h"
#include "visible_text.h"

namespace tracksieve::cli {

int runSlim(const SlimRequest& request, std::ostream& out) {
    std::size_t written = 0;
    int failed = 0;
    for (const std::filesystem::path& file : request.files) {
        const std::string name = pathToUtf8(file.filename());
        try {
            const SlimOutcome outcome =
                slimPolyWav(file, {.overwrite = request.overwrite, .outputPath = request.output, .threshold = kThreshold});
            const std::string line = writtenText(name, pathToUtf8(outcome.path.filename()), outcome.removedChannels.size(),
                                                 outcome.keptChannels.size());
            out << textFor(request.outIsTerminal, line) << '\n';
            ++written;
        } catch (const std::exception& e) {
            out << textFor(request.outIsTerminal, name + ": " + e.what()) << '\n';
            ++failed;
        }
    }
    out << removedFromFilesText(written);
    if (failed > 0) out << ' ' << failed << " failed.";
    out << '\n';
    return failed == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace tracksieve::cli
