#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace mosaiko {

// Where a window of the program opens: on the screen of the active window (the one that holds the
// most of it), else on the screen under the pointer, else on the primary one, as a window centred
// on the screen opens on the screen the user works on; at its usual size, or smaller where that
// screen's available area (without panels) is smaller, and centred in that area with its frame.
class WindowPlacement {
  public:
    struct Point {
        int x = 0;
        int y = 0;
    };
    struct Size {
        int width = 0;
        int height = 0;
        bool operator==(const Size&) const = default;
    };
    // Origin at the top-left, y growing downwards; right and bottom edges exclusive.
    struct Rect {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        bool contains(Point p) const { return p.x >= x && p.x < x + width && p.y >= y && p.y < y + height; }
        bool operator==(const Rect&) const = default;
    };
    // What the window manager adds around a window's content.
    struct Margins {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
    };

    // An index into `screens` (the primary first), all in one coordinate system with the window
    // and the pointer.
    static std::size_t screenFor(const std::vector<Rect>& screens, const std::optional<Rect>& activeWindow,
                                 const std::optional<Point>& pointer);
    // The window's content: its usual size where the available area has room for it and its frame,
    // else as much as there is, centred with its frame in the area.
    static Rect place(Size usual, const Margins& frame, const Rect& available);
};

}  // namespace mosaiko
