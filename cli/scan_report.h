#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tracksieve/poly_wav_info.h"

namespace tracksieve::cli {

/// One line per record, exactly its summary under `scannedFolder` (escaped for a terminal),
/// then the desktop program's closing status.
void writeScanText(const std::vector<PolyWavInfo>& records, const std::filesystem::path& scannedFolder,
                   std::ostream& out, bool outIsTerminal);

/// One JSON object {"files": [...]} whose members carry the records' field names. Bytes that
/// are not valid UTF-8 in names and paths come out as U+FFFD.
void writeScanJson(const std::vector<PolyWavInfo>& records, std::ostream& out);

}  // namespace tracksieve::cli
