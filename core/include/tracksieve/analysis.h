#pragma once

#include <filesystem>
#include <istream>

#include "tracksieve/poly_wav_info.h"

namespace tracksieve {

/// Measures every channel of one WAV file and marks those whose peak stays below `threshold`
/// as empty. Never throws for a bad file: the reason comes back in the record's `error`.
PolyWavInfo analyzePolyWav(const std::filesystem::path& path, double threshold);

/// The same for a whole file's bytes in a seekable stream (memory, for instance); `path` only
/// names the record.
PolyWavInfo analyzePolyWav(std::istream& source, const std::filesystem::path& path, double threshold);

}  // namespace tracksieve
