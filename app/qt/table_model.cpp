#include "table_model.h"

#include <QWidget>

#include "text_colors.h"

namespace tracksieve::app {

TableModel::TableModel(AppDelegate& delegate, Table table, std::vector<TableColumn> columns, const QWidget& view)
    : delegate_(delegate), table_(table), columns_(std::move(columns)), view_(view) {}

void TableModel::reload() {
    beginResetModel();
    endResetModel();
}

int TableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : delegate_.numberOfRowsInTableView(table_);
}

int TableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ForegroundRole) return {};
    if (!index.isValid() || static_cast<std::size_t>(index.column()) >= columns_.size()) return {};
    const std::optional<Cell> cell =
        delegate_.viewForTableColumn(table_, columns_[static_cast<std::size_t>(index.column())].id, index.row());
    if (!cell) return {};
    if (role == Qt::DisplayRole) return QString::fromStdString(cell->text);
    if (cell->color == TextColor::Label) return {};
    return textColor(cell->color, view_.palette());
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        static_cast<std::size_t>(section) >= columns_.size())
        return {};
    return QString::fromStdString(columns_[static_cast<std::size_t>(section)].title);
}

}  // namespace tracksieve::app
