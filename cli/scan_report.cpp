#include "scan_report.h"

#include <algorithm>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "json_bytes.h"
#include "tracksieve/path_text.h"
#include "visible_text.h"

namespace tracksieve::cli {
namespace {

// Keeps the members in the records' own field order.
using Json = nlohmann::ordered_json;

Json trackJson(const TrackInfo& track) {
    return {{"index", track.index}, {"name", markInvalidBytes(track.name)}, {"peak", track.peak}, {"rms", track.rms},
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

std::string foundStatus(const std::vector<PolyWavInfo>& records) {
    const auto withEmptyTracks = std::count_if(records.begin(), records.end(), [](const PolyWavInfo& record) {
        return record.error.empty() && record.emptyCount() > 0;
    });
    char text[128];
    std::snprintf(text, sizeof text, "Found %zu polyphonic WAV file(s); %d have empty tracks.", records.size(),
                  static_cast<int>(withEmptyTracks));
    return text;
}

}  // namespace

std::string progressText(int done, int total, const std::filesystem::path& file,
                         const std::filesystem::path& scannedFolder) {
    return "Analyzing " + std::to_string(done) + "/" + std::to_string(total) + ": " + shownName(file, scannedFolder);
}

void writeScanText(const std::vector<PolyWavInfo>& records, const std::filesystem::path& scannedFolder,
                   std::ostream& out, bool outIsTerminal) {
    for (const PolyWavInfo& record : records) out << textFor(outIsTerminal, record.summary(scannedFolder)) << '\n';
    out << foundStatus(records) << '\n';
}

void writeScanJson(const std::vector<PolyWavInfo>& records, std::ostream& out) {
    Json files = Json::array();
    for (const PolyWavInfo& record : records) files.push_back(recordJson(record));
    const Json document = {{"files", std::move(files)}};
    // Every string is well-formed UTF-8 once marked, so the writer never has to replace a byte.
    out << unmarkByteEscapes(document.dump(2, ' ', false)) << '\n';
}

}  // namespace tracksieve::cli
