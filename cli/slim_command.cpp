#include "slim_command.h"

#include <exception>

#include "fixed_settings.h"
#include "tracksieve/analysis.h"
#include "tracksieve/slim_writer.h"

namespace tracksieve::cli {

int runSlim(const SlimRequest& request, std::ostream& out) {
    int written = 0;
    int failed = 0;
    for (const std::filesystem::path& file : request.files) {
        const std::string name = file.filename().string();
        try {
            // The counts come from the file as it is before writing, like the desktop report's.
            const PolyWavInfo before = analyzePolyWav(file, kThreshold);
            const std::filesystem::path result = compressPolyWav(file, request.overwrite, kThreshold, request.output);
            out << name << " \xE2\x86\x92 " << result.filename().string() << " (" << before.emptyCount()
                << " removed, " << before.activeCount() << " kept)\n";
            ++written;
        } catch (const std::exception& e) {
            out << name << ": " << e.what() << '\n';
            ++failed;
        }
    }
    out << "Removed empty tracks from " << written << " file(s).";
    if (failed > 0) out << ' ' << failed << " failed.";
    out << '\n';
    return failed == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace tracksieve::cli
