#pragma once

#include <optional>
#include <vector>

#include "platform/ScreenInfo.hpp"

namespace mosaiko {

// Where the picker panel goes when it opens near the pointer. Everything here is in points, in
// global screen coordinates with the origin at the bottom left of the primary screen and y growing
// upwards; the Qt layer converts at its boundary.
struct PanelPlacement {
    using Point = ScreenInfo::Point;
    using Rect = ScreenInfo::Rect;
    using Screen = ScreenInfo::Screen;

    static constexpr double panelWidth = 640;
    static constexpr double panelHeight = 170;
    static constexpr double edgeMargin = 12;
    static constexpr double gapBelowPointer = 18;

    // The visible frame of the first screen whose frame holds `p`, else of `mainScreen`, else the
    // 800 x 600 area at the origin.
    static Rect visibleArea(Point p, const std::vector<Screen>& screens,
                            const std::optional<Screen>& mainScreen);

    // The panel centred under the pointer, its top edge 18 pt below it, kept 12 pt inside the area.
    // The upper bounds are applied last and win when the area is too small for the panel.
    static Rect frameNear(Point p, const std::vector<Screen>& screens,
                          const std::optional<Screen>& mainScreen);

    // The same over the screens a ScreenInfo lists, its first (the primary) standing for the main one.
    static Rect frameNear(Point p, const ScreenInfo& screenInfo);

    // True once the pointer has moved at least 1 pt away from where it was when the panel showed.
    static bool hasMovedEnoughToUnlockHover(Point origin, Point current);
};

}  // namespace mosaiko
