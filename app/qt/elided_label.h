#pragma once

#include <QLabel>

namespace tracksieve::app {

/// A one-line label that shortens its text in the middle when it is too narrow. It keeps the
/// whole text, so screen readers read all of it.
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tracksieve::app
