#include "wav_reader.h"

#include <algorithm>
#include <array>
#include <limits>

#include "chunk_cursor.h"
#include "little_endian.h"
#include "tracksieve/poly_wav_info.h"

namespace tracksieve {
namespace {

constexpr std::size_t kBextDescriptionSize = 256;
constexpr std::uint32_t kBextTimeReferenceOffset = 338;
constexpr std::uint32_t kBextMinSize = kBextTimeReferenceOffset + 8;

bool readFmt(ChunkCursor& cursor, const RiffChunk& chunk, WavFile& wav) {
    if (chunk.size < kFmtMinSize || chunk.present < chunk.size) return false;
    const auto body = cursor.readPrefix<kFmtExtensibleSize>(chunk);
    if (!*wav.stream) return false;
    const FmtFields fmt =
        parseFmtBody(body.data(), static_cast<std::uint32_t>(std::min<std::uint64_t>(chunk.size, body.size())));
    // Records hold the rate as a signed 32-bit number.
    if (fmt.sampleRate > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) return false;
    wav.fmt = fmt;
    return true;
}

void readBext(ChunkCursor& cursor, const RiffChunk& chunk, WavFile& wav) {
    const auto body = cursor.readPrefix<kBextMinSize>(chunk);
    const auto description = reinterpret_cast<const char*>(body.data());
    wav.bextDescription.assign(description, std::find(description, description + kBextDescriptionSize, '\0'));
    if (chunk.size >= kBextMinSize) {
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
    std::string startError;
    const std::optional<RiffStart> start = readRiffStart(in, fileSize, startError);
    if (!start) return fail(startError.c_str());

    bool fmtSeen = false;
    bool dataSeen = false;
    ChunkCursor cursor(in, *start, fileSize);
    while (const std::optional<RiffChunk> chunk = cursor.next()) {
        if (chunk->is("fmt ")) {
            if (!readFmt(cursor, *chunk, wav)) return fail("Invalid fmt chunk");
            fmtSeen = true;
        } else if (chunk->is("data")) {
            wav.dataOffset = static_cast<std::int64_t>(chunk->bodyOffset);
            wav.dataSize = chunk->size;
            wav.dataBytesPresent = chunk->present;
            wav.lengthTakenFromFile = chunk->sizeTakenFromFile;
            dataSeen = true;
        } else if (chunk->is("bext")) {
            readBext(cursor, *chunk, wav);
        } else if (isXmlChunkId(chunk->id())) {
            std::string text = cursor.readBody(*chunk);
            if (!isAdmDocumentChunk(chunk->id(), text)) wav.ixmlText = std::move(text);
        }
    }
    if (cursor.stoppedAtTooManyChunks()) return fail(kTooManyChunks);

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
