#pragma once

#include <functional>

#include "platform/KeyEvent.hpp"

namespace mosaiko {

// The library window's own keys: Return and keypad Enter insert the selection, the arrows move
// it, Escape closes the window. Everything else, and every key while a sheet is attached or with
// Control, Option or Command held, goes on to the focused view.
class LibraryKeyHandler {
  public:
    enum class Direction { left, right, down, up };

    // What the keys act on; the answers of insert and move say whether the key was used.
    struct Target {
        std::function<bool()> hasAttachedSheet;
        std::function<bool()> isShowingPins;
        std::function<bool()> insertSelectionFromKeyboard;
        std::function<bool(Direction)> moveSelection;
        std::function<void()> performClose;
    };

    // True when the key was handled and must not reach the focused view.
    static bool handleKeyDown(const KeyEvent& event, const Target& target);
};

}  // namespace mosaiko
