#pragma once

#include <cstdint>
#include <string>

// The `fmt ` chunk: the one record of a file's format, read from a source and written for a copy.
namespace tracksieve {

inline constexpr std::uint16_t kFormatPcm = 1;
inline constexpr std::uint16_t kFormatFloat = 3;
inline constexpr std::uint16_t kFormatExtensible = 0xFFFE;
inline constexpr std::uint32_t kFmtMinSize = 16;
inline constexpr std::uint32_t kFmtExtensibleSize = 40;

/// The values of a `fmt ` body. `sampleFormat` is the format tag, or for an extensible body of
/// at least 40 bytes the first two bytes of its sub-format GUID.
struct FmtFields {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t byteRate = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint32_t channelMask = 0;
    std::uint16_t sampleFormat = 0;
};

/// Decodes the first min(`size`, 40) bytes of a `fmt ` body of `size` >= 16 bytes.
FmtFields parseFmtBody(const unsigned char* body, std::uint32_t size);

/// The format of `source` with only `channels` of its channels, each sample as wide as before.
FmtFields withChannels(const FmtFields& source, std::uint16_t channels);

/// A whole `fmt ` chunk for `fmt`: plain for up to 2 channels, extensible for more, carrying
/// `fmt.sampleFormat` (integer PCM or IEEE float); `formatTag` and `channelMask` follow from it.
std::string fmtChunkBytes(const FmtFields& fmt);

}  // namespace tracksieve
