#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tracksieve/poly_wav_info.h"

// The lines both front ends print about a run, so that they stay word for word the same.
namespace tracksieve {

/// A file read whole that holds at least one empty track.
bool hasEmptyTracks(const PolyWavInfo& record);

/// "Found N polyphonic WAV file(s); M have empty tracks." with, when some folders could not be
/// read, "; K folder(s) could not be read" before the full stop.
std::string foundFilesText(std::size_t files, std::size_t withEmptyTracks, std::size_t unreadableFolders = 0);

/// The same, counting the records that have empty tracks.
std::string foundFilesText(const std::vector<PolyWavInfo>& records, std::size_t unreadableFolders = 0);

/// "Analyzing done/total: name", the file named as it is shown under `scannedFolder`.
std::string analyzingText(int done, int total, const std::filesystem::path& file,
                          const std::filesystem::path& scannedFolder);

/// "source → written (N removed, M kept)".
std::string writtenText(std::string_view source, std::string_view written, std::size_t removed, std::size_t kept);

/// "Removed empty tracks from N file(s)."
std::string removedFromFilesText(std::size_t files);

/// "Kept in every take of A.wav, B.wav: Boom, Lav 2 (silent in some of them)": tracks a group of
/// takes keeps because another take of the group needs them.
std::string keptInEveryTakeText(const std::vector<std::string>& files, const std::vector<std::string>& tracks);

}  // namespace tracksieve
