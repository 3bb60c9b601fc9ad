#include "channel_levels_wide.h"

namespace tracksieve {
namespace {

// Eight channels' doubles in two vectors of four.
struct Avx2Lanes {
    struct Sums {
        __m256d low;
        __m256d high;
    };
    static Sums load(const double* from) { return {_mm256_load_pd(from), _mm256_load_pd(from + 4)}; }
    static void store(double* to, Sums sums) {
        _mm256_store_pd(to, sums.low);
        _mm256_store_pd(to + 4, sums.high);
    }
    static Sums addSquares(Sums sums, __m256 values) {
        const __m256d low = _mm256_cvtps_pd(_mm256_castps256_ps128(values));
        const __m256d high = _mm256_cvtps_pd(_mm256_extractf128_ps(values, 1));
        return {_mm256_add_pd(sums.low, _mm256_mul_pd(low, low)), _mm256_add_pd(sums.high, _mm256_mul_pd(high, high))};
    }
    static Sums raise(Sums peaks, __m256 values) {
        const __m256d low = _mm256_cvtps_pd(_mm256_castps256_ps128(values));
        const __m256d high = _mm256_cvtps_pd(_mm256_extractf128_ps(values, 1));
        return {_mm256_max_pd(low, peaks.low), _mm256_max_pd(high, peaks.high)};
    }
};

}  // namespace

void accumulateFramesAvx2(SampleEncoding encoding, const unsigned char* block, std::size_t frames,
                          std::size_t blockAlign, std::size_t channels, double* peaks, double* sumsOfSquares) {
    accumulateWide<Avx2Lanes>(encoding, block, frames, blockAlign, channels, peaks, sumsOfSquares);
}

}  // namespace tracksieve
