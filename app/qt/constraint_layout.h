#pragma once

#include <QLayout>
#include <array>
#include <memory>

#include "window_layout.h"

namespace tracksieve::app {

/// Places the window's controls by its layout constraints. Each control's natural size is its
/// size hint.
class ConstraintLayout : public QLayout {
public:
    explicit ConstraintLayout(const WindowDescription& window, QWidget* parent = nullptr);
    ~ConstraintLayout() override;

    /// Controls are added in the order of `Control`.
    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    const WindowDescription& window_;
    std::vector<QLayoutItem*> items_;
};

}  // namespace tracksieve::app
