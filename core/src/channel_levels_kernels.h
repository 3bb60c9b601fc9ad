#pragma once

#include <cstddef>
#include <span>

#include "channel_levels.h"

// The implementations behind accumulateFrames, reachable one by one so that tests and
// benchmarks can hold each of them against the others.
namespace tracksieve {

using AccumulateFramesFn = void (*)(SampleEncoding encoding, const unsigned char* block, std::size_t frames,
                                    std::size_t blockAlign, std::size_t channels, double* peaks, double* sumsOfSquares);

struct LevelsKernel {
    const char* name;
    bool (*runsHere)();  // whether this processor has the instructions the kernel needs
    AccumulateFramesFn accumulate;
};

/// Every implementation built into this binary, the portable loop first and wider ones after it
/// in order of preference. Each gives bit for bit the results of the portable loop, for any
/// channel count (falling back to it where it has no wide path).
std::span<const LevelsKernel> levelsKernels();

/// The portable loop: one sample at a time, in file order.
void accumulateFramesScalar(SampleEncoding encoding, const unsigned char* block, std::size_t frames,
                            std::size_t blockAlign, std::size_t channels, double* peaks, double* sumsOfSquares);

#ifdef TRACKSIEVE_X86_KERNELS
void accumulateFramesAvx2(SampleEncoding encoding, const unsigned char* block, std::size_t frames,
                          std::size_t blockAlign, std::size_t channels, double* peaks, double* sumsOfSquares);
void accumulateFramesAvx512(SampleEncoding encoding, const unsigned char* block, std::size_t frames,
                            std::size_t blockAlign, std::size_t channels, double* peaks, double* sumsOfSquares);
#endif

}  // namespace tracksieve
