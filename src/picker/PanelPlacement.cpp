#include "picker/PanelPlacement.hpp"

#include <algorithm>

namespace mosaiko {

PanelPlacement::Rect PanelPlacement::visibleArea(Point p, const std::vector<Screen>& screens,
                                                 const std::optional<Screen>& mainScreen) {
    for (const auto& screen : screens) {
        if (screen.frame.contains(p)) return screen.visibleFrame;
    }
    if (mainScreen) return mainScreen->visibleFrame;
    return Rect{0, 0, 800, 600};
}

PanelPlacement::Rect PanelPlacement::frameNear(Point p, const std::vector<Screen>& screens,
                                               const std::optional<Screen>& mainScreen) {
    const Rect area = visibleArea(p, screens, mainScreen);
    double x = p.x - panelWidth / 2;
    double y = p.y - panelHeight - gapBelowPointer;
    x = std::max(x, area.minX() + edgeMargin);
    x = std::min(x, area.maxX() - panelWidth - edgeMargin);
    y = std::max(y, area.minY() + edgeMargin);
    y = std::min(y, area.maxY() - panelHeight - edgeMargin);
    return Rect{x, y, panelWidth, panelHeight};
}

PanelPlacement::Rect PanelPlacement::frameNear(Point p, const ScreenInfo& screenInfo) {
    const auto screens = screenInfo.screens();
    return frameNear(p, screens, screens.empty() ? std::nullopt : std::optional<Screen>(screens.front()));
}

bool PanelPlacement::hasMovedEnoughToUnlockHover(Point origin, Point current) {
    const double dx = current.x - origin.x;
    const double dy = current.y - origin.y;
    return dx * dx + dy * dy >= 1.0;
}

}  // namespace mosaiko
