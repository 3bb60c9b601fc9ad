#include "channel_levels_wide.h"

namespace tracksieve {
namespace {

// Eight channels' doubles in one vector.
struct Avx512Lanes {
    using Sums = __m512d;
    static Sums load(const double* from) { return _mm512_load_pd(from); }
    static void store(double* to, Sums sums) { _mm512_store_pd(to, sums); }
    static Sums addSquares(Sums sums, __m256 values) {
        const __m512d wide = _mm512_cvtps_pd(values);
        return _mm512_add_pd(sums, _mm512_mul_pd(wide, wide));
    }
    static Sums raise(Sums peaks, __m256 values) { return _mm512_max_pd(_mm512_cvtps_pd(values), peaks); }
};

}  // namespace

void accumulateFramesAvx512(SampleEncoding encoding, const unsigned char* block, std::size_t frames,
                            std::size_t blockAlign, std::size_t channels, double* peaks, double* sumsOfSquares) {
    accumulateWide<Avx512Lanes>(encoding, block, frames, blockAlign, channels, peaks, sumsOfSquares);
}

}  // namespace tracksieve
