#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "window_description.h"
#include "window_layout.h"

namespace tracksieve::app {
namespace {

using enum Control;

TEST(WindowDescription, ControlsCarryTheirTextsKindsAndActions) {
    struct Expected {
        ControlKind kind;
        std::string text;
        Action action;
    };
    const std::vector<Expected> expected = {
        {ControlKind::TextField, "", Action::None},
        {ControlKind::PushButton, "Browse…", Action::Browse},
        {ControlKind::PushButton, "Scan", Action::Scan},
        {ControlKind::Checkbox, "Include subfolders", Action::None},
        {ControlKind::Checkbox, "Overwrite originals when removing empty tracks", Action::None},
        {ControlKind::Label, "Silent below:", Action::None},
        {ControlKind::NumberField, "", Action::ThresholdChanged},
        {ControlKind::Checkbox, "Same tracks in every take", Action::None},
        {ControlKind::Table, "Polyphonic WAV files", Action::None},
        {ControlKind::Table, "Tracks", Action::None},
        {ControlKind::Label, "", Action::None},
        {ControlKind::PushButton, "Remove Empty Tracks From All", Action::CompressAll},
        {ControlKind::PushButton, "Remove Empty Tracks From Selected", Action::CompressSelected},
        {ControlKind::PushButton, "Export Mono Files…", Action::ExportMonoFiles},
        {ControlKind::PushButton, "Export Report…", Action::ExportReport},
        {ControlKind::PushButton, "Select All", Action::SelectAllFiles},
        {ControlKind::Label, "Choose a directory to scan for polyphonic WAV files.", Action::None},
        {ControlKind::ProgressBar, "", Action::None},
        {ControlKind::PushButton, "Stop", Action::StopRemoval},
    };
    const WindowDescription& window = mainWindowDescription();
    ASSERT_EQ(window.controls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const ControlDescription& control = window.controls[i];
        EXPECT_EQ(static_cast<std::size_t>(control.control), i) << "listed in the order they are added";
        EXPECT_EQ(control.kind, expected[i].kind);
        EXPECT_EQ(control.text, expected[i].text);
        EXPECT_EQ(control.action, expected[i].action);
        EXPECT_FALSE(control.checked);
        EXPECT_EQ(control.hidden, control.control == Progress || control.control == StopButton);
        EXPECT_EQ(control.shortcut, control.control == StopButton ? "Escape" : "");
        EXPECT_EQ(control.returnAction, control.control == PathField ? Action::Scan : Action::None);
        EXPECT_EQ(control.names,
                  control.control == ThresholdLabel ? std::optional<Control>(ThresholdField) : std::nullopt);
        EXPECT_EQ(control.range.has_value(), control.control == ThresholdField);
    }
    const NumberRange& range = *window.controls[static_cast<std::size_t>(ThresholdField)].range;
    EXPECT_EQ(std::vector<int>({range.minimum, range.maximum, range.step}), std::vector<int>({-120, 0, 1}));
    EXPECT_EQ(range.unit, " dBFS");
    EXPECT_EQ(window.controls[0].placeholder, "Choose a directory with polyphonic WAV files…");
    EXPECT_EQ(window.title, "Tracksieve");
    EXPECT_EQ(window.subtitle, "By Larkmoor");
    EXPECT_EQ(window.contentSize, (Size{960, 640}));
    EXPECT_EQ(window.minimumContentSize, (Size{940, 480}));
}

TEST(WindowDescription, TablesAndMenu) {
    const auto columns = [](const TableSettings& table) {
        std::vector<std::string> described;
        for (const TableColumn& column : table.columns)
            described.push_back(column.id + "|" + column.title + "|" + std::to_string(static_cast<int>(column.width)) +
                                (column.checkbox ? "|checkbox" : ""));
        return described;
    };
    const TableSettings& files = *mainWindowDescription().controls[static_cast<std::size_t>(FileTable)].table;
    const TableSettings& tracks = *mainWindowDescription().controls[static_cast<std::size_t>(TrackTable)].table;
    EXPECT_EQ(columns(files), std::vector<std::string>{"file|Polyphonic WAV files|520"});
    EXPECT_EQ(columns(tracks), (std::vector<std::string>{"keep|Keep|44|checkbox", "num|#|40", "name|Name|140",
                                                         "peak|Peak|80", "status|Status|70"}));
    EXPECT_TRUE(files.allowsMultipleSelection);
    EXPECT_FALSE(tracks.allowsMultipleSelection);
    EXPECT_TRUE(tracks.allowsEmptySelection);
    for (const TableSettings* table : {&files, &tracks}) {
        EXPECT_EQ(table->rowHeight, 22);
        EXPECT_TRUE(table->alternatingRows);
    }

    const std::vector<MenuItem>& menu = applicationMenu();
    ASSERT_EQ(menu.size(), 3u);
    EXPECT_EQ(menu[0].title, "About Tracksieve");
    EXPECT_EQ(menu[1].command, MenuCommand::Separator);
    EXPECT_EQ(menu[2].title, "Quit Tracksieve");
    EXPECT_EQ(menu[2].keyEquivalent, "q");
}

NaturalSizes naturalSizes() {
    NaturalSizes natural;
    natural[static_cast<std::size_t>(PathField)] = Size{200, 21};
    natural[static_cast<std::size_t>(BrowseButton)] = Size{90, 32};
    natural[static_cast<std::size_t>(ScanButton)] = Size{70, 32};
    natural[static_cast<std::size_t>(RecursiveCheck)] = Size{140, 18};
    natural[static_cast<std::size_t>(OverwriteCheck)] = Size{330, 18};
    natural[static_cast<std::size_t>(ThresholdLabel)] = Size{85, 16};
    natural[static_cast<std::size_t>(ThresholdField)] = Size{80, 24};
    natural[static_cast<std::size_t>(SameTracksCheck)] = Size{190, 18};
    natural[static_cast<std::size_t>(DetailsLabel)] = Size{0, 16};
    natural[static_cast<std::size_t>(RemoveAllButton)] = Size{210, 32};
    natural[static_cast<std::size_t>(RemoveSelectedButton)] = Size{240, 32};
    natural[static_cast<std::size_t>(ExportMonoButton)] = Size{150, 32};
    natural[static_cast<std::size_t>(ExportReportButton)] = Size{120, 32};
    natural[static_cast<std::size_t>(SelectAllButton)] = Size{90, 32};
    natural[static_cast<std::size_t>(StatusLabel)] = Size{400, 16};
    natural[static_cast<std::size_t>(Progress)] = Size{100, 20};
    natural[static_cast<std::size_t>(StopButton)] = Size{70, 32};
    return natural;
}

Rect frameOf(const Frames& frames, Control control) { return frames[static_cast<std::size_t>(control)]; }

TEST(WindowLayout, EveryConstraintHoldsAtTheDefaultAndTheSmallestSize) {
    const WindowDescription& window = mainWindowDescription();
    ASSERT_EQ(window.constraints.size(), 50u);
    for (const Size content : {Size{960, 640}, Size{940, 480}, Size{1600, 1000}}) {
        SCOPED_TRACE(content.width);
        const Frames frames = layoutWindow(window, content, naturalSizes());
        const Rect contentFrame{0, 0, content.width, content.height};
        for (std::size_t i = 0; i < window.constraints.size(); ++i) {
            const Constraint& c = window.constraints[i];
            const double other = c.otherAnchor == Anchor::None ? 0
                                 : c.other                     ? anchorValue(frameOf(frames, *c.other), c.otherAnchor)
                                                               : anchorValue(contentFrame, c.otherAnchor);
            EXPECT_NEAR(anchorValue(frameOf(frames, c.view), c.anchor), other * c.multiplier + c.constant, 1e-9)
                << "constraint " << i + 1;
        }
        for (const Rect& frame : frames) {
            EXPECT_GE(frame.x, 14 - 1e-9);
            EXPECT_LE(frame.x + frame.width, content.width - 14 + 1e-9);
            EXPECT_GT(frame.width, 0);
            EXPECT_GT(frame.height, 0);
        }
    }
}

TEST(WindowLayout, TablesShareTheBandAndControlsKeepTheirNaturalSizes) {
    const Frames small = layoutWindow(mainWindowDescription(), {940, 480}, naturalSizes());
    EXPECT_NEAR(frameOf(small, FileTable).width, 531.2, 1e-9);
    EXPECT_NEAR(frameOf(small, TrackTable).x, 14 + 531.2 + 10, 1e-9);
    EXPECT_NEAR(frameOf(small, TrackTable).width, 940 - 14 - 541.2 - 14, 1e-9);
    // The options row ends inside the smallest window.
    EXPECT_LE(frameOf(small, SameTracksCheck).x + frameOf(small, SameTracksCheck).width, 940 - 14);

    const Frames frames = layoutWindow(mainWindowDescription(), {960, 640}, naturalSizes());
    EXPECT_NEAR(frameOf(frames, FileTable).width, 542.8, 1e-9);
    EXPECT_EQ(frameOf(frames, ScanButton).width, 70);
    EXPECT_EQ(frameOf(frames, BrowseButton).x, 960 - 14 - 70 - 8 - 90);
    EXPECT_EQ(frameOf(frames, PathField).width, 960 - 14 - 70 - 8 - 90 - 8 - 14);
    EXPECT_EQ(frameOf(frames, PathField).height, 24);
    EXPECT_EQ(frameOf(frames, BrowseButton).y, 14 + 12 - 16) << "centred on the path field";
    EXPECT_EQ(frameOf(frames, RecursiveCheck).y, 14 + 24 + 10);
    EXPECT_EQ(frameOf(frames, OverwriteCheck).x, 14 + 140 + 16);
    EXPECT_EQ(frameOf(frames, FileTable).y, 48 + 18 + 10);
    EXPECT_EQ(frameOf(frames, Progress).y, 640 - 14 - 12);
    EXPECT_EQ(frameOf(frames, StatusLabel).y, 614 - 6 - 16);
    EXPECT_EQ(frameOf(frames, RemoveAllButton).y, 592 - 10 - 32);
    EXPECT_EQ(frameOf(frames, FileTable).y + frameOf(frames, FileTable).height, 550 - 10);
    EXPECT_EQ(frameOf(frames, DetailsLabel).y, 540 - 16);
    EXPECT_EQ(frameOf(frames, TrackTable).y + frameOf(frames, TrackTable).height, 524 - 8);
    EXPECT_EQ(frameOf(frames, SelectAllButton).x, 960 - 14 - 90);
    EXPECT_EQ(frameOf(frames, RemoveSelectedButton).x, 14 + 210 + 8);
    EXPECT_EQ(frameOf(frames, ExportMonoButton).x, 14 + 210 + 8 + 240 + 8);
    EXPECT_EQ(frameOf(frames, ExportReportButton).x, 14 + 210 + 8 + 240 + 8 + 150 + 8);
    EXPECT_EQ(frameOf(frames, ThresholdLabel).x, 14 + 140 + 16 + 330 + 16);
    EXPECT_EQ(frameOf(frames, ThresholdField).x, 14 + 140 + 16 + 330 + 16 + 85 + 6);
    EXPECT_EQ(frameOf(frames, ThresholdField).width, 100) << "fixed, whatever its natural width";
    EXPECT_EQ(frameOf(frames, SameTracksCheck).x, 14 + 140 + 16 + 330 + 16 + 85 + 6 + 100 + 16);
    EXPECT_EQ(frameOf(frames, ThresholdField).y + 12, frameOf(frames, RecursiveCheck).y + 9) << "centred on the row";
    // "Stop" stands at the bottom right, the status line and the bar end before it.
    EXPECT_EQ(frameOf(frames, StopButton).x, 960 - 14 - 80);
    EXPECT_EQ(frameOf(frames, StopButton).y, 640 - 14 - 32);
    EXPECT_EQ(frameOf(frames, Progress).x + frameOf(frames, Progress).width, 960 - 14 - 80 - 8);
    EXPECT_EQ(frameOf(frames, StatusLabel).x + frameOf(frames, StatusLabel).width, 960 - 14 - 80 - 8);
}

TEST(WindowLayout, AnOpenFrameIsAnError) {
    WindowDescription window = mainWindowDescription();
    std::erase_if(window.constraints,
                  [](const Constraint& c) { return c.view == Progress && c.anchor == Anchor::Height; });
    NaturalSizes natural = naturalSizes();
    natural[static_cast<std::size_t>(Progress)].reset();
    EXPECT_THROW(layoutWindow(window, {960, 640}, natural), std::logic_error);
}

}  // namespace
}  // namespace tracksieve::app
