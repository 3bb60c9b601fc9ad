#pragma once

#include <array>
#include <optional>
#include <vector>

#include "window_description.h"

namespace tracksieve::app {

/// A view's frame in the content view, y growing downwards.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

/// Each control's own size, as the toolkit measures it from its text. Only buttons, checkboxes
/// and labels use their width; tables use neither.
using NaturalSizes = std::array<std::optional<Size>, kControlCount>;
using Frames = std::array<Rect, kControlCount>;

/// Resolves the window's constraints into every control's frame for a content view of
/// `content`. Natural sizes fill only what the constraints leave open. Throws
/// std::logic_error when the constraints leave a frame undetermined.
Frames layoutWindow(const WindowDescription& window, Size content, const NaturalSizes& natural);

/// The value of `anchor` on `frame`; `anchor` must not be None.
double anchorValue(const Rect& frame, Anchor anchor);

}  // namespace tracksieve::app
