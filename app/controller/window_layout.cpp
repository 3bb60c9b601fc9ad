#include "window_layout.h"

#include <stdexcept>

namespace tracksieve::app {
namespace {

// What is known so far about one view. Each axis is settled once any two of its anchors are.
struct Partial {
    std::optional<double> leading, trailing, width;
    std::optional<double> top, bottom, height, centerY;

    std::optional<double>& slot(Anchor anchor) {
        switch (anchor) {
        case Anchor::Leading: return leading;
        case Anchor::Trailing: return trailing;
        case Anchor::Width: return width;
        case Anchor::Top: return top;
        case Anchor::Bottom: return bottom;
        case Anchor::Height: return height;
        case Anchor::CenterY: return centerY;
        case Anchor::None: break;
        }
        throw std::logic_error("a constraint names no anchor");
    }

    bool settleHorizontal() {
        if (leading && trailing && width) return false;
        if (leading && width) trailing = *leading + *width;
        else if (trailing && width) leading = *trailing - *width;
        else if (leading && trailing) width = *trailing - *leading;
        else return false;
        return true;
    }

    bool settleVertical() {
        if (top && bottom && height && centerY) return false;
        std::optional<double> t, h;
        if (top && height) t = top, h = height;
        else if (top && bottom) t = top, h = *bottom - *top;
        else if (top && centerY) t = top, h = 2 * (*centerY - *top);
        else if (bottom && height) t = *bottom - *height, h = height;
        else if (bottom && centerY) h = 2 * (*bottom - *centerY), t = *bottom - *h;
        else if (height && centerY) t = *centerY - *height / 2, h = height;
        else return false;
        top = t;
        height = h;
        bottom = *t + *h;
        centerY = *t + *h / 2;
        return true;
    }
};

// Editable fields and bars stretch sideways; tables have no size of their own.
bool hasNaturalWidth(ControlKind kind) {
    return kind == ControlKind::PushButton || kind == ControlKind::Checkbox || kind == ControlKind::Label;
}

bool hasNaturalHeight(ControlKind kind) { return kind != ControlKind::Table; }

bool setIfOpen(std::optional<double>& slot, double value) {
    if (slot) return false;
    slot = value;
    return true;
}

}  // namespace

double anchorValue(const Rect& frame, Anchor anchor) {
    switch (anchor) {
    case Anchor::Leading: return frame.x;
    case Anchor::Trailing: return frame.x + frame.width;
    case Anchor::Width: return frame.width;
    case Anchor::Top: return frame.y;
    case Anchor::Bottom: return frame.y + frame.height;
    case Anchor::Height: return frame.height;
    case Anchor::CenterY: return frame.y + frame.height / 2;
    case Anchor::None: break;
    }
    throw std::logic_error("anchorValue needs an anchor");
}

Frames layoutWindow(const WindowDescription& window, Size content, const NaturalSizes& natural) {
    const std::vector<Constraint>& constraints = window.constraints;
    const Rect contentFrame{0, 0, content.width, content.height};
    std::array<Partial, kControlCount> views;

    // Each pass applies every equality in whichever direction has a known side. The constraints
    // are plain equalities between edges, so this settles without a general solver.
    const auto propagate = [&] {
        bool changed = true;
        while (changed) {
            changed = false;
            for (const Constraint& c : constraints) {
                std::optional<double>& own = views[static_cast<std::size_t>(c.view)].slot(c.anchor);
                if (c.otherAnchor == Anchor::None) {
                    changed |= setIfOpen(own, c.constant);
                } else if (!c.other) {
                    changed |= setIfOpen(own, anchorValue(contentFrame, c.otherAnchor) * c.multiplier + c.constant);
                } else {
                    std::optional<double>& other = views[static_cast<std::size_t>(*c.other)].slot(c.otherAnchor);
                    if (other) changed |= setIfOpen(own, *other * c.multiplier + c.constant);
                    else if (own) changed |= setIfOpen(other, (*own - c.constant) / c.multiplier);
                }
            }
            for (Partial& view : views) {
                changed |= view.settleHorizontal();
                changed |= view.settleVertical();
            }
        }
    };

    // Natural sizes have the lowest priority: one at a time, only where nothing else decides.
    for (;;) {
        propagate();
        bool filledOne = false;
        for (std::size_t i = 0; i < kControlCount && !filledOne; ++i) {
            if (!natural[i]) continue;
            // After propagation an axis is either settled or has at most one anchor known.
            Partial& view = views[i];
            const ControlKind kind = window.controls[i].kind;
            if (!view.width && hasNaturalWidth(kind)) filledOne = setIfOpen(view.width, natural[i]->width);
            else if (!view.height && hasNaturalHeight(kind)) filledOne = setIfOpen(view.height, natural[i]->height);
        }
        if (!filledOne) break;
    }

    Frames frames;
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const Partial& view = views[i];
        if (!view.leading || !view.width || !view.top || !view.height)
            throw std::logic_error("the layout constraints leave a view's frame open");
        frames[i] = {*view.leading, *view.top, *view.width, *view.height};
    }
    return frames;
}

}  // namespace tracksieve::app
