#include "app_delegate.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <system_error>
#include <utility>

#include <tracksieve/fixed_values.h>
#include <tracksieve/path_text.h>
#include <tracksieve/run_texts.h>

#include "remembered_settings.h"
#include "removal_confirmation.h"
#include "text_trim.h"

namespace tracksieve::app {
namespace {

namespace fs = std::filesystem;

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

// The level bar's scale: −120 dBFS (and silence) at 0, full scale at 1.
double levelOnBar(double peak) {
    if (peak <= 0) return 0;
    return std::clamp((20 * std::log10(peak) + 120) / 120, 0.0, 1.0);
}

bool eligibleForRemoval(const PolyWavInfo& file) {
    return file.error.empty() && file.emptyCount() > 0 && file.activeCount() > 0;
}

}  // namespace

AppDelegate::AppDelegate(Toolkit& toolkit, CoreOperations core) : _toolkit(toolkit), _core(std::move(core)) {}

void AppDelegate::applicationDidFinishLaunching() {
    _toolkit.showWindow(mainWindowDescription());
    restoreRememberedSettings(_toolkit);
}

TerminateReply AppDelegate::applicationShouldTerminate() {
    if (_job != Job::Removal) return TerminateReply::Now;
    if (!_quitting) _toolkit.setText(Control::StatusLabel, "Finishing the current file before quitting…");
    _quitting = true;
    _stopRemoval->store(true);
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
    case Action::StopRemoval: stopRemoval(); break;
    case Action::None: break;
    }
}

void AppDelegate::browse() {
    // Where the user is working: the folder in the field, else the one last scanned.
    std::string start = trimWhitespace(_toolkit.text(Control::PathField));
    std::error_code ignored;
    if (start.empty() || !fs::is_directory(pathFromUtf8(start), ignored)) {
        start = !_scannedFolder.empty() ? pathToUtf8(_scannedFolder) : rememberedFolder(_toolkit).value_or("");
    }
    _toolkit.beginFolderChooser("Select folder with polyphonic WAV files", start,
                                [this](std::optional<std::string> folder) {
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
    rememberScan(_toolkit, path, recursive);
    setBusy(true, "Scanning " + path + "…");
    _job = Job::Scan;

    // The job touches no control and not `_results`: it only posts to the main thread.
    _toolkit.postBackground([this, &toolkit = _toolkit, scanFolder = _core.scanFolder, path, recursive] {
        const fs::path folder = pathFromUtf8(path);
        const auto onProgress = [&toolkit, &folder](int done, int total, const fs::path& file) {
            std::string status = analyzingText(done, total, file, folder);
            toolkit.postMain([&toolkit, status = std::move(status)] { toolkit.setText(Control::StatusLabel, status); });
        };
        ScanOutcome found;
        std::string error;
        try {
            found = scanFolder(folder, recursive, onProgress);
        } catch (const std::exception& e) {
            error = e.what();
        }
        toolkit.postMain([this, error = std::move(error), found = std::move(found), folder]() mutable {
            scanFinished(error, std::move(found), folder);
        });
    });
}

void AppDelegate::scanFinished(const std::string& error, ScanOutcome found, const fs::path& folder) {
    _job = Job::None;
    setBusy(false, std::nullopt);
    if (!error.empty()) {
        alert(error);
        _toolkit.setText(Control::StatusLabel, "Scan failed: " + error);
        return;
    }
    _results = std::move(found.records);
    _scannedFolder = folder;
    _toolkit.reloadTable(Table::Files);
    _toolkit.reloadTable(Table::Tracks);

    // The files of a folder that could not be read are missing from the list: say so.
    _toolkit.setText(Control::StatusLabel, foundFilesText(_results, found.unreadableFolders.size()));
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
        Cell cell{file.summary(_scannedFolder), color};
        const std::string name = shownName(file.path, _scannedFolder);
        if (const std::size_t at = cell.text.find(name); at != std::string::npos) {
            cell.shortenFrom = at;
            cell.shortenLength = name.size();
        }
        return cell;
    }
    const PolyWavInfo* file = shownFile();
    if (!file || index >= file->tracks.size()) return std::nullopt;
    const TrackInfo& track = file->tracks[index];
    const TextColor color = track.empty            ? TextColor::Red
                            : columnId == "status" ? TextColor::Green
                                                   : TextColor::Label;
    Cell cell{trackCell(track, columnId), color};
    if (columnId == "peak") {
        cell.bar = LevelBar{levelOnBar(track.peak), levelOnBar(kThreshold), track.empty ? TextColor::Red : TextColor::Green};
    }
    return cell;
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
        if (hasEmptyTracks(_results[i])) indexes.push_back(i);
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
    SkippedFiles skipped;
    for (const std::size_t index : indexes) {
        if (index >= _results.size()) continue;
        const PolyWavInfo& file = _results[index];
        if (eligibleForRemoval(file)) {
            items.push_back({file.path, shownName(file.path, _scannedFolder), {}});
        } else if (!file.error.empty()) {
            ++skipped.unreadable;
        } else if (file.emptyCount() == 0) {
            ++skipped.withoutEmptyTracks;
        } else {
            ++skipped.allTracksEmpty;
        }
    }
    if (items.empty()) {
        alert("None of the selected files have empty tracks to remove (or all tracks are empty).");
        return;
    }
    const bool overwrite = _toolkit.isChecked(Control::OverwriteCheck);
    std::vector<std::string> names;
    for (const RemovalItem& item : items) names.push_back(item.shownName);
    if (_toolkit.runModal(removalConfirmation(names, skipped, overwrite)) != 0) return;
    for (RemovalItem& item : items) item.options.overwrite = overwrite;

    setBusy(true, "Removing empty tracks from " + std::to_string(items.size()) + " file(s)…");
    _toolkit.setHidden(Control::StopButton, false);
    _job = Job::Removal;
    _stopRemoval = std::make_shared<std::atomic<bool>>(false);
    _toolkit.postBackground([this, &toolkit = _toolkit, slim = _core.slimPolyWav, items = std::move(items),
                             stop = _stopRemoval, folder = _scannedFolder] {
        RemovalReport report;
        const int total = static_cast<int>(items.size());
        int started = 0;
        for (const RemovalItem& item : items) {
            // A stop or a quit lets the file being written finish, then starts no other.
            if (stop->load()) break;
            ++started;
            std::string status = "Writing " + std::to_string(started) + "/" + std::to_string(total) + ": " + item.shownName;
            toolkit.postMain([&toolkit, stop, status = std::move(status), done = started - 1, total] {
                if (stop->load()) return;  // the stop's own message stays
                toolkit.setText(Control::StatusLabel, status);
                toolkit.setProgress(done, total);
            });
            try {
                const SlimOutcome outcome = slim(item.path, item.options);
                report.addWritten(item.shownName, shownName(outcome.path, folder),
                                  static_cast<int>(outcome.removedChannels.size()),
                                  static_cast<int>(outcome.keptChannels.size()));
            } catch (const std::exception& e) {
                report.addFailed(item.shownName, e.what());
            }
        }
        report.setNotStarted(total - started);
        toolkit.postMain([this, report = std::move(report)] { removalFinished(report); });
    });
}

void AppDelegate::stopRemoval() {
    if (_job != Job::Removal || _stopRemoval->exchange(true)) return;
    _toolkit.setText(Control::StatusLabel, "Stopping after the current file…");
}

void AppDelegate::removalFinished(const RemovalReport& report) {
    _job = Job::None;
    _toolkit.setHidden(Control::StopButton, true);
    if (_quitting) {
        _toolkit.terminate();
        return;
    }
    setBusy(false, report.status());
    _toolkit.runModal({.messageText = "Remove Empty Tracks complete",
                       .informativeText = report.body(),
                       .style = report.failedCount() != 0 ? AlertStyle::Critical : AlertStyle::Warning,
                       .scrolls = true});
    scan();
}

}  // namespace tracksieve::app
