#include "slim_command.h"

#include <exception>
#include <string>

#include "exit_codes.h"
#include "tracksieve/analysis.h"
#include "tracksieve/fixed_values.h"
#include "tracksieve/path_text.h"
#include "tracksieve/slim_writer.h"
#include "visible_text.h"

namespace tracksieve::cli {

int runSlim(const SlimRequest& request, std::ostream& out) {
    int written = 0;
    int failed = 0;
    for (const std::filesystem::path& file : request.files) {
        const std::string name = pathToUtf8(file.filename());
        try {
            // Only channel counts are needed: a threshold of 0 ends each analysis after its
            // first block, where the writer's own analysis may have to read the whole file.
            const int sourceChannels = analyzePolyWav(file, 0.0).channels;
            const std::filesystem::path result = compressPolyWav(file, request.overwrite, kThreshold, request.output);
            const int keptChannels = analyzePolyWav(result, 0.0).channels;
            const std::string line = name + " \xE2\x86\x92 " + pathToUtf8(result.filename()) + " (" +
                                     std::to_string(sourceChannels - keptChannels) + " removed, " +
                                     std::to_string(keptChannels) + " kept)";
            out << textFor(request.outIsTerminal, line) << '\n';
            ++written;
        } catch (const std::exception& e) {
            out << textFor(request.outIsTerminal, name + ": " + e.what()) << '\n';
            ++failed;
        }
    }
    out << "Removed empty tracks from " << written << " file(s).";
    if (failed > 0) out << ' ' << failed << " failed.";
    out << '\n';
    return failed == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace tracksieve::cli
