#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app_delegate.h"
#include "application_identity.h"
#include "launch_arguments.h"
#include "qt_toolkit.h"

int main(int argc, char** argv) {
    using namespace tracksieve::app;
    // Help and version are answered before Qt looks for a display.
    const LaunchRequest early = parseLaunchArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (early.kind == LaunchRequest::Kind::PrintHelp || early.kind == LaunchRequest::Kind::PrintVersion) {
        std::fputs(early.text.c_str(), stdout);
        return EXIT_SUCCESS;
    }

    QApplication application(argc, argv);
    setUpApplicationIdentity();
    // Qt has taken its own options out of the arguments by now.
    std::vector<std::string> arguments;
    for (const QString& argument : QApplication::arguments().mid(1)) arguments.push_back(argument.toStdString());
    const LaunchRequest request = parseLaunchArguments(arguments);
    if (request.kind == LaunchRequest::Kind::Fail) {
        std::fputs(request.text.c_str(), stderr);
        return 2;
    }

    QtToolkit toolkit;
    AppDelegate delegate(toolkit);
    toolkit.attach(delegate);
    QApplication::setQuitOnLastWindowClosed(delegate.applicationShouldTerminateAfterLastWindowClosed());
    delegate.applicationDidFinishLaunching();
    // A folder named on the command line waits in the path field, ready to scan.
    if (!request.folder.empty()) toolkit.setText(Control::PathField, request.folder);

    const int status = QApplication::exec();
    // A scan only reads, so it need not be waited for.
    if (delegate.runningJob() == Job::Scan) std::quick_exit(status);
    return status;
}
