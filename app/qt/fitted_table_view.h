#pragma once

#include <QTableView>
#include <vector>

#include "window_description.h"

namespace tracksieve::app {

/// A table whose columns share its width in proportion to their given widths, so that no
/// sideways scrolling is needed. Space toggles the checkbox of the row in hand, whichever of the
/// row's cells is current.
class FittedTableView : public QTableView {
public:
    FittedTableView(const TableSettings& settings, QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::vector<double> widths_;
    int checkboxColumn_ = -1;
};

}  // namespace tracksieve::app
