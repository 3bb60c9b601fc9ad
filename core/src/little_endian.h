#pragma once

#include <cstdint>
#include <span>
#include <string>

// Every multi-byte value in a RIFF file is little-endian, whatever the host is.
namespace tracksieve::le {

inline std::uint16_t readU16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

inline std::uint32_t readU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t readU64(const unsigned char* p) {
    return static_cast<std::uint64_t>(readU32(p)) | (static_cast<std::uint64_t>(readU32(p + 4)) << 32);
}

inline std::int32_t readS24(const unsigned char* p) {
    const std::uint32_t raw = p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
    return static_cast<std::int32_t>(raw << 8) >> 8;
}

inline void writeU16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

inline void writeU32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

inline void appendU16(std::string& out, std::uint16_t v) {
    unsigned char b[2];
    writeU16(b, v);
    out.append(reinterpret_cast<const char*>(b), 2);
}

inline void appendU32(std::string& out, std::uint32_t v) {
    unsigned char b[4];
    writeU32(b, v);
    out.append(reinterpret_cast<const char*>(b), 4);
}

}  // namespace tracksieve::le
