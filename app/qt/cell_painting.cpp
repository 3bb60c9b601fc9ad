#include "cell_painting.h"

#include <QApplication>
#include <QPainter>
#include <algorithm>

namespace tracksieve::app {
namespace {

// Room the style keeps between a cell's edge and its text.
int textMargin(const QStyleOptionViewItem& option) {
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, option.widget) + 1;
}

}  // namespace

QString shortenSpan(const QString& text, int first, int length, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(text) <= width) return text;
    const QString before = text.left(first);
    const QString after = text.mid(first + length);
    const int room = width - metrics.horizontalAdvance(before) - metrics.horizontalAdvance(after);
    QString span = metrics.elidedText(text.mid(first, length), Qt::ElideMiddle, std::max(room, 0));
    if (span.isEmpty()) span = QStringLiteral("…");
    return before + span + after;
}

void CellPainter::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant span = index.data(ShortenedSpanRole);
    if (span.isValid()) {
        const QPoint part = span.toPoint();
        option->text = shortenSpan(option->text, part.x(), part.y(), option->fontMetrics,
                                   option->rect.width() - 2 * textMargin(*option));
    }
}

void CellPainter::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QVariant bar = index.data(LevelBarRole);
    const QVariant foreground = index.data(Qt::ForegroundRole);
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    if (!bar.isValid() && !(selected && foreground.isValid())) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);  // background and selection

    painter->save();
    const QRect inner = option.rect.adjusted(2, 2, -2, -2);
    // On a selected row the coloured text keeps its own ground, so it reads as on any other row.
    if (selected) painter->fillRect(inner, option.palette.color(QPalette::Base));
    if (bar.isValid()) {
        const QPointF levels = bar.toPointF();
        QColor fill = index.data(LevelBarColorRole).value<QColor>();
        fill.setAlphaF(0.35);
        const QRect band(inner.left(), inner.bottom() - inner.height() / 3, inner.width(), inner.height() / 3 + 1);
        painter->fillRect(
            QRectF(band.left(), band.top(), band.width() * std::clamp(levels.x(), 0.0, 1.0), band.height()), fill);
        QColor mark = option.palette.color(QPalette::Text);
        mark.setAlphaF(0.6);
        const double x = inner.left() + inner.width() * std::clamp(levels.y(), 0.0, 1.0);
        painter->setPen(QPen(mark, 1));
        painter->drawLine(QPointF(x, inner.top()), QPointF(x, inner.bottom()));
    }
    painter->setPen(foreground.isValid() ? foreground.value<QColor>() : option.palette.color(QPalette::Text));
    painter->setFont(item.font);
    const int margin = textMargin(item);
    painter->drawText(option.rect.adjusted(margin, 0, -margin, 0), static_cast<int>(item.displayAlignment), text);
    painter->restore();
}

}  // namespace tracksieve::app
