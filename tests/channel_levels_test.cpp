#include "channel_levels_kernels.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace tracksieve {
namespace {

struct Encoding {
    SampleEncoding encoding;
    std::size_t width;
    const char* name;
};

constexpr Encoding kEncodings[] = {{SampleEncoding::Pcm16, 2, "pcm16"},
                                   {SampleEncoding::Pcm24, 3, "pcm24"},
                                   {SampleEncoding::Pcm32, 4, "pcm32"},
                                   {SampleEncoding::Float32, 4, "float32"}};

// The decoding table, written out independently of the kernels.
double referenceSample(const Encoding& encoding, const unsigned char* p) {
    std::uint32_t raw = 0;
    for (std::size_t i = 0; i < encoding.width; ++i) raw |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    if (encoding.encoding == SampleEncoding::Float32) return std::bit_cast<float>(raw);
    const int bits = static_cast<int>(8 * encoding.width);
    const std::int64_t half = std::int64_t{1} << (bits - 1);
    const std::int64_t value = raw >= half ? static_cast<std::int64_t>(raw) - 2 * half : raw;
    return std::ldexp(static_cast<float>(value), 1 - bits);
}

// Bit patterns that tend to break a decoder or a lane-wise maximum.
constexpr std::uint32_t kSpecialFloats[] = {
    0x7fc00000, 0xffc00000, 0x7fc12345, 0x7f800001,  // NaNs: quiet, negative, payload, signalling
    0x7f800000, 0xff800000,                          // ±inf
    0x80000000, 0x00000000,                          // ∓0
    0x00000001, 0x807fffff, 0x00800000,              // smallest and largest denormals, smallest normal
    0x3fc00000, 0xbfc00000, 0x7f7fffff, 0xff7fffff,  // ±1.5, ±largest finite
};

// Random blocks in which each channel has its own level, so a sample landing in the wrong lane
// changes that lane's result; padding bytes stay random. With specials, one sample in eight is
// an extreme value or a special float.
std::vector<unsigned char> randomBlock(std::mt19937_64& random, const Encoding& encoding, std::size_t frames,
                                       std::size_t blockAlign, std::size_t channels, bool withSpecials) {
    std::vector<unsigned char> block(frames * blockAlign);
    for (unsigned char& byte : block) byte = static_cast<unsigned char>(random());
    const int bits = static_cast<int>(8 * encoding.width);
    const std::int64_t max = (std::int64_t{1} << (bits - 1)) - 1;
    const int blockShift = static_cast<int>(random() % 4);
    for (std::size_t f = 0; f < frames; ++f) {
        for (std::size_t c = 0; c < channels; ++c) {
            const int attenuation = blockShift + static_cast<int>(c % 13);
            std::uint32_t raw;
            if (encoding.encoding == SampleEncoding::Float32) {
                const double unit = static_cast<double>(random()) / static_cast<double>(std::mt19937_64::max());
                raw = withSpecials && random() % 8 == 0
                          ? kSpecialFloats[random() % std::size(kSpecialFloats)]
                          : std::bit_cast<std::uint32_t>(static_cast<float>(std::ldexp(2 * unit - 1, -attenuation)));
            } else if (withSpecials && random() % 8 == 0) {
                const std::int64_t extremes[] = {-max - 1, max, -max, 0, -1, 1};
                raw = static_cast<std::uint32_t>(extremes[random() % std::size(extremes)]);
            } else {
                const std::int64_t range = (max + 1) >> attenuation;
                raw = static_cast<std::uint32_t>(static_cast<std::int64_t>(random() % (2 * range)) - range);
            }
            for (std::size_t i = 0; i < encoding.width; ++i)
                block[f * blockAlign + c * encoding.width + i] = static_cast<unsigned char>(raw >> (8 * i));
        }
    }
    return block;
}

// Peaks then sums, bit for bit, except that any NaN equals any other: which operand's NaN an
// addition passes on is the compiler's choice (it may swap the operands).
std::vector<std::uint64_t> bitsOf(const std::vector<double>& peaks, const std::vector<double>& sums) {
    std::vector<std::uint64_t> bits;
    for (const auto* values : {&peaks, &sums})
        for (double x : *values) bits.push_back(std::isnan(x) ? 1 : std::bit_cast<std::uint64_t>(x));
    return bits;
}

// Several blocks in a row, so peaks and sums carried in from an earlier block are part of what
// is compared; frame counts are not multiples of any vector width.
void expectKernelMatchesReference(const LevelsKernel& kernel, const Encoding& encoding, std::size_t channels,
                                  std::size_t padding, bool withSpecials, std::mt19937_64& random) {
    if (::testing::Test::HasFatalFailure()) return;  // one reported difference is enough
    const std::size_t blockAlign = channels * encoding.width + padding;
    std::vector<double> peaks(channels), sums(channels), expectedPeaks(channels), expectedSums(channels);
    for (std::size_t frames : {1, 7, 0, 33, 130, 2}) {
        const auto block = randomBlock(random, encoding, frames, blockAlign, channels, withSpecials);
        for (std::size_t f = 0; f < frames; ++f) {
            for (std::size_t c = 0; c < channels; ++c) {
                const double x = referenceSample(encoding, &block[f * blockAlign + c * encoding.width]);
                if (std::fabs(x) > expectedPeaks[c]) expectedPeaks[c] = std::fabs(x);
                expectedSums[c] += x * x;
            }
        }
        kernel.accumulate(encoding.encoding, block.data(), frames, blockAlign, channels, peaks.data(), sums.data());
        ASSERT_EQ(bitsOf(peaks, sums), bitsOf(expectedPeaks, expectedSums))
            << kernel.name << ", " << encoding.name << ", " << channels << " channels, padding " << padding
            << (withSpecials ? ", special values" : "") << ", block of " << frames << " frames";
    }
}

TEST(ChannelLevels, EveryKernelMatchesTheReferenceBitForBit) {
    std::vector<std::size_t> channelCounts = {23, 31, 33, 47, 63, 64, 65, 72};
    for (std::size_t c = 1; c <= 20; ++c) channelCounts.push_back(c);
    std::mt19937_64 random(20261207);
    int kernelsRun = 0;
    for (const LevelsKernel& kernel : levelsKernels()) {
        if (!kernel.runsHere()) continue;
        ++kernelsRun;
        for (const Encoding& encoding : kEncodings)
            for (std::size_t channels : channelCounts)
                for (std::size_t padding : {0, 1, 3})
                    for (bool withSpecials : {false, true})
                        expectKernelMatchesReference(kernel, encoding, channels, padding, withSpecials, random);
    }
    EXPECT_GT(kernelsRun, 0);
}

}  // namespace
}  // namespace tracksieve
