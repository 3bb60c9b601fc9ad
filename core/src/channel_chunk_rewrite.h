#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Chunks that hold one record per channel, rewritten for the kept channels. `channelMap` has
// one entry per source channel: its zero-based output position, or -1 when it is removed.
// Nothing comes back for a body whose size does not fit its own layout: a record that can no
// longer be matched to a channel must not describe the wrong one.
namespace tracksieve {

/// `PEAK`: version and time stamp, then a value and a position per channel; the kept
/// channels' pairs, in output order.
std::optional<std::string> rewritePeakBody(std::string_view body, const std::vector<std::int32_t>& channelMap);

/// ADM `chna`: track and UID counts, then 40-byte entries naming a 1-based track each. The
/// entries of removed tracks go, the others are renumbered, unused entries (track 0) stay,
/// and both counts are recomputed.
std::optional<std::string> rewriteChnaBody(std::string_view body, const std::vector<std::int32_t>& channelMap);

/// `levl` (EBU peak envelope): a header naming the channel count, then per envelope frame one
/// value of one or two points per channel, interleaved; the kept channels' values, in output
/// order, under a header naming their count.
std::optional<std::string> rewriteLevlBody(std::string_view body, const std::vector<std::int32_t>& channelMap);

}  // namespace tracksieve
