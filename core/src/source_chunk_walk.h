#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "riff_reading.h"
#include "tracksieve/meta_chunk.h"

namespace tracksieve {

/// What the writer's own walk over the source's RIFF chunks found. The last `fmt ` of at least
/// 16 bytes and the last `data` chunk win; every other chunk is kept, in order, on the side of
/// the audio where it was met, with the bytes the file really holds: a chunk cut short by the
/// end of the file is shorter than its header declared.
struct SourceLayout {
    RiffForm form = RiffForm::Riff;
    FmtFields fmt;
    std::uint64_t dataOffset = 0;
    std::uint64_t dataBytesPresent = 0;  // the declared size, or less where the file ends early
    std::vector<MetaChunk> beforeAudio;
    std::vector<MetaChunk> afterAudio;
};

/// Walks the chunks of `path`, in any of the three forms; a `ds64` chunk is not kept, since
/// an output writes its own. Throws std::runtime_error with "Could not open source file",
/// "Not a RIFF/WAVE file", "Invalid ds64 chunk", "Missing fmt or data chunk" or
/// kTooManyChunks, and SourceReadError when a read fails. Reads no sample data and allocates
/// no more than the file holds.
SourceLayout walkSourceChunks(const std::filesystem::path& path);

}  // namespace tracksieve
