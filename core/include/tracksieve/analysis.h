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

/// Marks as empty exactly the tracks of `record` whose measured peak stays below `threshold`.
/// The verdicts are true when the record was measured at a threshold at least as high, since
/// an analysis stops reading once every channel has reached the threshold it was given.
void judgeTracks(PolyWavInfo& record, double threshold);

}  // namespace tracksieve
