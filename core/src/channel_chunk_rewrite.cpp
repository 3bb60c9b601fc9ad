#include "channel_chunk_rewrite.h"

#include <set>

#include "little_endian.h"

namespace tracksieve {
namespace {

constexpr std::size_t kPeakHeaderSize = 8;
constexpr std::size_t kPeakPairSize = 8;
constexpr std::size_t kChnaHeaderSize = 4;
constexpr std::size_t kChnaEntrySize = 40;

const unsigned char* bytesOf(std::string_view text) { return reinterpret_cast<const unsigned char*>(text.data()); }

}  // namespace

std::optional<std::string> rewritePeakBody(std::string_view body, const std::vector<std::int32_t>& channelMap) {
    if (body.size() != kPeakHeaderSize + kPeakPairSize * channelMap.size()) return std::nullopt;
    // Kept channels keep their order, so the kept pairs are taken in source order.
    std::string rewritten(body.substr(0, kPeakHeaderSize));
    for (std::size_t channel = 0; channel < channelMap.size(); ++channel) {
        if (channelMap[channel] >= 0) rewritten += body.substr(kPeakHeaderSize + channel * kPeakPairSize, kPeakPairSize);
    }
    return rewritten;
}

std::optional<std::string> rewriteChnaBody(std::string_view body, const std::vector<std::int32_t>& channelMap) {
    if (body.size() < kChnaHeaderSize || (body.size() - kChnaHeaderSize) % kChnaEntrySize != 0) return std::nullopt;
    std::string entries;
    std::set<std::uint16_t> tracks;
    std::uint16_t usedEntries = 0;
    for (std::size_t at = kChnaHeaderSize; at < body.size(); at += kChnaEntrySize) {
        std::string entry(body.substr(at, kChnaEntrySize));
        const std::uint16_t track = le::readU16(bytesOf(entry));
        if (track != 0) {
            if (track > channelMap.size() || channelMap[track - 1] < 0) continue;
            const auto renumbered = static_cast<std::uint16_t>(channelMap[track - 1] + 1);
            le::writeU16(reinterpret_cast<unsigned char*>(entry.data()), renumbered);
            tracks.insert(renumbered);
            ++usedEntries;
        }
        entries += entry;
    }
    std::string rewritten;
    le::appendU16(rewritten, static_cast<std::uint16_t>(tracks.size()));
    le::appendU16(rewritten, usedEntries);
    return rewritten + entries;
}

}  // namespace tracksieve
