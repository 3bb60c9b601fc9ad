#include "kept_channel_gather.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tracksieve {
namespace {

// Every layout of up to 7 channels, each sample width, with and without frame padding: the
// word-wise copy must give exactly what a sample-by-sample copy gives.
TEST(KeptChannelGather, MatchesASampleBySampleCopyForEveryLayout) {
    std::mt19937 random(7);
    constexpr std::size_t kFrames = 37;
    for (std::size_t channels = 1; channels <= 7; ++channels) {
        for (std::size_t width : {2u, 3u, 4u}) {
            for (std::size_t stride : {channels * width, channels * width + 1, channels * width + 5}) {
                for (unsigned mask = 1; mask < (1u << channels); ++mask) {
                    std::vector<unsigned char> source(kFrames * stride + KeptChannelGather::kSlack);
                    for (auto& b : source) b = static_cast<unsigned char>(random());
                    std::vector<std::int32_t> kept;
                    for (std::size_t c = 0; c < channels; ++c) {
                        if (mask & (1u << c)) kept.push_back(static_cast<std::int32_t>(c));
                    }
                    std::vector<unsigned char> expected;
                    for (std::size_t f = 0; f < kFrames; ++f) {
                        for (std::int32_t c : kept) {
                            const auto sample = source.begin() + static_cast<std::ptrdiff_t>(
                                                                     f * stride + static_cast<std::size_t>(c) * width);
                            expected.insert(expected.end(), sample, sample + static_cast<std::ptrdiff_t>(width));
                        }
                    }
                    std::vector<unsigned char> output(expected.size() + KeptChannelGather::kSlack);
                    KeptChannelGather(kept, width, stride).gather(source.data(), kFrames, output.data());
                    output.resize(expected.size());
                    ASSERT_EQ(output, expected)
                        << channels << " channels, width " << width << ", stride " << stride << ", mask " << mask;
                }
            }
        }
    }
}

}  // namespace
}  // namespace tracksieve
