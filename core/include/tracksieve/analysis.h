#pragma once

#include <filesystem>

#include "tracksieve/poly_wav_info.h"

namespace tracksieve {

/// Measures every channel of one WAV file and marks those whose peak stays below `threshold`
/// as empty. Never throws for a bad file: the reason comes back in the record's `error`.
PolyWavInfo analyzePolyWav(const std::filesystem::path& path, double threshold);

}  // namespace tracksieve
