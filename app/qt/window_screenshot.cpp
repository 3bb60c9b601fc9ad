// Saves pictures of the desktop window after it has scanned a folder, subfolders included, and
// of the confirmation that "Remove Empty Tracks From All" asks: the pictures in the README.
// scripts/screenshot.sh runs it under Xvfb.
#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "app_delegate.h"
#include "application_identity.h"
#include "main_window.h"
#include "qt_toolkit.h"

int main(int argc, char** argv) {
    using namespace tracksieve::app;
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: tracksieve-screenshot FOLDER PICTURE.png [CONFIRMATION.png]\n");
        return 2;
    }
    QApplication application(argc, argv);
    setUpApplicationIdentity();
    // The user's remembered window and folder stay out of the picture.
    const QTemporaryDir settings;
    QtToolkit toolkit(
        std::make_unique<QSettings>(settings.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat));
    AppDelegate delegate(toolkit);
    toolkit.attach(delegate);
    delegate.applicationDidFinishLaunching();
    toolkit.setText(Control::PathField, argv[1]);
    toolkit.window()->checkbox(Control::RecursiveCheck)->setChecked(true);
    delegate.scan();

    const QString picture = QString::fromLocal8Bit(argv[2]);
    const QString confirmation = argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString();
    int status = 1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (delegate.busy()) return;
        poll.stop();
        // One more turn of the event loop, so the tables have drawn the result.
        QTimer::singleShot(300, [&] {
            toolkit.window()->table(Table::Files)->setFocus();
            status = toolkit.window()->grab().save(picture) ? 0 : 1;
            if (!confirmation.isEmpty()) {
                // Taken while the box is open, then cancelled: nothing is written.
                QTimer::singleShot(300, [&] {
                    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    if (!box || !box->grab().save(confirmation)) status = 1;
                    if (box) box->reject();
                });
                delegate.perform(Action::CompressAll);
            }
            QApplication::quit();
        });
    });
    poll.start(50);
    QApplication::exec();
    return status;
}
