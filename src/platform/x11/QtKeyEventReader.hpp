#pragma once

#include <optional>

#include "platform/KeyEvent.hpp"

class QKeyEvent;

namespace mosaiko {

// The key event the key tap reports for a key press that Qt delivered to one of our windows: the
// same key code, modifier flags and characters, read from the press's X keycode and state with the
// tap's own translation, so a shortcut recorded in a window matches the tap's events. Without an X
// display (the offscreen platform) the press is read from Qt's key and modifiers instead.
class QtKeyEventReader {
  public:
    static std::optional<KeyEvent> read(const QKeyEvent& event);
    // The reading from Qt's key and modifiers alone.
    static std::optional<KeyEvent> readWithoutDisplay(const QKeyEvent& event);
};

}  // namespace mosaiko
