#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include <tracksieve/analysis.h>

#include "app_delegate.h"
#include "fake_toolkit.h"
#include "wav_builder.h"

namespace tracksieve::app {
namespace {

namespace fs = std::filesystem;
using testing::FakeToolkit;
using tracksieve::testing::TempDir;
using tracksieve::testing::WavBuilder;
using tracksieve::testing::wavWithLevels;

// A record as the analysis would return it: one track per peak, empty below 0.001.
PolyWavInfo record(const std::string& name, const std::vector<double>& peaks) {
    PolyWavInfo file;
    file.path = fs::path("/recordings") / name;
    file.channels = static_cast<std::int32_t>(peaks.size());
    file.sampleRate = 48000;
    file.bitsPerSample = 24;
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        file.tracks.push_back({static_cast<std::int32_t>(i), "Track " + std::to_string(i + 1), peaks[i], peaks[i] / 2,
                               peaks[i] < 0.001});
    }
    return file;
}

PolyWavInfo failedRecord(const std::string& name, const std::string& error) {
    PolyWavInfo file;
    file.path = fs::path("/recordings") / name;
    file.error = error;
    return file;
}

using ScanCall = decltype(CoreOperations::scanFolder);
using CompressCall = decltype(CoreOperations::compressPolyWav);

class AppDelegateTest : public ::testing::Test {
protected:
    AppDelegateTest() {
        ui.attach(delegate);
        delegate.applicationDidFinishLaunching();
    }

    // Scans `dir_` through the path field and runs the scan to its end.
    void scanFolder() {
        ui.type(Control::PathField, dir_.path().string());
        ui.click(Control::ScanButton);
        ui.settle();
    }

    // Shows `records` as the result of a scan, without touching the disk.
    void showRecords(const std::vector<PolyWavInfo>& records) {
        scanCall = [records](const fs::path&, bool, const ScanProgress&) { return ScanOutcome{records, {}}; };
        scanFolder();
    }

    TempDir dir_;
    FakeToolkit ui;
    // The core calls go through these, so a test can swap them at any moment.
    ScanCall scanCall = coreOperations().scanFolder;
    CompressCall compressCall = coreOperations().compressPolyWav;
    AppDelegate delegate{ui, CoreOperations{
                                 .scanFolder = [this](const fs::path& dir, bool recursive,
                                                      const ScanProgress& onProgress) {
                                     return scanCall(dir, recursive, onProgress);
                                 },
                                 .compressPolyWav = [this](const fs::path& source,
                                                           bool overwrite) { return compressCall(source, overwrite); },
                             }};
};

TEST_F(AppDelegateTest, LaunchShowsTheIdleWindow) {
    EXPECT_EQ(ui.shown(Control::StatusLabel), "Choose a directory to scan for polyphonic WAV files.");
    EXPECT_EQ(ui.shown(Control::DetailsLabel), "");
    EXPECT_EQ(ui.shown(Control::PathField), "");
    EXPECT_FALSE(ui.isChecked(Control::RecursiveCheck));
    EXPECT_FALSE(ui.isChecked(Control::OverwriteCheck));
    EXPECT_EQ(delegate.numberOfRowsInTableView(Table::Files), 0);
    EXPECT_EQ(delegate.numberOfRowsInTableView(Table::Tracks), 0);
    EXPECT_FALSE(ui.progressRunning);
    EXPECT_FALSE(delegate.busy());
    EXPECT_TRUE(delegate.applicationShouldTerminateAfterLastWindowClosed());
}

TEST_F(AppDelegateTest, BusyModeSetsTheStatusOnlyWhenGivenOne) {
    delegate.setBusy(true, "Working");
    EXPECT_TRUE(ui.progressRunning);
    EXPECT_EQ(ui.shown(Control::StatusLabel), "Working");
    delegate.setBusy(false, std::nullopt);
    EXPECT_FALSE(ui.progressRunning);
    EXPECT_EQ(ui.shown(Control::StatusLabel), "Working");
}

TEST_F(AppDelegateTest, ScanChecksTheTrimmedPathFirst) {
    const fs::path file = dir_.write("take.wav", wavWithLevels({1000, 0}));
    const std::string dir = dir_.path().string();
    struct Case {
        std::string typed;
        std::string alert;  // empty: the scan starts
    };
    const std::vector<Case> cases = {
        {"", "Choose a directory first."},
        {" \t\n\r ", "Choose a directory first."},
        {"\xC2\xA0\xE2\x80\xA8", "Choose a directory first."},  // no-break space, line separator
        {dir + "/missing", "Not a directory:\n" + dir + "/missing"},
        {"  " + file.string() + "\n", "Not a directory:\n" + file.string()},
        {"\n " + dir + "\xE3\x80\x80 ", ""},  // ideographic space
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        ui.alerts.clear();
        ui.type(Control::PathField, c.typed);
        ui.click(Control::ScanButton);
        if (c.alert.empty()) {
            ASSERT_TRUE(ui.alerts.empty());
            EXPECT_EQ(ui.shown(Control::StatusLabel), "Scanning " + dir + "…");
            EXPECT_EQ(ui.shown(Control::PathField), c.typed);
            EXPECT_TRUE(delegate.busy());
        } else {
            ASSERT_EQ(ui.alerts.size(), 1u);
            EXPECT_EQ(ui.alerts[0].messageText, "Tracksieve");
            EXPECT_EQ(ui.alerts[0].informativeText, c.alert);
            EXPECT_EQ(ui.alerts[0].style, AlertStyle::Warning);
            EXPECT_TRUE(ui.alerts[0].buttons.empty());
            EXPECT_FALSE(delegate.busy());
            EXPECT_EQ(ui.pendingBackground(), 0u);
        }
    }
}

TEST_F(AppDelegateTest, ScanNamesEachFileThenCountsTheResult) {
    dir_.write("b.wav", wavWithLevels({1000, 0, 0}));
    dir_.write("a.wav", wavWithLevels({1000, 1000}));
    dir_.write("c.wav", WavBuilder().fmt({.formatTag = 3, .channels = 2, .bitsPerSample = 24}).data("").bytes());
    dir_.write("sub/d.wav", wavWithLevels({0, 1000}));
    const std::string dir = dir_.path().string();

    ui.type(Control::PathField, dir);
    ui.click(Control::ScanButton);
    EXPECT_TRUE(ui.progressRunning);
    ui.runBackground();
    EXPECT_TRUE(delegate.busy()) << "busy until the completion runs on the main thread";
    ui.runMain();
    EXPECT_FALSE(delegate.busy());
    EXPECT_FALSE(ui.progressRunning);
    EXPECT_EQ(ui.events, (std::vector<std::string>{
                             "status: Scanning " + dir + "…",
                             "status: Analyzing 1/3: a.wav",
                             "status: Analyzing 2/3: b.wav",
                             "status: Analyzing 3/3: c.wav",
                             "status: Found 3 polyphonic WAV file(s); 1 have empty tracks.",
                         }));
    EXPECT_EQ(ui.selectedRows(Table::Files), std::vector<int>{0});
    EXPECT_EQ(ui.rows(Table::Tracks).size(), 2u);
    EXPECT_EQ(ui.shown(Control::DetailsLabel), "2 tracks · 2 active · 0 empty · 16-bit · 48000 Hz");

    ui.events.clear();
    ui.check(Control::RecursiveCheck, true);
    ui.clickRow(Table::Files, 2);
    scanFolder();
    EXPECT_EQ(ui.events.back(), "status: Found 4 polyphonic WAV file(s); 2 have empty tracks.");
    EXPECT_EQ(ui.selectedRows(Table::Files), std::vector<int>{0}) << "a new scan selects row 0 again";
}

TEST_F(AppDelegateTest, TheDetailsLineSaysWhenALengthWasTakenFromTheFile) {
    PolyWavInfo unfinalised = record("a.wav", {0.5, 0});
    unfinalised.lengthTakenFromFile = true;
    showRecords({unfinalised, record("b.wav", {0.5, 0})});
    EXPECT_EQ(ui.shown(Control::DetailsLabel),
              "2 tracks · 1 active · 1 empty · 24-bit · 48000 Hz · length taken from the file, not its header");
    ui.clickRow(Table::Files, 1);
    EXPECT_EQ(ui.shown(Control::DetailsLabel), "2 tracks · 1 active · 1 empty · 24-bit · 48000 Hz");
}

// The files of an unreadable folder are missing from the list; the status line says so.
TEST_F(AppDelegateTest, TheStatusLineCountsTheFoldersThatCouldNotBeRead) {
    const std::pair<std::vector<fs::path>, std::string> cases[] = {
        {{"shut"}, "Found 1 polyphonic WAV file(s); 1 have empty tracks; 1 folder could not be read."},
        {{"shut", "locked"}, "Found 1 polyphonic WAV file(s); 1 have empty tracks; 2 folders could not be read."},
    };
    for (const auto& [folders, status] : cases) {
        scanCall = [&folders](const fs::path&, bool, const ScanProgress&) {
            return ScanOutcome{{record("a.wav", {0.5, 0})}, folders};
        };
        scanFolder();
        EXPECT_EQ(ui.shown(Control::StatusLabel), status);
    }
}

TEST_F(AppDelegateTest, AFolderWithoutPolyphonicFilesGivesEmptyTables) {
    dir_.write("mono.wav", wavWithLevels({1000}));
    scanFolder();
    EXPECT_EQ(ui.shown(Control::StatusLabel), "Found 0 polyphonic WAV file(s); 0 have empty tracks.");
    EXPECT_EQ(delegate.numberOfRowsInTableView(Table::Files), 0);
    EXPECT_EQ(delegate.numberOfRowsInTableView(Table::Tracks), 0);
    EXPECT_EQ(ui.shown(Control::DetailsLabel), "");
}

TEST_F(AppDelegateTest, AFailedScanKeepsThePreviousList) {
    showRecords({record("a.wav", {0.5, 0}), record("b.wav", {0.5, 0.5})});
    ui.clickRow(Table::Files, 1);
    const std::string details = ui.shown(Control::DetailsLabel);

    scanCall = [](const fs::path&, bool, const ScanProgress&) -> ScanOutcome {
        throw std::runtime_error("Permission denied");
    };
    ui.events.clear();
    ui.click(Control::ScanButton);
    ui.settle();
    EXPECT_EQ(ui.events, (std::vector<std::string>{
                             "status: Scanning " + dir_.path().string() + "…",
                             "alert: Permission denied",
                             "status: Scan failed: Permission denied",
                         }));
    EXPECT_FALSE(delegate.busy());
    EXPECT_EQ(delegate.results().size(), 2u);
    EXPECT_EQ(ui.selectedRows(Table::Files), std::vector<int>{1});
    EXPECT_EQ(ui.shown(Control::DetailsLabel), details);
}

TEST_F(AppDelegateTest, WhileBusyScanAndRemoveDoNothingButTheirChecksStillSpeak) {
    showRecords({record("a.wav", {0.5, 0}), record("b.wav", {0.5, 0.5})});
    ui.click(Control::ScanButton);  // stays busy: the job is not run
    ASSERT_TRUE(delegate.busy());
    ui.events.clear();

    ui.click(Control::ScanButton);
    ui.click(Control::RemoveAllButton);       // its own check passes: a.wav has an empty track
    ui.click(Control::RemoveSelectedButton);  // a row is selected
    ui.clickRow(Table::Files, 1);
    ui.click(Control::RemoveSelectedButton);  // b.wav is not eligible, but busy comes first
    EXPECT_TRUE(ui.events.empty());
    EXPECT_EQ(ui.pendingBackground(), 1u);

    ui.click(Control::SelectAllButton);
    EXPECT_EQ(ui.selectedRows(Table::Files), (std::vector<int>{0, 1}));

    ui.settle();
    showRecords({record("full.wav", {0.5, 0.5})});
    ui.click(Control::ScanButton);
    ui.events.clear();
    ui.click(Control::RemoveAllButton);
    EXPECT_EQ(ui.events, std::vector<std::string>{"alert: No files with empty tracks."});
}

TEST_F(AppDelegateTest, CellsShowTextsAndColoursByState) {
    PolyWavInfo tracks = record("tracks.wav", {1.0, 0.5, 0.001, 0.0009, 0});
    tracks.tracks[1].name = "Boom";
    showRecords({tracks, record("full.wav", {0.5, 0.5}), failedRecord("bad.wav", "Unsupported bit depth")});

    const auto file = [&](int row) { return *delegate.viewForTableColumn(Table::Files, "file", row); };
    EXPECT_EQ(file(0), (Cell{delegate.results()[0].summary(), TextColor::Red}));
    EXPECT_EQ(file(1).color, TextColor::Label);
    EXPECT_EQ(file(2), (Cell{delegate.results()[2].summary(), TextColor::Orange}));
    EXPECT_FALSE(delegate.viewForTableColumn(Table::Files, "file", 3));

    const auto active = [](std::string num, std::string name, std::string peak) {
        return std::vector<Cell>{{num, TextColor::Label}, {name, TextColor::Label}, {peak, TextColor::Label},
                                 {"active", TextColor::Green}};
    };
    const auto empty = [](std::string num, std::string name, std::string peak) {
        return std::vector<Cell>{{num, TextColor::Red}, {name, TextColor::Red}, {peak, TextColor::Red},
                                 {"empty", TextColor::Red}};
    };
    EXPECT_EQ(ui.rows(Table::Tracks), (std::vector<std::vector<Cell>>{
                                          active("1", "Track 1", "0.0 dB"),
                                          active("2", "Boom", "-6.0 dB"),
                                          active("3", "Track 3", "-60.0 dB"),
                                          empty("4", "Track 4", "-60.9 dB"),
                                          empty("5", "Track 5", "-inf"),
                                      }));
    EXPECT_FALSE(delegate.viewForTableColumn(Table::Tracks, "num", 5));

    ui.clickRow(Table::Tracks, 2);
    EXPECT_EQ(ui.selectedRows(Table::Files), std::vector<int>{0}) << "a track row changes nothing else";
    EXPECT_EQ(ui.rows(Table::Tracks).size(), 5u);
}

TEST_F(AppDelegateTest, DetailsLineDescribesTheShownFile) {
    PolyWavInfo integer = record("int.wav", {0.5, 0.5, 0, 0.5, 0, 0.5, 0, 0.5});
    PolyWavInfo floating = integer;
    floating.bitsPerSample = 32;
    floating.isFloat = true;
    PolyWavInfo declared = record("declared.wav", {0.5, 0});
    declared.channels = 6;  // the header's count, whatever the tracks
    showRecords({integer, floating, declared, failedRecord("bad.wav", "No data chunk")});

    const std::vector<std::string> expected = {
        "8 tracks · 5 active · 3 empty · 24-bit · 48000 Hz",
        "8 tracks · 5 active · 3 empty · 32-bit float · 48000 Hz",
        "6 tracks · 1 active · 1 empty · 24-bit · 48000 Hz",
        "Error: No data chunk",
    };
    for (int row = 0; row < 4; ++row) {
        ui.clickRow(Table::Files, row);
        EXPECT_EQ(ui.shown(Control::DetailsLabel), expected[static_cast<std::size_t>(row)]);
    }
    EXPECT_EQ(delegate.numberOfRowsInTableView(Table::Tracks), 0) << "a failed file has no tracks";
}

TEST_F(AppDelegateTest, SeveralSelectedFilesShowTheTableSelectedRow) {
    showRecords({record("a.wav", {0.5}), record("b.wav", {0.5, 0}), record("c.wav", {0.5, 0, 0})});
    ui.clickRow(Table::Files, 2);
    ui.clickRow(Table::Files, 0, true);
    EXPECT_EQ(delegate.selectedFileIndexes(), (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(ui.rows(Table::Tracks).size(), 1u);

    ui.clickRow(Table::Files, 1);
    ui.click(Control::SelectAllButton);
    EXPECT_EQ(delegate.selectedFileIndexes(), (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(ui.shown(Control::DetailsLabel), "2 tracks · 1 active · 1 empty · 24-bit · 48000 Hz");
}

TEST_F(AppDelegateTest, RemovalOffersOnlyFilesItCanSlim) {
    std::vector<fs::path> compressed;
    compressCall = [&](const fs::path& source, bool) {
        compressed.push_back(source);
        return source;
    };
    const std::string none = "None of the selected files have empty tracks to remove (or all tracks are empty).";
    ui.click(Control::RemoveAllButton);
    ui.click(Control::RemoveSelectedButton);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"alert: No files with empty tracks.", "alert: Select one or more files."}));

    showRecords({record("full.wav", {0.5, 0.5}), record("silent.wav", {0, 0}), failedRecord("bad.wav", "x")});
    ui.events.clear();
    ui.click(Control::RemoveAllButton);  // only silent.wav is offered, and dropped as all-empty
    ui.click(Control::SelectAllButton);
    ui.click(Control::RemoveSelectedButton);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"alert: " + none, "alert: " + none}));

    showRecords({record("a.wav", {0.5, 0}), record("full.wav", {0.5, 0.5}), record("silent.wav", {0, 0}),
                 failedRecord("bad.wav", "x"), record("d.wav", {0, 0.5, 0})});
    ui.events.clear();
    ui.clickRow(Table::Files, 4);
    ui.clickRow(Table::Files, 1, true);
    ui.clickRow(Table::Files, 0, true);
    ui.click(Control::RemoveSelectedButton);
    ui.settle();
    EXPECT_EQ(compressed, (std::vector<fs::path>{"/recordings/a.wav", "/recordings/d.wav"}));
    EXPECT_EQ(ui.alerts.back().informativeText,
              "Success:\na.wav → a.wav (1 removed, 1 kept)\nd.wav → d.wav (2 removed, 1 kept)\n");

    compressed.clear();
    ui.click(Control::RemoveAllButton);
    ui.settle();
    EXPECT_EQ(compressed, (std::vector<fs::path>{"/recordings/a.wav", "/recordings/d.wav"}));
}

TEST_F(AppDelegateTest, ConfirmationIsWordedByTheOverwriteCheckbox) {
    int calls = 0;
    compressCall = [&](const fs::path& source, bool) {
        ++calls;
        return source;
    };
    showRecords({record("a.wav", {0.5, 0}), record("b.wav", {0.5, 0})});
    struct Case {
        bool overwrite;
        AlertStyle style;
        std::vector<std::string> buttons;
        std::string text;
    };
    const std::vector<Case> cases = {
        {false, AlertStyle::Warning, {"Remove Empty Tracks", "Cancel"},
         "Remove empty tracks from 2 file(s) and write *_SLIM.wav beside each original?\n\nbext timecode, iXML "
         "(scene/take/track names), and other metadata chunks are copied into the new files. Originals are left "
         "untouched."},
        {true, AlertStyle::Critical, {"Overwrite", "Cancel"},
         "Remove empty tracks from 2 file(s) and OVERWRITE the originals?\n\nTimecode (bext), iXML, and other metadata "
         "are preserved, but you will not keep a backup of the original file. Prefer leaving overwrite OFF so "
         "*_SLIM.wav copies are written instead."},
    };
    for (const Case& c : cases) {
        ui.check(Control::OverwriteCheck, c.overwrite);
        ui.alerts.clear();
        ui.answers = {1};
        ui.click(Control::RemoveAllButton);
        ASSERT_EQ(ui.alerts.size(), 1u);
        EXPECT_EQ(ui.alerts[0].messageText, "Remove Empty Tracks");
        EXPECT_EQ(ui.alerts[0].informativeText, c.text);
        EXPECT_EQ(ui.alerts[0].style, c.style);
        EXPECT_EQ(ui.alerts[0].buttons, c.buttons);
        EXPECT_FALSE(delegate.busy()) << "cancelled: nothing changes";
        EXPECT_EQ(ui.pendingBackground(), 0u);
    }
    ui.click(Control::RemoveAllButton);
    EXPECT_EQ(ui.shown(Control::StatusLabel), "Removing empty tracks from 2 file(s)…");
    EXPECT_TRUE(ui.progressRunning);
    ui.runBackground();
    EXPECT_EQ(calls, 2);
}

TEST_F(AppDelegateTest, ReportListsWrittenAndFailedFiles) {
    struct Case {
        std::vector<bool> fails;
        std::string status;
        std::string report;
    };
    const std::vector<Case> cases = {
        {{false, false}, "Removed empty tracks from 2 file(s).",
         "Success:\na.wav → a_SLIM.wav (1 removed, 1 kept)\nb.wav → b_SLIM.wav (2 removed, 1 kept)\n"},
        {{false, true}, "Removed empty tracks from 1 file(s). 1 failed.",
         "Success:\na.wav → a_SLIM.wav (1 removed, 1 kept)\n\nErrors:\nb.wav: Disk full\n"},
        {{true, true}, "Removed empty tracks from 0 file(s). 2 failed.", "Errors:\na.wav: Disk full\nb.wav: Disk full\n"},
    };
    for (const Case& c : cases) {
        std::size_t file = 0;
        compressCall = [&](const fs::path& source, bool) {
            if (c.fails[file++]) throw std::runtime_error("Disk full");
            return source.parent_path() / (source.stem().string() + "_SLIM.wav");
        };
        showRecords({record("a.wav", {0.5, 0}), record("b.wav", {0, 0.5, 0})});
        ui.events.clear();
        ui.click(Control::RemoveAllButton);
        ui.runBackground();
        ui.runMain();
        ASSERT_EQ(ui.events.size(), 5u);
        EXPECT_EQ(ui.events[1], "status: Removing empty tracks from 2 file(s)…");
        EXPECT_EQ(ui.events[2], "status: " + c.status);
        EXPECT_EQ(ui.alerts.back().messageText, "Remove Empty Tracks complete");
        EXPECT_EQ(ui.alerts.back().informativeText, c.report);
        EXPECT_TRUE(ui.alerts.back().buttons.empty());
        EXPECT_EQ(ui.events[4], "status: Scanning " + dir_.path().string() + "…") << "the folder is scanned again";
        ui.settle();
    }
}

TEST_F(AppDelegateTest, RemovalWritesSlimCopiesAndTheRescanListsThem) {
    dir_.write("a.wav", wavWithLevels({1000, 0, 1000}));
    dir_.write("b.wav", wavWithLevels({1000, 1000}));
    scanFolder();
    ui.click(Control::RemoveAllButton);
    ui.type(Control::PathField, "  " + dir_.path().string() + "  ");  // edited while it runs
    ui.settle();
    EXPECT_EQ(ui.alerts.back().informativeText, "Success:\na.wav → a_SLIM.wav (1 removed, 2 kept)\n");
    EXPECT_EQ(ui.events.back(), "status: Found 3 polyphonic WAV file(s); 1 have empty tracks.");
    EXPECT_EQ(delegate.results()[1].path.filename(), "a_SLIM.wav");
    EXPECT_EQ(delegate.results()[1].emptyCount(), 0);

    ui.check(Control::OverwriteCheck, true);
    ui.click(Control::RemoveAllButton);
    ui.type(Control::PathField, "");
    ui.settle();
    EXPECT_EQ(ui.alerts.back().informativeText, "Choose a directory first.") << "the rescan uses the edited field";
    EXPECT_EQ(tracksieve::analyzePolyWav(dir_.path() / "a.wav", 0.001).channels, 2);
}

TEST_F(AppDelegateTest, QuittingDuringARemovalFinishesTheCurrentFileThenEnds) {
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    dir_.write("b.wav", wavWithLevels({1000, 0}));
    scanFolder();
    std::vector<std::string> started;
    compressCall = [&](const fs::path& source, bool overwrite) {
        started.push_back(source.filename().string());
        // The user quits while the first file is being written.
        EXPECT_EQ(delegate.applicationShouldTerminate(), TerminateReply::Later);
        return coreOperations().compressPolyWav(source, overwrite);
    };
    const std::size_t alertsBefore = ui.alerts.size();
    ui.click(Control::RemoveAllButton);
    EXPECT_EQ(delegate.runningJob(), Job::Removal);
    ui.runBackground();
    EXPECT_FALSE(ui.terminated) << "not before the job has ended";
    ui.runMain();
    EXPECT_TRUE(ui.terminated);
    EXPECT_EQ(started, std::vector<std::string>{"a.wav"});
    EXPECT_EQ(ui.alerts.size(), alertsBefore + 1) << "no report after the confirmation";
    EXPECT_EQ(tracksieve::analyzePolyWav(dir_.path() / "a_SLIM.wav", 0.001).channels, 1);
    EXPECT_FALSE(fs::exists(dir_.path() / "b_SLIM.wav"));
    EXPECT_EQ(ui.pendingBackground(), 0u) << "no rescan";
}

TEST_F(AppDelegateTest, QuittingWhileIdleOrScanningEndsAtOnce) {
    EXPECT_EQ(delegate.applicationShouldTerminate(), TerminateReply::Now);
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    ui.type(Control::PathField, dir_.path().string());
    ui.click(Control::ScanButton);
    EXPECT_EQ(delegate.runningJob(), Job::Scan);
    EXPECT_EQ(delegate.applicationShouldTerminate(), TerminateReply::Now);
    ui.settle();
    EXPECT_EQ(delegate.runningJob(), Job::None);
}

TEST_F(AppDelegateTest, ChosenOrDroppedFolderFillsTheFieldAndScans) {
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    ui.click(Control::BrowseButton);
    EXPECT_EQ(ui.chooserMessage, "Select folder with polyphonic WAV files");
    ui.closeChooser(std::nullopt);
    EXPECT_EQ(ui.shown(Control::PathField), "");
    EXPECT_EQ(ui.pendingBackground(), 0u);

    ui.click(Control::BrowseButton);
    ui.closeChooser(dir_.path().string());
    EXPECT_EQ(ui.shown(Control::PathField), dir_.path().string());
    ui.settle();
    EXPECT_EQ(ui.shown(Control::StatusLabel), "Found 1 polyphonic WAV file(s); 1 have empty tracks.");

    ui.click(Control::ScanButton);  // busy from here on
    ui.click(Control::BrowseButton);
    ui.closeChooser("/elsewhere");
    EXPECT_EQ(ui.shown(Control::PathField), "/elsewhere");
    EXPECT_EQ(ui.pendingBackground(), 1u) << "nothing new starts while busy";
    ui.settle();

    delegate.openFolder(dir_.path().string());
    EXPECT_EQ(ui.shown(Control::PathField), dir_.path().string());
    EXPECT_EQ(delegate.runningJob(), Job::Scan);
}

}  // namespace
}  // namespace tracksieve::app
