#include "output_chunks.h"

#include "little_endian.h"
#include "riff_head.h"

namespace tracksieve {

void appendChunk(std::string& out, std::string_view id, std::string_view body, RiffForm form) {
    out += id.substr(0, 4);
    le::appendU32(out, sizeField(form, body.size()));
    out += body;
    if (body.size() % 2 != 0) out += '\0';
}

std::string bytesBeforeSamples(const std::vector<MetaChunk>& before, std::string_view fmtChunk, std::uint64_t dataSize,
                               RiffForm form) {
    std::string bytes;
    const bool bextFirst = !before.empty() && before.front().id == "bext";
    if (bextFirst) appendChunk(bytes, before.front().id, before.front().body, form);
    bytes += fmtChunk;
    for (std::size_t i = bextFirst ? 1 : 0; i < before.size(); ++i)
        appendChunk(bytes, before[i].id, before[i].body, form);
    bytes += "data";
    le::appendU32(bytes, form == RiffForm::Riff ? static_cast<std::uint32_t>(dataSize) : kSizeInDs64);
    return bytes;
}

std::string bytesAfterSamples(const std::vector<MetaChunk>& after, std::uint64_t dataSize, RiffForm form) {
    std::string bytes(dataSize % 2, '\0');
    for (const MetaChunk& chunk : after) appendChunk(bytes, chunk.id, chunk.body, form);
    return bytes;
}

}  // namespace tracksieve
