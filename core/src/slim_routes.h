#pragma once

#include <filesystem>

// The two ways compressPolyWav may take, reachable one by one so that tests can hold them
// against each other.
namespace tracksieve {

enum class SlimRoute {
    OnePassWhereItCan,  // copy during the analysis when its first piece shows the empty channels
    TwoPasses,          // analyse the whole file, then copy
};

struct SlimOutcome {
    std::filesystem::path path;
    bool inOnePass = false;
};

/// compressPolyWav by the given route: the same file, messages and refusals either way.
SlimOutcome slimPolyWav(const std::filesystem::path& source, bool overwrite, double threshold,
                        const std::filesystem::path& outputPath, SlimRoute route);

}  // namespace tracksieve
