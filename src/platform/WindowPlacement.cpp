#include "platform/WindowPlacement.hpp"

#include <algorithm>

namespace mosaiko {

namespace {

long long overlap(const WindowPlacement::Rect& a, const WindowPlacement::Rect& b) {
    const int width = std::min(a.x + a.width, b.x + b.width) - std::max(a.x, b.x);
    const int height = std::min(a.y + a.height, b.y + b.height) - std::max(a.y, b.y);
    return width > 0 && height > 0 ? static_cast<long long>(width) * height : 0;
}

}  // namespace

std::size_t WindowPlacement::screenFor(const std::vector<Rect>& screens,
                                       const std::optional<Rect>& activeWindow,
                                       const std::optional<Point>& pointer) {
    if (activeWindow) {
        std::size_t best = screens.size();
        long long most = 0;
        for (std::size_t i = 0; i < screens.size(); ++i) {
            if (const long long area = overlap(screens[i], *activeWindow); area > most) {
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
    const int roomWidth = available.width - frame.left - frame.right;
    const int roomHeight = available.height - frame.top - frame.bottom;
    const int width = std::max(1, std::min(usual.width, roomWidth));
    const int height = std::max(1, std::min(usual.height, roomHeight));
    const int left = available.x + (available.width - (width + frame.left + frame.right)) / 2;
    const int top = available.y + (available.height - (height + frame.top + frame.bottom)) / 2;
    // Never above or left of the area: a title bar off the screen cannot be dragged back.
    return {std::max(left, available.x) + frame.left, std::max(top, available.y) + frame.top, width, height};
}

}  // namespace mosaiko
