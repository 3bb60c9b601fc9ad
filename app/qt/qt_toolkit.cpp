#include "qt_toolkit.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableView>

#include "app_delegate.h"
#include "main_window.h"
#include "report_box.h"
#include "table_model.h"

namespace tracksieve::app {
namespace {

QString qt(const std::string& utf8) { return QString::fromStdString(utf8); }

// macOS draws the default alert style with the application's icon and marks a critical one
// with a caution sign; these are Qt's nearest icons.
QMessageBox::Icon iconFor(AlertStyle style) {
    return style == AlertStyle::Critical ? QMessageBox::Warning : QMessageBox::Information;
}

}  // namespace

const QString kWindowGeometry = QStringLiteral("windowGeometry");

// The window's size and place are kept for the next launch, also when the program ends
// without tearing down (a quit during a scan).
QtToolkit::QtToolkit(std::unique_ptr<QSettings> settings) : settings_(std::move(settings)) {
    connect(qApp, &QCoreApplication::aboutToQuit, this, &QtToolkit::saveWindowGeometry);
}

QtToolkit::~QtToolkit() { saveWindowGeometry(); }

void QtToolkit::saveWindowGeometry() {
    if (window_) settings_->setValue(kWindowGeometry, window_->saveGeometry());
    settings_->sync();
}

void QtToolkit::showWindow(const WindowDescription& window) {
    window_ = std::make_unique<MainWindow>(window, *delegate_);
    window_->attachModels();
    window_->centralWidget()->setMinimumSize(static_cast<int>(window.minimumContentSize.width),
                                             static_cast<int>(window.minimumContentSize.height));
    // The content view asks for the described size; a menu bar inside the window comes on top.
    window_->resize(window_->sizeHint());
    const bool restored = window_->restoreGeometry(settings_->value(kWindowGeometry).toByteArray());
    if (const QScreen* screen = QGuiApplication::primaryScreen(); !restored && screen) {
        QRect frame = window_->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window_->move(frame.topLeft());
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

std::string QtToolkit::text(Control control) const {
    if (control == Control::PathField) return window_->pathField()->text().toStdString();
    return window_->label(control)->text().toStdString();
}

void QtToolkit::setText(Control control, const std::string& text) {
    if (control == Control::PathField) window_->pathField()->setText(qt(text));
    else window_->label(control)->setText(qt(text));
}

bool QtToolkit::isChecked(Control checkbox) const { return window_->checkbox(checkbox)->isChecked(); }

void QtToolkit::setChecked(Control checkbox, bool checked) { window_->checkbox(checkbox)->setChecked(checked); }

int QtToolkit::number(Control field) const { return window_->numberField(field)->value(); }

void QtToolkit::setNumber(Control field, int value) {
    const QSignalBlocker quiet(window_->numberField(field));
    window_->numberField(field)->setValue(value);
}

void QtToolkit::setHidden(Control control, bool hidden) { window_->control(control)->setVisible(!hidden); }

void QtToolkit::setProgressRunning(bool running) {
    window_->progress()->setRange(0, 0);  // indeterminate
    window_->progress()->setVisible(running);
}

void QtToolkit::setProgress(int done, int total) {
    window_->progress()->setRange(0, total);
    window_->progress()->setValue(done);
}

std::optional<std::string> QtToolkit::setting(const std::string& key) const {
    const QVariant value = settings_->value(qt(key));
    if (!value.isValid()) return std::nullopt;
    return value.toString().toStdString();
}

void QtToolkit::setSetting(const std::string& key, const std::string& value) {
    settings_->setValue(qt(key), qt(value));
}

void QtToolkit::reloadTable(Table table) {
    window_->model(table)->reload();
    // A screen reader asks a focused table for its current cell: a table with rows always has
    // one (without selecting it), and an empty one takes no focus.
    QTableView* view = window_->table(table);
    const bool empty = view->model()->rowCount() == 0;
    if (!empty && !view->currentIndex().isValid())
        view->selectionModel()->setCurrentIndex(view->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    if (empty && view->hasFocus()) window_->pathField()->setFocus();
    view->setFocusPolicy(empty ? Qt::NoFocus : Qt::StrongFocus);
}

void QtToolkit::refreshCells(Table table) { window_->model(table)->refresh(); }

std::vector<int> QtToolkit::selectedRows(Table table) const {
    std::vector<int> rows;
    for (const QModelIndex& index : window_->table(table)->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The current row when it is selected, as it is after a click; otherwise the first selected.
int QtToolkit::selectedRow(Table table) const {
    const QItemSelectionModel* selection = window_->table(table)->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), {})) return current.row();
    const std::vector<int> rows = selectedRows(table);
    return rows.empty() ? -1 : rows.front();
}

void QtToolkit::selectRow(Table table, int row) {
    QTableView* view = window_->table(table);
    view->selectionModel()->setCurrentIndex(view->model()->index(row, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void QtToolkit::selectAllRows(Table table) { window_->table(table)->selectAll(); }

std::size_t QtToolkit::runModal(const Alert& alert) {
    if (alert.scrolls) {
        ReportBox box(alert.style == AlertStyle::Critical, qt(alert.messageText), qt(alert.informativeText),
                      window_.get());
        box.exec();
        return 0;
    }
    QMessageBox box(iconFor(alert.style), QStringLiteral("Tracksieve"), qt(alert.messageText), QMessageBox::NoButton,
                    window_.get());
    box.setInformativeText(qt(alert.informativeText));
    std::vector<QPushButton*> buttons;
    for (const std::string& title : alert.buttons) {
        const QMessageBox::ButtonRole role = title == "Cancel" ? QMessageBox::RejectRole : QMessageBox::AcceptRole;
        buttons.push_back(box.addButton(qt(title), role));
        if (title == "Cancel") box.setEscapeButton(buttons.back());
    }
    if (buttons.empty()) buttons.push_back(box.addButton(QMessageBox::Ok));
    box.setDefaultButton(buttons.front());
    box.exec();

    const auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    if (chosen != buttons.end()) return static_cast<std::size_t>(chosen - buttons.begin());
    // Closed without a button, for instance when the application quits under it: as Escape.
    const auto cancel = std::find(alert.buttons.begin(), alert.buttons.end(), "Cancel");
    return cancel != alert.buttons.end() ? static_cast<std::size_t>(cancel - alert.buttons.begin()) : 0;
}

void QtToolkit::openChooser(QFileDialog* chooser, std::function<void(std::optional<std::string>)> completion) {
    chooser->setWindowModality(Qt::WindowModal);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    connect(chooser, &QFileDialog::finished, this, [chooser, completion = std::move(completion)](int result) {
        const QStringList chosen = chooser->selectedFiles();
        if (result == QDialog::Accepted && !chosen.isEmpty())
            completion(QDir::toNativeSeparators(chosen.front()).toStdString());
        else completion(std::nullopt);
    });
    chooser->open();
}

void QtToolkit::beginFolderChooser(const std::string& message, const std::string& startFolder,
                                   std::function<void(std::optional<std::string>)> completion) {
    // Qt's chooser has no message line; its title carries the message.
    auto* chooser = new QFileDialog(window_.get(), qt(message), qt(startFolder));
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setOption(QFileDialog::ShowDirsOnly);
    openChooser(chooser, std::move(completion));
}

void QtToolkit::beginSaveChooser(const std::string& message, const std::string& suggestedPath,
                                 std::function<void(std::optional<std::string>)> completion) {
    auto* chooser = new QFileDialog(window_.get(), qt(message), qt(suggestedPath), QStringLiteral("CSV (*.csv)"));
    chooser->setAcceptMode(QFileDialog::AcceptSave);
    chooser->setDefaultSuffix(QStringLiteral("csv"));
    chooser->selectFile(qt(suggestedPath));
    openChooser(chooser, std::move(completion));
}

void QtToolkit::postBackground(std::function<void()> job) { pool_.start(std::move(job)); }

void QtToolkit::postMain(std::function<void()> block) {
    QMetaObject::invokeMethod(this, std::move(block), Qt::QueuedConnection);
}

void QtToolkit::terminate() { QCoreApplication::exit(0); }

}  // namespace tracksieve::app
