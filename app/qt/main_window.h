#pragma once

#include <QMainWindow>
#include <array>
#include <map>

#include "app_delegate.h"
#include "window_description.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QSpinBox;
class QTableView;

namespace tracksieve::app {

class TableModel;

/// The main window built from its description: the controls in a content view placed by the
/// layout constraints, and the one application menu. Controls send their actions to the
/// controller; closing asks it whether the application may end now.
class MainWindow : public QMainWindow {
public:
    MainWindow(const WindowDescription& window, AppDelegate& delegate);
    ~MainWindow() override;
    /// Gives the tables their data, once the toolkit can answer the controller's questions
    /// about the window.
    void attachModels();

    QWidget* control(Control control) const { return controls_[static_cast<std::size_t>(control)]; }
    QLineEdit* pathField() const;
    QCheckBox* checkbox(Control control) const;
    QLabel* label(Control control) const;
    QProgressBar* progress() const;
    QSpinBox* numberField(Control control) const;
    QTableView* table(Table table) const;
    TableModel* model(Table table) const { return models_.at(table); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QWidget* makeControl(const ControlDescription& description);
    void buildMenu();

    AppDelegate& delegate_;
    std::array<QWidget*, kControlCount> controls_{};
    std::map<Table, std::vector<TableColumn>> tableColumns_;
    std::map<Table, TableModel*> models_;
};

}  // namespace tracksieve::app
