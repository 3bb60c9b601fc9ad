#include "core_operations.h"

#include <tracksieve/fixed_values.h>
#include <tracksieve/mono_split.h>
#include <tracksieve/slim_writer.h>

namespace tracksieve::app {

CoreOperations coreOperations() {
    return {
        .scanFolder =
            [](const std::filesystem::path& dir, bool recursive, const ScanProgress& onProgress) {
                // A file is read to its end unless every channel reaches full scale: the
                // analysis stops early only once every channel is at the threshold it is given.
                constexpr double fullScale = 1.0;
                return tracksieve::scanFolder(dir, recursive, fullScale, kMinChannels, onProgress);
            },
        .slimPolyWav = [](const std::filesystem::path& source,
                          const SlimOptions& options) { return tracksieve::slimPolyWav(source, options); },
        .splitPolyWav = [](const std::filesystem::path& source,
                           const SplitOptions& options) { return tracksieve::splitPolyWav(source, options); },
    };
}

}  // namespace tracksieve::app
