#include "core_operations.h"

#include <tracksieve/fixed_values.h>
#include <tracksieve/slim_writer.h>

namespace tracksieve::app {

CoreOperations coreOperations() {
    return {
        .scanFolder =
            [](const std::filesystem::path& dir, bool recursive, const ScanProgress& onProgress) {
                return tracksieve::scanFolder(dir, recursive, kThreshold, kMinChannels, onProgress);
            },
        .slimPolyWav =
            [](const std::filesystem::path& source, const SlimOptions& options) {
                return tracksieve::slimPolyWav(source, options);
            },
    };
}

}  // namespace tracksieve::app
