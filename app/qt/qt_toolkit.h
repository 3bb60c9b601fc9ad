#pragma once

#include <QObject>
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
    QtToolkit();
    ~QtToolkit() override;

    void attach(AppDelegate& delegate) { delegate_ = &delegate; }
    MainWindow* window() const { return window_.get(); }

    void showWindow(const WindowDescription& window) override;
    std::string text(Control control) const override;
    void setText(Control control, const std::string& text) override;
    bool isChecked(Control checkbox) const override;
    void setProgressRunning(bool running) override;
    void reloadTable(Table table) override;
    std::vector<int> selectedRows(Table table) const override;
    int selectedRow(Table table) const override;
    void selectRow(Table table, int row) override;
    void selectAllRows(Table table) override;
    std::size_t runModal(const Alert& alert) override;
    void beginFolderChooser(const std::string& message,
                            std::function<void(std::optional<std::string>)> completion) override;
    void postBackground(std::function<void()> job) override;
    void postMain(std::function<void()> block) override;
    void terminate() override;

private:
    AppDelegate* delegate_ = nullptr;
    QThreadPool pool_;  // waits for its jobs when destroyed
    std::unique_ptr<MainWindow> window_;
};

}  // namespace tracksieve::app
