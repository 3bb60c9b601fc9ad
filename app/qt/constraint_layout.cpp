#include "constraint_layout.h"

#include <cmath>

namespace tracksieve::app {

ConstraintLayout::ConstraintLayout(const WindowDescription& window, QWidget* parent)
    : QLayout(parent), window_(window) {
    setContentsMargins(0, 0, 0, 0);
}

ConstraintLayout::~ConstraintLayout() {
    for (QLayoutItem* item : items_) delete item;
}

void ConstraintLayout::addItem(QLayoutItem* item) { items_.push_back(item); }

int ConstraintLayout::count() const { return static_cast<int>(items_.size()); }

QLayoutItem* ConstraintLayout::itemAt(int index) const {
    return index >= 0 && index < count() ? items_[static_cast<std::size_t>(index)] : nullptr;
}

QLayoutItem* ConstraintLayout::takeAt(int index) {
    if (index < 0 || index >= count()) return nullptr;
    QLayoutItem* item = items_[static_cast<std::size_t>(index)];
    items_.erase(items_.begin() + index);
    return item;
}

QSize ConstraintLayout::sizeHint() const {
    return {static_cast<int>(window_.contentSize.width), static_cast<int>(window_.contentSize.height)};
}

QSize ConstraintLayout::minimumSize() const {
    return {static_cast<int>(window_.minimumContentSize.width), static_cast<int>(window_.minimumContentSize.height)};
}

void ConstraintLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    if (items_.size() != kControlCount) return;
    NaturalSizes natural;
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const QSize hint = items_[i]->sizeHint();
        natural[i] = Size{static_cast<double>(hint.width()), static_cast<double>(hint.height())};
    }
    const Frames frames =
        layoutWindow(window_, {static_cast<double>(rect.width()), static_cast<double>(rect.height())}, natural);
    for (std::size_t i = 0; i < kControlCount; ++i) {
        // Rounding the edges, not the sizes, keeps the gaps between neighbours exact.
        const Rect& frame = frames[i];
        const int left = static_cast<int>(std::lround(frame.x));
        const int top = static_cast<int>(std::lround(frame.y));
        const int right = static_cast<int>(std::lround(frame.x + frame.width));
        const int bottom = static_cast<int>(std::lround(frame.y + frame.height));
        items_[i]->setGeometry(QRect(rect.x() + left, rect.y() + top, right - left, bottom - top));
    }
}

}  // namespace tracksieve::app
