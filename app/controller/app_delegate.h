#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <tracksieve/fixed_values.h>
#include <tracksieve/poly_wav_info.h>
#include <tracksieve/track_choice.h>

#include "core_operations.h"
#include "removal_report.h"
#include "toolkit.h"
#include "window_description.h"

namespace tracksieve::app {

/// Label is the default text colour; the toolkit picks shades readable on its background.
enum class TextColor { Label, Red, Green, Orange };

/// A level drawn behind a cell's text, on a scale from 0 (−120 dBFS or lower) to 1 (0 dBFS).
struct LevelBar {
    double level = 0;
    double threshold = 0;  // marked across the bar
    TextColor color = TextColor::Label;
    friend bool operator==(const LevelBar&, const LevelBar&) = default;
};

struct Cell {
    std::string text;
    TextColor color = TextColor::Label;
    std::optional<LevelBar> bar{};
    /// The bytes of `text` to shorten first when the column is narrow: the file's name, so that
    /// the counts after it stay whole. None when `shortenLength` is 0.
    std::size_t shortenFrom = 0;
    std::size_t shortenLength = 0;
    /// A checkbox column's state; none elsewhere.
    std::optional<bool> checked{};
    friend bool operator==(const Cell&, const Cell&) = default;
};

enum class TerminateReply { Now, Later };
enum class Job { None, Scan, Removal, MonoExport };

/// The window logic of the desktop program: the list of analysed files, the scan and removal
/// flows and both tables' data. It reaches the screen only through `Toolkit`, and must outlive
/// every job and block it posts there.
class AppDelegate {
public:
    explicit AppDelegate(Toolkit& toolkit, CoreOperations core = coreOperations());

    void applicationDidFinishLaunching();
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    /// A removal or an export finishes the file it is writing first and then calls `Toolkit::terminate`;
    /// a scan only reads, so the application may end under it.
    TerminateReply applicationShouldTerminate();
    Job runningJob() const { return _job; }

    const std::vector<PolyWavInfo>& results() const { return _results; }
    bool busy() const { return _busy; }
    void setBusy(bool busy, const std::optional<std::string>& message);
    void alert(const std::string& message);

    /// A control's action.
    void perform(Action action);
    void browse();
    void scan();
    /// Puts `path` into the path field and scans it: the chooser's OK, or a folder dropped on
    /// the window.
    void openFolder(const std::string& path);

    int numberOfRowsInTableView(Table table) const;
    /// The text and colour of one cell; none for a row outside the table.
    std::optional<Cell> viewForTableColumn(Table table, const std::string& columnId, int row) const;
    /// The user ticked or unticked a checkbox cell: in the track table, whether the track is kept.
    void setObjectValueForTableColumn(Table table, const std::string& columnId, int row, bool checked);
    void tableViewSelectionDidChange(Table table);
    void refreshTracks();
    void refreshDetails();
    void selectAllFiles();
    std::vector<std::size_t> selectedFileIndexes() const;

    void compressSelected();
    void compressAll();
    void runCompress(const std::vector<std::size_t>& indexes);
    /// "Stop" or Escape: the removal ends after the file in hand.
    void stopRemoval();

    /// "Silent below:" changed: every track is judged again from the peaks measured, no rescan.
    void thresholdChanged();
    /// The linear peak below which a track counts as silent.
    double threshold() const { return _threshold; }
    /// Whether each track of the file at `index` is kept: the user's choice where there is one,
    /// else the threshold's verdict.
    std::vector<bool> keptTracks(std::size_t index) const;
    bool chosenByHand(std::size_t index) const;

    void exportMonoFiles();
    void exportReport();

private:
    const PolyWavInfo* shownFile() const;
    void judgeTracks();
    void showCounts();
    std::string foundStatus() const;
    /// Writes the files at `indexes`; "Same tracks in every take" groups them among `groupAmong`.
    void runWriteJob(Job job, const std::vector<std::size_t>& indexes, const std::vector<std::size_t>& groupAmong);
    void saveReport(const std::string& path);
    void scanFinished(const std::string& error, ScanOutcome found, const std::filesystem::path& folder);
    void writeJobFinished(Job job, const RemovalReport& report);

    // Every track judged by `_threshold`; the peaks are measured to full scale, so that the
    // verdicts may change without a rescan.
    std::vector<PolyWavInfo> _results;
    // The user's choice per track of each file of `_results`; empty for a file left alone.
    std::vector<std::vector<TrackChoice>> _choices;
    std::size_t _unreadableFolders = 0;
    double _threshold = kThreshold;
    // The folder `_results` came from; files are named relative to it.
    std::filesystem::path _scannedFolder;
    bool _busy = false;
    Toolkit& _toolkit;
    CoreOperations _core;
    Job _job = Job::None;
    bool _quitting = false;
    // Read by the writing job before each file.
    std::shared_ptr<std::atomic<bool>> _stopRemoval = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace tracksieve::app
