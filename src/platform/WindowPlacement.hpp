#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/ScreenInfo.hpp"

namespace mosaiko {

// Where a window of the program opens: on the screen of the active window (the one that holds the
// most of it), else on the screen under the pointer, else on the primary one, as a window centred
// on the screen opens on the screen the user works on; at its usual size, or smaller where that
// screen's available area (without panels) is smaller, and centred in that area with its frame.
// Everything here is in whole pixels of one coordinate system with the origin at the top-left and
// y growing downwards (the X server's, or Qt's desktop coordinates).
class WindowPlacement {
  public:
    using Point = ScreenInfo::Point;
    using Rect = ScreenInfo::Rect;
    struct Size {
        double width = 0;
        double height = 0;
        bool operator==(const Size&) const = default;
    };
    // What the window manager adds around a window's content.
    struct Margins {
        double left = 0;
        double top = 0;
        double right = 0;
        double bottom = 0;
    };

    // An index into `screens` (the primary first), all in one coordinate system with the window
    // and the pointer.
    static std::size_t screenFor(const std::vector<Rect>& screens, const std::optional<Rect>& activeWindow,
                                 const std::optional<Point>& pointer);
    // The window's content: its usual size where the available area has room for it and its frame,
    // else as much as there is (at least one pixel), centred with its frame in the area (a pixel
    // left over goes to the right and below).
    static Rect place(Size usual, const Margins& frame, const Rect& available);
};

}  // namespace mosaiko
