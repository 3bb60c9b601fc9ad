#pragma once

class QWidget;

namespace tracksieve::app {

/// The standard about box: the program's name and its maker.
void showAboutBox(QWidget* parent);

}  // namespace tracksieve::app
