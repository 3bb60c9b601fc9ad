#include "tracksieve/track_list_rewrite.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "channel_chunk_rewrite.h"
#include "element_search.h"
#include "riff_reading.h"

namespace tracksieve {
namespace {

// The source channel (zero-based) of a per-channel chunk "ond1".."ond9", or -1.
int perChannelChunkChannel(std::string_view id) {
    if (id.size() != 4 || id.substr(0, 3) != "ond" || id[3] < '1' || id[3] > '9') return -1;
    return id[3] - '1';
}

// Writes `text` into `out` with every non-overlapping match of `find`, left to right, replaced
// by `replacement` taken literally. Returns false, leaving `out` alone, when nothing matched.
template <typename Find>
bool replaceAll(std::string_view text, std::string_view replacement, Find find, std::string& out) {
    std::optional<std::string_view> match = find(text);
    if (!match) return false;
    std::size_t copiedUpTo = 0;
    do {
        const auto begin = static_cast<std::size_t>(match->data() - text.data());
        out.append(text, copiedUpTo, begin - copiedUpTo);
        out += replacement;
        copiedUpTo = begin + match->size();
        match = find(text.substr(copiedUpTo));
    } while (match);
    out.append(text, copiedUpTo);
    return true;
}

std::optional<std::string_view> findClosingBwfxml(std::string_view text) {
    constexpr std::string_view tag = "BWFXML";
    const std::size_t at = findClosingTag(text, tag, 0);
    if (at == std::string_view::npos) return std::nullopt;
    return text.substr(at, tag.size() + 3);
}

std::string rewriteXmlBody(std::string_view body, const std::vector<std::string>& keptNames,
                           const std::vector<std::int32_t>& keptChannelIndices) {
    const std::string_view text = body.substr(0, body.find_last_not_of('\0') + 1);
    const std::string trackList = buildTrackListInner(keptNames, keptChannelIndices);
    if (text.empty()) return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>\n" + trackList + "\n</BWFXML>\n";

    std::string rewritten;
    rewritten.reserve(std::max(body.size(), text.size() + trackList.size() + 12));
    auto findTrackList = [](std::string_view rest) { return findElement(rest, "TRACK_LIST"); };
    if (!replaceAll(text, trackList, findTrackList, rewritten)) {
        // The copy's names are read from its first TRACK_LIST opening tag on (see
        // trackListScope): the new list must come before any list the source left unclosed.
        const std::size_t unclosedList = findOpeningTag(text, "TRACK_LIST");
        if (unclosedList != std::string_view::npos) {
            rewritten.append(text, 0, unclosedList).append(trackList).append("\n").append(text, unclosedList);
        } else if (!replaceAll(text, trackList + "\n</BWFXML>", findClosingBwfxml, rewritten)) {
            rewritten.append(text).append("\n").append(trackList).append("\n");
        }
    }
    // Space a recorder reserved stays reserved, so the chunk never shrinks.
    if (rewritten.size() < body.size()) rewritten.resize(body.size(), '\0');
    return rewritten;
}

}  // namespace

std::string buildTrackListInner(const std::vector<std::string>& names,
                                const std::vector<std::int32_t>& channelIndices) {
    std::string list = "<TRACK_LIST>\n  <TRACK_COUNT>" + std::to_string(names.size()) + "</TRACK_COUNT>\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string number = std::to_string(i + 1);
        const std::string channel = i < channelIndices.size() ? std::to_string(channelIndices[i]) : number;
        list += "  <TRACK>\n   <CHANNEL_INDEX>" + channel + "</CHANNEL_INDEX>\n   <INTERLEAVE_INDEX>" + number +
                "</INTERLEAVE_INDEX>\n   <NAME>" + names[i] + "</NAME>\n   <FUNCTION>SINGLE</FUNCTION>\n  </TRACK>\n";
    }
    list += "</TRACK_LIST>";
    return list;
}

std::string buildTrackListIxml(const std::vector<std::string>& names) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>\n" + buildTrackListInner(names) + "\n</BWFXML>\n";
}

void rewriteMetaChunks(std::vector<MetaChunk>& chunks, const std::vector<std::string>& keptNames,
                       const std::vector<std::int32_t>& channelMap,
                       const std::vector<std::int32_t>& keptChannelIndices) {
    std::vector<MetaChunk> rewritten;
    rewritten.reserve(chunks.size());
    for (MetaChunk& chunk : chunks) {
        if (isAdmDocumentChunk(chunk.id, chunk.body)) {
            rewritten.push_back(std::move(chunk));
            continue;
        }
        if (isXmlChunkId(chunk.id)) {
            rewritten.push_back({"iXML", rewriteXmlBody(chunk.body, keptNames, keptChannelIndices)});
            continue;
        }
        if (chunk.id == "PEAK" || chunk.id == "chna" || chunk.id == "levl") {
            std::optional<std::string> body = chunk.id == "PEAK"   ? rewritePeakBody(chunk.body, channelMap)
                                              : chunk.id == "chna" ? rewriteChnaBody(chunk.body, channelMap)
                                                                   : rewriteLevlBody(chunk.body, channelMap);
            if (body) rewritten.push_back({std::move(chunk.id), std::move(*body)});
            continue;
        }
        const int channel = perChannelChunkChannel(chunk.id);
        if (channel < 0) {
            rewritten.push_back(std::move(chunk));
            continue;
        }
        if (static_cast<std::size_t>(channel) >= channelMap.size() || channelMap[channel] < 0) continue;
        chunk.id[3] = static_cast<char>('1' + channelMap[channel]);
        rewritten.push_back(std::move(chunk));
    }
    chunks = std::move(rewritten);
}

}  // namespace tracksieve
