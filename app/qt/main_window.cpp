#include "main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

#include "about_box.h"
#include "constraint_layout.h"
#include "elided_label.h"
#include "fitted_table_view.h"
#include "table_model.h"

namespace tracksieve::app {
namespace {

// The one folder being dragged, if that is what the drag holds.
std::optional<QString> draggedFolder(const QMimeData* mime) {
    if (!mime->hasUrls() || mime->urls().size() != 1 || !mime->urls().front().isLocalFile()) return std::nullopt;
    const QFileInfo folder(mime->urls().front().toLocalFile());
    if (!folder.isDir()) return std::nullopt;
    return QDir::toNativeSeparators(folder.absoluteFilePath());
}

}  // namespace

MainWindow::MainWindow(const WindowDescription& window, AppDelegate& delegate) : delegate_(delegate) {
    setWindowTitle(QString::fromStdString(window.title));
    setAcceptDrops(true);
    auto* content = new QWidget(this);
    auto* layout = new ConstraintLayout(window, content);
    for (const ControlDescription& description : window.controls) {
        QWidget* widget = makeControl(description);
        if (description.hidden) widget->hide();
        controls_[static_cast<std::size_t>(description.control)] = widget;
        layout->addWidget(widget);
    }
    // A label names its control for screen readers, as its buddy.
    for (const ControlDescription& description : window.controls) {
        if (description.names) label(description.control)->setBuddy(control(*description.names));
    }
    setCentralWidget(content);
    buildMenu();
}

// The views still ask their models and announce selections while they are torn down, when
// this window can no longer answer the controller's questions about it.
MainWindow::~MainWindow() {
    for (const auto& [which, model] : models_) {
        table(which)->selectionModel()->disconnect(this);
        table(which)->setModel(nullptr);
    }
}

QWidget* MainWindow::makeControl(const ControlDescription& description) {
    const QString text = QString::fromStdString(description.text);
    const Action action = description.action;
    switch (description.kind) {
    case ControlKind::TextField: {
        auto* field = new QLineEdit(text);
        field->setPlaceholderText(QString::fromStdString(description.placeholder));
        field->setAcceptDrops(false);  // a dropped folder goes to the window, which scans it
        const Action returnAction = description.returnAction;
        connect(field, &QLineEdit::returnPressed, this, [this, returnAction] { delegate_.perform(returnAction); });
        return field;
    }
    case ControlKind::PushButton: {
        auto* button = new QPushButton(text);
        button->setAutoDefault(false);
        if (!description.shortcut.empty())
            button->setShortcut(QKeySequence(QString::fromStdString(description.shortcut)));
        connect(button, &QPushButton::clicked, this, [this, action] { delegate_.perform(action); });
        return button;
    }
    case ControlKind::Checkbox: {
        auto* checkbox = new QCheckBox(text);
        checkbox->setChecked(description.checked);
        return checkbox;
    }
    case ControlKind::Table: {
        const Table which = description.control == Control::FileTable ? Table::Files : Table::Tracks;
        auto* view = new FittedTableView(*description.table);
        view->setAccessibleName(text);  // a screen reader says more than "table"
        tableColumns_[which] = description.table->columns;
        return view;
    }
    case ControlKind::Label: return new ElidedLabel(text);
    case ControlKind::NumberField: {
        auto* field = new QSpinBox;
        field->setRange(description.range->minimum, description.range->maximum);
        field->setSingleStep(description.range->step);
        field->setSuffix(QString::fromStdString(description.range->unit));
        field->setKeyboardTracking(false);  // a typed number counts once it is whole
        connect(field, &QSpinBox::valueChanged, this, [this, action] { delegate_.perform(action); });
        return field;
    }
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar;
        bar->setRange(0, 0);  // indeterminate
        bar->setTextVisible(false);
        return bar;
    }
    }
    return nullptr;
}

void MainWindow::buildMenu() {
    // Qt needs a title for the menu that macOS names after the application.
    QMenu* menu = menuBar()->addMenu(QStringLiteral("Tracksieve"));
    for (const MenuItem& item : applicationMenu()) {
        if (item.command == MenuCommand::Separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromStdString(item.title));
        if (!item.keyEquivalent.empty())
            action->setShortcut(
                QKeySequence(QStringLiteral("Ctrl+") + QString::fromStdString(item.keyEquivalent).toUpper()));
        if (item.command == MenuCommand::About) {
            action->setMenuRole(QAction::AboutRole);
            connect(action, &QAction::triggered, this, [this] { showAboutBox(this); });
        } else {
            action->setMenuRole(QAction::QuitRole);
            connect(action, &QAction::triggered, this, &QWidget::close);
        }
    }
}

void MainWindow::attachModels() {
    for (const auto& [which, columns] : tableColumns_) {
        QTableView* view = table(which);
        auto* model = new TableModel(delegate_, which, columns, *view);
        model->setParent(view);
        view->setModel(model);
        models_[which] = model;
        // "The" selected row is the current one, so a move of either is a change of selection.
        QItemSelectionModel* selection = view->selectionModel();
        connect(selection, &QItemSelectionModel::selectionChanged, this,
                [this, which] { delegate_.tableViewSelectionDidChange(which); });
        connect(selection, &QItemSelectionModel::currentRowChanged, this,
                [this, which] { delegate_.tableViewSelectionDidChange(which); });
    }
}

QLineEdit* MainWindow::pathField() const { return static_cast<QLineEdit*>(control(Control::PathField)); }
QCheckBox* MainWindow::checkbox(Control which) const { return static_cast<QCheckBox*>(control(which)); }
QLabel* MainWindow::label(Control which) const { return static_cast<QLabel*>(control(which)); }
QSpinBox* MainWindow::numberField(Control which) const { return static_cast<QSpinBox*>(control(which)); }
QProgressBar* MainWindow::progress() const { return static_cast<QProgressBar*>(control(Control::Progress)); }
QTableView* MainWindow::table(Table which) const {
    return static_cast<QTableView*>(control(which == Table::Files ? Control::FileTable : Control::TrackTable));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (delegate_.applicationShouldTerminate() == TerminateReply::Now) event->accept();
    else event->ignore();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (draggedFolder(event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const std::optional<QString> folder = draggedFolder(event->mimeData());
    if (!folder) return;
    event->acceptProposedAction();
    // After the drop has ended: the scan may open a modal box.
    QMetaObject::invokeMethod(
        this, [this, path = folder->toStdString()] { delegate_.openFolder(path); }, Qt::QueuedConnection);
}

}  // namespace tracksieve::app
