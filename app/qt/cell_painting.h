#pragma once

#include <QFontMetrics>
#include <QString>
#include <QStyledItemDelegate>

namespace tracksieve::app {

/// Item data roles of the window's tables beyond Qt's own.
enum CellRole {
    /// QPointF(level, threshold), both from 0 (−120 dBFS) to 1 (0 dBFS); none without a bar.
    LevelBarRole = Qt::UserRole + 1,
    /// The bar's colour.
    LevelBarColorRole,
    /// QPoint(first, length) in UTF-16 units: the part of the text that may be shortened.
    ShortenedSpanRole,
};

/// `text` fitted into `width` by shortening the `length` characters from `first` in the
/// middle, so that what comes before and after them stays whole.
QString shortenSpan(const QString& text, int first, int length, const QFontMetrics& metrics, int width);

/// Draws the window's table cells: a level bar behind a number, a file name shortened before
/// anything else in its line, and colours that keep their contrast on a selected row.
class CellPainter : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace tracksieve::app
