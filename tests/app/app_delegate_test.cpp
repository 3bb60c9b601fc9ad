#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <tracksieve/analysis.h>
#include <tracksieve/path_text.h>

#include "app_delegate_fixture.h"

namespace tracksieve::app {
namespace {

namespace fs = std::filesystem;
using testing::AppDelegateTest;
using testing::failedRecord;
using testing::FakeToolkit;
using testing::keepCell;
using testing::outcome;
using testing::record;
using tracksieve::testing::TempDir;
using tracksieve::testing::WavBuilder;
using tracksieve::testing::wavWithLevels;

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
    // The name is what a narrow column shortens.
    EXPECT_EQ(file(0), (Cell{delegate.results()[0].summary(), TextColor::Red, std::nullopt, 0, 10}));
    EXPECT_EQ(file(1).color, TextColor::Label);
    EXPECT_EQ(file(2), (Cell{delegate.results()[2].summary(), TextColor::Orange, std::nullopt, 0, 7}));
    EXPECT_FALSE(delegate.viewForTableColumn(Table::Files, "file", 3));

    const auto active = [](std::string num, std::string name, std::string peak) {
        return std::vector<Cell>{keepCell(true),
                                 {num, TextColor::Label},
                                 {name, TextColor::Label},
                                 {peak, TextColor::Label},
                                 {"active", TextColor::Green}};
    };
    const auto empty = [](std::string num, std::string name, std::string peak) {
        return std::vector<Cell>{keepCell(false),
                                 {num, TextColor::Red},
                                 {name, TextColor::Red},
                                 {peak, TextColor::Red},
                                 {"empty", TextColor::Red}};
    };
    const auto withoutBars = [](std::vector<std::vector<Cell>> rows) {
        for (std::vector<Cell>& row : rows) {
            for (Cell& cell : row) cell.bar.reset();
        }
        return rows;
    };
    EXPECT_EQ(withoutBars(ui.rows(Table::Tracks)), (std::vector<std::vector<Cell>>{
                                                       active("1", "Track 1", "0.0 dB"),
                                                       active("2", "Boom", "-6.0 dB"),
                                                       active("3", "Track 3", "-60.0 dB"),
                                                       empty("4", "Track 4", "-60.9 dB"),
                                                       empty("5", "Track 5", "-inf"),
                                                   }));
    EXPECT_FALSE(delegate.viewForTableColumn(Table::Tracks, "num", 5));
    // Peaks on a bar from -120 dBFS to 0 dBFS, the threshold (-60 dBFS) marked halfway.
    const std::vector<double> levels = {1.0, (120 - 6.0206) / 120, 0.5, (120 - 60.9151) / 120, 0.0};
    for (std::size_t row = 0; row < levels.size(); ++row) {
        SCOPED_TRACE(row);
        const std::vector<Cell> cells = ui.rows(Table::Tracks)[row];
        ASSERT_TRUE(cells[3].bar);
        EXPECT_NEAR(cells[3].bar->level, levels[row], 1e-4);
        EXPECT_DOUBLE_EQ(cells[3].bar->threshold, 0.5);
        EXPECT_EQ(cells[3].bar->color, row < 3 ? TextColor::Green : TextColor::Red);
        EXPECT_FALSE(cells[0].bar || cells[1].bar || cells[2].bar || cells[4].bar);
    }

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
    slimCall = [&](const fs::path& source, const SlimOptions&) {
        compressed.push_back(source);
        return outcome(source, 3,
                       source.filename() == "a.wav" ? std::vector<std::int32_t>{1} : std::vector<std::int32_t>{0, 2});
    };
    const std::string none = "None of the selected files have empty tracks to remove (or all tracks are empty).";
    ui.click(Control::RemoveAllButton);
    ui.click(Control::RemoveSelectedButton);
    EXPECT_EQ(ui.events,
              (std::vector<std::string>{"alert: No files with empty tracks.", "alert: Select one or more files."}));

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
              "Success:\na.wav → a.wav (1 removed, 2 kept)\nd.wav → d.wav (2 removed, 1 kept)\n");

    compressed.clear();
    ui.click(Control::RemoveAllButton);
    ui.settle();
    EXPECT_EQ(compressed, (std::vector<fs::path>{"/recordings/a.wav", "/recordings/d.wav"}));
}

TEST_F(AppDelegateTest, ConfirmationIsWordedByTheOverwriteCheckbox) {
    int calls = 0;
    slimCall = [&](const fs::path& source, const SlimOptions&) {
        ++calls;
        return outcome(source, 2, {1});
    };
    showRecords({record("a.wav", {0.5, 0}), record("b.wav", {0.5, 0})});
    struct Case {
        bool overwrite;
        AlertStyle style;
        std::vector<std::string> buttons;
        std::string text;
    };
    const std::vector<Case> cases = {
        {false,
         AlertStyle::Warning,
         {"Remove Empty Tracks", "Cancel"},
         "Remove empty tracks from 2 file(s) and write *_SLIM.wav beside each original?\n\na.wav\nb.wav\n\nbext "
         "timecode, iXML "
         "(scene/take/track names), and other metadata chunks are copied into the new files. Originals are left "
         "untouched."},
        {true,
         AlertStyle::Critical,
         {"Overwrite", "Cancel"},
         "Remove empty tracks from 2 file(s) and OVERWRITE the originals?\n\na.wav\nb.wav\n\nTimecode (bext), iXML, "
         "and other metadata "
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
        {{false, false},
         "Removed empty tracks from 2 file(s).",
         "Success:\na.wav → a_SLIM.wav (1 removed, 1 kept)\nb.wav → b_SLIM.wav (2 removed, 1 kept)\n"},
        {{false, true},
         "Removed empty tracks from 1 file(s). 1 failed.",
         "Errors:\nb.wav: Disk full\n\nSuccess:\na.wav → a_SLIM.wav (1 removed, 1 kept)\n"},
        {{true, true},
         "Removed empty tracks from 0 file(s). 2 failed.",
         "Errors:\na.wav: Disk full\nb.wav: Disk full\n"},
    };
    for (const Case& c : cases) {
        std::size_t file = 0;
        slimCall = [&](const fs::path& source, const SlimOptions&) {
            if (c.fails[file++]) throw std::runtime_error("Disk full");
            const fs::path written = source.parent_path() / (source.stem().string() + "_SLIM.wav");
            return file == 1 ? outcome(written, 2, {1}) : outcome(written, 3, {0, 2});
        };
        showRecords({record("a.wav", {0.5, 0}), record("b.wav", {0, 0.5, 0})});
        ui.events.clear();
        ui.click(Control::RemoveAllButton);
        ui.runBackground();
        ui.runMain();
        ASSERT_EQ(ui.events.size(), 9u);
        EXPECT_EQ(ui.events[1], "status: Removing empty tracks from 2 file(s)…");
        EXPECT_EQ(ui.events[6], "status: " + c.status);
        EXPECT_EQ(ui.alerts.back().messageText, "Remove Empty Tracks complete");
        EXPECT_EQ(ui.alerts.back().informativeText, c.report);
        EXPECT_TRUE(ui.alerts.back().buttons.empty());
        EXPECT_TRUE(ui.alerts.back().scrolls);
        const bool anyFailed = std::find(c.fails.begin(), c.fails.end(), true) != c.fails.end();
        EXPECT_EQ(ui.alerts.back().style, anyFailed ? AlertStyle::Critical : AlertStyle::Warning);
        EXPECT_EQ(ui.events[8], "status: Scanning " + dir_.path().string() + "…") << "the folder is scanned again";
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

TEST_F(AppDelegateTest, ReportCountsWhatWasWrittenNotWhatTheScanSaw) {
    dir_.write("a.wav", wavWithLevels({1000, 0, 0, 0, 1000, 1000}));
    scanFolder();
    dir_.write("a.wav", wavWithLevels({0, 1000}));  // recorded over since the scan
    ui.click(Control::RemoveAllButton);
    ui.settle();
    EXPECT_EQ(ui.alerts.back().informativeText, "Success:\na.wav → a_SLIM.wav (1 removed, 1 kept)\n");
    EXPECT_EQ(tracksieve::analyzePolyWav(dir_.path() / "a_SLIM.wav", 0.001).channels, 1);
}

TEST_F(AppDelegateTest, FilesBelowTheScannedFolderAreNamedByTheirRelativePath) {
    dir_.write("Day 1/T1.wav", wavWithLevels({1000, 0}));
    dir_.write("Day 2/T1.wav", wavWithLevels({1000, 0, 0}));
    dir_.write("T2.wav", wavWithLevels({1000, 0}));
    const std::string day1 = pathToUtf8(fs::path("Day 1") / "T1.wav");
    const std::string day2 = pathToUtf8(fs::path("Day 2") / "T1.wav");
    ui.check(Control::RecursiveCheck, true);
    ui.type(Control::PathField, dir_.path().string() + "/");
    ui.click(Control::ScanButton);
    ui.settle();
    EXPECT_EQ(std::vector<std::string>(ui.events.begin() + 1, ui.events.begin() + 4),
              (std::vector<std::string>{"status: Analyzing 1/3: " + day1, "status: Analyzing 2/3: " + day2,
                                        "status: Analyzing 3/3: T2.wav"}));
    const auto rows = ui.rows(Table::Files);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(rows[0][0].text.starts_with(day1 + "  \xE2\x80\x94  ")) << rows[0][0].text;
    EXPECT_TRUE(rows[1][0].text.starts_with(day2 + "  \xE2\x80\x94  ")) << rows[1][0].text;
    EXPECT_TRUE(rows[2][0].text.starts_with("T2.wav  \xE2\x80\x94  ")) << rows[2][0].text;

    ui.click(Control::RemoveAllButton);
    ui.settle();
    const Alert& report = ui.alerts.back();
    EXPECT_EQ(report.informativeText, "Success:\n" + day1 + " → " + pathToUtf8(fs::path("Day 1") / "T1_SLIM.wav") +
                                          " (1 removed, 1 kept)\n" + day2 + " → " +
                                          pathToUtf8(fs::path("Day 2") / "T1_SLIM.wav") + " (2 removed, 1 kept)\n" +
                                          "T2.wav → T2_SLIM.wav (1 removed, 1 kept)\n");
}

TEST_F(AppDelegateTest, RemovalShowsEachFileAsItStartsAndFillsTheBarByFilesDone) {
    slimCall = [](const fs::path& source, const SlimOptions&) { return outcome(source, 2, {1}); };
    showRecords({record("a.wav", {0.5, 0}), record("b.wav", {0.5, 0}), record("c.wav", {0.5, 0})});
    ui.events.clear();
    ui.click(Control::RemoveAllButton);
    EXPECT_FALSE(ui.isHidden(Control::StopButton));
    ui.runBackground();
    ui.runMain();
    EXPECT_EQ(std::vector<std::string>(ui.events.begin(), ui.events.begin() + 9),
              (std::vector<std::string>{"alert: " + ui.alerts[ui.alerts.size() - 2].informativeText,
                                        "status: Removing empty tracks from 3 file(s)…", "status: Writing 1/3: a.wav",
                                        "progress: 0/3", "status: Writing 2/3: b.wav", "progress: 1/3",
                                        "status: Writing 3/3: c.wav", "progress: 2/3",
                                        "status: Removed empty tracks from 3 file(s)."}));
    EXPECT_TRUE(ui.isHidden(Control::StopButton));
    EXPECT_FALSE(ui.progress) << "the next busy spell starts indeterminate";
}

TEST_F(AppDelegateTest, StopEndsTheRemovalAfterTheFileInHand) {
    std::vector<std::string> started;
    slimCall = [&](const fs::path& source, const SlimOptions&) {
        started.push_back(source.filename().string());
        if (started.size() == 2) ui.click(Control::StopButton);  // while b.wav is written
        return outcome(source, 2, {1});
    };
    showRecords(
        {record("a.wav", {0.5, 0}), record("b.wav", {0.5, 0}), record("c.wav", {0.5, 0}), record("d.wav", {0.5, 0})});
    ui.click(Control::StopButton);
    EXPECT_EQ(ui.shown(Control::StatusLabel), "Found 4 polyphonic WAV file(s); 4 have empty tracks.")
        << "nothing to stop while idle";
    ui.events.clear();
    ui.click(Control::RemoveAllButton);
    ui.runBackground();
    EXPECT_EQ(ui.shown(Control::StatusLabel), "Stopping after the current file…");
    ui.runMain();
    EXPECT_EQ(started, (std::vector<std::string>{"a.wav", "b.wav"}));
    EXPECT_EQ(std::count(ui.events.begin(), ui.events.end(), "status: Writing 2/4: b.wav"), 0)
        << "the stop's message is not overwritten by a file already under way";
    EXPECT_EQ(ui.alerts.back().informativeText,
              "Stopped: 2 file(s) not started.\n\nSuccess:\na.wav → a.wav (1 removed, 1 kept)\n"
              "b.wav → b.wav (1 removed, 1 kept)\n");
    EXPECT_NE(
        std::find(ui.events.begin(), ui.events.end(), "status: Removed empty tracks from 2 file(s). 2 not started."),
        ui.events.end());
    EXPECT_FALSE(ui.terminated) << "a stop is not a quit";
    EXPECT_EQ(ui.pendingBackground(), 1u) << "the folder is scanned again";
}

TEST_F(AppDelegateTest, ConfirmationListsTheFirstTenFilesAndWhatIsSkipped) {
    const auto namesIn = [](const std::string& text) {
        const std::size_t from = text.find("?\n\n") + 3;
        return text.substr(from, text.find("\n\n", from) - from + 1);
    };
    struct Case {
        int files;
        std::string listed;
    };
    std::string ten;
    for (int i = 0; i < 10; ++i) ten += "take" + std::to_string(10 + i) + ".wav\n";
    const std::vector<Case> cases = {
        {3, "take10.wav\ntake11.wav\ntake12.wav\n"},
        {10, ten},
        {11, ten + "and 1 more\n"},
        {40, ten + "and 30 more\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files);
        std::vector<PolyWavInfo> records;
        for (int i = 0; i < c.files; ++i) records.push_back(record("take" + std::to_string(10 + i) + ".wav", {0.5, 0}));
        showRecords(records);
        ui.answers = {1};
        ui.click(Control::RemoveAllButton);
        const std::string& text = ui.alerts.back().informativeText;
        EXPECT_TRUE(text.starts_with("Remove empty tracks from " + std::to_string(c.files) + " file(s) and write"));
        EXPECT_EQ(namesIn(text), c.listed);
        EXPECT_TRUE(
            text.ends_with("\n\nbext timecode, iXML (scene/take/track names), and other metadata chunks are "
                           "copied into the new files. Originals are left untouched."));
    }

    showRecords({record("a.wav", {0.5, 0}), record("full.wav", {0.5, 0.5}), record("full2.wav", {0.5, 0.5}),
                 record("silent.wav", {0, 0}), failedRecord("bad.wav", "x")});
    ui.click(Control::SelectAllButton);
    ui.check(Control::OverwriteCheck, true);
    ui.answers = {1};
    ui.click(Control::RemoveSelectedButton);
    EXPECT_EQ(ui.alerts.back().informativeText,
              "Remove empty tracks from 1 file(s) and OVERWRITE the originals?\n\na.wav\n\nSkipped 4 of the chosen "
              "files: 2 without empty tracks, 1 with every track empty, 1 that could not be read.\n\nTimecode (bext), "
              "iXML, and other metadata are preserved, but you will not keep a backup of the original file. Prefer "
              "leaving overwrite OFF so *_SLIM.wav copies are written instead.");
}

TEST_F(AppDelegateTest, TheFolderAndSubfoldersChoiceAreRememberedButNeverOverwrite) {
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    ui.check(Control::RecursiveCheck, true);
    ui.check(Control::OverwriteCheck, true);
    scanFolder();
    const std::map<std::string, std::string> remembered = ui.settings;
    EXPECT_EQ(remembered, (std::map<std::string, std::string>{{"includeSubfolders", "true"},
                                                              {"lastFolder", dir_.path().string()}}));

    // The next launch, with the settings the last one left, and one that tries to tick the box.
    FakeToolkit next;
    next.settings = remembered;
    next.settings["overwriteOriginals"] = "true";
    AppDelegate nextDelegate{next};
    next.attach(nextDelegate);
    nextDelegate.applicationDidFinishLaunching();
    EXPECT_EQ(next.shown(Control::PathField), dir_.path().string());
    EXPECT_TRUE(next.isChecked(Control::RecursiveCheck));
    EXPECT_FALSE(next.isChecked(Control::OverwriteCheck));

    next.check(Control::RecursiveCheck, false);
    next.click(Control::ScanButton);
    next.settle();
    EXPECT_EQ(next.settings.at("includeSubfolders"), "false");
}

TEST_F(AppDelegateTest, FolderChooserOpensWhereTheUserIsWorking) {
    TempDir other;
    ui.settings["lastFolder"] = "/remembered";
    ui.click(Control::BrowseButton);
    EXPECT_EQ(ui.chooserStart, "/remembered") << "nothing typed or scanned yet";
    ui.closeChooser(std::nullopt);

    dir_.write("a.wav", wavWithLevels({1000, 0}));
    scanFolder();
    ui.type(Control::PathField, " " + other.path().string() + " ");
    ui.click(Control::BrowseButton);
    EXPECT_EQ(ui.chooserStart, other.path().string());
    ui.closeChooser(std::nullopt);

    ui.type(Control::PathField, other.path().string() + "/missing");
    ui.click(Control::BrowseButton);
    EXPECT_EQ(ui.chooserStart, dir_.path().string()) << "the folder last scanned";
}

TEST_F(AppDelegateTest, QuittingDuringARemovalFinishesTheCurrentFileThenEnds) {
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    dir_.write("b.wav", wavWithLevels({1000, 0}));
    scanFolder();
    std::vector<std::string> started;
    slimCall = [&](const fs::path& source, const SlimOptions& options) {
        started.push_back(source.filename().string());
        // The user quits while the first file is being written.
        EXPECT_EQ(delegate.applicationShouldTerminate(), TerminateReply::Later);
        return coreOperations().slimPolyWav(source, options);
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
