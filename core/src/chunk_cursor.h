#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

#include "riff_reading.h"

namespace tracksieve {

/// One chunk met by a walk over a file's chunks.
struct RiffChunk {
    ChunkHeader header;
    std::uint64_t bodyOffset = 0;
    /// The body's size: the header's, the `ds64`'s where a 64-bit form's header defers to it,
    /// or for a `data` chunk whose header cannot be believed, the bytes to the end of the file.
    std::uint64_t size = 0;
    /// How many bytes of the body the file holds: `size`, or less where the file ends early.
    std::uint64_t present = 0;
    /// `size` came from the file rather than from the header.
    bool sizeTakenFromFile = false;

    bool is(std::string_view fourcc) const { return header.is(fourcc); }
    std::string_view id() const { return {header.id, 4}; }
    /// Where the next chunk starts: after the body and its pad byte.
    std::uint64_t end() const { return bodyOffset + size + size % 2; }
};

/// Walks a file's chunks in order, from where the stream stands. Each step starts at the end
/// of the previous chunk, whatever a caller read of that chunk's body, so the walks cannot
/// disagree on sizes or pad bytes.
class ChunkCursor {
public:
    ChunkCursor(std::istream& in, const RiffStart& start, std::uint64_t fileSize);

    /// The next chunk, with the stream at its body; nothing where fewer than 8 bytes are left,
    /// after a read that failed, or past kMaxChunks chunks.
    std::optional<RiffChunk> next();

    /// Up to `most` bytes of `chunk`'s body, as many as the file holds.
    std::string readBody(const RiffChunk& chunk, std::uint64_t most = UINT64_MAX);

    /// The first N bytes of `chunk`'s body, zero where the body or the file ends sooner.
    template <std::size_t N>
    std::array<unsigned char, N> readPrefix(const RiffChunk& chunk) {
        std::array<unsigned char, N> bytes{};
        const std::string body = readBody(chunk, N);
        std::copy(body.begin(), body.end(), bytes.begin());
        return bytes;
    }

    /// The walk stopped at kMaxChunks chunks, not at the end of the file.
    bool stoppedAtTooManyChunks() const { return tooManyChunks_; }

private:
    std::istream& in_;
    const RiffStart& start_;
    std::uint64_t fileSize_;
    std::uint64_t nextOffset_;
    std::size_t chunks_ = 0;
    bool tooManyChunks_ = false;
};

}  // namespace tracksieve
