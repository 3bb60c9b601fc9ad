#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "app_delegate.h"

namespace tracksieve::app {

/// One of the window's tables. Holds nothing: every cell is asked of the controller when the
/// view draws it.
class TableModel : public QAbstractTableModel {
public:
    TableModel(AppDelegate& delegate, Table table, std::vector<TableColumn> columns, const QWidget& view);

    /// After the controller's data has changed.
    void reload();
    /// After the cells' data changed, the rows being the same.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    AppDelegate& delegate_;
    Table table_;
    std::vector<TableColumn> columns_;
    const QWidget& view_;  // its palette decides the colour shades
};

}  // namespace tracksieve::app
