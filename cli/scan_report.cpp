#include "scan_report.h"

#include <nlohmann/json.hpp>

#include "json_bytes.h"
#include "tracksieve/path_text.h"
#include "tracksieve/run_texts.h"
#include "visible_text.h"

namespace tracksieve::cli {
namespace {

// Keeps the members in the records' own field order.
using Json = nlohmann::ordered_json;

Json trackJson(const TrackInfo& track) {
    return {{"index", track.index},
            {"name", markInvalidBytes(track.name)},
            {"peak", track.peak},
            {"rms", track.rms},
            {"empty", track.empty}};
}

Json recordJson(const PolyWavInfo& record) {
    Json tracks = Json::array();
    for (const TrackInfo& track : record.tracks) tracks.push_back(trackJson(track));
    return {{"path", markInvalidBytes(pathToUtf8(record.path))},
            {"channels", record.channels},
            {"sampleRate", record.sampleRate},
            {"bitsPerSample", record.bitsPerSample},
            {"isFloat", record.isFloat},
            {"durationSeconds", record.durationSeconds},
            {"lengthTakenFromFile", record.lengthTakenFromFile},
            {"timecode", markInvalidBytes(record.timecode)},
            {"error", markInvalidBytes(record.error)},
            {"tracks", std::move(tracks)}};
}

}  // namespace

void writeScanText(const std::vector<PolyWavInfo>& records, const std::filesystem::path& scannedFolder,
                   std::ostream& out, bool outIsTerminal) {
    for (const PolyWavInfo& record : records) out << textFor(outIsTerminal, record.summary(scannedFolder)) << '\n';
    out << foundFilesText(records) << '\n';
}

void writeScanJson(const std::vector<PolyWavInfo>& records, std::ostream& out) {
    Json files = Json::array();
    for (const PolyWavInfo& record : records) files.push_back(recordJson(record));
    const Json document = {{"files", std::move(files)}};
    // Every string is well-formed UTF-8 once marked, so the writer never has to replace a byte.
    out << unmarkByteEscapes(document.dump(2, ' ', false)) << '\n';
}

}  // namespace tracksieve::cli
