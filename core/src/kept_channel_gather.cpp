#include "kept_channel_gather.h"

#include <cstring>

namespace tracksieve {
namespace {

// Moves `bytes` bytes as whole 8-byte words. The last word may spill up to 7 bytes past the
// run; whatever it spills over is written again by the next run or frame, or lands in slack.
inline void copyWords(const unsigned char* source, unsigned char* output, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; i += 8) std::memcpy(output + i, source + i, 8);
}

// One run of a fixed word count per frame, the usual case of a few channels dropped at the end.
template <std::size_t Words>
void gatherSingleRun(const unsigned char* source, std::size_t sourceStride, std::size_t frames, unsigned char* output,
                     std::size_t outputStride) {
    for (std::size_t f = 0; f < frames; ++f) {
        for (std::size_t w = 0; w < Words; ++w) std::memcpy(output + 8 * w, source + 8 * w, 8);
        source += sourceStride;
        output += outputStride;
    }
}

}  // namespace

KeptChannelGather::KeptChannelGather(const std::vector<std::int32_t>& keptIndices, std::size_t bytesPerSample,
                                     std::size_t sourceFrameBytes)
    : sourceFrameBytes_(sourceFrameBytes) {
    for (std::size_t k = 0; k < keptIndices.size(); ++k) {
        const std::size_t sourceOffset = static_cast<std::size_t>(keptIndices[k]) * bytesPerSample;
        if (k > 0 && keptIndices[k] == keptIndices[k - 1] + 1) {
            runs_.back().bytes += bytesPerSample;
        } else {
            runs_.push_back({sourceOffset, outputFrameBytes_, bytesPerSample});
        }
        outputFrameBytes_ += bytesPerSample;
    }
}

void KeptChannelGather::gather(const unsigned char* source, std::size_t frames, unsigned char* output) const {
    if (runs_.size() == 1) {
        const unsigned char* from = source + runs_[0].sourceOffset;
        switch ((runs_[0].bytes + 7) / 8) {
        case 1: return gatherSingleRun<1>(from, sourceFrameBytes_, frames, output, outputFrameBytes_);
        case 2: return gatherSingleRun<2>(from, sourceFrameBytes_, frames, output, outputFrameBytes_);
        case 3: return gatherSingleRun<3>(from, sourceFrameBytes_, frames, output, outputFrameBytes_);
        case 4: return gatherSingleRun<4>(from, sourceFrameBytes_, frames, output, outputFrameBytes_);
        default: break;
        }
    }
    for (std::size_t f = 0; f < frames; ++f) {
        for (const Run& run : runs_) copyWords(source + run.sourceOffset, output + run.outputOffset, run.bytes);
        source += sourceFrameBytes_;
        output += outputFrameBytes_;
    }
}

}  // namespace tracksieve
