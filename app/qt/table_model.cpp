#include "table_model.h"

#include <QWidget>

#include "cell_painting.h"
#include "text_colors.h"

namespace tracksieve::app {
namespace {

QVariant alignment(const TableColumn& column) {
    return QVariant::fromValue((column.alignTrailing ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
}

}  // namespace

TableModel::TableModel(AppDelegate& delegate, Table table, std::vector<TableColumn> columns, const QWidget& view)
    : delegate_(delegate), table_(table), columns_(std::move(columns)), view_(view) {}

void TableModel::reload() {
    beginResetModel();
    endResetModel();
}

void TableModel::refresh() {
    if (rowCount() == 0) return;
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

int TableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : delegate_.numberOfRowsInTableView(table_);
}

int TableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.column()) >= columns_.size()) return {};
    const TableColumn& column = columns_[static_cast<std::size_t>(index.column())];
    if (role == Qt::TextAlignmentRole) return alignment(column);
    if (role == Qt::CheckStateRole) {
        if (!column.checkbox) return {};
        const std::optional<Cell> cell = delegate_.viewForTableColumn(table_, column.id, index.row());
        if (!cell || !cell->checked) return {};
        return *cell->checked ? Qt::Checked : Qt::Unchecked;
    }
    if (role != Qt::DisplayRole && role != Qt::ForegroundRole && role != LevelBarRole && role != LevelBarColorRole &&
        role != ShortenedSpanRole)
        return {};
    const std::optional<Cell> cell = delegate_.viewForTableColumn(table_, column.id, index.row());
    if (!cell) return {};
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(cell->text);
    case LevelBarRole:
        if (!cell->bar) return {};
        return QPointF(cell->bar->level, cell->bar->threshold);
    case LevelBarColorRole:
        if (!cell->bar) return {};
        return textColor(cell->bar->color, view_.palette());
    case ShortenedSpanRole: {
        if (cell->shortenLength == 0) return {};
        // Byte offsets in UTF-8 become character offsets in UTF-16.
        const auto length = [&](std::size_t bytes) {
            return static_cast<int>(QString::fromUtf8(cell->text.data(), static_cast<qsizetype>(bytes)).size());
        };
        const int from = length(cell->shortenFrom);
        return QPoint(from, length(cell->shortenFrom + cell->shortenLength) - from);
    }
    default:
        if (cell->color == TextColor::Label) return {};
        return textColor(cell->color, view_.palette());
    }
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && static_cast<std::size_t>(index.column()) < columns_.size() &&
        columns_[static_cast<std::size_t>(index.column())].checkbox)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

bool TableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !(flags(index) & Qt::ItemIsUserCheckable)) return false;
    const std::string& column = columns_[static_cast<std::size_t>(index.column())].id;
    delegate_.setObjectValueForTableColumn(table_, column, index.row(), value.value<Qt::CheckState>() == Qt::Checked);
    return true;
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || static_cast<std::size_t>(section) >= columns_.size()) return {};
    const TableColumn& column = columns_[static_cast<std::size_t>(section)];
    if (role == Qt::TextAlignmentRole) return alignment(column);
    if (role != Qt::DisplayRole) return {};
    return QString::fromStdString(column.title);
}

}  // namespace tracksieve::app
