#include "riff_reading.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "chunk_cursor.h"
#include "little_endian.h"

namespace tracksieve {
namespace {

constexpr std::uint64_t kDs64FixedSize = 28;
constexpr std::uint64_t kDs64EntrySize = 12;
// Real files list a chunk or two here; a longer table is damage, not a reason to allocate.
constexpr std::uint32_t kDs64MostTableEntries = 1024;
constexpr std::uint64_t kWrapSpan = std::uint64_t{1} << 32;

std::optional<RiffForm> formOf(const char* id) {
    if (std::memcmp(id, "RIFF", 4) == 0) return RiffForm::Riff;
    if (std::memcmp(id, "RF64", 4) == 0) return RiffForm::Rf64;
    if (std::memcmp(id, "BW64", 4) == 0) return RiffForm::Bw64;
    return std::nullopt;
}

std::optional<Ds64> readDs64(std::istream& in, std::uint64_t fileSize) {
    // The `ds64` states sizes; its own is the header's.
    const RiffStart plain;
    ChunkCursor cursor(in, plain, fileSize);
    const std::optional<RiffChunk> chunk = cursor.next();
    if (!chunk || !chunk->is("ds64") || chunk->size < kDs64FixedSize || chunk->present < chunk->size)
        return std::nullopt;
    const auto fixed = cursor.readPrefix<kDs64FixedSize>(*chunk);
    if (!in) return std::nullopt;
    Ds64 ds64;
    ds64.riffSize = le::readU64(&fixed[0]);
    ds64.dataSize = le::readU64(&fixed[8]);
    ds64.sampleCount = le::readU64(&fixed[16]);
    const std::uint32_t entries = le::readU32(&fixed[24]);
    if (entries > kDs64MostTableEntries || kDs64FixedSize + entries * kDs64EntrySize > chunk->size) return std::nullopt;
    if (ds64.riffSize > fileSize || ds64.dataSize > fileSize) return std::nullopt;

    const std::string body = cursor.readBody(*chunk, kDs64FixedSize + entries * kDs64EntrySize);
    if (!in) return std::nullopt;
    for (std::uint32_t i = 0; i < entries; ++i) {
        const auto entry = reinterpret_cast<const unsigned char*>(body.data() + kDs64FixedSize + i * kDs64EntrySize);
        const std::uint64_t size = le::readU64(entry + 4);
        if (size > fileSize) return std::nullopt;
        ds64.table.push_back({std::string(reinterpret_cast<const char*>(entry), 4), size});
    }
    in.seekg(static_cast<std::streamoff>(chunk->end()), std::ios::beg);
    return ds64;
}

// Bytes of audio do not read as a chunk header that fits in the file, save by rare chance.
bool looksLikeChunkHeader(std::istream& in, std::uint64_t offset, std::uint64_t fileSize) {
    in.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
    const std::optional<ChunkHeader> header = readChunkHeader(in);
    in.clear();
    if (!header) return false;
    const bool printableId = std::all_of(header->id, header->id + 4, [](char c) { return c >= 0x20 && c <= 0x7E; });
    return printableId && header->size <= bytesLeftFrom(offset + 8, fileSize);
}

// The name of a document's root element: the first tag that is not a declaration, processing
// instruction, comment or DOCTYPE; empty when there is none.
std::string_view rootElementName(std::string_view text) {
    constexpr std::string_view blanks{" \t\r\n\0", 5};
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(byteOrderMark)) text.remove_prefix(byteOrderMark.size());
    std::size_t at = 0;
    for (;;) {
        at = text.find_first_not_of(blanks, at);
        if (at == std::string_view::npos || text[at] != '<') return {};
        const std::string_view rest = text.substr(at);
        std::string_view close;
        if (rest.starts_with("<?")) {
            close = "?>";
        } else if (rest.starts_with("<!--")) {
            close = "-->";
        } else if (rest.starts_with("<!")) {
            close = ">";
        } else {
            const std::string_view name = rest.substr(1, rest.find_first_of(" \t\r\n/>") - 1);
            return name;
        }
        at = text.find(close, at + 2);
        if (at == std::string_view::npos) return {};
        at += close.size();
    }
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

}  // namespace

bool isAdmDocumentChunk(std::string_view id, std::string_view body) {
    if (id != "axml" && id != "AXML") return false;
    const std::string_view root = rootElementName(body);
    return !root.empty() && !equalsIgnoringAsciiCase(root, "BWFXML");
}

std::uint64_t streamLength(std::istream& in) {
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    return size > 0 ? static_cast<std::uint64_t>(size) : 0;
}

std::uint64_t RiffStart::sizeOf(const ChunkHeader& header) const {
    if (form == RiffForm::Riff || header.size != kSizeInDs64) return header.size;
    if (header.is("data")) return ds64.dataSize;
    const auto entry = std::find_if(ds64.table.begin(), ds64.table.end(),
                                    [&header](const Ds64::TableEntry& e) { return header.is(e.id); });
    return entry != ds64.table.end() ? entry->size : header.size;
}

std::optional<RiffStart> readRiffStart(std::istream& in, std::uint64_t fileSize, std::string& error) {
    char header[12];
    in.read(header, sizeof header);
    const std::optional<RiffForm> form = in.gcount() == sizeof header ? formOf(header) : std::nullopt;
    if (!form || std::memcmp(header + 8, "WAVE", 4) != 0) {
        error = "Not a RIFF/WAVE file";
        return std::nullopt;
    }
    RiffStart start;
    start.form = *form;
    if (start.form == RiffForm::Riff) return start;
    std::optional<Ds64> ds64 = readDs64(in, fileSize);
    if (!ds64) {
        error = "Invalid ds64 chunk";
        return std::nullopt;
    }
    start.ds64 = std::move(*ds64);
    return start;
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

DataExtent dataExtent(std::istream& in, const RiffStart& start, const ChunkHeader& header, std::uint64_t bodyOffset,
                      std::uint64_t fileSize) {
    const std::uint64_t declared = start.sizeOf(header);
    const std::uint64_t left = bytesLeftFrom(bodyOffset, fileSize);
    const bool wrapped = start.form == RiffForm::Riff && declared < left && (left - declared) % kWrapSpan == 0;
    if (declared == kSizeInDs64 || wrapped) return {left, true};
    // A finished take may hold an empty `data` chunk with other chunks after it.
    if (declared == 0 && left > 0) {
        const std::streampos at = in.tellg();
        const bool last = !looksLikeChunkHeader(in, bodyOffset, fileSize);
        in.seekg(at);
        if (last) return {left, true};
    }
    return {std::min(declared, left), false};
}

}  // namespace tracksieve
