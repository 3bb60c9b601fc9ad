#include "window_description.h"

#include "track_columns.h"

namespace tracksieve::app {
namespace {

using enum Control;
using A = Anchor;

WindowDescription makeMainWindow() {
    WindowDescription window;
    window.title = "Tracksieve";
    window.subtitle = "By Larkmoor";
    window.contentSize = {960, 640};
    window.minimumContentSize = {940, 480};

    window.controls = {{
        {.control = PathField,
         .kind = ControlKind::TextField,
         .placeholder = "Choose a directory with polyphonic WAV files…",
         .returnAction = Action::Scan},
        {.control = BrowseButton, .kind = ControlKind::PushButton, .text = "Browse…", .action = Action::Browse},
        {.control = ScanButton, .kind = ControlKind::PushButton, .text = "Scan", .action = Action::Scan},
        {.control = RecursiveCheck, .kind = ControlKind::Checkbox, .text = "Include subfolders"},
        {.control = OverwriteCheck,
         .kind = ControlKind::Checkbox,
         .text = "Overwrite originals when removing empty tracks"},
        {.control = ThresholdLabel, .kind = ControlKind::Label, .text = "Silent below:", .names = ThresholdField},
        {.control = ThresholdField,
         .kind = ControlKind::NumberField,
         .action = Action::ThresholdChanged,
         .range = NumberRange{-120, 0, 1, " dBFS"}},
        {.control = SameTracksCheck, .kind = ControlKind::Checkbox, .text = "Same tracks in every take"},
        {.control = FileTable,
         .kind = ControlKind::Table,
         .text = "Polyphonic WAV files",
         .table = TableSettings{.columns = {{"file", "Polyphonic WAV files", 520}}, .allowsMultipleSelection = true}},
        {.control = TrackTable,
         .kind = ControlKind::Table,
         .text = "Tracks",
         .table = TableSettings{.columns = {{columnId(TrackColumn::Keep), "Keep", 44, false, true},
                                            {columnId(TrackColumn::Number), "#", 40},
                                            {columnId(TrackColumn::Name), "Name", 140},
                                            {columnId(TrackColumn::Peak), "Peak", 80, true},
                                            {columnId(TrackColumn::Status), "Status", 70}}}},
        {.control = DetailsLabel, .kind = ControlKind::Label},
        {.control = RemoveAllButton,
         .kind = ControlKind::PushButton,
         .text = "Remove Empty Tracks From All",
         .action = Action::CompressAll},
        {.control = RemoveSelectedButton,
         .kind = ControlKind::PushButton,
         .text = "Remove Empty Tracks From Selected",
         .action = Action::CompressSelected},
        {.control = ExportMonoButton,
         .kind = ControlKind::PushButton,
         .text = "Export Mono Files…",
         .action = Action::ExportMonoFiles},
        {.control = ExportReportButton,
         .kind = ControlKind::PushButton,
         .text = "Export Report…",
         .action = Action::ExportReport},
        {.control = SelectAllButton,
         .kind = ControlKind::PushButton,
         .text = "Select All",
         .action = Action::SelectAllFiles},
        {.control = StatusLabel,
         .kind = ControlKind::Label,
         .text = "Choose a directory to scan for polyphonic WAV files."},
        {.control = Progress, .kind = ControlKind::ProgressBar, .hidden = true},
        {.control = StopButton,
         .kind = ControlKind::PushButton,
         .text = "Stop",
         .action = Action::StopRemoval,
         .shortcut = "Escape",
         .hidden = true},
    }};

    const std::optional<Control> content;
    window.constraints = {
        {PathField, A::Top, content, A::Top, 1, 14},
        {PathField, A::Leading, content, A::Leading, 1, 14},
        {BrowseButton, A::CenterY, PathField, A::CenterY},
        {BrowseButton, A::Leading, PathField, A::Trailing, 1, 8},
        {ScanButton, A::CenterY, PathField, A::CenterY},
        {ScanButton, A::Leading, BrowseButton, A::Trailing, 1, 8},
        {ScanButton, A::Trailing, content, A::Trailing, 1, -14},
        {PathField, A::Height, {}, A::None, 1, 24},
        {RecursiveCheck, A::Top, PathField, A::Bottom, 1, 10},
        {RecursiveCheck, A::Leading, content, A::Leading, 1, 14},
        {OverwriteCheck, A::CenterY, RecursiveCheck, A::CenterY},
        {OverwriteCheck, A::Leading, RecursiveCheck, A::Trailing, 1, 16},
        {ThresholdLabel, A::CenterY, RecursiveCheck, A::CenterY},
        {ThresholdLabel, A::Leading, OverwriteCheck, A::Trailing, 1, 16},
        {ThresholdField, A::CenterY, RecursiveCheck, A::CenterY},
        {ThresholdField, A::Leading, ThresholdLabel, A::Trailing, 1, 6},
        {ThresholdField, A::Width, {}, A::None, 1, 100},
        {SameTracksCheck, A::CenterY, RecursiveCheck, A::CenterY},
        {SameTracksCheck, A::Leading, ThresholdField, A::Trailing, 1, 16},
        {FileTable, A::Top, RecursiveCheck, A::Bottom, 1, 10},
        {FileTable, A::Leading, content, A::Leading, 1, 14},
        {FileTable, A::Bottom, RemoveAllButton, A::Top, 1, -10},
        {FileTable, A::Width, content, A::Width, 0.58, -14},
        {TrackTable, A::Top, FileTable, A::Top},
        {TrackTable, A::Leading, FileTable, A::Trailing, 1, 10},
        {TrackTable, A::Trailing, content, A::Trailing, 1, -14},
        {TrackTable, A::Bottom, DetailsLabel, A::Top, 1, -8},
        {DetailsLabel, A::Leading, TrackTable, A::Leading},
        {DetailsLabel, A::Trailing, TrackTable, A::Trailing},
        {DetailsLabel, A::Bottom, RemoveAllButton, A::Top, 1, -10},
        {RemoveAllButton, A::Leading, content, A::Leading, 1, 14},
        {RemoveAllButton, A::Bottom, StatusLabel, A::Top, 1, -10},
        {RemoveSelectedButton, A::CenterY, RemoveAllButton, A::CenterY},
        {RemoveSelectedButton, A::Leading, RemoveAllButton, A::Trailing, 1, 8},
        {ExportMonoButton, A::CenterY, RemoveAllButton, A::CenterY},
        {ExportMonoButton, A::Leading, RemoveSelectedButton, A::Trailing, 1, 8},
        {ExportReportButton, A::CenterY, RemoveAllButton, A::CenterY},
        {ExportReportButton, A::Leading, ExportMonoButton, A::Trailing, 1, 8},
        {SelectAllButton, A::CenterY, RemoveAllButton, A::CenterY},
        {SelectAllButton, A::Trailing, content, A::Trailing, 1, -14},
        {StatusLabel, A::Leading, content, A::Leading, 1, 14},
        {StatusLabel, A::Trailing, StopButton, A::Leading, 1, -8},
        {StatusLabel, A::Bottom, Progress, A::Top, 1, -6},
        {Progress, A::Leading, content, A::Leading, 1, 14},
        {Progress, A::Trailing, StopButton, A::Leading, 1, -8},
        {Progress, A::Bottom, content, A::Bottom, 1, -14},
        {Progress, A::Height, {}, A::None, 1, 12},
        // Beside the status line and the bar, so that neither runs under it.
        {StopButton, A::Trailing, content, A::Trailing, 1, -14},
        {StopButton, A::Bottom, content, A::Bottom, 1, -14},
        // Fixed, so that the status line's natural width cannot push it aside.
        {StopButton, A::Width, {}, A::None, 1, 80},
    };
    return window;
}

}  // namespace

const WindowDescription& mainWindowDescription() {
    static const WindowDescription window = makeMainWindow();
    return window;
}

const std::vector<MenuItem>& applicationMenu() {
    static const std::vector<MenuItem> menu = {
        {MenuCommand::About, "About Tracksieve", ""},
        {MenuCommand::Separator, "", ""},
        {MenuCommand::Quit, "Quit Tracksieve", "q"},
    };
    return menu;
}

}  // namespace tracksieve::app
