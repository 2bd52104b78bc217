#include "app/logic/LibraryKeyHandler.hpp"

namespace mosaiko {

bool LibraryKeyHandler::handleKeyDown(const KeyEvent& event, const Target& target) {
    if (target.hasAttachedSheet()) return false;
    constexpr std::uint64_t blocking = ModifierFlag::control | ModifierFlag::option | ModifierFlag::command;
    if (event.modifierFlags & blocking) return false;

    auto move = [&](Direction direction) {
        return !target.isShowingPins() && target.moveSelection(direction);
    };
    switch (event.keyCode) {
        case KeyCode::returnKey:
        case KeyCode::keypadEnter:
            return !target.isShowingPins() && target.insertSelectionFromKeyboard();
        case KeyCode::escape:
            target.performClose();
            return true;
        case KeyCode::leftArrow:
            return move(Direction::left);
        case KeyCode::rightArrow:
            return move(Direction::right);
        case KeyCode::downArrow:
            return move(Direction::down);
        case KeyCode::upArrow:
            return move(Direction::up);
        default:
            return false;
    }
}

}  // namespace mosaiko
