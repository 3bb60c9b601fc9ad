#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <ostream>

namespace tracksieve {

/// The output format, in the order and widths of a plain `fmt ` body.
struct FmtChunk {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t byteRate = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
};

/// The KSDATAFORMAT sub-format GUID after its first two bytes.
inline constexpr std::array<unsigned char, 14> kRest = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

/// Writes a whole `fmt ` chunk: plain for up to 2 channels, extensible for more.
/// `sampleFormat` is 1 (integer PCM) or 3 (IEEE float).
void writeFmtChunk(std::ostream& stream, const FmtChunk& fmt, std::uint16_t sampleFormat);

/// Writes a copy of `source` without the channels whose peak stays below `threshold` and
/// returns its path: `outputPath` when given, else `source` itself when `overwrite` is set,
/// else "<stem>_SLIM<ext>" beside the source. Throws std::runtime_error with a message the
/// user can read; never leaves an incomplete file behind or touches the source on failure.
std::filesystem::path compressPolyWav(const std::filesystem::path& source, bool overwrite, double threshold,
                                      const std::filesystem::path& outputPath = {});

}  // namespace tracksieve
