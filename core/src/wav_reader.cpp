#include "wav_reader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "little_endian.h"

namespace tracksieve {
namespace {

constexpr std::uint32_t kFmtMinSize = 16;
constexpr std::uint32_t kFmtExtensibleSize = 40;
constexpr std::uint32_t kBextTimeReferenceOffset = 338;
constexpr std::uint32_t kBextMinSize = kBextTimeReferenceOffset + 8;

// A chunk's declared size is only a claim: nothing is read or allocated beyond the bytes
// the file still holds after the body's start.
class ChunkWalker {
public:
    ChunkWalker(std::ifstream& stream, std::uint64_t fileSize) : stream_(stream), fileSize_(fileSize) {}

    std::uint64_t bytesLeftFrom(std::int64_t offset) const {
        const auto start = static_cast<std::uint64_t>(std::max<std::int64_t>(offset, 0));
        return start < fileSize_ ? fileSize_ - start : 0;
    }

    // Reads up to `wanted` bytes of a body of `declared` bytes into `out` (zero-filled to
    // `wanted`), then leaves the stream at the body's end. A body cut short by the end of the
    // file leaves the stream failed, as a plain read of the whole body would.
    std::size_t readBodyPrefix(std::int64_t bodyOffset, std::uint32_t declared, unsigned char* out,
                               std::size_t wanted) {
        const std::uint64_t present = std::min<std::uint64_t>(declared, bytesLeftFrom(bodyOffset));
        const std::size_t toRead = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, present));
        std::memset(out, 0, wanted);
        stream_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(toRead));
        const auto got = static_cast<std::size_t>(stream_.gcount());
        if (present < declared) {
            stream_.setstate(std::ios::eofbit | std::ios::failbit);
        } else if (stream_) {
            stream_.seekg(bodyOffset + static_cast<std::int64_t>(declared), std::ios::beg);
        }
        return got;
    }

    void readBodyInto(std::int64_t bodyOffset, std::uint32_t declared, std::string& out) {
        const std::uint64_t present = std::min<std::uint64_t>(declared, bytesLeftFrom(bodyOffset));
        out.resize(static_cast<std::size_t>(present));
        stream_.read(out.data(), static_cast<std::streamsize>(present));
        out.resize(static_cast<std::size_t>(stream_.gcount()));
        if (present < declared) stream_.setstate(std::ios::eofbit | std::ios::failbit);
    }

private:
    std::ifstream& stream_;
    std::uint64_t fileSize_;
};

std::uint64_t fileSizeOf(std::ifstream& stream) {
    stream.seekg(0, std::ios::end);
    const std::streamoff size = stream.tellg();
    stream.seekg(0, std::ios::beg);
    return size > 0 ? static_cast<std::uint64_t>(size) : 0;
}

bool isXmlChunk(const char* id) {
    return std::memcmp(id, "iXML", 4) == 0 || std::memcmp(id, "IXML", 4) == 0 ||
           std::memcmp(id, "axml", 4) == 0 || std::memcmp(id, "AXML", 4) == 0;
}

bool readFmt(ChunkWalker& walker, std::int64_t bodyOffset, std::uint32_t size, WavFile& wav) {
    if (size < kFmtMinSize || walker.bytesLeftFrom(bodyOffset) < size) return false;
    std::array<unsigned char, kFmtExtensibleSize> body{};
    walker.readBodyPrefix(bodyOffset, size, body.data(), std::min<std::size_t>(size, body.size()));
    if (!wav.stream) return false;
    wav.formatTag = le::readU16(&body[0]);
    wav.channels = le::readU16(&body[2]);
    wav.sampleRate = le::readU32(&body[4]);
    wav.byteRate = le::readU32(&body[8]);
    wav.blockAlign = le::readU16(&body[12]);
    wav.bitsPerSample = le::readU16(&body[14]);
    wav.sampleFormat = wav.formatTag;
    if (wav.formatTag == kFormatExtensible && size >= kFmtExtensibleSize) {
        wav.channelMask = le::readU32(&body[20]);
        wav.sampleFormat = le::readU16(&body[24]);
    }
    return true;
}

void readBext(ChunkWalker& walker, std::int64_t bodyOffset, std::uint32_t size, WavFile& wav) {
    std::array<unsigned char, kBextMinSize> body{};
    walker.readBodyPrefix(bodyOffset, size, body.data(), std::min<std::size_t>(size, body.size()));
    if (size >= kBextMinSize) {
        wav.timeReference = le::readU64(&body[kBextTimeReferenceOffset]);
        wav.hasTimeReference = true;
    }
}

}  // namespace

bool openWav(const std::filesystem::path& path, WavFile& wav) {
    auto fail = [&wav](const char* message) {
        wav.error = message;
        return false;
    };

    if (wav.stream.is_open()) return fail("Could not open file");
    wav.stream.open(path, std::ios::binary);
    if (!wav.stream.is_open()) return fail("Could not open file");
    std::ifstream& in = wav.stream;
    ChunkWalker walker(in, fileSizeOf(in));

    std::array<char, 12> riff{};
    in.read(riff.data(), riff.size());
    if (in.gcount() != 12 || std::memcmp(riff.data(), "RIFF", 4) != 0 ||
        std::memcmp(riff.data() + 8, "WAVE", 4) != 0) {
        return fail("Not a RIFF/WAVE file");
    }

    bool fmtSeen = false;
    bool dataSeen = false;
    for (;;) {
        std::array<unsigned char, 8> header{};
        in.read(reinterpret_cast<char*>(header.data()), header.size());
        if (in.gcount() != 8) break;
        const char* id = reinterpret_cast<const char*>(header.data());
        const std::uint32_t size = le::readU32(&header[4]);
        const std::int64_t bodyOffset = in.tellg();

        if (std::memcmp(id, "fmt ", 4) == 0) {
            if (!readFmt(walker, bodyOffset, size, wav)) return fail("Invalid fmt chunk");
            fmtSeen = true;
        } else if (std::memcmp(id, "data", 4) == 0) {
            wav.dataOffset = bodyOffset;
            wav.dataSize = size;
            in.seekg(size, std::ios::cur);
            dataSeen = true;
        } else if (std::memcmp(id, "bext", 4) == 0) {
            readBext(walker, bodyOffset, size, wav);
        } else if (isXmlChunk(id)) {
            walker.readBodyInto(bodyOffset, size, wav.ixmlText);
        } else {
            in.seekg(size, std::ios::cur);
        }

        if (size % 2 == 1) in.seekg(1, std::ios::cur);
        if (fmtSeen && dataSeen && in.peek() == std::ifstream::traits_type::eof()) break;
        if (!in) break;
    }

    if (!fmtSeen || !dataSeen) return fail("Missing fmt or data chunk");
    if (wav.channels == 0 || wav.bitsPerSample == 0 || wav.blockAlign == 0) return fail("Invalid format");
    if (wav.sampleFormat != kFormatPcm && wav.sampleFormat != kFormatFloat) {
        return fail("Unsupported WAV format (need PCM or IEEE float)");
    }
    if (wav.bitsPerSample != 16 && wav.bitsPerSample != 24 && wav.bitsPerSample != 32) {
        return fail("Unsupported bit depth");
    }
    return true;
}

}  // namespace tracksieve
