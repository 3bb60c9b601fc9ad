#include "channel_chunk_rewrite.h"

#include <set>

#include "little_endian.h"

namespace tracksieve {
namespace {

constexpr std::size_t kPeakHeaderSize = 8;
constexpr std::size_t kPeakPairSize = 8;
constexpr std::size_t kChnaHeaderSize = 4;
constexpr std::size_t kChnaEntrySize = 40;
// Version, format, points per value, block size, channels, frames, peak-of-peaks position,
// offset to the peaks, time stamp (28) and a reserved 60 bytes.
constexpr std::size_t kLevlHeaderSize = 120;
constexpr std::size_t kLevlChannelsAt = 16;
constexpr std::uint64_t kChunkHeaderSize = 8;

const unsigned char* bytesOf(std::string_view text) { return reinterpret_cast<const unsigned char*>(text.data()); }

}  // namespace

std::optional<std::string> rewritePeakBody(std::string_view body, const std::vector<std::int32_t>& channelMap) {
    if (body.size() != kPeakHeaderSize + kPeakPairSize * channelMap.size()) return std::nullopt;
    // Kept channels keep their order, so the kept pairs are taken in source order.
    std::string rewritten(body.substr(0, kPeakHeaderSize));
    for (std::size_t channel = 0; channel < channelMap.size(); ++channel) {
        if (channelMap[channel] >= 0)
            rewritten += body.substr(kPeakHeaderSize + channel * kPeakPairSize, kPeakPairSize);
    }
    return rewritten;
}

std::optional<std::string> rewriteLevlBody(std::string_view body, const std::vector<std::int32_t>& channelMap) {
    if (body.size() < kLevlHeaderSize) return std::nullopt;
    const unsigned char* bytes = bytesOf(body);
    const std::uint32_t bytesPerPoint = le::readU32(bytes + 4);
    const std::uint32_t pointsPerValue = le::readU32(bytes + 8);
    const std::uint32_t channels = le::readU32(bytes + kLevlChannelsAt);
    const std::uint32_t frames = le::readU32(bytes + 20);
    // Counted from the start of the chunk's header.
    const std::uint32_t offsetToPeaks = le::readU32(bytes + 28);
    if ((bytesPerPoint != 1 && bytesPerPoint != 2) || (pointsPerValue != 1 && pointsPerValue != 2) ||
        channels != channelMap.size() || offsetToPeaks < kChunkHeaderSize + kLevlHeaderSize) {
        return std::nullopt;
    }
    const std::uint64_t peaksAt = offsetToPeaks - kChunkHeaderSize;
    const std::uint64_t valueSize = std::uint64_t{bytesPerPoint} * pointsPerValue;
    if (body.size() != peaksAt + std::uint64_t{frames} * channels * valueSize) return std::nullopt;

    std::string rewritten(body.substr(0, static_cast<std::size_t>(peaksAt)));
    std::uint32_t keptChannels = 0;
    for (const std::int32_t position : channelMap) keptChannels += position >= 0 ? 1 : 0;
    le::writeU32(reinterpret_cast<unsigned char*>(rewritten.data()) + kLevlChannelsAt, keptChannels);
    rewritten.reserve(static_cast<std::size_t>(peaksAt + std::uint64_t{frames} * keptChannels * valueSize));
    for (std::uint64_t at = peaksAt; at < body.size(); at += valueSize * channels) {
        for (std::size_t channel = 0; channel < channels; ++channel) {
            if (channelMap[channel] >= 0) {
                rewritten += body.substr(static_cast<std::size_t>(at + channel * valueSize),
                                         static_cast<std::size_t>(valueSize));
            }
        }
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
