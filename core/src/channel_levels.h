#pragma once

#include <cstddef>

namespace tracksieve {

enum class SampleEncoding { Pcm16, Pcm24, Pcm32, Float32 };

/// Folds `frames` interleaved frames into each channel's running peak (strictly greater
/// raises it; NaN never does) and sum of squares (added in file order). Sample c of a frame
/// starts at byte c × the encoding's width; bytes beyond the channels' samples are padding.
void accumulateFrames(SampleEncoding encoding, const unsigned char* block, std::size_t frames, std::size_t blockAlign,
                      std::size_t channels, double* peaks, double* sumsOfSquares);

}  // namespace tracksieve
