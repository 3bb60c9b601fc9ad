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
        .compressPolyWav =
            [](const std::filesystem::path& source, bool overwrite) {
                return tracksieve::compressPolyWav(source, overwrite, kThreshold);
            },
    };
}

}  // namespace tracksieve::app
