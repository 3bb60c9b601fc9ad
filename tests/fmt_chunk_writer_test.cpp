#include "tracksieve/slim_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tracksieve {
namespace {

std::string fmtChunkBytes(const FmtChunk& fmt, std::uint16_t sampleFormat) {
    std::ostringstream out;
    writeFmtChunk(out, fmt, sampleFormat);
    return out.str();
}

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 0xF];
    }
    return out;
}

TEST(FmtChunkWriter, UpToTwoChannelsGetThePlainFormWithTheSampleFormatAsTag) {
    const FmtChunk stereo24{0xFFFE, 2, 48000, 288000, 6, 24};
    EXPECT_EQ(hex(fmtChunkBytes(stereo24, 1)),
              "66 6D 74 20 10 00 00 00 01 00 02 00 80 BB 00 00 00 65 04 00 06 00 18 00");
    const FmtChunk monoFloat{3, 1, 96000, 384000, 4, 32};
    EXPECT_EQ(hex(fmtChunkBytes(monoFloat, 3)),
              "66 6D 74 20 10 00 00 00 03 00 01 00 00 77 01 00 00 DC 05 00 04 00 20 00");
}

TEST(FmtChunkWriter, ThreeOrMoreChannelsGetTheExtensibleFormWithMaskZero) {
    const FmtChunk fourChannels24{1, 4, 48000, 576000, 12, 24};
    EXPECT_EQ(hex(fmtChunkBytes(fourChannels24, 1)),
              "66 6D 74 20 28 00 00 00 FE FF 04 00 80 BB 00 00 00 CA 08 00 0C 00 18 00 "
              "16 00 18 00 00 00 00 00 01 00 00 00 00 00 10 00 80 00 00 AA 00 38 9B 71");
    const FmtChunk threeFloat{3, 3, 48000, 576000, 12, 32};
    const std::string floatChunk = fmtChunkBytes(threeFloat, 3);
    ASSERT_EQ(floatChunk.size(), 48u);
    EXPECT_EQ(hex(floatChunk.substr(32, 2)), "03 00");
    EXPECT_EQ(hex(floatChunk.substr(26, 2)), "20 00") << "valid bits follow the container size";
}

}  // namespace
}  // namespace tracksieve
