#include "riff_reading.h"

#include <cstring>

#include "little_endian.h"

namespace tracksieve {

std::uint64_t streamLength(std::istream& in) {
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    return size > 0 ? static_cast<std::uint64_t>(size) : 0;
}

bool readRiffWaveHeader(std::istream& in) {
    char header[12];
    in.read(header, sizeof header);
    return in.gcount() == sizeof header && std::memcmp(header, "RIFF", 4) == 0 &&
           std::memcmp(header + 8, "WAVE", 4) == 0;
}

std::optional<ChunkHeader> readChunkHeader(std::istream& in) {
    unsigned char bytes[8];
    in.read(reinterpret_cast<char*>(bytes), sizeof bytes);
    if (in.gcount() != sizeof bytes) return std::nullopt;
    ChunkHeader header;
    std::memcpy(header.id, bytes, 4);
    header.size = le::readU32(bytes + 4);
    return header;
}

FmtFields parseFmtBody(const unsigned char* body, std::uint32_t size) {
    FmtFields fmt;
    fmt.formatTag = le::readU16(body);
    fmt.channels = le::readU16(body + 2);
    fmt.sampleRate = le::readU32(body + 4);
    fmt.byteRate = le::readU32(body + 8);
    fmt.blockAlign = le::readU16(body + 12);
    fmt.bitsPerSample = le::readU16(body + 14);
    fmt.sampleFormat = fmt.formatTag;
    if (fmt.formatTag == kFormatExtensible && size >= kFmtExtensibleSize) {
        fmt.channelMask = le::readU32(body + 20);
        fmt.sampleFormat = le::readU16(body + 24);
    }
    return fmt;
}

}  // namespace tracksieve
