#include "channel_levels_kernels.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace tracksieve {
namespace {

constexpr SampleEncoding kEncodings[] = {SampleEncoding::Pcm16, SampleEncoding::Pcm24, SampleEncoding::Pcm32,
                                         SampleEncoding::Float32};

std::size_t widthOf(SampleEncoding encoding) {
    switch (encoding) {
        case SampleEncoding::Pcm16: return 2;
        case SampleEncoding::Pcm24: return 3;
        default: return 4;
    }
}

std::string nameOf(SampleEncoding encoding) {
    switch (encoding) {
        case SampleEncoding::Pcm16: return "pcm16";
        case SampleEncoding::Pcm24: return "pcm24";
        case SampleEncoding::Pcm32: return "pcm32";
        case SampleEncoding::Float32: return "float32";
    }
    return "?";
}

std::uint32_t littleEndian(const unsigned char* p, std::size_t width) {
    std::uint32_t raw = 0;
    for (std::size_t i = 0; i < width; ++i) raw |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    return raw;
}

// The decoding table, written out independently of the kernels.
double referenceSample(SampleEncoding encoding, const unsigned char* p) {
    const std::size_t width = widthOf(encoding);
    const std::uint32_t raw = littleEndian(p, width);
    if (encoding == SampleEncoding::Float32) return std::bit_cast<float>(raw);
    const int bits = static_cast<int>(8 * width);
    const std::int64_t half = std::int64_t{1} << (bits - 1);
    const std::int64_t value = raw >= half ? static_cast<std::int64_t>(raw) - 2 * half : raw;
    return std::ldexp(static_cast<float>(value), 1 - bits);
}

struct Levels {
    std::vector<double> peaks;
    std::vector<double> sums;
};

void referenceAccumulate(SampleEncoding encoding, const std::vector<unsigned char>& block, std::size_t blockAlign,
                         std::size_t channels, Levels& levels) {
    const std::size_t frames = block.size() / blockAlign;
    for (std::size_t f = 0; f < frames; ++f) {
        for (std::size_t c = 0; c < channels; ++c) {
            const double x = referenceSample(encoding, block.data() + f * blockAlign + c * widthOf(encoding));
            if (std::fabs(x) > levels.peaks[c]) levels.peaks[c] = std::fabs(x);
            levels.sums[c] += x * x;
        }
    }
}

// Bit patterns that tend to break a decoder or a lane-wise maximum.
const std::vector<std::uint32_t>& specialFloats() {
    static const std::vector<std::uint32_t> patterns = {
        0x7fc00000, 0xffc00000, 0x7fc12345, 0x7f800001,  // NaNs: quiet, negative, payload, signalling
        0x7f800000, 0xff800000,                          // ±inf
        0x80000000, 0x00000000,                          // ∓0
        0x00000001, 0x807fffff, 0x00800000,              // smallest and largest denormals, smallest normal
        std::bit_cast<std::uint32_t>(1.5f), std::bit_cast<std::uint32_t>(-1.5f),
        std::bit_cast<std::uint32_t>(std::numeric_limits<float>::max()),
        std::bit_cast<std::uint32_t>(-std::numeric_limits<float>::max()),
    };
    return patterns;
}

// Random blocks in which each channel has its own level, so a sample landing in the wrong
// lane changes that lane's result.
class BlockMaker {
public:
    std::vector<unsigned char> make(SampleEncoding encoding, std::size_t frames, std::size_t blockAlign,
                                    std::size_t channels, bool withSpecials) {
        std::vector<unsigned char> block(frames * blockAlign);
        for (unsigned char& byte : block) byte = static_cast<unsigned char>(random_());  // padding stays random
        const std::size_t width = widthOf(encoding);
        const int blockShift = static_cast<int>(random_() % 4);
        for (std::size_t f = 0; f < frames; ++f) {
            for (std::size_t c = 0; c < channels; ++c) {
                const std::uint32_t raw = withSpecials && random_() % 8 == 0
                                              ? special(encoding)
                                              : ordinary(encoding, blockShift + static_cast<int>(c % 13));
                for (std::size_t i = 0; i < width; ++i)
                    block[f * blockAlign + c * width + i] = static_cast<unsigned char>(raw >> (8 * i));
            }
        }
        return block;
    }

private:
    std::uint32_t ordinary(SampleEncoding encoding, int attenuation) {
        if (encoding == SampleEncoding::Float32) {
            const double unit = static_cast<double>(random_()) / static_cast<double>(std::mt19937_64::max());
            return std::bit_cast<std::uint32_t>(static_cast<float>(std::ldexp(2 * unit - 1, -attenuation)));
        }
        const int bits = static_cast<int>(8 * widthOf(encoding));
        const std::int64_t range = (std::int64_t{1} << (bits - 1)) >> attenuation;
        const std::int64_t value = static_cast<std::int64_t>(random_() % static_cast<std::uint64_t>(2 * range)) - range;
        return static_cast<std::uint32_t>(value);
    }

    std::uint32_t special(SampleEncoding encoding) {
        if (encoding == SampleEncoding::Float32) return specialFloats()[random_() % specialFloats().size()];
        const int bits = static_cast<int>(8 * widthOf(encoding));
        const std::int64_t max = (std::int64_t{1} << (bits - 1)) - 1;
        const std::int64_t extremes[] = {-max - 1, max, -max, 0, -1, 1};
        return static_cast<std::uint32_t>(extremes[random_() % std::size(extremes)]);
    }

    std::mt19937_64 random_{20261207};
};

// Bit for bit, except that any NaN equals any other: which operand's NaN an addition passes on
// is the compiler's choice (it may swap the operands), so sign and payload carry no meaning.
bool sameBits(double expected, double actual) {
    if (std::isnan(expected)) return std::isnan(actual);
    return std::bit_cast<std::uint64_t>(expected) == std::bit_cast<std::uint64_t>(actual);
}

std::string firstDifference(const Levels& expected, const Levels& actual) {
    for (std::size_t c = 0; c < expected.peaks.size(); ++c) {
        if (!sameBits(expected.peaks[c], actual.peaks[c]))
            return "peak of channel " + std::to_string(c) + ": " + std::to_string(actual.peaks[c]) + " instead of " +
                   std::to_string(expected.peaks[c]);
        if (!sameBits(expected.sums[c], actual.sums[c]))
            return "sum of channel " + std::to_string(c) + ": " + std::to_string(actual.sums[c]) + " instead of " +
                   std::to_string(expected.sums[c]);
    }
    return "";
}

std::vector<LevelsKernel> kernelsThatRunHere() {
    std::vector<LevelsKernel> kernels;
    for (const LevelsKernel& kernel : levelsKernels())
        if (kernel.runsHere()) kernels.push_back(kernel);
    return kernels;
}

// Several blocks in a row per case, so peaks and sums carried in from an earlier block are
// part of what is compared; frame counts are not multiples of any vector width.
TEST(ChannelLevels, EveryKernelMatchesTheReferenceBitForBit) {
    std::vector<std::size_t> channelCounts;
    for (std::size_t c = 1; c <= 20; ++c) channelCounts.push_back(c);
    for (std::size_t c : {23, 31, 33, 47, 63, 64, 65, 72}) channelCounts.push_back(c);
    const std::size_t frameCounts[] = {1, 7, 0, 33, 130, 2};

    const std::vector<LevelsKernel> kernels = kernelsThatRunHere();
    ASSERT_FALSE(kernels.empty());
    BlockMaker maker;
    for (const LevelsKernel& kernel : kernels) {
        for (SampleEncoding encoding : kEncodings) {
            for (std::size_t channels : channelCounts) {
                for (std::size_t padding : {0, 1, 3}) {
                    for (bool withSpecials : {false, true}) {
                        const std::size_t blockAlign = channels * widthOf(encoding) + padding;
                        Levels expected{std::vector<double>(channels), std::vector<double>(channels)};
                        Levels actual = expected;
                        for (std::size_t frames : frameCounts) {
                            const auto block = maker.make(encoding, frames, blockAlign, channels, withSpecials);
                            referenceAccumulate(encoding, block, blockAlign, channels, expected);
                            kernel.accumulate(encoding, block.data(), frames, blockAlign, channels,
                                              actual.peaks.data(), actual.sums.data());
                            const std::string difference = firstDifference(expected, actual);
                            ASSERT_EQ(difference, "")
                                << kernel.name << ", " << nameOf(encoding) << ", " << channels << " channels, padding "
                                << padding << (withSpecials ? ", special values" : "") << ", block of " << frames
                                << " frames";
                        }
                    }
                }
            }
        }
    }
}

TEST(ChannelLevels, SpecialFloatsGiveTheDocumentedLevels) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float denormal = std::numeric_limits<float>::denorm_min();
    const float frame[8] = {nan, 1.5f, -inf, -0.0f, denormal, -2.0f, 0.25f, -1.0f};
    std::vector<unsigned char> block(sizeof frame);
    for (std::size_t c = 0; c < 8; ++c) {
        const std::uint32_t raw = std::bit_cast<std::uint32_t>(frame[c]);
        for (std::size_t i = 0; i < 4; ++i) block[4 * c + i] = static_cast<unsigned char>(raw >> (8 * i));
    }
    const double denormalSquare = static_cast<double>(denormal) * static_cast<double>(denormal);
    for (const LevelsKernel& kernel : kernelsThatRunHere()) {
        SCOPED_TRACE(kernel.name);
        std::vector<double> peaks(8, 0.5), sums(8, 1.0);
        kernel.accumulate(SampleEncoding::Float32, block.data(), 1, 32, 8, peaks.data(), sums.data());
        EXPECT_EQ(peaks, (std::vector<double>{0.5, 1.5, inf, 0.5, 0.5, 2.0, 0.5, 1.0}));
        EXPECT_TRUE(std::isnan(sums[0]));
        EXPECT_EQ(sums[2], inf);
        EXPECT_EQ(std::vector<double>(sums.begin() + 3, sums.end()),
                  (std::vector<double>{1.0, 1.0 + denormalSquare, 5.0, 1.0625, 2.0}));
        EXPECT_EQ(sums[1], 3.25);
    }
}

}  // namespace
}  // namespace tracksieve
