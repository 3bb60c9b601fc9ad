#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tracksieve/poly_wav_info.h"

// What the fuzz targets check beyond "no crash". A broken invariant aborts, which libFuzzer
// reports as a crash with its reproducer and which fails the corpus replay test.
namespace tracksieve::fuzz {

/// Prints `what` and aborts unless `condition` holds.
void require(bool condition, std::string_view what);

std::string bytesOf(const std::uint8_t* data, std::size_t size);

/// A record is either failed (a message of the WAV reader, every other field at its default)
/// or complete (one track per channel at its own index, each judged against `threshold`).
void checkRecord(const PolyWavInfo& record, double threshold);

}  // namespace tracksieve::fuzz
