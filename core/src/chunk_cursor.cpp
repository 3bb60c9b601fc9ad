#include "chunk_cursor.h"

#include <algorithm>

namespace tracksieve {

ChunkCursor::ChunkCursor(std::istream& in, const RiffStart& start, std::uint64_t fileSize)
    : in_(in), start_(start), fileSize_(fileSize), nextOffset_(static_cast<std::uint64_t>(in.tellg())) {}

std::optional<RiffChunk> ChunkCursor::next() {
    if (!in_ || bytesLeftFrom(nextOffset_, fileSize_) < 8) return std::nullopt;
    if (++chunks_ > kMaxChunks) {
        tooManyChunks_ = true;
        return std::nullopt;
    }
    in_.seekg(static_cast<std::streamoff>(nextOffset_), std::ios::beg);
    const std::optional<ChunkHeader> header = readChunkHeader(in_);
    if (!header) return std::nullopt;

    RiffChunk chunk;
    chunk.header = *header;
    chunk.bodyOffset = nextOffset_ + 8;
    chunk.size = start_.sizeOf(*header);
    if (header->is("data")) {
        const DataExtent extent = dataExtent(in_, start_, *header, chunk.bodyOffset, fileSize_);
        if (extent.takenFromFile) chunk.size = extent.bytes;
        chunk.sizeTakenFromFile = extent.takenFromFile;
    }
    chunk.present = std::min(chunk.size, bytesLeftFrom(chunk.bodyOffset, fileSize_));
    nextOffset_ = chunk.end();
    return chunk;
}

std::string ChunkCursor::readBody(const RiffChunk& chunk, std::uint64_t most) {
    std::string body(static_cast<std::size_t>(std::min(chunk.present, most)), '\0');
    in_.seekg(static_cast<std::streamoff>(chunk.bodyOffset), std::ios::beg);
    in_.read(body.data(), static_cast<std::streamsize>(body.size()));
    body.resize(static_cast<std::size_t>(in_.gcount()));
    return body;
}

}  // namespace tracksieve
