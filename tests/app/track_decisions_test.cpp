#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <tracksieve/analysis.h>
#include <tracksieve/path_text.h>

#include "app_delegate_fixture.h"

// What the user decides in the window: the level called silent, the tracks kept by hand, and
// the files written from those decisions.
namespace tracksieve::app {
namespace {

namespace fs = std::filesystem;
using testing::AppDelegateTest;
using testing::FakeToolkit;
using testing::outcome;
using testing::record;
using tracksieve::testing::constantFrames;
using tracksieve::testing::fmtBody;
using tracksieve::testing::Format;
using tracksieve::testing::pcmFrames;
using tracksieve::testing::readFile;
using tracksieve::testing::WavBuilder;
using tracksieve::testing::wavWithLevels;

double amplitude(int decibels) { return std::pow(10.0, decibels / 20.0); }

std::vector<std::string> statusColumn(const FakeToolkit& ui) {
    std::vector<std::string> shown;
    for (const std::vector<Cell>& row : ui.rows(Table::Tracks)) shown.push_back(row.back().text);
    return shown;
}

std::vector<bool> keepColumn(const FakeToolkit& ui) {
    std::vector<bool> shown;
    for (const std::vector<Cell>& row : ui.rows(Table::Tracks)) shown.push_back(row.front().checked.value());
    return shown;
}

TEST_F(AppDelegateTest, SilentBelowJudgesTheMeasuredPeaksAgainWithoutARescan) {
    struct Case {
        int decibels;
        double at;  // a peak exactly at the threshold: sounding
    };
    const std::vector<Case> cases = {{-60, 0.001}, {-72, amplitude(-72)}, {-120, amplitude(-120)}, {0, 1.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.decibels);
        int scans = 0;
        const PolyWavInfo file = record("a.wav", {c.at, std::nextafter(c.at, 0.0), 0.5, 0});
        scanCall = [&](const fs::path&, bool, const ScanProgress&) {
            ++scans;
            return ScanOutcome{{file, record("loud.wav", {1.0, 1.0})}, {}};
        };
        ui.enter(Control::ThresholdField, -30);
        scanFolder();
        ui.enter(Control::ThresholdField, c.decibels);
        EXPECT_EQ(scans, 1) << "no rescan";
        EXPECT_EQ(ui.settings.at("silentBelowDbfs"), std::to_string(c.decibels));
        EXPECT_DOUBLE_EQ(delegate.threshold(), c.at);

        const bool halfSounds = c.decibels < -6;
        EXPECT_EQ(statusColumn(ui),
                  (std::vector<std::string>{"active", "empty", halfSounds ? "active" : "empty", "empty"}));
        EXPECT_EQ(keepColumn(ui), (std::vector<bool>{true, false, halfSounds, false}));
        EXPECT_EQ(ui.shown(Control::DetailsLabel), halfSounds ? "4 tracks · 2 active · 2 empty · 24-bit · 48000 Hz"
                                                              : "4 tracks · 1 active · 3 empty · 24-bit · 48000 Hz");
        EXPECT_NE(ui.rows(Table::Files)[0][0].text.find(halfSounds ? "(2 active, 2 empty)" : "(1 active, 3 empty)"),
                  std::string::npos);
        EXPECT_EQ(ui.shown(Control::StatusLabel), "Found 2 polyphonic WAV file(s); 1 have empty tracks.");
        EXPECT_NEAR(ui.rows(Table::Tracks)[0][3].bar->threshold, (c.decibels + 120) / 120.0, 1e-12) << "the mark moves";
    }
    EXPECT_GT(ui.refreshes[Table::Files], 0);
    EXPECT_GT(ui.refreshes[Table::Tracks], 0);
}

TEST_F(AppDelegateTest, SilentBelowIsRememberedAndTheNextRemovalUsesIt) {
    std::vector<SlimOptions> written;
    slimCall = [&](const fs::path& source, const SlimOptions& options) {
        written.push_back(options);
        return outcome(source, 2, {1});
    };
    showRecords({record("a.wav", {0.5, 0.0001})});
    ui.enter(Control::ThresholdField, -72);
    ui.enter(Control::ThresholdField, -200);  // the field keeps to its range
    EXPECT_EQ(ui.number(Control::ThresholdField), -120);
    ui.enter(Control::ThresholdField, -72);
    ui.click(Control::RemoveAllButton);
    ui.settle();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_DOUBLE_EQ(written[0].threshold, amplitude(-72));
    EXPECT_TRUE(written[0].choices.empty()) << "untouched tracks follow the threshold";

    const std::vector<std::pair<std::optional<std::string>, int>> launches = {
        {"-72", -72}, {std::nullopt, -60}, {"-121", -60}, {"5", -60}, {"-7x", -60}, {"", -60}, {"-120", -120}};
    for (const auto& [setting, shown] : launches) {
        FakeToolkit next;
        if (setting) next.settings["silentBelowDbfs"] = *setting;
        AppDelegate nextDelegate{next};
        next.attach(nextDelegate);
        nextDelegate.applicationDidFinishLaunching();
        EXPECT_EQ(next.number(Control::ThresholdField), shown) << setting.value_or("none");
        EXPECT_DOUBLE_EQ(nextDelegate.threshold(), amplitude(shown));
    }
}

TEST_F(AppDelegateTest, TheScanMeasuresPeaksToFullScaleSoALaterPeakCounts) {
    // Both channels pass -60 dBFS in the first block; the loud sample comes after it.
    const std::string samples = constantFrames(16, 2, 48000, 100) + pcmFrames(16, {{20000, 100}});
    dir_.write("late.wav", WavBuilder().fmt(Format{}).data(samples).bytes());
    scanFolder();
    ui.enter(Control::ThresholdField, -20);
    EXPECT_EQ(statusColumn(ui), (std::vector<std::string>{"active", "empty"}));
    EXPECT_NEAR(delegate.results()[0].tracks[0].peak, 20000 / 32768.0, 1e-12);
}

TEST_F(AppDelegateTest, KeepTicksByMouseAndSpaceAndTheFileSaysItWasChosenByHand) {
    showRecords({record("a.wav", {0.5, 0, 0.5, 0}), record("b.wav", {0.5, 0})});
    const std::string summary = delegate.results()[0].summary();
    EXPECT_EQ(keepColumn(ui), (std::vector<bool>{true, false, true, false}));

    ui.clickCheckbox(Table::Tracks, 1);  // a silent track kept
    EXPECT_EQ(keepColumn(ui), (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(ui.rows(Table::Files)[0][0].text, summary + "  (tracks chosen by hand)");
    EXPECT_EQ(ui.shown(Control::DetailsLabel),
              "4 tracks · 2 active · 2 empty · 24-bit · 48000 Hz · tracks chosen by hand: 3 kept, 1 removed");

    ui.clickRow(Table::Tracks, 2);
    ui.pressSpace(Table::Tracks);  // a sounding track removed
    EXPECT_EQ(keepColumn(ui), (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(ui.shown(Control::DetailsLabel),
              "4 tracks · 2 active · 2 empty · 24-bit · 48000 Hz · tracks chosen by hand: 2 kept, 2 removed");

    ui.clickRow(Table::Files, 1);
    EXPECT_EQ(keepColumn(ui), (std::vector<bool>{true, false})) << "choices belong to their file";
    EXPECT_EQ(ui.rows(Table::Files)[1][0].text, delegate.results()[1].summary());
    ui.clickRow(Table::Files, 0);
    EXPECT_EQ(keepColumn(ui), (std::vector<bool>{true, true, false, false}));

    // A threshold that makes track 2 sound leaves the hand choices as they are.
    ui.enter(Control::ThresholdField, -120);
    EXPECT_EQ(keepColumn(ui), (std::vector<bool>{true, true, false, false}));
    ui.enter(Control::ThresholdField, -60);

    // Back to what the threshold says: no longer chosen by hand.
    ui.clickCheckbox(Table::Tracks, 1);
    ui.pressSpace(Table::Tracks);
    EXPECT_EQ(keepColumn(ui), (std::vector<bool>{true, false, true, false}));
    EXPECT_EQ(ui.rows(Table::Files)[0][0].text, summary);
    EXPECT_EQ(ui.shown(Control::DetailsLabel), "4 tracks · 2 active · 2 empty · 24-bit · 48000 Hz");
}

TEST_F(AppDelegateTest, ARemovalWritesExactlyTheChosenTracksAndTheRescanDropsTheChoices) {
    dir_.write("a.wav", wavWithLevels({1000, 0, 2000, 0}));
    scanFolder();
    ui.clickCheckbox(Table::Tracks, 1);  // keep the silent track 2
    ui.clickCheckbox(Table::Tracks, 2);  // remove the sounding track 3
    ui.click(Control::RemoveAllButton);
    const std::string& question = ui.alerts.back().informativeText;
    EXPECT_NE(
        question.find("\n\na.wav\n\nYour choices remove these tracks although they have sound:\na.wav: Track 3\n\n"),
        std::string::npos)
        << question;
    ui.settle();
    EXPECT_EQ(ui.alerts[1].informativeText, "Success:\na.wav → a_SLIM.wav (2 removed, 2 kept)\n");
    const PolyWavInfo slim = analyzePolyWav(dir_.path() / "a_SLIM.wav", 1.0);
    ASSERT_EQ(slim.channels, 2);
    EXPECT_NEAR(slim.tracks[0].peak, 1000 / 32768.0, 1e-12);
    EXPECT_EQ(slim.tracks[1].peak, 0);

    // The rescan lists both files, each judged by the threshold alone.
    ASSERT_EQ(delegate.results().size(), 2u);
    ui.clickRow(Table::Files, 0);
    EXPECT_EQ(keepColumn(ui), (std::vector<bool>{true, false, true, false}));
    EXPECT_EQ(ui.rows(Table::Files)[0][0].text, delegate.results()[0].summary());
}

TEST_F(AppDelegateTest, HandChoicesDecideWhichFilesARemovalOffers) {
    std::vector<std::vector<TrackChoice>> written;
    slimCall = [&](const fs::path& source, const SlimOptions& options) {
        written.push_back(options.choices);
        return outcome(source, 2, {1});
    };
    showRecords({record("a.wav", {0.5, 0}), record("b.wav", {0.5, 0.5}), record("c.wav", {0.5, 0})});
    ui.clickCheckbox(Table::Tracks, 1);  // a.wav keeps everything
    ui.clickRow(Table::Files, 1);
    ui.clickCheckbox(Table::Tracks, 0);  // b.wav loses a sounding track
    ui.clickRow(Table::Files, 2);
    ui.clickCheckbox(Table::Tracks, 0);  // c.wav keeps nothing
    ui.click(Control::SelectAllButton);
    ui.click(Control::RemoveSelectedButton);
    EXPECT_NE(
        ui.alerts.back().informativeText.find(
            "\n\nb.wav\n\nYour choices remove these tracks although they have sound:\nb.wav: Track 1\n\nSkipped 2 of "
            "the chosen files: 1 without empty tracks, 1 with every track empty.\n"),
        std::string::npos)
        << ui.alerts.back().informativeText;
    ui.settle();
    EXPECT_EQ(written, (std::vector<std::vector<TrackChoice>>{{TrackChoice::Remove, TrackChoice::Keep}}));
}

TEST_F(AppDelegateTest, SameTracksInEveryTakeKeepsATrackThatSoundsInAnyTakeOfTheLayout) {
    std::map<std::string, std::vector<TrackChoice>> written;
    slimCall = [&](const fs::path& source, const SlimOptions& options) {
        written[source.filename().string()] = options.choices;
        return outcome(source, 2, {1});
    };
    const auto removeAll = [&] {
        written.clear();
        ui.click(Control::RemoveAllButton);
        ui.settle();
        return written;
    };
    using enum TrackChoice;
    const std::vector<PolyWavInfo> takes = {record("T1.wav", {0.5, 0, 0}), record("T2.wav", {0.5, 0.5, 0}),
                                            record("T3.wav", {0.5, 0.5, 0.5}), record("other.wav", {0.5, 0})};
    showRecords(takes);
    EXPECT_FALSE(ui.isChecked(Control::SameTracksCheck));
    EXPECT_EQ(removeAll(),
              (std::map<std::string, std::vector<TrackChoice>>{{"T1.wav", {}}, {"T2.wav", {}}, {"other.wav", {}}}))
        << "off: each file follows the threshold";

    ui.check(Control::SameTracksCheck, true);
    showRecords(takes);
    EXPECT_EQ(removeAll(), (std::map<std::string, std::vector<TrackChoice>>{{"other.wav", {Keep, Remove}}}))
        << "every track of the layout sounds in some take, T3 among them although it has nothing to remove";
    const std::string& question = ui.alerts[ui.alerts.size() - 2].informativeText;
    EXPECT_NE(question.find("Skipped 2 of the chosen files: 2 without empty tracks."), std::string::npos);
    EXPECT_EQ(question.find("Kept in every take"), std::string::npos) << "no take written keeps a silent track";
    EXPECT_EQ(ui.settings.at("sameTracksInEveryTake"), "true");

    // Grouped among the selected takes only, with a hand choice on top.
    ui.clickRow(Table::Files, 0);
    ui.clickCheckbox(Table::Tracks, 0);
    ui.clickRow(Table::Files, 1, true);
    written.clear();
    ui.click(Control::RemoveSelectedButton);
    EXPECT_NE(ui.alerts.back().informativeText.find("although they have sound:\nT1.wav: Track 1\n\nKept in every take "
                                                    "of T1.wav, T2.wav: Track 2 (silent in some of them)\n\n"),
              std::string::npos)
        << ui.alerts.back().informativeText;
    ui.settle();
    EXPECT_EQ(written, (std::map<std::string, std::vector<TrackChoice>>{{"T1.wav", {Remove, Keep, Remove}},
                                                                        {"T2.wav", {Keep, Keep, Remove}}}));

    FakeToolkit next;
    next.settings = ui.settings;
    AppDelegate nextDelegate{next};
    next.attach(nextDelegate);
    nextDelegate.applicationDidFinishLaunching();
    EXPECT_TRUE(next.isChecked(Control::SameTracksCheck));
}

TEST_F(AppDelegateTest, ExportMonoFilesWritesOneFilePerKeptTrackAndScansAgain) {
    dir_.write("a.wav", wavWithLevels({1000, 0, 2000}));
    dir_.write("b.wav", wavWithLevels({1000, 1000}));
    scanFolder();
    ui.clickCheckbox(Table::Tracks, 2);  // a.wav's track 3 left out by hand
    ui.click(Control::SelectAllButton);
    ui.answers = {1};
    ui.click(Control::ExportMonoButton);
    EXPECT_EQ(ui.alerts.back().messageText, "Export Mono Files");
    EXPECT_EQ(ui.alerts.back().buttons, (std::vector<std::string>{"Export Mono Files", "Cancel"}));
    EXPECT_EQ(ui.alerts.back().informativeText,
              "Write one mono file for each kept track of 2 file(s), beside each original?\n\na.wav\nb.wav\n\nYour "
              "choices remove these tracks although they have sound:\na.wav: Track 3\n\nEmpty tracks get no file. "
              "bext timecode, iXML (scene/take/track names), and other metadata chunks are copied into each mono "
              "file. Originals are left untouched.");
    ui.settle();
    EXPECT_FALSE(fs::exists(dir_.path() / "a_1.wav")) << "cancelled";

    ui.events.clear();
    ui.click(Control::ExportMonoButton);
    ui.settle();
    EXPECT_EQ(ui.alerts.back().messageText, "Export Mono Files complete");
    EXPECT_EQ(ui.alerts.back().informativeText,
              "Success:\na.wav → a_1.wav (2 removed, 1 kept)\nb.wav → b_1.wav, b_2.wav (0 removed, 2 kept)\n");
    EXPECT_EQ(ui.events[1], "status: Exporting mono files from 2 file(s)…");
    EXPECT_EQ(ui.events[2], "status: Writing 1/2: a.wav");
    EXPECT_EQ(ui.events[6], "status: Exported mono files from 2 file(s).");
    EXPECT_EQ(analyzePolyWav(dir_.path() / "a_1.wav", 1.0).channels, 1);
    EXPECT_FALSE(fs::exists(dir_.path() / "a_3.wav"));
    EXPECT_EQ(ui.events.back(), "status: Found 2 polyphonic WAV file(s); 1 have empty tracks.") << "scanned again";
    EXPECT_FALSE(delegate.chosenByHand(0));
}

TEST_F(AppDelegateTest, AMonoFileNeverReplacesATakeOfTheList) {
    dir_.write("T01.wav", wavWithLevels({1000, 1000}));
    const std::string take = wavWithLevels({2000, 0, 2000});
    dir_.write("T01_1.wav", take);  // a take of its own, named like T01's first mono file
    scanFolder();
    ui.click(Control::SelectAllButton);
    ui.click(Control::ExportMonoButton);
    ui.settle();
    const std::string& report = ui.alerts.back().informativeText;
    EXPECT_NE(report.find("T01.wav: The mono file T01_1.wav would replace one of the files given or already written"),
              std::string::npos)
        << report;
    EXPECT_EQ(readFile(dir_.path() / "T01_1.wav"), take);
    EXPECT_FALSE(fs::exists(dir_.path() / "T01_2.wav")) << "all or none";
}

TEST_F(AppDelegateTest, StopOrQuitDuringAnExportFinishesTheFileInHand) {
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    dir_.write("b.wav", wavWithLevels({1000, 0}));
    for (const bool quit : {false, true}) {
        SCOPED_TRACE(quit);
        scanFolder();
        std::vector<std::string> started;
        splitCall = [&](const fs::path& source, const SplitOptions& options) {
            started.push_back(source.filename().string());
            if (quit) EXPECT_EQ(delegate.applicationShouldTerminate(), TerminateReply::Later);
            else ui.click(Control::StopButton);
            return coreOperations().splitPolyWav(source, options);
        };
        ui.click(Control::SelectAllButton);
        ui.events.clear();
        ui.click(Control::ExportMonoButton);
        EXPECT_EQ(delegate.runningJob(), Job::MonoExport);
        EXPECT_FALSE(ui.isHidden(Control::StopButton));
        ui.runBackground();
        ui.runMain();
        EXPECT_EQ(started, std::vector<std::string>{"a.wav"});
        EXPECT_EQ(ui.terminated, quit);
        EXPECT_TRUE(fs::exists(dir_.path() / "a_1.wav"));
        EXPECT_FALSE(fs::exists(dir_.path() / "b_1.wav"));
        const bool reported =
            std::find(ui.events.begin(), ui.events.end(),
                      "status: Exported mono files from 1 file(s). 1 not started.") != ui.events.end();
        EXPECT_EQ(reported, !quit) << "a quit ends without a report";
        ui.settle();
        fs::remove(dir_.path() / "a_1.wav");
    }
}

TEST_F(AppDelegateTest, ExportReportSavesTheListAsShownThroughTheSaveChooser) {
    ui.click(Control::ExportReportButton);
    EXPECT_EQ(ui.alerts.back().informativeText, "No files to report.");

    dir_.write("a,b.wav", wavWithLevels({1000, 0}));
    scanFolder();
    ui.click(Control::ExportReportButton);
    EXPECT_EQ(ui.chooserMessage, "Save the sound report");
    EXPECT_EQ(ui.chooserStart, pathToUtf8(dir_.path() / "Sound Report.csv"));
    const fs::path saved = dir_.path() / "report.csv";
    ui.closeChooser(pathToUtf8(saved));
    const std::string csv = readFile(saved);
    EXPECT_TRUE(
        csv.starts_with("Folder,File,Scene,Take,Start Timecode,Sample Rate,Bit Depth,Length (s),Track,Track "
                        "Name,Peak (dBFS),Status\r\n"))
        << csv;
    EXPECT_NE(csv.find(",\"a,b.wav\","), std::string::npos) << csv;
    EXPECT_NE(csv.find(",1,Track 1,-30.3,active\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",2,Track 2,-inf,empty\r\n"), std::string::npos) << csv;
    EXPECT_EQ(ui.shown(Control::StatusLabel), "Saved the report of 1 file(s) to " + pathToUtf8(saved) + ".");

    ui.click(Control::ExportReportButton);
    ui.closeChooser(std::nullopt);
    ui.click(Control::ExportReportButton);
    const fs::path nowhere = dir_.path() / "missing" / "report.csv";
    ui.closeChooser(pathToUtf8(nowhere));
    EXPECT_TRUE(ui.alerts.back().informativeText.starts_with("Could not save the report:\n" + pathToUtf8(nowhere) +
                                                             "\n\nCould not create output file"))
        << ui.alerts.back().informativeText;
    EXPECT_FALSE(fs::exists(nowhere.parent_path()));
}

}  // namespace
}  // namespace tracksieve::app
