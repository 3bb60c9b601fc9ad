#include "source_chunk_walk.h"

#include <algorithm>
#include <istream>
#include <stdexcept>
#include <string>

#include "chunk_cursor.h"
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
    ChunkCursor cursor(in, *start, fileSize);
    while (const std::optional<RiffChunk> chunk = cursor.next()) {
        if (chunk->is("data")) {
            dataSeen = true;
            layout.dataOffset = chunk->bodyOffset;
            layout.dataBytesPresent = chunk->present;
        } else if (chunk->is("ds64")) {
            // Its sizes describe the source; an output that needs one writes its own.
        } else if (chunk->is("fmt ")) {
            const auto body = cursor.readPrefix<kFmtExtensibleSize>(*chunk);
            if (chunk->size >= kFmtMinSize) {
                layout.fmt = parseFmtBody(
                    body.data(), static_cast<std::uint32_t>(std::min<std::uint64_t>(chunk->size, body.size())));
                fmtSeen = true;
            }
        } else {
            (dataSeen ? layout.afterAudio : layout.beforeAudio)
                .push_back({std::string(chunk->id()), cursor.readBody(*chunk)});
        }
    }
    if (cursor.stoppedAtTooManyChunks()) throw std::runtime_error(std::string(kTooManyChunks));

    if (!fmtSeen || !dataSeen) throw std::runtime_error("Missing fmt or data chunk");
    return layout;
}

}  // namespace tracksieve
