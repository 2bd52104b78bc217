#pragma once

#include <QMargins>

class QScreen;

namespace mosaiko {

// The screen the user works on, for a window of the program that opens: the screen of the active
// window (the one that holds the most of it), else the one under the pointer, else the primary
// one (WindowPlacement::screenFor over what the X server reports, in its own pixels: the screens'
// places in Qt's coordinates are not to scale where Qt scales). Main thread only.
class ActiveScreen {
  public:
    // Null where the platform tells neither the active window nor the pointer (no X display).
    static QScreen* screen();
    // What the window manager adds around a window: taken from a shown window of the program,
    // else a common title bar and border.
    static QMargins frameMargins();
};

}  // namespace mosaiko
