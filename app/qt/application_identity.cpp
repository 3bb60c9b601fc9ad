#include "application_identity.h"

#include <QApplication>
#include <QIcon>

namespace tracksieve::app {

void setUpApplicationIdentity() {
    // On X11 the application name is the window's class, which the desktop entry's
    // StartupWMClass names; on Wayland the desktop file name is the window's app id.
    QApplication::setApplicationName(QStringLiteral("Tracksieve"));
    QApplication::setOrganizationName(QStringLiteral("Larkmoor"));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kAppId));
    // The installed theme icon, or the one built in when the program runs from its build tree.
    QApplication::setWindowIcon(
        QIcon::fromTheme(QString::fromLatin1(kAppId), QIcon(QStringLiteral(":/icons/tracksieve.png"))));
}

}  // namespace tracksieve::app
