#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tracksieve::app {

/// The views of the main window, in the order they are added to the content view.
enum class Control {
    PathField,
    BrowseButton,
    ScanButton,
    RecursiveCheck,
    OverwriteCheck,
    ThresholdLabel,
    ThresholdField,
    SameTracksCheck,
    FileTable,
    TrackTable,
    DetailsLabel,
    RemoveAllButton,
    RemoveSelectedButton,
    ExportMonoButton,
    ExportReportButton,
    SelectAllButton,
    StatusLabel,
    Progress,
    StopButton,
};
inline constexpr std::size_t kControlCount = 19;

enum class ControlKind { TextField, PushButton, Checkbox, Table, Label, ProgressBar, NumberField };

/// What a control sends to the controller when it is used.
enum class Action {
    None,
    Browse,
    Scan,
    CompressAll,
    CompressSelected,
    SelectAllFiles,
    StopRemoval,
    ThresholdChanged,
    ExportMonoFiles,
    ExportReport,
};

enum class Table { Files, Tracks };

struct TableColumn {
    std::string id;
    std::string title;
    double width = 0;
    bool alignTrailing = false;  // numbers
    bool checkbox = false;       // a checkbox per row, toggled by a click or by Space on the row
};

struct TableSettings {
    std::vector<TableColumn> columns;
    bool allowsMultipleSelection = false;
    bool allowsEmptySelection = true;
    double rowHeight = 22;
    bool alternatingRows = true;
};

/// The whole numbers a number field takes, and the unit shown after its value.
struct NumberRange {
    int minimum = 0;
    int maximum = 0;
    int step = 1;
    std::string unit{};
};

/// Labels are read-only single lines truncated in the middle; the bar is indeterminate.
struct ControlDescription {
    Control control;
    ControlKind kind;
    std::string text{};  // title, label text, initial field text, or a table's accessible name
    std::string placeholder{};
    Action action = Action::None;
    Action returnAction = Action::None;  // sent when Return is pressed in a text field
    std::string shortcut{};              // a key that clicks the button while it is shown, such as "Escape"
    bool checked = false;
    bool hidden = false;
    std::optional<TableSettings> table{};
    std::optional<NumberRange> range{};  // a number field's; `action` is sent when the user changes it
    std::optional<Control> names{};      // the control a label names, for screen readers
};

enum class Anchor { None, Top, Bottom, Leading, Trailing, CenterY, Width, Height };

/// One equality: `view.anchor = other.otherAnchor × multiplier + constant`. An empty `other`
/// is the content view; `otherAnchor` None makes it `view.anchor = constant`.
struct Constraint {
    Control view;
    Anchor anchor;
    std::optional<Control> other;
    Anchor otherAnchor;
    double multiplier = 1;
    double constant = 0;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

enum class MenuCommand { About, Separator, Quit };

struct MenuItem {
    MenuCommand command;
    std::string title;
    std::string keyEquivalent;  // with the platform's command modifier
};

struct WindowDescription {
    std::string title;
    std::string subtitle;
    Size contentSize;
    Size minimumContentSize;
    std::array<ControlDescription, kControlCount> controls;
    std::vector<Constraint> constraints;
};

const WindowDescription& mainWindowDescription();
/// The one application menu.
const std::vector<MenuItem>& applicationMenu();

}  // namespace tracksieve::app
