#include "source_chunk_walk.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "little_endian.h"
#include "wav_reader.h"

namespace tracksieve {
namespace {

constexpr std::uint32_t kFmtMinSize = 16;
constexpr std::uint32_t kFmtExtensibleSize = 40;

std::uint64_t bytesLeftFrom(std::uint64_t offset, std::uint64_t fileSize) {
    return offset < fileSize ? fileSize - offset : 0;
}

void readFmt(const unsigned char* body, std::uint32_t size, SourceLayout& layout) {
    if (size < kFmtMinSize) return;
    layout.formatTag = le::readU16(body);
    layout.sampleRate = le::readU32(body + 4);
    layout.blockAlign = le::readU16(body + 12);
    layout.bitsPerSample = le::readU16(body + 14);
    layout.sampleFormat = layout.formatTag;
    if (layout.formatTag == kFormatExtensible && size >= kFmtExtensibleSize) {
        layout.sampleFormat = le::readU16(body + 24);
    }
}

}  // namespace

SourceLayout walkSourceChunks(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) throw std::runtime_error("Could not open source file");
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    const std::uint64_t fileSize = end > 0 ? static_cast<std::uint64_t>(end) : 0;
    in.seekg(0, std::ios::beg);

    std::array<char, 12> riff{};
    in.read(riff.data(), riff.size());
    if (in.gcount() != 12 || std::memcmp(riff.data(), "RIFF", 4) != 0 || std::memcmp(riff.data() + 8, "WAVE", 4) != 0) {
        throw std::runtime_error("Not a RIFF/WAVE file");
    }

    SourceLayout layout;
    bool fmtSeen = false;
    bool dataSeen = false;
    for (;;) {
        std::array<unsigned char, 8> header{};
        in.read(reinterpret_cast<char*>(header.data()), header.size());
        if (in.gcount() != 8) break;
        const std::string id(reinterpret_cast<const char*>(header.data()), 4);
        const std::uint32_t size = le::readU32(&header[4]);
        const auto bodyOffset = static_cast<std::uint64_t>(in.tellg());
        const std::uint64_t present = std::min<std::uint64_t>(size, bytesLeftFrom(bodyOffset, fileSize));

        if (id == "data") {
            dataSeen = true;
            layout.dataOffset = bodyOffset;
            layout.declaredDataSize = size;
            layout.dataBytesPresent = present;
        } else if (id == "fmt ") {
            std::array<unsigned char, kFmtExtensibleSize> body{};
            in.read(reinterpret_cast<char*>(body.data()),
                    static_cast<std::streamsize>(std::min<std::uint64_t>(present, body.size())));
            readFmt(body.data(), size, layout);
            fmtSeen = fmtSeen || size >= kFmtMinSize;
        } else {
            SourceChunk chunk{{id, std::string(static_cast<std::size_t>(present), '\0')}, size};
            in.read(chunk.chunk.body.data(), static_cast<std::streamsize>(present));
            chunk.chunk.body.resize(static_cast<std::size_t>(in.gcount()));
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
