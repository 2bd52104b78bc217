#include "platform/x11/QtKeyEventReader.hpp"

// Qt before Xlib: Xlib's macros (Bool, Status) break Qt's headers.
#include <QGuiApplication>
#include <QKeyEvent>
#include <memory>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "platform/x11/X11KeyMapping.hpp"
#include "platform/x11/X11KeyTranslator.hpp"

namespace mosaiko {

namespace {

Display* qtDisplay() {
    if (!qGuiApp) return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

// The keysym of a Qt key without a native event: Latin-1 keys are their own (lower-case) keysym.
unsigned long keysymOf(int key) {
    switch (key) {
        case Qt::Key_Return:
            return XK_Return;
        case Qt::Key_Enter:
            return XK_KP_Enter;
        case Qt::Key_Tab:
            return XK_Tab;
        case Qt::Key_Backspace:
            return XK_BackSpace;
        case Qt::Key_Escape:
            return XK_Escape;
        case Qt::Key_Delete:
            return XK_Delete;
        case Qt::Key_Left:
            return XK_Left;
        case Qt::Key_Right:
            return XK_Right;
        case Qt::Key_Up:
            return XK_Up;
        case Qt::Key_Down:
            return XK_Down;
        default:
            break;
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<unsigned long>(key - Qt::Key_A + 'a');
    if (key >= Qt::Key_Space && key <= Qt::Key_ydiaeresis) return static_cast<unsigned long>(key);
    return 0;
}

}  // namespace

std::optional<KeyEvent> QtKeyEventReader::readWithoutDisplay(const QKeyEvent& event) {
    const unsigned long keysym = keysymOf(event.key());
    if (keysym == 0 || X11KeyMapping::isModifierKeysym(keysym)) return std::nullopt;
    KeyEvent result;
    result.type = KeyEvent::Type::keyDown;
    result.keyCode = X11KeyMapping::virtualKeyCode(keysym).value_or(X11KeyMapping::unknownKeyCode(0));
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers & Qt::ShiftModifier) result.modifierFlags |= ModifierFlag::shift;
    if (modifiers & Qt::ControlModifier) result.modifierFlags |= ModifierFlag::control;
    if (modifiers & Qt::AltModifier) result.modifierFlags |= ModifierFlag::option;
    if (modifiers & Qt::MetaModifier) result.modifierFlags |= ModifierFlag::command;
    result.charactersIgnoringModifiers = X11KeyMapping::characters(keysym, false);
    result.characters = X11KeyMapping::characters(keysym, (modifiers & Qt::ControlModifier) != 0);
    return result;
}

std::optional<KeyEvent> QtKeyEventReader::read(const QKeyEvent& event) {
    Display* display = qtDisplay();
    if (!display || event.nativeScanCode() == 0) return readWithoutDisplay(event);
    // Read afresh each time: the keyboard's mapping may have changed since the last press.
    X11KeyTranslator translator(display);
    KeyEvent result = translator.press(event.nativeScanCode(), event.nativeModifiers());
    if (result.type != KeyEvent::Type::keyDown) return std::nullopt;
    return result;
}

}  // namespace mosaiko
