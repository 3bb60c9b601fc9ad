#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "riff_reading.h"
#include "tracksieve/meta_chunk.h"

// The bytes an output writes around its samples. Outputs are made of these bytes before the
// first is written, so that every size the file states counts exactly what it holds.
namespace tracksieve {

/// Appends a chunk: its header (the size field as `form` states it), its body, its pad byte.
void appendChunk(std::string& out, std::string_view id, std::string_view body, RiffForm form);

/// What follows the file head: a leading `bext` first, where readers look for the timecode,
/// then the `fmt ` chunk, then the other chunks before the audio in order, then the `data`
/// header, which in a 64-bit form defers to the `ds64`.
std::string bytesBeforeSamples(const std::vector<MetaChunk>& before, std::string_view fmtChunk, std::uint64_t dataSize,
                               RiffForm form);

/// What follows the samples: their pad byte, then the chunks after the audio.
std::string bytesAfterSamples(const std::vector<MetaChunk>& after, std::uint64_t dataSize, RiffForm form);

}  // namespace tracksieve
