#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tracksieve {

/// Copies the kept channels' samples out of interleaved frames, byte for byte, in the order
/// of `keptIndices` (ascending). Neighbouring kept channels move together as one run.
class KeptChannelGather {
public:
    /// Bytes a gather may read past the last source frame and write past the last output
    /// frame: both buffers need this much room beyond their frames.
    static constexpr std::size_t kSlack = 8;

    /// Every kept sample must lie inside a source frame of `sourceFrameBytes` bytes.
    KeptChannelGather(const std::vector<std::int32_t>& keptIndices, std::size_t bytesPerSample,
                      std::size_t sourceFrameBytes);

    std::size_t outputFrameBytes() const { return outputFrameBytes_; }

    void gather(const unsigned char* source, std::size_t frames, unsigned char* output) const;

private:
    struct Run {
        std::size_t sourceOffset;
        std::size_t outputOffset;
        std::size_t bytes;
    };

    std::vector<Run> runs_;
    std::size_t sourceFrameBytes_;
    std::size_t outputFrameBytes_ = 0;
};

}  // namespace tracksieve
