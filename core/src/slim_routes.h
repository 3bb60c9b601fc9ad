#pragma once

#include <filesystem>

#include "tracksieve/slim_writer.h"

// The two ways slimPolyWav may take, reachable one by one so that tests can hold them
// against each other.
namespace tracksieve {

enum class SlimRoute {
    OnePassWhereItCan,  // copy during the analysis when its first piece shows the empty channels
    TwoPasses,          // analyse the whole file, then copy
};

/// slimPolyWav by the given route: the same file, outcome, messages and refusals either way.
SlimOutcome slimPolyWavByRoute(const std::filesystem::path& source, const SlimOptions& options, SlimRoute route);

}  // namespace tracksieve
