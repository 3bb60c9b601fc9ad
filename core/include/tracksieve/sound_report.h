#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tracksieve/poly_wav_info.h"

namespace tracksieve {

/// One field of a CSV file as RFC 4180 has it: quoted, with its quotes doubled, when it holds a
/// comma, a quote or a line break; as it is otherwise.
std::string csvField(std::string_view text);

/// The sound report: a header row, then one row per track of every record (folder, file,
/// scene, take, start timecode, sample rate, bit depth, length in seconds, track number, track
/// name, peak in dBFS, "empty" or "active"). A failed record gets one row with its folder, its
/// file and "error: <message>" in the last field. RFC 4180: rows end in CR LF; the text is
/// UTF-8, bytes of names that are not valid UTF-8 becoming U+FFFD.
void writeSoundReportCsv(const std::vector<PolyWavInfo>& records, std::ostream& out);

/// Saves the sound report as the file `path`, written the way every output is (a hidden
/// temporary name, flushed, renamed into place), so that a failure leaves no partial report and
/// an earlier file of that name as it was. Throws std::runtime_error with the reason.
void saveSoundReportCsv(const std::vector<PolyWavInfo>& records, const std::filesystem::path& path);

}  // namespace tracksieve
