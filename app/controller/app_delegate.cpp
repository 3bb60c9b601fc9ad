#include "app_delegate.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <system_error>
#include <utility>

#include <tracksieve/analysis.h>
#include <tracksieve/decibels.h>
#include <tracksieve/fixed_values.h>
#include <tracksieve/path_text.h>
#include <tracksieve/run_texts.h>
#include <tracksieve/sound_report.h>

#include "remembered_settings.h"
#include "removal_confirmation.h"
#include "text_trim.h"
#include "track_columns.h"
#include "write_plan.h"

namespace tracksieve::app {
namespace {

namespace fs = std::filesystem;

// "%.1f dB" whatever the process locale: the toolkit may have set LC_NUMERIC from the user's.
std::string peakText(double peak) {
    if (peak <= 0) return "-inf";
    char digits[32];
    const auto end =
        std::to_chars(digits, digits + sizeof digits, 20 * std::log10(peak), std::chars_format::fixed, 1).ptr;
    return std::string(digits, end) + " dB";
}

std::string trackCell(const TrackInfo& track, TrackColumn column) {
    switch (column) {
    case TrackColumn::Number: return std::to_string(track.index + 1);
    case TrackColumn::Name: return track.name;
    case TrackColumn::Peak: return peakText(track.peak);
    case TrackColumn::Status: return track.empty ? "empty" : "active";
    case TrackColumn::Keep: break;
    }
    return {};
}

// The level bar's scale: −120 dBFS (and silence) at 0, full scale at 1.
double levelOnBar(double peak) {
    if (peak <= 0) return 0;
    return std::clamp((20 * std::log10(peak) + 120) / 120, 0.0, 1.0);
}

int countOf(const std::vector<bool>& kept, bool which) {
    return static_cast<int>(std::count(kept.begin(), kept.end(), which));
}

std::string exportedFromFilesText(std::size_t files) {
    return "Exported mono files from " + std::to_string(files) + " file(s).";
}

// The written files' names, beside the source's.
std::string writtenNames(const std::vector<fs::path>& written, const fs::path& folder) {
    std::string names;
    for (const fs::path& file : written) names += (names.empty() ? "" : ", ") + shownName(file, folder);
    return names;
}

}  // namespace

AppDelegate::AppDelegate(Toolkit& toolkit, CoreOperations core) : _toolkit(toolkit), _core(std::move(core)) {}

void AppDelegate::applicationDidFinishLaunching() {
    _toolkit.showWindow(mainWindowDescription());
    restoreRememberedSettings(_toolkit);
    _threshold = amplitudeFromDecibels(_toolkit.number(Control::ThresholdField));
}

TerminateReply AppDelegate::applicationShouldTerminate() {
    if (_job != Job::Removal && _job != Job::MonoExport) return TerminateReply::Now;
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
    case Action::ThresholdChanged: thresholdChanged(); break;
    case Action::ExportMonoFiles: exportMonoFiles(); break;
    case Action::ExportReport: exportReport(); break;
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
    _choices.assign(_results.size(), {});
    _unreadableFolders = found.unreadableFolders.size();
    judgeTracks();
    _scannedFolder = folder;
    _toolkit.reloadTable(Table::Files);
    _toolkit.reloadTable(Table::Tracks);
    _toolkit.setText(Control::StatusLabel, foundStatus());
    _toolkit.setText(Control::DetailsLabel, "");
    if (!_results.empty()) {
        _toolkit.selectRow(Table::Files, 0);
        refreshTracks();
    }
}

// The files of a folder that could not be read are missing from the list: the line says so.
std::string AppDelegate::foundStatus() const { return foundFilesText(_results, _unreadableFolders); }

void AppDelegate::judgeTracks() {
    for (PolyWavInfo& file : _results) tracksieve::judgeTracks(file, _threshold);
}

void AppDelegate::thresholdChanged() {
    const int decibels = std::clamp(_toolkit.number(Control::ThresholdField), kLowestThreshold, kHighestThreshold);
    rememberThreshold(_toolkit, decibels);
    _threshold = amplitudeFromDecibels(decibels);
    judgeTracks();
    showCounts();
}

// After verdicts or choices changed: the same rows, new texts.
void AppDelegate::showCounts() {
    _toolkit.refreshCells(Table::Files);
    _toolkit.refreshCells(Table::Tracks);
    refreshDetails();
    // A running job's status stays; so does the first line, before any scan.
    if (!_busy && !_scannedFolder.empty()) _toolkit.setText(Control::StatusLabel, foundStatus());
}

std::vector<bool> AppDelegate::keptTracks(std::size_t index) const {
    return app::keptTracks(_results.at(index), _choices.at(index));
}

bool AppDelegate::chosenByHand(std::size_t index) const {
    const std::vector<TrackChoice>& choices = _choices.at(index);
    return std::any_of(choices.begin(), choices.end(),
                       [](TrackChoice choice) { return choice != TrackChoice::FollowThreshold; });
}

void AppDelegate::setObjectValueForTableColumn(Table table, const std::string& columnId, int row, bool checked) {
    const int fileRow = _toolkit.selectedRow(Table::Files);
    if (table != Table::Tracks || trackColumnWithId(columnId) != TrackColumn::Keep || row < 0 || fileRow < 0) return;
    const auto index = static_cast<std::size_t>(fileRow);
    if (index >= _results.size() || static_cast<std::size_t>(row) >= _results[index].tracks.size()) return;
    const PolyWavInfo& file = _results[index];
    std::vector<TrackChoice>& choices = _choices[index];
    choices.resize(file.tracks.size(), TrackChoice::FollowThreshold);
    // A choice that says what the threshold says is no choice, so the file may go back to none.
    const bool verdict = !file.tracks[static_cast<std::size_t>(row)].empty;
    choices[static_cast<std::size_t>(row)] = checked == verdict ? TrackChoice::FollowThreshold
                                             : checked          ? TrackChoice::Keep
                                                                : TrackChoice::Remove;
    if (!chosenByHand(index)) choices.clear();
    showCounts();
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
        Cell cell{file.summary(_scannedFolder) + (chosenByHand(index) ? "  (tracks chosen by hand)" : ""), color};
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
    const std::optional<TrackColumn> column = trackColumnWithId(columnId);
    if (!column) return std::nullopt;
    if (column == TrackColumn::Keep) {
        const auto fileIndex = static_cast<std::size_t>(file - _results.data());
        Cell keep;
        keep.checked = keptTracks(fileIndex)[index];
        return keep;
    }
    const TextColor color = track.empty                     ? TextColor::Red
                            : column == TrackColumn::Status ? TextColor::Green
                                                            : TextColor::Label;
    Cell cell{trackCell(track, *column), color};
    if (column == TrackColumn::Peak) {
        cell.bar =
            LevelBar{levelOnBar(track.peak), levelOnBar(_threshold), track.empty ? TextColor::Red : TextColor::Green};
    }
    return cell;
}

void AppDelegate::tableViewSelectionDidChange(Table table) {
    if (table == Table::Files) refreshTracks();
}

void AppDelegate::refreshTracks() {
    _toolkit.reloadTable(Table::Tracks);
    refreshDetails();
}

void AppDelegate::refreshDetails() {
    const PolyWavInfo* file = shownFile();
    std::string details;
    if (file && !file->error.empty()) {
        details = "Error: " + file->error;
    } else if (file) {
        details = std::to_string(file->channels) + " tracks · " + std::to_string(file->activeCount()) + " active · " +
                  std::to_string(file->emptyCount()) + " empty · " + std::to_string(file->bitsPerSample) + "-bit" +
                  (file->isFloat ? " float" : "") + " · " + std::to_string(file->sampleRate) + " Hz";
        if (file->lengthTakenFromFile) details += " · length taken from the file, not its header";
        if (const auto index = static_cast<std::size_t>(file - _results.data()); chosenByHand(index)) {
            const std::vector<bool> kept = keptTracks(index);
            details += " · tracks chosen by hand: " + std::to_string(countOf(kept, true)) + " kept, " +
                       std::to_string(countOf(kept, false)) + " removed";
        }
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
        // Hand choices decide, where there are any.
        if (_results[i].error.empty() && countOf(keptTracks(i), false) > 0) indexes.push_back(i);
    }
    if (indexes.empty()) {
        alert("No files with empty tracks.");
        return;
    }
    std::vector<std::size_t> everyFile(_results.size());
    for (std::size_t i = 0; i < everyFile.size(); ++i) everyFile[i] = i;
    runWriteJob(Job::Removal, indexes, everyFile);
}

void AppDelegate::runCompress(const std::vector<std::size_t>& indexes) { runWriteJob(Job::Removal, indexes, indexes); }

void AppDelegate::exportMonoFiles() {
    const std::vector<std::size_t> indexes = selectedFileIndexes();
    if (indexes.empty()) {
        alert("Select one or more files.");
        return;
    }
    runWriteJob(Job::MonoExport, indexes, indexes);
}

void AppDelegate::runWriteJob(Job job, const std::vector<std::size_t>& given,
                              const std::vector<std::size_t>& groupAmong) {
    if (_busy) return;
    const bool removal = job == Job::Removal;
    const auto listed = [this](const std::vector<std::size_t>& chosen) {
        std::vector<std::size_t> inList;
        for (const std::size_t index : chosen) {
            if (index < _results.size()) inList.push_back(index);
        }
        return inList;
    };
    const bool sameTracks = _toolkit.isChecked(Control::SameTracksCheck);
    // Takes are grouped among the files the user named (all of them for "From All"), and only
    // when the user asks.
    WritePlan plan = planWrites(_results, _choices, listed(given),
                                sameTracks ? std::optional(listed(groupAmong)) : std::nullopt, removal, _scannedFolder);
    if (plan.items.empty()) {
        alert(removal ? "None of the selected files have empty tracks to remove (or all tracks are empty)."
                      : "None of the selected files have a track to export.");
        return;
    }
    const bool overwrite = removal && _toolkit.isChecked(Control::OverwriteCheck);
    std::vector<std::string> names;
    for (const WriteItem& item : plan.items) names.push_back(item.shownName);
    const ConfirmationLists lists{names, plan.soundDiscarded, plan.keptForTheirTakes, plan.skipped};
    const Alert question = removal ? removalConfirmation(lists, overwrite) : monoExportConfirmation(lists);
    if (_toolkit.runModal(question) != 0) return;
    rememberSameTracks(_toolkit, sameTracks);

    setBusy(true, (removal ? "Removing empty tracks from " : "Exporting mono files from ") +
                      std::to_string(plan.items.size()) + " file(s)…");
    _toolkit.setHidden(Control::StopButton, false);
    _job = job;
    _stopRemoval = std::make_shared<std::atomic<bool>>(false);
    // No mono file may replace a take of the list (one named like another's mono file).
    std::vector<fs::path> mustNotReplace;
    for (const PolyWavInfo& file : _results) mustNotReplace.push_back(file.path);
    _toolkit.postBackground([this, &toolkit = _toolkit, slim = _core.slimPolyWav, split = _core.splitPolyWav,
                             items = std::move(plan.items), stop = _stopRemoval, folder = _scannedFolder, job,
                             overwrite, threshold = _threshold, mustNotReplace = std::move(mustNotReplace)] {
        RemovalReport report(job == Job::Removal ? removedFromFilesText : exportedFromFilesText);
        const int total = static_cast<int>(items.size());
        int started = 0;
        for (const WriteItem& item : items) {
            // A stop or a quit lets the file being written finish, then starts no other.
            if (stop->load()) break;
            ++started;
            std::string status =
                "Writing " + std::to_string(started) + "/" + std::to_string(total) + ": " + item.shownName;
            toolkit.postMain([&toolkit, stop, status = std::move(status), done = started - 1, total] {
                if (stop->load()) return;  // the stop's own message stays
                toolkit.setText(Control::StatusLabel, status);
                toolkit.setProgress(done, total);
            });
            try {
                if (job == Job::Removal) {
                    const SlimOutcome outcome =
                        slim(item.path, {.overwrite = overwrite, .threshold = threshold, .choices = item.choices});
                    report.addWritten(item.shownName, shownName(outcome.path, folder),
                                      static_cast<int>(outcome.removedChannels.size()),
                                      static_cast<int>(outcome.keptChannels.size()));
                } else {
                    const SplitOutcome outcome = split(
                        item.path, {.threshold = threshold, .choices = item.choices, .mustNotReplace = mustNotReplace});
                    report.addWritten(item.shownName, writtenNames(outcome.written, folder),
                                      static_cast<int>(outcome.removedChannels.size()),
                                      static_cast<int>(outcome.keptChannels.size()));
                }
            } catch (const std::exception& e) {
                report.addFailed(item.shownName, e.what());
            }
        }
        report.setNotStarted(total - started);
        toolkit.postMain([this, job, report = std::move(report)] { writeJobFinished(job, report); });
    });
}

void AppDelegate::stopRemoval() {
    if ((_job != Job::Removal && _job != Job::MonoExport) || _stopRemoval->exchange(true)) return;
    _toolkit.setText(Control::StatusLabel, "Stopping after the current file…");
}

void AppDelegate::writeJobFinished(Job job, const RemovalReport& report) {
    _job = Job::None;
    _toolkit.setHidden(Control::StopButton, true);
    if (_quitting) {
        _toolkit.terminate();
        return;
    }
    setBusy(false, report.status());
    _toolkit.runModal(
        {.messageText = job == Job::Removal ? "Remove Empty Tracks complete" : "Export Mono Files complete",
         .informativeText = report.body(),
         .style = report.failedCount() != 0 ? AlertStyle::Critical : AlertStyle::Warning,
         .scrolls = true});
    scan();
}

void AppDelegate::exportReport() {
    if (_results.empty()) {
        alert("No files to report.");
        return;
    }
    _toolkit.beginSaveChooser("Save the sound report", pathToUtf8(_scannedFolder / "Sound Report.csv"),
                              [this](std::optional<std::string> path) {
                                  if (path) saveReport(*path);
                              });
}

void AppDelegate::saveReport(const std::string& path) {
    try {
        saveSoundReportCsv(_results, pathFromUtf8(path));
    } catch (const std::exception& e) {
        alert("Could not save the report:\n" + path + "\n\n" + e.what());
        return;
    }
    _toolkit.setText(Control::StatusLabel,
                     "Saved the report of " + std::to_string(_results.size()) + " file(s) to " + path + ".");
}

}  // namespace tracksieve::app
