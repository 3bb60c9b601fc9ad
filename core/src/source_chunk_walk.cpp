#include "source_chunk_walk.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <stdexcept>
#include <string>


namespace tracksieve {

SourceLayout walkSourceChunks(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) throw std::runtime_error("Could not open source file");
    const std::uint64_t fileSize = streamLength(in);
    if (!readRiffWaveHeader(in)) throw std::runtime_error("Not a RIFF/WAVE file");

    SourceLayout layout;
    bool fmtSeen = false;
    bool dataSeen = false;
    std::size_t chunks = 0;
    while (const std::optional<ChunkHeader> header = readChunkHeader(in)) {
        if (++chunks > kMaxChunks) throw std::runtime_error(std::string(kTooManyChunks));
        const std::uint32_t size = header->size;
        const auto bodyOffset = static_cast<std::uint64_t>(in.tellg());
        const std::uint64_t present = std::min<std::uint64_t>(size, bytesLeftFrom(bodyOffset, fileSize));

        if (header->is("data")) {
            dataSeen = true;
            layout.dataOffset = bodyOffset;
            layout.declaredDataSize = size;
            layout.dataBytesPresent = present;
        } else if (header->is("fmt ")) {
            std::array<unsigned char, kFmtExtensibleSize> body{};
            in.read(reinterpret_cast<char*>(body.data()),
                    static_cast<std::streamsize>(std::min<std::uint64_t>(present, body.size())));
            if (size >= kFmtMinSize) {
                layout.fmt = parseFmtBody(body.data(), size);
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
