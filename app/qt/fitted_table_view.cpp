#include "fitted_table_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <numeric>

#include "cell_painting.h"

namespace tracksieve::app {

FittedTableView::FittedTableView(const TableSettings& settings, QWidget* parent) : QTableView(parent) {
    for (const TableColumn& column : settings.columns) {
        if (column.checkbox) checkboxColumn_ = static_cast<int>(widths_.size());
        widths_.push_back(column.width);
    }
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(settings.allowsMultipleSelection ? QAbstractItemView::ExtendedSelection
                                                      : QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table for the next control; the arrow keys move within it.
    setTabKeyNavigation(false);
    setItemDelegate(new CellPainter(this));
    setAlternatingRowColors(settings.alternatingRows);
    setTextElideMode(Qt::ElideMiddle);
    setShowGrid(false);
    setWordWrap(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(static_cast<int>(settings.rowHeight));
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void FittedTableView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    const double total = std::accumulate(widths_.begin(), widths_.end(), 0.0);
    const int available = viewport()->width();
    int used = 0;
    for (std::size_t i = 0; i < widths_.size(); ++i) {
        // The last column takes what rounding left over.
        const int width = i + 1 == widths_.size() ? available - used : static_cast<int>(available * widths_[i] / total);
        setColumnWidth(static_cast<int>(i), width);
        used += width;
    }
}

void FittedTableView::keyPressEvent(QKeyEvent* event) {
    const bool toggle = (event->key() == Qt::Key_Space || event->key() == Qt::Key_Select) &&
                        event->modifiers() == Qt::NoModifier && checkboxColumn_ >= 0 && currentIndex().isValid();
    if (!toggle) {
        QTableView::keyPressEvent(event);
        return;
    }
    const QModelIndex box = model()->index(currentIndex().row(), checkboxColumn_);
    const bool checked = box.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
    model()->setData(box, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    event->accept();
}

}  // namespace tracksieve::app
