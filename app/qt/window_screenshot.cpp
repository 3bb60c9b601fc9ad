// Saves a picture of the desktop window after it has scanned a folder, subfolders included:
// the picture in the README. scripts/screenshot.sh runs it under Xvfb.
#include <QApplication>
#include <QCheckBox>
#include <QTableView>
#include <QTimer>
#include <cstdio>

#include "app_delegate.h"
#include "main_window.h"
#include "qt_toolkit.h"

int main(int argc, char** argv) {
    using namespace tracksieve::app;
    if (argc != 3) {
        std::fprintf(stderr, "usage: tracksieve-screenshot FOLDER PICTURE.png\n");
        return 2;
    }
    QApplication application(argc, argv);
    QtToolkit toolkit;
    AppDelegate delegate(toolkit);
    toolkit.attach(delegate);
    delegate.applicationDidFinishLaunching();
    toolkit.setText(Control::PathField, argv[1]);
    toolkit.window()->checkbox(Control::RecursiveCheck)->setChecked(true);
    delegate.scan();

    const QString picture = QString::fromLocal8Bit(argv[2]);
    int status = 1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (delegate.busy()) return;
        poll.stop();
        // One more turn of the event loop, so the tables have drawn the result.
        QTimer::singleShot(300, [&] {
            toolkit.window()->table(Table::Files)->setFocus();
            status = toolkit.window()->grab().save(picture) ? 0 : 1;
            QApplication::quit();
        });
    });
    poll.start(50);
    QApplication::exec();
    return status;
}
