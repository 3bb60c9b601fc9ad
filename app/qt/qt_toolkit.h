#pragma once

#include <QFileDialog>
#include <QObject>
#include <QSettings>
#include <QThreadPool>
#include <memory>

#include "toolkit.h"

namespace tracksieve::app {

class AppDelegate;
class MainWindow;

/// The toolkit on Qt Widgets: the window, message boxes and folder chooser on the GUI thread,
/// background jobs on a thread pool, and main-thread blocks as queued calls, which Qt runs in
/// posting order.
class QtToolkit : public QObject, public Toolkit {
public:
    /// Keeps what is remembered across launches in `settings`: the user's by default.
    explicit QtToolkit(std::unique_ptr<QSettings> settings = std::make_unique<QSettings>());
    ~QtToolkit() override;

    void attach(AppDelegate& delegate) { delegate_ = &delegate; }
    MainWindow* window() const { return window_.get(); }

    void showWindow(const WindowDescription& window) override;
    std::string text(Control control) const override;
    void setText(Control control, const std::string& text) override;
    bool isChecked(Control checkbox) const override;
    void setChecked(Control checkbox, bool checked) override;
    int number(Control field) const override;
    void setNumber(Control field, int value) override;
    void setHidden(Control control, bool hidden) override;
    void setProgressRunning(bool running) override;
    void setProgress(int done, int total) override;
    std::optional<std::string> setting(const std::string& key) const override;
    void setSetting(const std::string& key, const std::string& value) override;
    void reloadTable(Table table) override;
    void refreshCells(Table table) override;
    std::vector<int> selectedRows(Table table) const override;
    int selectedRow(Table table) const override;
    void selectRow(Table table, int row) override;
    void selectAllRows(Table table) override;
    std::size_t runModal(const Alert& alert) override;
    void beginFolderChooser(const std::string& message, const std::string& startFolder,
                            std::function<void(std::optional<std::string>)> completion) override;
    void beginSaveChooser(const std::string& message, const std::string& suggestedPath,
                          std::function<void(std::optional<std::string>)> completion) override;
    void postBackground(std::function<void()> job) override;
    void postMain(std::function<void()> block) override;
    void terminate() override;

private:
    void saveWindowGeometry();
    // Opens `chooser` as a sheet of the window; `completion` gets the path chosen, or none.
    void openChooser(QFileDialog* chooser, std::function<void(std::optional<std::string>)> completion);

    std::unique_ptr<QSettings> settings_;
    AppDelegate* delegate_ = nullptr;
    QThreadPool pool_;  // waits for its jobs when destroyed
    std::unique_ptr<MainWindow> window_;
};

}  // namespace tracksieve::app
