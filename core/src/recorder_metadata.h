#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tracksieve/poly_wav_info.h"
#include "wav_reader.h"

// Reads the start timecode and the track names that field recorders leave in iXML. The text is
// searched, not parsed, so a damaged document only means fewer values found; nothing here fails.
namespace tracksieve {

/// Takes the timecode rate and the time stamp from `wav.ixmlText` when it has them; a time
/// stamp found there replaces the one from `bext`. A number too large for its type ends the
/// reading, keeping what was taken before it.
void readIxmlTimecode(WavFile& wav);

/// "HH:MM:SS:FF" for a time reference in samples since midnight, with hours wrapping at 100
/// and no drop-frame counting; empty when the sample rate or the timecode rate is unusable.
std::string formatTimecode(std::uint64_t timeReference, std::int32_t sampleRate, double timecodeRate);

/// The part of an iXML text whose tracks name the channels: the first TRACK_LIST element or,
/// without one, the text before the first closing TRACK_LIST tag (all of it when there is
/// none), so that no name read can hold that tag. The track-list rewrite relies on this.
std::string_view trackListScope(std::string_view ixmlText);

/// Replaces entries of `names` (one per channel) with the names of the iXML track list. Each
/// track goes to the slot its CHANNEL_INDEX (else INTERLEAVE_INDEX) gives, or to its position
/// when it has none or it is out of range; names keep their XML references undecoded.
void readIxmlTrackNames(std::string_view ixmlText, std::vector<std::string>& names);

/// The track number of each of `channels` channels: the CHANNEL_INDEX of the iXML track on it
/// (placed by its INTERLEAVE_INDEX, else by its position in the list) where that is at least 1,
/// else its 1-based position.
std::vector<int> readIxmlTrackNumbers(std::string_view ixmlText, std::size_t channels);

/// The value of the line "KEY=value" in a bext Description, as Sound Devices recorders write
/// "sSCENE=12A" (lines end in CR LF or LF), without surrounding blanks; empty when absent.
std::string bextDescriptionValue(std::string_view description, std::string_view key);

/// Sets the record's scene and take from the iXML SCENE and TAKE elements, each falling back
/// to the bext Description's "sSCENE=" and "sTAKE=" lines.
void readSceneAndTake(const WavFile& wav, PolyWavInfo& info);

}  // namespace tracksieve
