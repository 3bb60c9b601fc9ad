#include "about_box.h"

#include <QMessageBox>

#include "tracksieve/version.h"

namespace tracksieve::app {

// Qt windows have no subtitle, so the maker's line lives here.
void showAboutBox(QWidget* parent) {
    const QString version = QString::fromUtf8(kVersion.data(), static_cast<qsizetype>(kVersion.size()));
    QMessageBox::about(parent, QStringLiteral("About Tracksieve"),
                       QStringLiteral("<b>Tracksieve</b><br>Version %1<br>By Larkmoor").arg(version));
}

}  // namespace tracksieve::app
