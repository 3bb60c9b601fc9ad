#include "scan_command.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <system_error>
#include <utility>
#include <vector>

#include "exit_codes.h"
#include "scan_report.h"
#include "visible_text.h"
#include "tracksieve/fixed_values.h"
#include "tracksieve/analysis.h"
#include "tracksieve/path_text.h"
#include "tracksieve/run_texts.h"
#include "tracksieve/scan.h"
#include "tracksieve/sound_report.h"

namespace tracksieve::cli {
namespace {

constexpr const char* kClearLine = "\r\x1b[K";

// The report as a terminal should show it: every text from a name or a file's metadata escaped
// as scan's own lines escape names. The folder separators stay as they are.
std::vector<PolyWavInfo> shownOnATerminal(std::vector<PolyWavInfo> records) {
    for (PolyWavInfo& record : records) {
        std::filesystem::path path = record.path.root_path();
        for (const std::filesystem::path& part : record.path.relative_path()) {
            path /= pathFromUtf8(visibleText(pathToUtf8(part)));
        }
        record.path = std::move(path);
        record.scene = visibleText(record.scene);
        record.take = visibleText(record.take);
        record.timecode = visibleText(record.timecode);
        record.error = visibleText(record.error);
        for (TrackInfo& track : record.tracks) track.name = visibleText(track.name);
    }
    return records;
}

}  // namespace

int runScan(const ScanRequest& request, std::ostream& out, std::ostream& err) {
    std::error_code statusError;
    if (!std::filesystem::is_directory(request.dir, statusError)) {
        err << textFor(request.errIsTerminal, "Not a directory: " + pathToUtf8(request.dir)) << '\n';
        return kExitUsage;
    }

    ScanProgress progress;
    if (request.errIsTerminal) {
        progress = [&err, &request](int done, int total, const std::filesystem::path& file) {
            err << kClearLine << visibleText(analyzingText(done, total, file, request.dir)) << std::flush;
        };
    }

    // The report gives each track's peak over the whole take; the analysis stops early only
    // once every channel has reached the level it is given, which no sample exceeds.
    const double analysisLevel = request.csv ? std::numeric_limits<double>::infinity() : request.threshold;
    ScanOutcome scan;
    try {
        scan = scanFolder(request.dir, request.recursive, analysisLevel, kMinChannels, progress);
    } catch (const std::exception& e) {
        if (request.errIsTerminal) err << kClearLine;
        err << textFor(request.errIsTerminal, std::string("Scan failed: ") + e.what()) << '\n';
        return kExitFailure;
    }
    if (request.errIsTerminal) err << kClearLine << std::flush;
    for (const std::filesystem::path& folder : scan.unreadableFolders) {
        err << textFor(request.errIsTerminal, "Could not read folder: " + pathToUtf8(folder)) << '\n';
    }

    if (request.json) {
        writeScanJson(scan.records, out);
    } else if (request.csv) {
        for (PolyWavInfo& record : scan.records) judgeTracks(record, request.threshold);
        writeSoundReportCsv(request.outIsTerminal ? shownOnATerminal(scan.records) : scan.records, out);
    } else {
        writeScanText(scan.records, request.dir, out, request.outIsTerminal);
    }
    const bool anyUnreadable =
        !scan.unreadableFolders.empty() || std::any_of(scan.records.begin(), scan.records.end(),
                                                       [](const PolyWavInfo& record) { return record.unreadable(); });
    return anyUnreadable ? kExitUnreadable : kExitSuccess;
}

}  // namespace tracksieve::cli
