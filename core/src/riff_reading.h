#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string_view>

// What both chunk walks (the reader's and the writer's) need from a RIFF/WAVE file.
namespace tracksieve {

inline constexpr std::uint16_t kFormatPcm = 1;
inline constexpr std::uint16_t kFormatFloat = 3;
inline constexpr std::uint16_t kFormatExtensible = 0xFFFE;
inline constexpr std::uint32_t kFmtMinSize = 16;
inline constexpr std::uint32_t kFmtExtensibleSize = 40;

/// Recordings hold a few dozen chunks at most (fmt, data, bext, iXML, a LIST or two, padding);
/// each walk stops at this many, so that a file of millions of empty chunks costs neither
/// minutes nor a record per chunk, gigabytes in all.
inline constexpr std::size_t kMaxChunks = 10'000;
inline constexpr std::string_view kTooManyChunks = "Too many chunks (more than 10000)";

struct ChunkHeader {
    char id[4];
    std::uint32_t size;

    bool is(std::string_view fourcc) const { return fourcc == std::string_view(id, 4); }
};

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

/// The length of the stream's file; leaves the stream at its start.
std::uint64_t streamLength(std::istream& in);

/// Reads the 12-byte file header; true when it is "RIFF", a size, "WAVE".
bool readRiffWaveHeader(std::istream& in);

/// The next chunk header, or nothing when fewer than 8 bytes are left.
std::optional<ChunkHeader> readChunkHeader(std::istream& in);

/// Decodes the first min(`size`, 40) bytes of a `fmt ` body of `size` >= 16 bytes.
FmtFields parseFmtBody(const unsigned char* body, std::uint32_t size);

/// The XML metadata chunks: all four ids carry iXML-style text.
inline bool isXmlChunkId(std::string_view id) { return id == "iXML" || id == "IXML" || id == "axml" || id == "AXML"; }

/// How many of a file's `fileSize` bytes lie at or after `offset`.
inline std::uint64_t bytesLeftFrom(std::uint64_t offset, std::uint64_t fileSize) {
    return offset < fileSize ? fileSize - offset : 0;
}

}  // namespace tracksieve
