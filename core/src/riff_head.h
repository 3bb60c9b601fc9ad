#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "riff_reading.h"
#include "tracksieve/meta_chunk.h"

// The start of an output file: plain RIFF while its sizes fit in 32 bits, else the 64-bit form
// with its `ds64` chunk first.
namespace tracksieve {

/// The largest RIFF size an output states in plain RIFF/WAVE, the form most programs read; a
/// larger output is written in a 64-bit form. Only tests lower it, to reach that form with
/// small files.
std::uint64_t plainRiffSizeLimit();
void setPlainRiffSizeLimit(std::uint64_t limit);

/// The sizes an output's head states.
struct OutputSizes {
    std::uint64_t riffSize = 0;  // counting the `ds64` chunk when there is one
    std::uint64_t dataSize = 0;
    std::uint64_t frames = 0;
};

/// The size of the `ds64` chunk (header included) an output of `chunks` needs: one table
/// entry per chunk too large for its 32-bit size field.
std::uint64_t ds64ChunkSize(const std::vector<const MetaChunk*>& chunks);

/// The 12-byte file header in `form`, followed for the 64-bit forms by the `ds64` chunk.
std::string fileHead(RiffForm form, const OutputSizes& sizes, const std::vector<const MetaChunk*>& chunks);

/// The value a 32-bit size field holds for `size` in `form`.
std::uint32_t sizeField(RiffForm form, std::uint64_t size);

}  // namespace tracksieve
