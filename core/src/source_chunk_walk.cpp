#include "source_chunk_walk.h"

#include <algorithm>
#include <array>
#include <istream>
#include <stdexcept>
#include <string>

#include "source_file_buffer.h"


namespace tracksieve {

SourceLayout walkSourceChunks(const std::filesystem::path& path) {
    SourceFileBuffer buffer;
    if (!buffer.open(path)) throw std::runtime_error("Could not open source file");
    std::istream in(&buffer);
    // A read that fails throws: it must never pass for the end of the chunks.
    in.exceptions(std::ios::badbit);
    const std::uint64_t fileSize = streamLength(in);
    std::string startError;
    const std::optional<RiffStart> start = readRiffStart(in, fileSize, startError);
    if (!start) throw std::runtime_error(startError);

    SourceLayout layout;
    layout.form = start->form;
    bool fmtSeen = false;
    bool dataSeen = false;
    std::size_t chunks = 0;
    while (const std::optional<ChunkHeader> header = readChunkHeader(in)) {
        if (++chunks > kMaxChunks) throw std::runtime_error(std::string(kTooManyChunks));
        const auto bodyOffset = static_cast<std::uint64_t>(in.tellg());
        std::uint64_t size = start->sizeOf(*header);
        const std::uint64_t present = std::min<std::uint64_t>(size, bytesLeftFrom(bodyOffset, fileSize));

        if (header->is("data")) {
            const DataExtent extent = dataExtent(in, *start, *header, bodyOffset, fileSize);
            if (extent.takenFromFile) size = extent.bytes;
            dataSeen = true;
            layout.dataOffset = bodyOffset;
            layout.dataBytesPresent = extent.bytes;
        } else if (header->is("ds64")) {
            // Its sizes describe the source; an output that needs one writes its own.
        } else if (header->is("fmt ")) {
            std::array<unsigned char, kFmtExtensibleSize> body{};
            in.read(reinterpret_cast<char*>(body.data()),
                    static_cast<std::streamsize>(std::min<std::uint64_t>(present, body.size())));
            if (size >= kFmtMinSize) {
                layout.fmt = parseFmtBody(body.data(), static_cast<std::uint32_t>(std::min<std::uint64_t>(size, body.size())));
                fmtSeen = true;
            }
        } else {
            MetaChunk chunk{std::string(header->id, 4), std::string(static_cast<std::size_t>(present), '\0')};
            in.read(chunk.body.data(), static_cast<std::streamsize>(present));
            chunk.body.resize(static_cast<std::size_t>(in.gcount()));
            (dataSeen ? layout.afterAudio : layout.beforeAudio).push_back(std::move(chunk));
        }
        if (!in) break;
        in.seekg(static_cast<std::streamoff>(bodyOffset + size + size % 2), std::ios::beg);
        if (!in) break;
    }

    if (!fmtSeen || !dataSeen) throw std::runtime_error("Missing fmt or data chunk");
    return layout;
}

}  // namespace tracksieve
