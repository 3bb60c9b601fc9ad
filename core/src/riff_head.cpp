#include "riff_head.h"

#include <atomic>
#include <limits>

#include "little_endian.h"
#include "output_chunks.h"

namespace tracksieve {
namespace {

constexpr std::uint64_t kDs64FixedSize = 28;
constexpr std::uint64_t kDs64EntrySize = 12;

std::atomic<std::uint64_t> gPlainRiffSizeLimit{std::numeric_limits<std::uint32_t>::max()};

bool needsTableEntry(const MetaChunk& chunk) { return chunk.body.size() >= kSizeInDs64; }

void appendU64(std::string& out, std::uint64_t value) {
    le::appendU32(out, static_cast<std::uint32_t>(value));
    le::appendU32(out, static_cast<std::uint32_t>(value >> 32));
}

}  // namespace

std::uint64_t plainRiffSizeLimit() { return gPlainRiffSizeLimit.load(); }

void setPlainRiffSizeLimit(std::uint64_t limit) { gPlainRiffSizeLimit.store(limit); }

std::uint64_t ds64ChunkSize(const std::vector<const MetaChunk*>& chunks) {
    std::uint64_t size = 8 + kDs64FixedSize;
    for (const MetaChunk* chunk : chunks) {
        if (needsTableEntry(*chunk)) size += kDs64EntrySize;
    }
    return size;
}

std::uint32_t sizeField(RiffForm form, std::uint64_t size) {
    if (form != RiffForm::Riff && size >= kSizeInDs64) return kSizeInDs64;
    return static_cast<std::uint32_t>(size);
}

std::string fileHead(RiffForm form, const OutputSizes& sizes, const std::vector<const MetaChunk*>& chunks) {
    std::string head = form == RiffForm::Riff ? "RIFF" : form == RiffForm::Rf64 ? "RF64" : "BW64";
    le::appendU32(head, form == RiffForm::Riff ? static_cast<std::uint32_t>(sizes.riffSize) : kSizeInDs64);
    head += "WAVE";
    if (form == RiffForm::Riff) return head;

    std::string ds64;
    appendU64(ds64, sizes.riffSize);
    appendU64(ds64, sizes.dataSize);
    appendU64(ds64, sizes.frames);
    std::string table;
    std::uint32_t entries = 0;
    for (const MetaChunk* chunk : chunks) {
        if (!needsTableEntry(*chunk)) continue;
        table += chunk->id;
        appendU64(table, chunk->body.size());
        ++entries;
    }
    le::appendU32(ds64, entries);
    appendChunk(head, "ds64", ds64 + table, RiffForm::Riff);
    return head;
}

}  // namespace tracksieve
