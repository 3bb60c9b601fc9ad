#pragma once

#include <cstddef>

namespace tracksieve {

/// A track is empty when its peak stays below this linear amplitude (-60 dBFS). Both front ends
/// use it, so a file is judged alike whichever one the user runs.
inline constexpr double kThreshold = 0.001;

/// The fewest channels that make a WAV file polyphonic, and so a candidate for a scan.
inline constexpr int kMinChannels = 2;

/// Frames read per block by the analysis and the copy; the early stop is decided per block.
inline constexpr std::size_t kBlockFrames = 48000;

}  // namespace tracksieve
