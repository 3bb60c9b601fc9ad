#pragma once

#include <QColor>
#include <QPalette>

#include "app_delegate.h"

namespace tracksieve::app {

/// The system colour for `color`, in a shade readable on `palette`'s base (light or dark).
QColor textColor(TextColor color, const QPalette& palette);

}  // namespace tracksieve::app
