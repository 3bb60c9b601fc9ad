#include "elided_label.h"

#include <QPainter>
#include <algorithm>
#include <QStyle>

namespace tracksieve::app {

// An empty label keeps the height of a line, so the rows around it do not jump.
QSize ElidedLabel::sizeHint() const {
    const QSize hint = QLabel::sizeHint();
    return {hint.width(), std::max(hint.height(), fontMetrics().height())};
}

QSize ElidedLabel::minimumSizeHint() const { return {0, sizeHint().height()}; }

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width());
    style()->drawItemText(&painter, area, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), shown,
                          foregroundRole());
}

}  // namespace tracksieve::app
