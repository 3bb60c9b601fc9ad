#include "channel_levels.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "channel_levels_kernels.h"
#include "little_endian.h"

namespace tracksieve {
namespace {

// Integer scaling is done in single precision, which is exact for 16 and 24 bits and rounds
// 32-bit samples to 24 significant bits.
struct Pcm16 {
    static constexpr std::size_t width = 2;
    static double decode(const unsigned char* p) {
        const auto s = static_cast<std::int16_t>(le::readU16(p));
        return static_cast<float>(s) * 0x1p-15f;
    }
};

struct Pcm24 {
    static constexpr std::size_t width = 3;
    static double decode(const unsigned char* p) { return static_cast<float>(le::readS24(p)) * 0x1p-23f; }
};

struct Pcm32 {
    static constexpr std::size_t width = 4;
    static double decode(const unsigned char* p) {
        return static_cast<float>(static_cast<std::int32_t>(le::readU32(p))) * 0x1p-31f;
    }
};

struct Float32 {
    static constexpr std::size_t width = 4;
    static double decode(const unsigned char* p) { return std::bit_cast<float>(le::readU32(p)); }
};

template <typename Decoder>
void accumulate(const unsigned char* block, std::size_t frames, std::size_t blockAlign, std::size_t channels,
                double* peaks, double* sums) {
    for (std::size_t f = 0; f < frames; ++f) {
        const unsigned char* frame = block + f * blockAlign;
        for (std::size_t c = 0; c < channels; ++c) {
            const double x = Decoder::decode(frame + c * Decoder::width);
            const double magnitude = std::fabs(x);
            if (magnitude > peaks[c]) peaks[c] = magnitude;
            sums[c] += x * x;
        }
    }
}

}  // namespace

void accumulateFramesScalar(SampleEncoding encoding, const unsigned char* block, std::size_t frames,
                            std::size_t blockAlign, std::size_t channels, double* peaks, double* sumsOfSquares) {
    switch (encoding) {
    case SampleEncoding::Pcm16: return accumulate<Pcm16>(block, frames, blockAlign, channels, peaks, sumsOfSquares);
    case SampleEncoding::Pcm24: return accumulate<Pcm24>(block, frames, blockAlign, channels, peaks, sumsOfSquares);
    case SampleEncoding::Pcm32: return accumulate<Pcm32>(block, frames, blockAlign, channels, peaks, sumsOfSquares);
    case SampleEncoding::Float32: return accumulate<Float32>(block, frames, blockAlign, channels, peaks, sumsOfSquares);
    }
}

std::span<const LevelsKernel> levelsKernels() {
    static constexpr LevelsKernel kernels[] = {
        {"scalar", [] { return true; }, accumulateFramesScalar},
#ifdef TRACKSIEVE_X86_KERNELS
        {"avx2", [] { return __builtin_cpu_supports("avx2") != 0; }, accumulateFramesAvx2},
        {"avx512",
         [] {
             return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f") &&
                    __builtin_cpu_supports("avx512vl");
         },
         accumulateFramesAvx512},
#endif
    };
    return kernels;
}

void accumulateFrames(SampleEncoding encoding, const unsigned char* block, std::size_t frames, std::size_t blockAlign,
                      std::size_t channels, double* peaks, double* sumsOfSquares) {
    // Chosen once: the processor does not change while the program runs.
    static const AccumulateFramesFn fastest = [] {
        AccumulateFramesFn chosen = accumulateFramesScalar;
        for (const LevelsKernel& kernel : levelsKernels())
            if (kernel.runsHere()) chosen = kernel.accumulate;
        return chosen;
    }();
    fastest(encoding, block, frames, blockAlign, channels, peaks, sumsOfSquares);
}

}  // namespace tracksieve
