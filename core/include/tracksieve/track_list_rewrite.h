#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tracksieve/meta_chunk.h"

namespace tracksieve {

/// The iXML TRACK_LIST element naming `names` as tracks 1..N. Track k's CHANNEL_INDEX is
/// `channelIndices[k]` where given, else k (the same as its INTERLEAVE_INDEX).
std::string buildTrackListInner(const std::vector<std::string>& names,
                                const std::vector<std::int32_t>& channelIndices = {});

/// A complete iXML document holding only the TRACK_LIST of `names`.
std::string buildTrackListIxml(const std::vector<std::string>& names);

/// Rewrites the channel-describing chunks of `chunks` for the kept channels: XML chunks get
/// the new track list (and the id "iXML"), per-channel chunks ond1-ond9 are renumbered or
/// dropped, `PEAK` and `chna` keep only the kept channels' records (a damaged one is dropped). `channelMap[source channel]` is the output position, or -1 when removed.
/// `keptChannelIndices` are the track list's CHANNEL_INDEX values, as buildTrackListInner takes them.
void rewriteMetaChunks(std::vector<MetaChunk>& chunks, const std::vector<std::string>& keptNames,
                       const std::vector<std::int32_t>& channelMap,
                       const std::vector<std::int32_t>& keptChannelIndices = {});

}  // namespace tracksieve
