#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cmath>

#include <tracksieve/analysis.h>

#include "app_delegate.h"
#include "application_identity.h"
#include "cell_painting.h"
#include "main_window.h"
#include "qt_toolkit.h"
#include "report_box.h"
#include "table_model.h"
#include "text_colors.h"
#include "wav_builder.h"

namespace tracksieve::app {
namespace {

namespace fs = std::filesystem;
using tracksieve::testing::TempDir;
using tracksieve::testing::wavWithLevels;

// Settings of the tests' own, never the user's.
std::unique_ptr<QSettings> settingsIn(const TempDir& dir) {
    return std::make_unique<QSettings>(QString::fromStdString((dir.path() / "settings.ini").string()),
                                       QSettings::IniFormat);
}

struct BoxSeen {
    QString title;
    QString text;
    QString informativeText;
    QMessageBox::Icon icon;
    QStringList buttons;
    QString defaultButton;
};

// Answers each message box as it opens, from the event loop the box runs, with `key`.
class BoxAnswerer {
public:
    explicit BoxAnswerer(Qt::Key key) {
        QObject::connect(&timer_, &QTimer::timeout, [this, key] {
            if (auto* report = dynamic_cast<ReportBox*>(QApplication::activeModalWidget());
                report && report->isVisible()) {
                seen.push_back({report->windowTitle(),
                                report->messageText(),
                                report->listText(),
                                report->critical() ? QMessageBox::Warning : QMessageBox::Information,
                                {report->okButton()->text()},
                                report->okButton()->text()});
                if (onReport) onReport(*report);
                QTest::keyClick(report, key);
                return;
            }
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            BoxSeen box_seen{box->windowTitle(), box->text(), box->informativeText(), box->icon(), {}, {}};
            for (QAbstractButton* button : box->buttons()) box_seen.buttons << button->text();
            if (box->defaultButton()) box_seen.defaultButton = box->defaultButton()->text();
            seen.push_back(box_seen);
            QTest::keyClick(box, key);
        });
        timer_.start(10);
    }

    std::vector<BoxSeen> seen;
    // Looks at a report box before it is answered.
    std::function<void(const ReportBox&)> onReport;

private:
    QTimer timer_;
};

class QtWindowTest : public ::testing::Test {
protected:
    QtWindowTest() {
        toolkit.attach(delegate);
        delegate.applicationDidFinishLaunching();
        window = toolkit.window();
        // Every test also checks that both models keep Qt's promises to their views, at each change.
        for (const Table table : {Table::Files, Table::Tracks}) {
            modelTesters_.push_back(std::make_unique<QAbstractItemModelTester>(
                window->model(table), QAbstractItemModelTester::FailureReportingMode::Fatal));
        }
    }

    QPushButton* button(Control control) const { return static_cast<QPushButton*>(window->control(control)); }
    QString status() const { return window->label(Control::StatusLabel)->text(); }
    QString cell(Table table, int row, int column, int role = Qt::DisplayRole) const {
        return window->model(table)->index(row, column).data(role).toString();
    }
    bool waitForStatus(const QString& prefix) {
        return QTest::qWaitFor([&] { return status().startsWith(prefix); }, 10000);
    }
    void scanFolder() {
        window->pathField()->setText(QString::fromStdString(dir_.path().string()));
        button(Control::ScanButton)->click();
        ASSERT_TRUE(waitForStatus("Found"));
    }

    TempDir dir_;
    TempDir settingsDir_;
    QtToolkit toolkit{settingsIn(settingsDir_)};
    AppDelegate delegate{toolkit};
    MainWindow* window = nullptr;
    std::vector<std::unique_ptr<QAbstractItemModelTester>> modelTesters_;
};

TEST_F(QtWindowTest, OpensAsDescribed) {
    EXPECT_EQ(window->windowTitle(), "Tracksieve");
    EXPECT_EQ(window->centralWidget()->size(), QSize(960, 640));
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->progress()->isVisible());
    EXPECT_EQ(window->progress()->maximum(), 0) << "indeterminate";
    EXPECT_EQ(status(), "Choose a directory to scan for polyphonic WAV files.");
    EXPECT_EQ(window->pathField()->placeholderText(), "Choose a directory with polyphonic WAV files…");
    EXPECT_EQ(window->table(Table::Files)->model()->headerData(0, Qt::Horizontal).toString(), "Polyphonic WAV files");

    ASSERT_EQ(window->menuBar()->actions().size(), 1);
    const QList<QAction*> items = window->menuBar()->actions().front()->menu()->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), "About Tracksieve");
    EXPECT_EQ(items[0]->menuRole(), QAction::AboutRole);
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), "Quit Tracksieve");
    EXPECT_EQ(items[2]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(items[2]->menuRole(), QAction::QuitRole);

    // Screen readers get the visible texts.
    for (const Control control : {Control::BrowseButton, Control::ScanButton, Control::RecursiveCheck,
                                  Control::RemoveAllButton, Control::StatusLabel}) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(window->control(control));
        const QString shown = control == Control::StatusLabel
                                  ? status()
                                  : static_cast<QAbstractButton*>(window->control(control))->text();
        EXPECT_EQ(accessible->text(QAccessible::Name), shown);
    }

    window->resize(100, 100);
    QTest::qWait(0);
    EXPECT_EQ(window->centralWidget()->size(), QSize(940, 480));
    EXPECT_EQ(window->table(Table::Files)->width(), 531) << "531.2 with its edges rounded";
    const QWidget* sameTracks = window->control(Control::SameTracksCheck);
    EXPECT_LE(sameTracks->x() + sameTracks->sizeHint().width(), 940 - 14) << "the options row fits";
    EXPECT_EQ(window->table(Table::Files)->x(), 14);
}

TEST_F(QtWindowTest, ReturnScansARealFolderAndTheTablesShowIt) {
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    dir_.write("b.wav", wavWithLevels({1000, 1000}));
    QTest::keyClicks(window->pathField(), QStringLiteral(" ") + QString::fromStdString(dir_.path().string()));
    QTest::keyClick(window->pathField(), Qt::Key_Return);
    EXPECT_TRUE(window->progress()->isVisible());
    ASSERT_TRUE(waitForStatus("Found"));
    EXPECT_EQ(status(), "Found 2 polyphonic WAV file(s); 1 have empty tracks.");
    EXPECT_FALSE(window->progress()->isVisible());

    const QPalette& palette = window->table(Table::Files)->palette();
    ASSERT_EQ(window->model(Table::Files)->rowCount(), 2);
    EXPECT_EQ(cell(Table::Files, 0, 0), QString::fromStdString(delegate.results()[0].summary()));
    EXPECT_EQ(window->model(Table::Files)->index(0, 0).data(Qt::ForegroundRole).value<QColor>(),
              textColor(TextColor::Red, palette));
    EXPECT_FALSE(window->model(Table::Files)->index(1, 0).data(Qt::ForegroundRole).isValid());

    EXPECT_EQ(window->table(Table::Files)->selectionModel()->selectedRows().size(), 1);
    ASSERT_EQ(window->model(Table::Tracks)->rowCount(), 2);
    const QStringList second = {cell(Table::Tracks, 1, 1), cell(Table::Tracks, 1, 2), cell(Table::Tracks, 1, 3),
                                cell(Table::Tracks, 1, 4)};
    EXPECT_EQ(second, (QStringList{"2", "Track 2", "-inf", "empty"}));
    EXPECT_EQ(window->model(Table::Tracks)->index(0, 4).data(Qt::ForegroundRole).value<QColor>(),
              textColor(TextColor::Green, palette));
    EXPECT_EQ(window->label(Control::DetailsLabel)->text(), "2 tracks · 1 active · 1 empty · 16-bit · 48000 Hz");

    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(window->table(Table::Tracks));
    ASSERT_TRUE(table && table->tableInterface());
    EXPECT_EQ(table->tableInterface()->cellAt(1, 4)->text(QAccessible::Name), "empty");

    window->table(Table::Files)->selectRow(1);
    EXPECT_EQ(window->label(Control::DetailsLabel)->text(), "2 tracks · 2 active · 0 empty · 16-bit · 48000 Hz");
    QTest::keyClick(window->table(Table::Files), Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(window->table(Table::Files)->selectionModel()->selectedRows().size(), 2);
    EXPECT_EQ(window->label(Control::DetailsLabel)->text(), "2 tracks · 1 active · 1 empty · 16-bit · 48000 Hz")
        << "the current row is the one shown";
}

TEST_F(QtWindowTest, BoxesShowTheirTextsButtonsAndDefaults) {
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    scanFolder();
    BoxAnswerer escape(Qt::Key_Escape);

    window->pathField()->setText("/no/such/folder");
    button(Control::ScanButton)->click();
    window->checkbox(Control::OverwriteCheck)->setChecked(true);
    button(Control::RemoveAllButton)->click();
    ASSERT_EQ(escape.seen.size(), 2u);
    const BoxSeen& alert = escape.seen[0];
    EXPECT_EQ(alert.title, "Tracksieve");
    EXPECT_EQ(alert.text, "Tracksieve");
    EXPECT_EQ(alert.informativeText, "Not a directory:\n/no/such/folder");
    EXPECT_EQ(alert.buttons, QStringList{"OK"});
    const BoxSeen& confirmation = escape.seen[1];
    EXPECT_EQ(confirmation.text, "Remove Empty Tracks");
    EXPECT_TRUE(confirmation.informativeText.startsWith("Remove empty tracks from 1 file(s) and OVERWRITE"));
    EXPECT_EQ(confirmation.icon, QMessageBox::Warning);
    EXPECT_EQ(confirmation.buttons.size(), 2);
    EXPECT_TRUE(confirmation.buttons.contains("Overwrite") && confirmation.buttons.contains("Cancel"));
    EXPECT_EQ(confirmation.defaultButton, "Overwrite");
    EXPECT_FALSE(delegate.busy()) << "Escape cancels";
    EXPECT_FALSE(fs::exists(dir_.path() / "a_SLIM.wav"));
}

TEST_F(QtWindowTest, RemovalReportsAndScansAgain) {
    dir_.write("a.wav", wavWithLevels({1000, 0, 1000}));
    scanFolder();
    BoxAnswerer accept(Qt::Key_Return);
    button(Control::RemoveAllButton)->click();
    EXPECT_EQ(status(), "Removing empty tracks from 1 file(s)…");
    ASSERT_TRUE(QTest::qWaitFor([&] { return accept.seen.size() == 2 && !delegate.busy(); }, 10000));
    EXPECT_EQ(accept.seen[1].text, "Remove Empty Tracks complete");
    EXPECT_EQ(accept.seen[1].informativeText, "Success:\na.wav → a_SLIM.wav (1 removed, 2 kept)\n");
    EXPECT_EQ(status(), "Found 2 polyphonic WAV file(s); 1 have empty tracks.");
    EXPECT_TRUE(cell(Table::Files, 1, 0).contains("a_SLIM.wav"));

    window->checkbox(Control::OverwriteCheck)->setChecked(true);
    window->table(Table::Files)->selectRow(0);
    button(Control::RemoveSelectedButton)->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return accept.seen.size() == 4 && !delegate.busy(); }, 10000));
    EXPECT_EQ(accept.seen[2].defaultButton, "Overwrite");
    EXPECT_EQ(accept.seen[3].informativeText, "Success:\na.wav → a.wav (1 removed, 2 kept)\n");
    EXPECT_EQ(status(), "Found 2 polyphonic WAV file(s); 0 have empty tracks.");
}

TEST_F(QtWindowTest, TabWalksEveryControlInReadingOrderAndArrowsMoveWithinATable) {
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    dir_.write("b.wav", wavWithLevels({1000, 0, 0}));
    scanFolder();
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    window->pathField()->setFocus();
    const std::vector<Control> chain = {
        Control::PathField,          Control::BrowseButton,    Control::ScanButton,           Control::RecursiveCheck,
        Control::OverwriteCheck,     Control::ThresholdField,  Control::SameTracksCheck,      Control::FileTable,
        Control::TrackTable,         Control::RemoveAllButton, Control::RemoveSelectedButton, Control::ExportMonoButton,
        Control::ExportReportButton, Control::SelectAllButton};
    const auto selection = [&] { return window->table(Table::Files)->selectionModel()->selectedRows(); };
    const QModelIndexList selectedBefore = selection();
    for (std::size_t step = 1; step <= chain.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), window->control(chain[step % chain.size()])) << "Tab " << step;
    }
    for (std::size_t step = 1; step <= chain.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), window->control(chain[(chain.size() - step) % chain.size()]))
            << "Shift+Tab " << step;
    }
    EXPECT_EQ(selection(), selectedBefore) << "walking through a table leaves its selection alone";

    window->table(Table::Files)->setFocus();
    QTest::keyClick(window->table(Table::Files), Qt::Key_Down);
    ASSERT_EQ(selection().size(), 1);
    EXPECT_EQ(selection().front().row(), 1);
    EXPECT_EQ(QApplication::focusWidget(), window->table(Table::Files));
}

TEST_F(QtWindowTest, SilentBelowAndTheKeepBoxesDecideWhatTheRemovalWrites) {
    dir_.write("a.wav", wavWithLevels({1000, 0, 20}));  // the third track peaks at -64.3 dBFS
    scanFolder();
    QSpinBox* silentBelow = window->numberField(Control::ThresholdField);
    EXPECT_EQ(silentBelow->value(), -60);
    EXPECT_EQ(silentBelow->text(), "-60 dBFS");
    for (const auto& [control, name] :
         {std::pair{Control::ThresholdLabel, "Silent below:"}, std::pair{Control::ThresholdField, "Silent below:"},
          std::pair{Control::SameTracksCheck, "Same tracks in every take"},
          std::pair{Control::ExportMonoButton, "Export Mono Files…"},
          std::pair{Control::ExportReportButton, "Export Report…"}}) {
        EXPECT_EQ(QAccessible::queryAccessibleInterface(window->control(control))->text(QAccessible::Name),
                  QString::fromUtf8(name));
    }
    TableModel* tracks = window->model(Table::Tracks);
    const auto keep = [&](int row) { return tracks->index(row, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(); };
    EXPECT_EQ(keep(2), Qt::Unchecked);

    QTest::keyClick(silentBelow, Qt::Key_Down);
    EXPECT_EQ(delegate.threshold(), std::pow(10.0, -61 / 20.0)) << "one step, at once";
    silentBelow->setValue(-70);
    EXPECT_EQ(cell(Table::Tracks, 2, 4), "active") << "recoloured without a rescan";
    EXPECT_EQ(keep(2), Qt::Checked);
    EXPECT_EQ(window->label(Control::DetailsLabel)->text(), "3 tracks · 2 active · 1 empty · 16-bit · 48000 Hz");

    // A click on the box keeps the silent track 2; Space on the first row removes track 1.
    QTableView* view = window->table(Table::Tracks);
    const QRect box = view->visualRect(tracks->index(1, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(box.left() + 10, box.center().y()));
    EXPECT_EQ(keep(1), Qt::Checked);
    view->setFocus();
    view->selectionModel()->setCurrentIndex(tracks->index(0, 2),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_EQ(keep(0), Qt::Unchecked);
    EXPECT_EQ(view->currentIndex().row(), 0) << "the row in hand stays";
    EXPECT_TRUE(cell(Table::Files, 0, 0).endsWith("  (tracks chosen by hand)"));

    BoxAnswerer accept(Qt::Key_Return);
    button(Control::RemoveAllButton)->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return accept.seen.size() == 2 && !delegate.busy(); }, 10000));
    EXPECT_TRUE(
        accept.seen[0].informativeText.contains("remove these tracks although they have sound:\na.wav: Track 1\n"));
    EXPECT_EQ(accept.seen[1].informativeText, "Success:\na.wav → a_SLIM.wav (1 removed, 2 kept)\n");
    const PolyWavInfo slim = analyzePolyWav(dir_.path() / "a_SLIM.wav", 1.0);
    ASSERT_EQ(slim.tracks.size(), 2u);
    EXPECT_EQ(slim.tracks[0].peak, 0);
    EXPECT_NEAR(slim.tracks[1].peak, 20 / 32768.0, 1e-12);
    EXPECT_FALSE(cell(Table::Files, 0, 0).endsWith("  (tracks chosen by hand)")) << "the rescan drops the choices";
}

TEST_F(QtWindowTest, ExportReportAsksWhereToSaveAndWritesTheList) {
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    scanFolder();
    button(Control::ExportReportButton)->click();
    QFileDialog* chooser = window->findChild<QFileDialog*>();
    ASSERT_TRUE(chooser && chooser->isVisible());
    EXPECT_EQ(chooser->windowTitle(), "Save the sound report");
    EXPECT_EQ(chooser->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(chooser->defaultSuffix(), "csv");
    const QStringList offered = chooser->selectedFiles();
    ASSERT_EQ(offered.size(), 1);
    EXPECT_EQ(QFileInfo(offered.front()).fileName(), "Sound Report.csv");
    chooser->selectFile(QString::fromStdString((dir_.path() / "take report").string()));
    static_cast<QDialog*>(chooser)->accept();  // as the Save button does
    ASSERT_TRUE(waitForStatus("Saved the report of 1 file(s) to "));
    EXPECT_TRUE(tracksieve::testing::readFile(dir_.path() / "take report.csv").starts_with("Folder,File,Scene,Take"))
        << "the suffix is added";
}

TEST_F(QtWindowTest, ALongReportStaysOnTheScreenWithItsFailuresFirst) {
    constexpr int kFiles = 80;
    for (int i = 0; i < kFiles; ++i) dir_.write("take" + std::to_string(i) + ".wav", wavWithLevels({1000, 0}));
    scanFolder();
    fs::remove(dir_.path() / "take7.wav");  // gone before its turn: one failure
    const QRect screen = window->screen()->availableGeometry();
    BoxAnswerer accept(Qt::Key_Return);
    QRect reportFrame;
    QRect okButton;
    int scrollRange = 0;
    accept.onReport = [&](const ReportBox& report) {
        reportFrame = report.frameGeometry();
        okButton = QRect(report.okButton()->mapTo(&report, QPoint(0, 0)), report.okButton()->size());
        scrollRange = report.list()->verticalScrollBar()->maximum();
    };
    button(Control::RemoveAllButton)->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return accept.seen.size() == 2 && !delegate.busy(); }, 20000));

    const BoxSeen& report = accept.seen[1];
    EXPECT_EQ(report.text, "Remove Empty Tracks complete");
    EXPECT_TRUE(report.informativeText.startsWith("Errors:\ntake7.wav: ")) << report.informativeText.toStdString();
    EXPECT_TRUE(report.informativeText.contains("\n\nSuccess:\ntake0.wav → take0_SLIM.wav (1 removed, 1 kept)\n"));
    EXPECT_EQ(report.icon, QMessageBox::Warning) << "the critical style";
    EXPECT_LE(reportFrame.height(), screen.height());
    EXPECT_TRUE(QRect(QPoint(0, 0), reportFrame.size()).contains(okButton));
    EXPECT_GT(scrollRange, 0) << "the list scrolls";
}

TEST_F(QtWindowTest, TablesAreNamedForScreenReadersAndTheWindowCarriesTheIcon) {
    setUpApplicationIdentity();
    for (const auto& [which, name] :
         {std::pair{Table::Files, "Polyphonic WAV files"}, std::pair{Table::Tracks, "Tracks"}}) {
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(window->table(which));
        EXPECT_EQ(table->text(QAccessible::Name), name);
    }
    EXPECT_FALSE(QApplication::windowIcon().isNull());

    // Docks group the window with its desktop entry by the window's class, the application name.
    QFile entry(QStringLiteral(TRACKSIEVE_DESKTOP_ENTRY));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("\nStartupWMClass=") + QApplication::applicationName() + "\n"))
        << text.toStdString();
}

TEST_F(QtWindowTest, NoInvalidCellIsAskedForWhenAnEmptyOrResetTableHasFocus) {
    QStringList warnings;
    static QStringList* seen = nullptr;
    seen = &warnings;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& message) { seen->append(message); });
    QApplication::setActiveWindow(window);
    for (const Table which : {Table::Tracks, Table::Files}) {
        window->table(which)->setFocus();
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(window->table(which));
        table->focusChild();
    }
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    scanFolder();
    for (const Table which : {Table::Tracks, Table::Files}) {
        window->table(which)->setFocus();
        QAccessible::queryAccessibleInterface(window->table(which))->focusChild();
    }
    qInstallMessageHandler(previous);
    for (const QString& warning : warnings) EXPECT_FALSE(warning.contains("invalid index")) << warning.toStdString();
}

TEST_F(QtWindowTest, PeaksCarryLevelBarsAndFileNamesShortenBeforeTheCounts) {
    dir_.write("a rather long take name from the second shoot day.wav", wavWithLevels({1000, 0}));
    scanFolder();
    const QModelIndex peak = window->model(Table::Tracks)->index(0, 3);
    const QPointF bar = peak.data(LevelBarRole).toPointF();
    EXPECT_NEAR(bar.x(), (20 * std::log10(1000.0 / 32768) + 120) / 120, 1e-9);
    EXPECT_DOUBLE_EQ(bar.y(), 0.5) << "-60 dBFS";
    EXPECT_EQ(window->model(Table::Tracks)->index(1, 3).data(LevelBarRole).toPointF().x(), 0.0) << "silence";
    EXPECT_EQ(peak.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask, Qt::AlignRight);

    const QString line = window->model(Table::Files)->index(0, 0).data().toString();
    const QPoint span = window->model(Table::Files)->index(0, 0).data(ShortenedSpanRole).toPoint();
    EXPECT_EQ(line.mid(span.x(), span.y()), "a rather long take name from the second shoot day.wav");
    const QFontMetrics metrics(window->font());
    for (const int width : {100, 400}) {
        const QString shown = shortenSpan(line, span.x(), span.y(), metrics, width);
        EXPECT_TRUE(shown.contains("2 tracks (1 active, 1 empty)")) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QStringLiteral("…")));
        if (width >= 400) {
            EXPECT_LE(metrics.horizontalAdvance(shown), width);
        }
    }
    EXPECT_EQ(shortenSpan(line, span.x(), span.y(), metrics, 5000), line);
}

TEST(QtWindowSettings, TheWindowKeepsItsSizeAndPlaceAcrossLaunches) {
    const TempDir settings;
    {
        QtToolkit toolkit(settingsIn(settings));
        AppDelegate delegate(toolkit);
        toolkit.attach(delegate);
        delegate.applicationDidFinishLaunching();
        toolkit.window()->resize(1010, 700);
        QTest::qWait(0);
    }
    QtToolkit toolkit(settingsIn(settings));
    AppDelegate delegate(toolkit);
    toolkit.attach(delegate);
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(toolkit.window()->size(), QSize(1010, 700));
}

TEST_F(QtWindowTest, DroppingAFolderScansIt) {
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    QMimeData folder;
    folder.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir_.path().string()))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &folder, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QApplication::sendEvent(window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &folder, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    ASSERT_TRUE(waitForStatus("Found 1"));
    EXPECT_EQ(window->pathField()->text().toStdString(), dir_.path().string());

    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(QString::fromStdString((dir_.path() / "a.wav").string()))});
    QDragEnterEvent fileEnter(QPoint(10, 10), Qt::CopyAction, &file, Qt::LeftButton, Qt::NoModifier);
    fileEnter.ignore();
    QApplication::sendEvent(window, &fileEnter);
    EXPECT_FALSE(fileEnter.isAccepted()) << "only a folder can be dropped";
}

TEST_F(QtWindowTest, ClosingDuringAScanEndsAtOnce) {
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    window->pathField()->setText(QString::fromStdString(dir_.path().string()));
    button(Control::ScanButton)->click();
    ASSERT_EQ(delegate.runningJob(), Job::Scan);
    EXPECT_TRUE(window->close());
}

TEST_F(QtWindowTest, ClosingDuringARemovalEndsOnceTheFileIsWritten) {
    dir_.write("a.wav", wavWithLevels({1000, 0}));
    scanFolder();
    {
        BoxAnswerer accept(Qt::Key_Return);
        button(Control::RemoveAllButton)->click();
        ASSERT_EQ(accept.seen.size(), 1u);
    }
    ASSERT_EQ(delegate.runningJob(), Job::Removal);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(status(), "Finishing the current file before quitting…");

    QEventLoop untilQuit;
    QTimer::singleShot(10000, &untilQuit, [&] { untilQuit.exit(1); });
    EXPECT_EQ(untilQuit.exec(), 0) << "the application ends by itself";
    // The job may have stopped before it began the file; either way nothing is half-written.
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_.path())) {
        if (entry.path().filename() == "a.wav") continue;
        EXPECT_EQ(entry.path().filename(), "a_SLIM.wav");
        EXPECT_EQ(analyzePolyWav(entry.path(), 0.001).channels, 1);
    }
}

TEST(TextColors, ReadableOnLightAndDarkBases) {
    const auto luminance = [](const QColor& color) {
        const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
    };
    const auto contrast = [&](const QColor& a, const QColor& b) {
        const double la = luminance(a), lb = luminance(b);
        return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    };
    QPalette light(Qt::black, QColor(0xef, 0xef, 0xef), Qt::white, Qt::darkGray, Qt::gray, Qt::black, Qt::white);
    light.setColor(QPalette::AlternateBase, QColor(0xf5, 0xf5, 0xf5));
    QPalette dark(Qt::white, QColor(0x35, 0x35, 0x35), QColor(0x55, 0x55, 0x55), Qt::black, Qt::darkGray, Qt::white,
                  QColor(0x2a, 0x2a, 0x2a));
    dark.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x33));
    for (const QPalette& palette : {light, dark}) {
        for (const TextColor color : {TextColor::Red, TextColor::Orange, TextColor::Green}) {
            for (const QPalette::ColorRole background : {QPalette::Base, QPalette::AlternateBase}) {
                EXPECT_GE(contrast(textColor(color, palette), palette.color(background)), 4.5)
                    << static_cast<int>(color) << " on " << palette.color(background).name().toStdString();
            }
        }
        EXPECT_EQ(textColor(TextColor::Label, palette), palette.color(QPalette::Text));
    }
}

}  // namespace
}  // namespace tracksieve::app
