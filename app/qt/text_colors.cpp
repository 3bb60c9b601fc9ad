#include "text_colors.h"

namespace tracksieve::app {

QColor textColor(TextColor color, const QPalette& palette) {
    const bool darkBase = palette.color(QPalette::Base).lightness() < 128;
    switch (color) {
    case TextColor::Red: return darkBase ? QColor(0xff, 0x6b, 0x6b) : QColor(0xc6, 0x28, 0x28);
    case TextColor::Orange: return darkBase ? QColor(0xff, 0xa9, 0x4d) : QColor(0xa8, 0x50, 0x00);
    case TextColor::Green: return darkBase ? QColor(0x69, 0xdb, 0x7c) : QColor(0x2e, 0x7d, 0x32);
    case TextColor::Label: break;
    }
    return palette.color(QPalette::Text);
}

}  // namespace tracksieve::app
