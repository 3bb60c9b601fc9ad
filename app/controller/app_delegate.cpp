#include "app_delegate.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <system_error>
#include <utility>

#include "text_trim.h"

namespace tracksieve::app {
namespace {

namespace fs = std::filesystem;

fs::path pathFromUtf8(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::string fileNameUtf8(const fs::path& path) {
    const std::u8string name = path.filename().u8string();
    return std::string(name.begin(), name.end());
}

// "%.1f dB" whatever the process locale: the toolkit may have set LC_NUMERIC from the user's.
std::string peakText(double peak) {
    if (peak <= 0) return "-inf";
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, 20 * std::log10(peak), std::chars_format::fixed, 1).ptr;
    return std::string(digits, end) + " dB";
}

std::string trackCell(const TrackInfo& track, const std::string& columnId) {
    if (columnId == "num") return std::to_string(track.index + 1);
    if (columnId == "name") return track.name;
    if (columnId == "peak") return peakText(track.peak);
    return track.empty ? "empty" : "active";
}

bool eligibleForRemoval(const PolyWavInfo& file) {
    return file.error.empty() && file.emptyCount() > 0 && file.activeCount() > 0;
}

Alert confirmation(std::size_t fileCount, bool overwrite) {
    const std::string count = std::to_string(fileCount);
    if (overwrite) {
        return {"Remove Empty Tracks",
                "Remove empty tracks from " + count +
                    " file(s) and OVERWRITE the originals?\n\nTimecode (bext), iXML, and other metadata are preserved, "
                    "but you will not keep a backup of the original file. Prefer leaving overwrite OFF so *_SLIM.wav "
                    "copies are written instead.",
                AlertStyle::Critical,
                {"Overwrite", "Cancel"}};
    }
    return {"Remove Empty Tracks",
            "Remove empty tracks from " + count +
                " file(s) and write *_SLIM.wav beside each original?\n\nbext timecode, iXML (scene/take/track names), "
                "and other metadata chunks are copied into the new files. Originals are left untouched.",
            AlertStyle::Warning,
            {"Remove Empty Tracks", "Cancel"}};
}

}  // namespace

AppDelegate::AppDelegate(Toolkit& toolkit, CoreOperations core) : _toolkit(toolkit), _core(std::move(core)) {}

void AppDelegate::applicationDidFinishLaunching() { _toolkit.showWindow(mainWindowDescription()); }

TerminateReply AppDelegate::applicationShouldTerminate() {
    if (_job != Job::Removal) return TerminateReply::Now;
    if (!_stopRemoval->exchange(true)) _toolkit.setText(Control::StatusLabel, "Finishing the current file before quitting…");
    return TerminateReply::Later;
}

void AppDelegate::setBusy(bool busy, const std::optional<std::string>& message) {
    _busy = busy;
    if (message) _toolkit.setText(Control::StatusLabel, *message);
    _toolkit.setProgressRunning(busy);
}

void AppDelegate::alert(const std::string& message) { _toolkit.runModal({"Tracksieve", message}); }

void AppDelegate::perform(Action action) {
    switch (action) {
    case Action::Browse: browse(); break;
    case Action::Scan: scan(); break;
    case Action::CompressAll: compressAll(); break;
    case Action::CompressSelected: compressSelected(); break;
    case Action::SelectAllFiles: selectAllFiles(); break;
    case Action::None: break;
    }
}

void AppDelegate::browse() {
    _toolkit.beginFolderChooser("Select folder with polyphonic WAV files", [this](std::optional<std::string> folder) {
        if (folder) openFolder(*folder);
    });
}

void AppDelegate::openFolder(const std::string& path) {
    _toolkit.setText(Control::PathField, path);
    scan();
}

void AppDelegate::scan() {
    if (_busy) return;
    const std::string path = trimWhitespace(_toolkit.text(Control::PathField));
    if (path.empty()) {
        alert("Choose a directory first.");
        return;
    }
    std::error_code ignored;
    if (!fs::is_directory(pathFromUtf8(path), ignored)) {
        alert("Not a directory:\n" + path);
        return;
    }
    const bool recursive = _toolkit.isChecked(Control::RecursiveCheck);
    setBusy(true, "Scanning " + path + "…");
    _job = Job::Scan;

    // The job touches no control and not `_results`: it only posts to the main thread.
    _toolkit.postBackground([this, &toolkit = _toolkit, scanFolder = _core.scanFolder, path, recursive] {
        const auto onProgress = [&toolkit](int done, int total, const fs::path& file) {
            std::string status =
                "Analyzing " + std::to_string(done) + "/" + std::to_string(total) + ": " + fileNameUtf8(file);
            toolkit.postMain([&toolkit, status = std::move(status)] { toolkit.setText(Control::StatusLabel, status); });
        };
        ScanOutcome found;
        std::string error;
        try {
            found = scanFolder(pathFromUtf8(path), recursive, onProgress);
        } catch (const std::exception& e) {
            error = e.what();
        }
        toolkit.postMain([this, error = std::move(error), found = std::move(found)]() mutable {
            scanFinished(error, std::move(found));
        });
    });
}

void AppDelegate::scanFinished(const std::string& error, ScanOutcome found) {
    _job = Job::None;
    setBusy(false, std::nullopt);
    if (!error.empty()) {
        alert(error);
        _toolkit.setText(Control::StatusLabel, "Scan failed: " + error);
        return;
    }
    _results = std::move(found.records);
    _toolkit.reloadTable(Table::Files);
    _toolkit.reloadTable(Table::Tracks);

    int withEmptyTracks = 0;
    for (const PolyWavInfo& file : _results) {
        if (file.error.empty() && file.emptyCount() > 0) ++withEmptyTracks;
    }
    std::string status = "Found " + std::to_string(_results.size()) + " polyphonic WAV file(s); " +
                         std::to_string(withEmptyTracks) + " have empty tracks";
    // The files of a folder that could not be read are missing from the list: say so.
    if (const std::size_t unreadable = found.unreadableFolders.size(); unreadable > 0) {
        status += "; " + std::to_string(unreadable) + (unreadable == 1 ? " folder" : " folders") + " could not be read";
    }
    _toolkit.setText(Control::StatusLabel, status + ".");
    _toolkit.setText(Control::DetailsLabel, "");
    if (!_results.empty()) {
        _toolkit.selectRow(Table::Files, 0);
        refreshTracks();
    }
}

const PolyWavInfo* AppDelegate::shownFile() const {
    const int row = _toolkit.selectedRow(Table::Files);
    if (row < 0 || static_cast<std::size_t>(row) >= _results.size()) return nullptr;
    return &_results[static_cast<std::size_t>(row)];
}

int AppDelegate::numberOfRowsInTableView(Table table) const {
    if (table == Table::Files) return static_cast<int>(_results.size());
    const PolyWavInfo* file = shownFile();
    return file ? static_cast<int>(file->tracks.size()) : 0;
}

std::optional<Cell> AppDelegate::viewForTableColumn(Table table, const std::string& columnId, int row) const {
    if (row < 0) return std::nullopt;
    const auto index = static_cast<std::size_t>(row);
    if (table == Table::Files) {
        if (index >= _results.size()) return std::nullopt;
        const PolyWavInfo& file = _results[index];
        const TextColor color = !file.error.empty()     ? TextColor::Orange
                                : file.emptyCount() > 0 ? TextColor::Red
                                                        : TextColor::Label;
        return Cell{file.summary(), color};
    }
    const PolyWavInfo* file = shownFile();
    if (!file || index >= file->tracks.size()) return std::nullopt;
    const TrackInfo& track = file->tracks[index];
    const TextColor color = track.empty            ? TextColor::Red
                            : columnId == "status" ? TextColor::Green
                                                   : TextColor::Label;
    return Cell{trackCell(track, columnId), color};
}

void AppDelegate::tableViewSelectionDidChange(Table table) {
    if (table == Table::Files) refreshTracks();
}

void AppDelegate::refreshTracks() {
    _toolkit.reloadTable(Table::Tracks);
    const PolyWavInfo* file = shownFile();
    std::string details;
    if (file && !file->error.empty()) {
        details = "Error: " + file->error;
    } else if (file) {
        details = std::to_string(file->channels) + " tracks · " + std::to_string(file->activeCount()) + " active · " +
                  std::to_string(file->emptyCount()) + " empty · " + std::to_string(file->bitsPerSample) + "-bit" +
                  (file->isFloat ? " float" : "") + " · " + std::to_string(file->sampleRate) + " Hz";
        if (file->lengthTakenFromFile) details += " · length taken from the file, not its header";
    }
    _toolkit.setText(Control::DetailsLabel, details);
}

void AppDelegate::selectAllFiles() {
    _toolkit.selectAllRows(Table::Files);
    refreshTracks();
}

std::vector<std::size_t> AppDelegate::selectedFileIndexes() const {
    std::vector<std::size_t> indexes;
    for (const int row : _toolkit.selectedRows(Table::Files)) indexes.push_back(static_cast<std::size_t>(row));
    return indexes;
}

void AppDelegate::compressSelected() {
    const std::vector<std::size_t> indexes = selectedFileIndexes();
    if (indexes.empty()) {
        alert("Select one or more files.");
        return;
    }
    runCompress(indexes);
}

void AppDelegate::compressAll() {
    std::vector<std::size_t> indexes;
    for (std::size_t i = 0; i < _results.size(); ++i) {
        if (_results[i].error.empty() && _results[i].emptyCount() > 0) indexes.push_back(i);
    }
    if (indexes.empty()) {
        alert("No files with empty tracks.");
        return;
    }
    runCompress(indexes);
}

void AppDelegate::runCompress(const std::vector<std::size_t>& indexes) {
    if (_busy) return;
    // The job keeps its own copy, so it never reads `_results`.
    std::vector<RemovalItem> items;
    for (const std::size_t index : indexes) {
        if (index < _results.size() && eligibleForRemoval(_results[index])) {
            const PolyWavInfo& file = _results[index];
            items.push_back({file.path, file.emptyCount(), file.activeCount()});
        }
    }
    if (items.empty()) {
        alert("None of the selected files have empty tracks to remove (or all tracks are empty).");
        return;
    }
    const bool overwrite = _toolkit.isChecked(Control::OverwriteCheck);
    if (_toolkit.runModal(confirmation(items.size(), overwrite)) != 0) return;

    setBusy(true, "Removing empty tracks from " + std::to_string(items.size()) + " file(s)…");
    _job = Job::Removal;
    _stopRemoval = std::make_shared<std::atomic<bool>>(false);
    _toolkit.postBackground([this, &toolkit = _toolkit, compress = _core.compressPolyWav, items = std::move(items),
                             overwrite, stop = _stopRemoval] {
        RemovalReport report;
        for (const RemovalItem& item : items) {
            // A quit lets the file being written finish, then starts no other.
            if (stop->load()) break;
            try {
                const fs::path written = compress(item.path, overwrite);
                report.written += fileNameUtf8(item.path) + " → " + fileNameUtf8(written) + " (" +
                                  std::to_string(item.removed) + " removed, " + std::to_string(item.kept) + " kept)\n";
                ++report.writtenCount;
            } catch (const std::exception& e) {
                report.failed += fileNameUtf8(item.path) + ": " + e.what() + "\n";
                ++report.failedCount;
            }
        }
        toolkit.postMain([this, report = std::move(report)] { removalFinished(report); });
    });
}

void AppDelegate::removalFinished(const RemovalReport& report) {
    _job = Job::None;
    if (_stopRemoval->load()) {
        _toolkit.terminate();
        return;
    }
    std::string suffix;
    if (report.failedCount != 0) suffix.append(" ").append(std::to_string(report.failedCount)).append(" failed.");
    setBusy(false, "Removed empty tracks from " + std::to_string(report.writtenCount) + " file(s)." + suffix);

    std::string body;
    if (!report.written.empty()) body += "Success:\n" + report.written;
    if (!report.failed.empty()) {
        if (!body.empty()) body += "\n";
        body += "Errors:\n" + report.failed;
    }
    _toolkit.runModal({"Remove Empty Tracks complete", body});
    scan();
}

}  // namespace tracksieve::app
