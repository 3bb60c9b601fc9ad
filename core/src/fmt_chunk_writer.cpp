#include <string>

#include "little_endian.h"
#include "tracksieve/slim_writer.h"
#include "riff_reading.h"

namespace tracksieve {
namespace {

constexpr std::uint32_t kPlainBodySize = 16;
constexpr std::uint32_t kExtensibleBodySize = 40;
constexpr std::uint16_t kExtensionSize = 22;
constexpr std::uint16_t kMostPlainChannels = 2;

}  // namespace

void writeFmtChunk(std::ostream& stream, const FmtChunk& fmt, std::uint16_t sampleFormat) {
    const bool extensible = fmt.channels > kMostPlainChannels;
    std::string chunk = "fmt ";
    le::appendU32(chunk, extensible ? kExtensibleBodySize : kPlainBodySize);
    le::appendU16(chunk, extensible ? kFormatExtensible : sampleFormat);
    le::appendU16(chunk, fmt.channels);
    le::appendU32(chunk, fmt.sampleRate);
    le::appendU32(chunk, fmt.byteRate);
    le::appendU16(chunk, fmt.blockAlign);
    le::appendU16(chunk, fmt.bitsPerSample);
    if (extensible) {
        le::appendU16(chunk, kExtensionSize);
        le::appendU16(chunk, fmt.bitsPerSample);  // valid bits: every container bit carries sample
        le::appendU32(chunk, 0);                  // no speaker positions: recorder tracks are not speakers
        chunk.push_back(static_cast<char>(sampleFormat & 0xFF));
        chunk.push_back('\0');
        chunk.append(reinterpret_cast<const char*>(kRest.data()), kRest.size());
    }
    stream.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
}

}  // namespace tracksieve
