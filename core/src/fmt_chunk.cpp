#include "fmt_chunk.h"

#include <array>

#include "little_endian.h"

namespace tracksieve {
namespace {

constexpr std::uint32_t kPlainBodySize = 16;
constexpr std::uint16_t kExtensionSize = 22;
constexpr std::uint16_t kMostPlainChannels = 2;

// The KSDATAFORMAT sub-format GUID after its first two bytes.
constexpr std::array<unsigned char, 14> kSubFormatRest = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                          0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace

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

FmtFields withChannels(const FmtFields& source, std::uint16_t channels) {
    FmtFields fmt = source;
    fmt.channels = channels;
    fmt.blockAlign = static_cast<std::uint16_t>(channels * (source.bitsPerSample / 8));
    fmt.byteRate = source.sampleRate * fmt.blockAlign;
    return fmt;
}

std::string fmtChunkBytes(const FmtFields& fmt) {
    const bool extensible = fmt.channels > kMostPlainChannels;
    std::string chunk = "fmt ";
    le::appendU32(chunk, extensible ? kFmtExtensibleSize : kPlainBodySize);
    le::appendU16(chunk, extensible ? kFormatExtensible : fmt.sampleFormat);
    le::appendU16(chunk, fmt.channels);
    le::appendU32(chunk, fmt.sampleRate);
    le::appendU32(chunk, fmt.byteRate);
    le::appendU16(chunk, fmt.blockAlign);
    le::appendU16(chunk, fmt.bitsPerSample);
    if (extensible) {
        le::appendU16(chunk, kExtensionSize);
        le::appendU16(chunk, fmt.bitsPerSample);  // valid bits: every container bit carries sample
        le::appendU32(chunk, 0);                  // no speaker positions: recorder tracks are not speakers
        chunk.push_back(static_cast<char>(fmt.sampleFormat & 0xFF));
        chunk.push_back('\0');
        chunk.append(reinterpret_cast<const char*>(kSubFormatRest.data()), kSubFormatRest.size());
    }
    return chunk;
}

}  // namespace tracksieve
