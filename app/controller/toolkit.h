#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "window_description.h"

namespace tracksieve::app {

/// Warning is the toolkit's default look; Critical adds the caution sign.
enum class AlertStyle { Warning, Critical };

struct Alert {
    std::string messageText;
    std::string informativeText;
    AlertStyle style = AlertStyle::Warning;
    /// In order; the first is the default (Return). A button titled "Cancel" answers Escape.
    /// None: the toolkit's single default button.
    std::vector<std::string> buttons{};
    /// The informative text is a list that may be long: it scrolls, and the box stays within
    /// the screen.
    bool scrolls = false;
};

/// The screen and the queues, as the window logic needs them. Everything but `postMain` is
/// called on the main thread only.
class Toolkit {
public:
    virtual ~Toolkit() = default;

    /// Creates the window and its controls as described, lays them out, and brings it to the
    /// front.
    virtual void showWindow(const WindowDescription& window) = 0;

    virtual std::string text(Control control) const = 0;
    virtual void setText(Control control, const std::string& text) = 0;
    virtual bool isChecked(Control checkbox) const = 0;
    virtual void setChecked(Control checkbox, bool checked) = 0;
    virtual int number(Control field) const = 0;
    /// Sets a number field without sending its action, which only the user's changes send.
    virtual void setNumber(Control field, int value) = 0;
    virtual void setHidden(Control control, bool hidden) = 0;
    /// Shows and animates the indeterminate bar, or hides and stops it.
    virtual void setProgressRunning(bool running) = 0;
    /// Turns the shown bar into one filled to `done` of `total`.
    virtual void setProgress(int done, int total) = 0;

    /// A value kept across launches under `key`; none when it was never set.
    virtual std::optional<std::string> setting(const std::string& key) const = 0;
    virtual void setSetting(const std::string& key, const std::string& value) = 0;

    /// Asks the controller again for the table's rows and cells.
    virtual void reloadTable(Table table) = 0;
    /// Asks the controller again for every cell, the rows being the same ones: the selection
    /// and the row in hand stay.
    virtual void refreshCells(Table table) = 0;
    /// The selected rows, ascending.
    virtual std::vector<int> selectedRows(Table table) const = 0;
    /// The row the table considers "the" selected one; -1 when none is selected.
    virtual int selectedRow(Table table) const = 0;
    /// Selects just `row`.
    virtual void selectRow(Table table, int row) = 0;
    virtual void selectAllRows(Table table) = 0;

    /// Runs the alert application-modally; returns the index of the button chosen.
    virtual std::size_t runModal(const Alert& alert) = 0;
    /// Shows the folder chooser attached to the window, open at `startFolder` (the toolkit's
    /// choice when empty), and returns at once. `completion` runs later on the main thread with
    /// the chosen folder, or nothing when cancelled.
    virtual void beginFolderChooser(const std::string& message, const std::string& startFolder,
                                    std::function<void(std::optional<std::string>)> completion) = 0;

    /// Shows the save chooser attached to the window, offering `suggestedPath`, and returns at
    /// once. `completion` runs later on the main thread with the chosen path, or nothing when
    /// cancelled; the chooser has already asked before an existing file is replaced.
    virtual void beginSaveChooser(const std::string& message, const std::string& suggestedPath,
                                  std::function<void(std::optional<std::string>)> completion) = 0;

    /// Runs `job` on a background thread.
    virtual void postBackground(std::function<void()> job) = 0;
    /// Runs `block` on the main thread, after every block posted before it. Any thread.
    virtual void postMain(std::function<void()> block) = 0;
    /// Ends the application; the answer to a termination that was put off.
    virtual void terminate() = 0;
};

}  // namespace tracksieve::app
