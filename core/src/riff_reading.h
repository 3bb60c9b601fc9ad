#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fmt_chunk.h"

// What both chunk walks (the reader's and the writer's) need from a RIFF/WAVE file.
namespace tracksieve {

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

/// The length of the stream's file; leaves the stream at its start.
std::uint64_t streamLength(std::istream& in);

/// A 32-bit size field holding this value hands the size over to the `ds64` chunk.
inline constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFF;

/// The three file forms: plain RIFF, and the 64-bit forms of EBU Tech 3306 and ITU-R BS.2088.
enum class RiffForm { Riff, Rf64, Bw64 };

/// The 64-bit sizes of a `ds64` chunk, and its table of other large chunks.
struct Ds64 {
    struct TableEntry {
        std::string id;
        std::uint64_t size = 0;
    };
    std::uint64_t riffSize = 0;
    std::uint64_t dataSize = 0;
    std::uint64_t sampleCount = 0;
    std::vector<TableEntry> table;
};

/// How a file's chunks are to be read, from its header and (64-bit forms) its `ds64`.
struct RiffStart {
    RiffForm form = RiffForm::Riff;
    Ds64 ds64;

    /// A chunk's size: its header's, or the `ds64`'s where a 64-bit form's header defers to it.
    std::uint64_t sizeOf(const ChunkHeader& header) const;
};

/// Reads the file header and, for RF64 and BW64, the `ds64` chunk that must follow it, leaving
/// the stream at the next chunk. Sets `error` to "Not a RIFF/WAVE file" or "Invalid ds64
/// chunk" (missing, too short, a table longer than the chunk or than any real file needs, a
/// size past the end of the file) and returns nothing when the file cannot be read on.
std::optional<RiffStart> readRiffStart(std::istream& in, std::uint64_t fileSize, std::string& error);

/// The next chunk header, or nothing when fewer than 8 bytes are left.
std::optional<ChunkHeader> readChunkHeader(std::istream& in);

/// The bytes of samples a `data` chunk at `bodyOffset` holds, and whether that length came from
/// the file rather than from its header.
struct DataExtent {
    std::uint64_t bytes = 0;
    bool takenFromFile = false;
};

/// Where the header cannot be believed and `data` is the last chunk, the audio runs to the end
/// of the file: a take left unfinalised (size 0 or 0xFFFFFFFF) and a plain RIFF file past 4 GiB
/// whose 32-bit size wrapped (the bytes left exceed it by whole multiples of 2^32). Otherwise
/// the declared size, cut at the end of the file. Leaves the stream where it found it.
DataExtent dataExtent(std::istream& in, const RiffStart& start, const ChunkHeader& header, std::uint64_t bodyOffset,
                      std::uint64_t fileSize);

/// The XML metadata chunks: all four ids carry iXML-style text.
inline bool isXmlChunkId(std::string_view id) { return id == "iXML" || id == "IXML" || id == "axml" || id == "AXML"; }

/// An `axml` chunk holding an ADM document (its root element is not BWFXML): ADM tools read
/// it beside `chna`, so it is neither read for track names nor rewritten.
bool isAdmDocumentChunk(std::string_view id, std::string_view body);

/// How many of a file's `fileSize` bytes lie at or after `offset`.
inline std::uint64_t bytesLeftFrom(std::uint64_t offset, std::uint64_t fileSize) {
    return offset < fileSize ? fileSize - offset : 0;
}

}  // namespace tracksieve
