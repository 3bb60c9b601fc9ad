#include <QApplication>
#include <QStringList>
#include <cstdlib>

#include "app_delegate.h"
#include "qt_toolkit.h"

int main(int argc, char** argv) {
    using namespace tracksieve::app;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tracksieve"));

    QtToolkit toolkit;
    AppDelegate delegate(toolkit);
    toolkit.attach(delegate);
    QApplication::setQuitOnLastWindowClosed(delegate.applicationShouldTerminateAfterLastWindowClosed());
    delegate.applicationDidFinishLaunching();
    // A folder named on the command line waits in the path field, ready to scan.
    if (const QStringList arguments = QApplication::arguments(); arguments.size() > 1)
        toolkit.setText(Control::PathField, arguments.at(1).toStdString());

    const int status = QApplication::exec();
    // A scan only reads, so it need not be waited for.
    if (delegate.runningJob() == Job::Scan) std::quick_exit(status);
    return status;
}
