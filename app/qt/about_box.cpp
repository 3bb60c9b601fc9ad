#include "about_box.h"

#include <QMessageBox>

namespace tracksieve::app {

// Qt windows have no subtitle, so the maker's line lives here.
void showAboutBox(QWidget* parent) {
    QMessageBox::about(parent, QStringLiteral("About Tracksieve"), QStringLiteral("<b>Tracksieve</b><br>By Larkmoor"));
}

}  // namespace tracksieve::app
