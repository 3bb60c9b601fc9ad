#include "wav_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "little_endian.h"
#include "tracksieve/poly_wav_info.h"

namespace tracksieve {
namespace {

constexpr std::size_t kBextDescriptionSize = 256;
constexpr std::uint32_t kBextTimeReferenceOffset = 338;
constexpr std::uint32_t kBextMinSize = kBextTimeReferenceOffset + 8;

// A chunk's declared size is only a claim: nothing is read or allocated beyond the bytes
// the file still holds after the body's start.
class ChunkBodyReader {
public:
    ChunkBodyReader(std::istream& stream, std::uint64_t fileSize) : stream_(stream), fileSize_(fileSize) {}

    std::uint64_t bytesPresent(std::uint64_t bodyOffset, std::uint64_t declared) const {
        return std::min<std::uint64_t>(declared, bytesLeftFrom(bodyOffset, fileSize_));
    }

    // Reads up to `wanted` bytes of a body of `declared` bytes into `out` (zero-filled to
    // `wanted`), then leaves the stream at the body's end. A body cut short by the end of the
    // file leaves the stream failed, as a plain read of the whole body would.
    void readPrefix(std::uint64_t bodyOffset, std::uint64_t declared, unsigned char* out, std::size_t wanted) {
        const std::uint64_t present = bytesPresent(bodyOffset, declared);
        std::memset(out, 0, wanted);
        stream_.read(reinterpret_cast<char*>(out),
                     static_cast<std::streamsize>(std::min<std::uint64_t>(wanted, present)));
        if (present < declared) {
            stream_.setstate(std::ios::eofbit | std::ios::failbit);
        } else if (stream_) {
            stream_.seekg(static_cast<std::streamoff>(bodyOffset + declared), std::ios::beg);
        }
    }

    void readWhole(std::uint64_t bodyOffset, std::uint64_t declared, std::string& out) {
        const std::uint64_t present = bytesPresent(bodyOffset, declared);
        out.resize(static_cast<std::size_t>(present));
        stream_.read(out.data(), static_cast<std::streamsize>(present));
        out.resize(static_cast<std::size_t>(stream_.gcount()));
        if (present < declared) stream_.setstate(std::ios::eofbit | std::ios::failbit);
    }

private:
    std::istream& stream_;
    std::uint64_t fileSize_;
};

bool readFmt(ChunkBodyReader& reader, std::uint64_t bodyOffset, std::uint64_t size, WavFile& wav) {
    if (size < kFmtMinSize || reader.bytesPresent(bodyOffset, size) < size) return false;
    std::array<unsigned char, kFmtExtensibleSize> body{};
    reader.readPrefix(bodyOffset, size, body.data(), std::min<std::size_t>(size, body.size()));
    if (!*wav.stream) return false;
    const FmtFields fmt = parseFmtBody(body.data(), static_cast<std::uint32_t>(std::min<std::uint64_t>(size, body.size())));
    // Records hold the rate as a signed 32-bit number.
    if (fmt.sampleRate > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) return false;
    wav.fmt = fmt;
    return true;
}

void readBext(ChunkBodyReader& reader, std::uint64_t bodyOffset, std::uint64_t size, WavFile& wav) {
    std::array<unsigned char, kBextMinSize> body{};
    reader.readPrefix(bodyOffset, size, body.data(), std::min<std::size_t>(size, body.size()));
    const auto description = reinterpret_cast<const char*>(body.data());
    wav.bextDescription.assign(description, std::find(description, description + kBextDescriptionSize, '\0'));
    if (size >= kBextMinSize) {
        wav.timeReference = le::readU64(&body[kBextTimeReferenceOffset]);
        wav.hasTimeReference = true;
    }
}

}  // namespace

bool openWav(const std::filesystem::path& path, WavFile& wav) {
    if (wav.stream != nullptr || !wav.fileBuffer.open(path)) {
        wav.error = kCouldNotOpenFile;
        return false;
    }
    wav.file.exceptions(std::ios::badbit);
    return openWav(wav.file, wav);
}

bool openWav(std::istream& source, WavFile& wav) {
    auto fail = [&wav](std::string_view message) {
        wav.error = message;
        return false;
    };

    if (wav.stream != nullptr) return fail(kCouldNotOpenFile);
    wav.stream = &source;
    std::istream& in = source;
    const std::uint64_t fileSize = streamLength(in);
    ChunkBodyReader reader(in, fileSize);
    std::string startError;
    const std::optional<RiffStart> start = readRiffStart(in, fileSize, startError);
    if (!start) return fail(startError.c_str());

    bool fmtSeen = false;
    bool dataSeen = false;
    std::size_t chunks = 0;
    while (const std::optional<ChunkHeader> header = readChunkHeader(in)) {
        if (++chunks > kMaxChunks) return fail(kTooManyChunks);
        const auto bodyOffset = static_cast<std::uint64_t>(in.tellg());
        const std::uint64_t size = start->sizeOf(*header);

        if (header->is("fmt ")) {
            if (!readFmt(reader, bodyOffset, size, wav)) return fail("Invalid fmt chunk");
            fmtSeen = true;
        } else if (header->is("data")) {
            const DataExtent extent = dataExtent(in, *start, *header, bodyOffset, fileSize);
            wav.dataOffset = static_cast<std::int64_t>(bodyOffset);
            wav.dataSize = extent.takenFromFile ? extent.bytes : size;
            wav.dataBytesPresent = extent.bytes;
            wav.lengthTakenFromFile = extent.takenFromFile;
            in.seekg(static_cast<std::streamoff>(bodyOffset + wav.dataSize), std::ios::beg);
            dataSeen = true;
        } else if (header->is("bext")) {
            readBext(reader, bodyOffset, size, wav);
        } else if (isXmlChunkId(std::string_view(header->id, 4))) {
            std::string text;
            reader.readWhole(bodyOffset, size, text);
            if (!isAdmDocumentChunk(std::string_view(header->id, 4), text)) wav.ixmlText = std::move(text);
        } else {
            in.seekg(static_cast<std::streamoff>(bodyOffset + size), std::ios::beg);
        }

        if (size % 2 == 1) in.seekg(1, std::ios::cur);
        if (fmtSeen && dataSeen && in.peek() == std::istream::traits_type::eof()) break;
        if (!in) break;
    }

    if (!fmtSeen || !dataSeen) return fail("Missing fmt or data chunk");
    if (wav.fmt.channels == 0 || wav.fmt.bitsPerSample == 0 || wav.fmt.blockAlign == 0) return fail("Invalid format");
    if (wav.fmt.sampleFormat != kFormatPcm && wav.fmt.sampleFormat != kFormatFloat) {
        return fail("Unsupported WAV format (need PCM or IEEE float)");
    }
    if (wav.fmt.bitsPerSample != 16 && wav.fmt.bitsPerSample != 24 && wav.fmt.bitsPerSample != 32) {
        return fail("Unsupported bit depth");
    }
    return true;
}

}  // namespace tracksieve
