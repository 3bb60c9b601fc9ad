#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app_delegate.h"
#include "toolkit.h"

namespace tracksieve::app::testing {

/// A toolkit that records what the user would see and runs posted work only when told, in
/// posting order. Alerts are answered from a queue (the default button when it is empty).
class FakeToolkit : public Toolkit {
public:
    void attach(AppDelegate& delegate) { delegate_ = &delegate; }

    void showWindow(const WindowDescription& window) override {
        window_ = &window;
        for (const ControlDescription& control : window.controls) {
            texts_[control.control] = control.text;
            checked_[control.control] = control.checked;
            hidden_[control.control] = control.hidden;
        }
    }
    std::string text(Control control) const override { return texts_.at(control); }
    void setText(Control control, const std::string& text) override {
        texts_[control] = text;
        if (control == Control::StatusLabel) events.push_back("status: " + text);
    }
    bool isChecked(Control checkbox) const override { return checked_.at(checkbox); }
    void setChecked(Control checkbox, bool checked) override { checked_[checkbox] = checked; }
    int number(Control field) const override { return numbers_.at(field); }
    void setNumber(Control field, int value) override { numbers_[field] = value; }
    void setHidden(Control control, bool hidden) override { hidden_[control] = hidden; }
    void setProgressRunning(bool running) override {
        progressRunning = running;
        progress.reset();
    }
    void setProgress(int done, int total) override {
        progress = {done, total};
        events.push_back("progress: " + std::to_string(done) + "/" + std::to_string(total));
    }
    std::optional<std::string> setting(const std::string& key) const override {
        const auto found = settings.find(key);
        return found == settings.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    void setSetting(const std::string& key, const std::string& value) override { settings[key] = value; }

    void reloadTable(Table) override {}
    void refreshCells(Table table) override { ++refreshes[table]; }
    std::vector<int> selectedRows(Table table) const override { return selection_.at(table); }
    int selectedRow(Table table) const override { return shownRow_.at(table); }
    void selectRow(Table table, int row) override { select(table, {row}, row); }
    void selectAllRows(Table table) override {
        std::vector<int> rows;
        for (int row = 0; row < delegate_->numberOfRowsInTableView(table); ++row) rows.push_back(row);
        select(table, rows, shownRow_.at(table) >= 0 ? shownRow_.at(table) : (rows.empty() ? -1 : rows.back()));
    }

    std::size_t runModal(const Alert& alert) override {
        alerts.push_back(alert);
        events.push_back("alert: " + alert.informativeText);
        if (answers.empty()) return 0;
        const std::size_t answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void beginFolderChooser(const std::string& message, const std::string& startFolder,
                            std::function<void(std::optional<std::string>)> completion) override {
        chooserMessage = message;
        chooserStart = startFolder;
        chooser_ = std::move(completion);
    }

    void beginSaveChooser(const std::string& message, const std::string& suggestedPath,
                          std::function<void(std::optional<std::string>)> completion) override {
        chooserMessage = message;
        chooserStart = suggestedPath;
        chooser_ = std::move(completion);
    }

    void postBackground(std::function<void()> job) override { background_.push_back(std::move(job)); }
    void postMain(std::function<void()> block) override { main_.push_back(std::move(block)); }
    void terminate() override { terminated = true; }

    // The user's side.
    void type(Control field, const std::string& text) { texts_[field] = text; }
    void check(Control checkbox, bool on) { checked_[checkbox] = on; }
    /// Sets a number field as the user does, which sends its action; the field keeps to its range.
    void enter(Control field, int value) {
        const ControlDescription& description = window_->controls[static_cast<std::size_t>(field)];
        numbers_[field] = std::clamp(value, description.range->minimum, description.range->maximum);
        delegate_->perform(description.action);
    }
    /// A click on the checkbox of `row` in the table's checkbox column.
    void clickCheckbox(Table table, int row) {
        const std::string column = checkboxColumn(table);
        const bool checked = delegate_->viewForTableColumn(table, column, row)->checked.value();
        delegate_->setObjectValueForTableColumn(table, column, row, !checked);
    }
    /// Space in a table with a checkbox column toggles the checkbox of the row in hand.
    void pressSpace(Table table) {
        if (shownRow_.at(table) >= 0) clickCheckbox(table, shownRow_.at(table));
    }
    /// A hidden button cannot be clicked.
    void click(Control control) {
        if (!hidden_.at(control)) delegate_->perform(window_->controls[static_cast<std::size_t>(control)].action);
    }
    /// A click on `row`, or with the modifier that adds rows to the selection.
    void clickRow(Table table, int row, bool extend = false) {
        std::vector<int> rows = extend ? selection_.at(table) : std::vector<int>{};
        if (std::find(rows.begin(), rows.end(), row) == rows.end()) rows.push_back(row);
        std::sort(rows.begin(), rows.end());
        select(table, rows, row);
    }
    void closeChooser(std::optional<std::string> folder) {
        auto completion = std::move(chooser_);
        chooser_ = nullptr;
        completion(std::move(folder));
    }

    std::size_t pendingBackground() const { return background_.size(); }
    void runBackground() {
        while (!background_.empty()) {
            auto job = std::move(background_.front());
            background_.pop_front();
            job();
        }
    }
    void runMain() {
        while (!main_.empty()) {
            auto block = std::move(main_.front());
            main_.pop_front();
            block();
        }
    }
    /// Runs queued work until both queues are empty.
    void settle() {
        while (!background_.empty() || !main_.empty()) {
            runBackground();
            runMain();
        }
    }

    // What the user sees.
    const std::string& shown(Control control) const { return texts_.at(control); }
    bool isHidden(Control control) const { return hidden_.at(control); }
    std::vector<std::vector<Cell>> rows(Table table) const {
        const Control view = table == Table::Files ? Control::FileTable : Control::TrackTable;
        const std::vector<TableColumn>& columns = window_->controls[static_cast<std::size_t>(view)].table->columns;
        std::vector<std::vector<Cell>> rows;
        for (int row = 0; row < delegate_->numberOfRowsInTableView(table); ++row) {
            std::vector<Cell> cells;
            for (const TableColumn& column : columns)
                cells.push_back(delegate_->viewForTableColumn(table, column.id, row).value());
            rows.push_back(cells);
        }
        return rows;
    }

    std::vector<std::string> events;  // status texts and alerts, in the order shown
    std::vector<Alert> alerts;
    std::deque<std::size_t> answers;
    std::optional<std::string> chooserMessage;
    std::optional<std::string> chooserStart;
    bool progressRunning = false;
    std::optional<std::pair<int, int>> progress;  // done, total; none while indeterminate
    std::map<std::string, std::string> settings;  // kept across launches
    std::map<Table, int> refreshes;               // redraws of the cells of unchanged rows
    bool terminated = false;

private:
    // Like the toolkit, a change of selection is announced to the delegate.
    void select(Table table, std::vector<int> rows, int shown) {
        selection_[table] = std::move(rows);
        shownRow_[table] = shown;
        delegate_->tableViewSelectionDidChange(table);
    }

    std::string checkboxColumn(Table table) const {
        const Control view = table == Table::Files ? Control::FileTable : Control::TrackTable;
        for (const TableColumn& column : window_->controls[static_cast<std::size_t>(view)].table->columns) {
            if (column.checkbox) return column.id;
        }
        throw std::logic_error("the table has no checkbox column");
    }

    AppDelegate* delegate_ = nullptr;
    const WindowDescription* window_ = nullptr;
    std::map<Control, std::string> texts_;
    std::map<Control, bool> checked_;
    std::map<Control, bool> hidden_;
    std::map<Control, int> numbers_;
    std::map<Table, std::vector<int>> selection_{{Table::Files, {}}, {Table::Tracks, {}}};
    std::map<Table, int> shownRow_{{Table::Files, -1}, {Table::Tracks, -1}};
    std::function<void(std::optional<std::string>)> chooser_;
    std::deque<std::function<void()>> background_;
    std::deque<std::function<void()>> main_;
};

}  // namespace tracksieve::app::testing
