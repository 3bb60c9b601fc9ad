#pragma once

// The lane-per-channel loop shared by the AVX2 and AVX-512 kernels. Each of their files
// includes it under its own instruction-set flags; the unnamed namespace keeps the two copies
// apart, so the linker can never hand one file's instructions to the other file's callers.
// For the same reason nothing here calls an inline function of the standard library.

// GCC 12 warns inside its own AVX-512 intrinsics (the deliberately undefined source operand of
// _mm512_cvtps_pd and _mm512_max_pd, GCC bug 105593).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#include <cstddef>

#include "channel_levels.h"
#include "channel_levels_kernels.h"

namespace tracksieve {
namespace {

// Channels are decoded eight at a time: one 32-bit lane per channel.
constexpr std::size_t kGroupLanes = 8;

inline __m256 magnitudes(__m256 values) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), values); }

// Integer samples are loaded with the sample in the top bits of each 32-bit lane. Then
// float(lane) × 2^-31 is exactly the portable loop's float(sample) × 2^-(bits-1): exact for 16
// and 24 bits, and the same single rounding for 32 bits.
struct IntegerSamples {
    // The largest magnitude so far, as an unsigned lane: |-2^31| shows as 2^31.
    using Peak = __m256i;
    static Peak peakStart() { return _mm256_setzero_si256(); }
    static Peak raisePeak(Peak peak, __m256i lanes) { return _mm256_max_epu32(peak, _mm256_abs_epi32(lanes)); }
    static __m256 values(__m256i lanes) { return _mm256_mul_ps(_mm256_cvtepi32_ps(lanes), _mm256_set1_ps(0x1p-31f)); }
    // Rounding is monotonic and symmetric, so the magnitude of the largest integer is the
    // largest magnitude the portable loop sees; 2^31 read as signed gives -1.0, magnitude 1.0.
    static __m256 peakValues(Peak peak) { return magnitudes(values(peak)); }
};

struct Pcm16Samples : IntegerSamples {
    static constexpr SampleEncoding encoding = SampleEncoding::Pcm16;
    static constexpr std::size_t width = 2;
    static __m256i load(const unsigned char* group) {
        const __m256i bytes = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(group)));
        const __m256i toTopHalves = _mm256_setr_epi8(-1, -1, 0, 1, -1, -1, 2, 3, -1, -1, 4, 5, -1, -1, 6, 7, -1, -1, 8,
                                                     9, -1, -1, 10, 11, -1, -1, 12, 13, -1, -1, 14, 15);
        return _mm256_shuffle_epi8(bytes, toTopHalves);
    }
};

struct Pcm24Samples : IntegerSamples {
    static constexpr SampleEncoding encoding = SampleEncoding::Pcm24;
    static constexpr std::size_t width = 3;
    static __m256i load(const unsigned char* group) {
        // Bytes 0-15 feed channels 0-3 and bytes 8-23 channels 4-7, so no load leaves the 24 bytes.
        const __m256i bytes =
            _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(group + 8), reinterpret_cast<const __m128i*>(group));
        const __m256i toTopBytes = _mm256_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 4, 5, 6,
                                                    -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15);
        return _mm256_shuffle_epi8(bytes, toTopBytes);
    }
};

struct Pcm32Samples : IntegerSamples {
    static constexpr SampleEncoding encoding = SampleEncoding::Pcm32;
    static constexpr std::size_t width = 4;
    static __m256i load(const unsigned char* group) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(group));
    }
};

struct Float32Samples {
    static constexpr SampleEncoding encoding = SampleEncoding::Float32;
    static constexpr std::size_t width = 4;
    // The largest magnitude so far; max keeps its second operand when the first is NaN.
    using Peak = __m256;
    static Peak peakStart() { return _mm256_set1_ps(-__builtin_inff()); }
    static Peak raisePeak(Peak peak, __m256i lanes) { return _mm256_max_ps(magnitudes(values(lanes)), peak); }
    static __m256 values(__m256i lanes) { return _mm256_castsi256_ps(lanes); }
    static __m256 peakValues(Peak peak) { return peak; }
    static __m256i load(const unsigned char* group) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(group));
    }
};

// Lanes (one per instruction set) holds eight doubles, one per channel of a group:
//   Sums load(const double*), store(double*, Sums)
//   Sums addSquares(Sums, __m256 values)   each lane += value², widened to double, no fusing
//   Sums raise(Sums peaks, __m256 values)  each lane becomes value where value > lane
template <typename Lanes, typename Encoding, std::size_t Groups>
void accumulateGroups(const unsigned char* block, std::size_t frames, std::size_t blockAlign, std::size_t channels,
                      double* peaks, double* sumsOfSquares) {
    // The last group may read samples beyond the frame's channels (padding or the next frame);
    // their lanes are dropped. Frames whose reads would pass the end of the block are left to
    // the portable loop.
    constexpr std::size_t readBytes = Groups * kGroupLanes * Encoding::width;
    const std::size_t blockBytes = frames * blockAlign;
    const std::size_t wideFrames = blockBytes < readBytes ? 0 : (blockBytes - readBytes) / blockAlign + 1;

    if (wideFrames > 0) {
        alignas(64) double peakLanes[Groups * kGroupLanes] = {};
        alignas(64) double sumLanes[Groups * kGroupLanes] = {};
        for (std::size_t c = 0; c < channels; ++c) {
            peakLanes[c] = peaks[c];
            sumLanes[c] = sumsOfSquares[c];
        }

        typename Lanes::Sums sums[Groups];
        typename Encoding::Peak blockPeaks[Groups];
        for (std::size_t g = 0; g < Groups; ++g) {
            sums[g] = Lanes::load(sumLanes + g * kGroupLanes);
            blockPeaks[g] = Encoding::peakStart();
        }
        for (std::size_t f = 0; f < wideFrames; ++f) {
            const unsigned char* frame = block + f * blockAlign;
            for (std::size_t g = 0; g < Groups; ++g) {
                const __m256i lanes = Encoding::load(frame + g * kGroupLanes * Encoding::width);
                blockPeaks[g] = Encoding::raisePeak(blockPeaks[g], lanes);
                sums[g] = Lanes::addSquares(sums[g], Encoding::values(lanes));
            }
        }
        // A strict maximum does not depend on the order of its inputs, so the block's peaks
        // can be folded in once.
        for (std::size_t g = 0; g < Groups; ++g) {
            Lanes::store(sumLanes + g * kGroupLanes, sums[g]);
            const typename Lanes::Sums before = Lanes::load(peakLanes + g * kGroupLanes);
            Lanes::store(peakLanes + g * kGroupLanes, Lanes::raise(before, Encoding::peakValues(blockPeaks[g])));
        }

        for (std::size_t c = 0; c < channels; ++c) {
            peaks[c] = peakLanes[c];
            sumsOfSquares[c] = sumLanes[c];
        }
    }
    if (wideFrames < frames) {
        accumulateFramesScalar(Encoding::encoding, block + wideFrames * blockAlign, frames - wideFrames, blockAlign,
                               channels, peaks, sumsOfSquares);
    }
}

template <typename Lanes, typename Encoding>
void accumulateChannelGroups(const unsigned char* block, std::size_t frames, std::size_t blockAlign,
                             std::size_t channels, double* peaks, double* sumsOfSquares) {
    // Up to 64 channels the accumulators stay in registers; wider files take the portable loop.
    switch ((channels + kGroupLanes - 1) / kGroupLanes) {
    case 1: return accumulateGroups<Lanes, Encoding, 1>(block, frames, blockAlign, channels, peaks, sumsOfSquares);
    case 2: return accumulateGroups<Lanes, Encoding, 2>(block, frames, blockAlign, channels, peaks, sumsOfSquares);
    case 3: return accumulateGroups<Lanes, Encoding, 3>(block, frames, blockAlign, channels, peaks, sumsOfSquares);
    case 4: return accumulateGroups<Lanes, Encoding, 4>(block, frames, blockAlign, channels, peaks, sumsOfSquares);
    case 5: return accumulateGroups<Lanes, Encoding, 5>(block, frames, blockAlign, channels, peaks, sumsOfSquares);
    case 6: return accumulateGroups<Lanes, Encoding, 6>(block, frames, blockAlign, channels, peaks, sumsOfSquares);
    case 7: return accumulateGroups<Lanes, Encoding, 7>(block, frames, blockAlign, channels, peaks, sumsOfSquares);
    case 8: return accumulateGroups<Lanes, Encoding, 8>(block, frames, blockAlign, channels, peaks, sumsOfSquares);
    default:
        return accumulateFramesScalar(Encoding::encoding, block, frames, blockAlign, channels, peaks, sumsOfSquares);
    }
}

template <typename Lanes>
void accumulateWide(SampleEncoding encoding, const unsigned char* block, std::size_t frames, std::size_t blockAlign,
                    std::size_t channels, double* peaks, double* sumsOfSquares) {
    switch (encoding) {
    case SampleEncoding::Pcm16:
        return accumulateChannelGroups<Lanes, Pcm16Samples>(block, frames, blockAlign, channels, peaks, sumsOfSquares);
    case SampleEncoding::Pcm24:
        return accumulateChannelGroups<Lanes, Pcm24Samples>(block, frames, blockAlign, channels, peaks, sumsOfSquares);
    case SampleEncoding::Pcm32:
        return accumulateChannelGroups<Lanes, Pcm32Samples>(block, frames, blockAlign, channels, peaks, sumsOfSquares);
    case SampleEncoding::Float32:
        return accumulateChannelGroups<Lanes, Float32Samples>(block, frames, blockAlign, channels, peaks,
                                                              sumsOfSquares);
    }
}

}  // namespace
}  // namespace tracksieve
