#include "platform/WindowPlacement.hpp"

#include <algorithm>
#include <cmath>

namespace mosaiko {

namespace {

double overlap(const WindowPlacement::Rect& a, const WindowPlacement::Rect& b) {
    const double width = std::min(a.maxX(), b.maxX()) - std::max(a.minX(), b.minX());
    const double height = std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
    return width > 0 && height > 0 ? width * height : 0;
}

}  // namespace

std::size_t WindowPlacement::screenFor(const std::vector<Rect>& screens,
                                       const std::optional<Rect>& activeWindow,
                                       const std::optional<Point>& pointer) {
    if (activeWindow) {
        std::size_t best = screens.size();
        double most = 0;
        for (std::size_t i = 0; i < screens.size(); ++i) {
            if (const double area = overlap(screens[i], *activeWindow); area > most) {
                most = area;
                best = i;
            }
        }
        if (best < screens.size()) return best;
    }
    if (pointer) {
        for (std::size_t i = 0; i < screens.size(); ++i)
            if (screens[i].contains(*pointer)) return i;
    }
    return 0;
}

WindowPlacement::Rect WindowPlacement::place(Size usual, const Margins& frame, const Rect& available) {
    const double roomWidth = available.width - frame.left - frame.right;
    const double roomHeight = available.height - frame.top - frame.bottom;
    const double width = std::max(1.0, std::min(usual.width, roomWidth));
    const double height = std::max(1.0, std::min(usual.height, roomHeight));
    const double left = available.x + std::floor((available.width - (width + frame.left + frame.right)) / 2);
    const double top = available.y + std::floor((available.height - (height + frame.top + frame.bottom)) / 2);
    // Never above or left of the area: a title bar off the screen cannot be dragged back.
    return {std::max(left, available.x) + frame.left, std::max(top, available.y) + frame.top, width, height};
}

}  // namespace mosaiko
