#include "platform/x11/X11KeyTapModifiers.hpp"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <string>
#include <utility>

#include "platform/x11/X11KeyMapping.hpp"
#include "platform/x11/X11KeyTranslator.hpp"

namespace mosaiko {

X11KeyTapModifiers::X11KeyTapModifiers(Display* display, const X11KeyTranslator& translator)
    : d_(display), translator_(translator) {}

void X11KeyTapModifiers::observe() {
    int xkbOpcode = 0, xkbError = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (XkbQueryExtension(d_, &xkbOpcode, &xkbEventBase_, &xkbError, &major, &minor)) {
        const unsigned details = XkbModifierStateMask | XkbGroupStateMask;
        XkbSelectEventDetails(d_, XkbUseCoreKbd, XkbStateNotify, details, details);
        XkbStateRec state{};
        if (XkbGetState(d_, XkbUseCoreKbd, &state) == Success) {
            mods_ = state.mods;
            group_ = state.group;
        }
    } else {
        xkbEventBase_ = -1;
    }
}

void X11KeyTapModifiers::stopObserving() {
    if (xkbEventBase_ >= 0) XkbSelectEvents(d_, XkbUseCoreKbd, XkbAllEventsMask, 0);
}

void X11KeyTapModifiers::take(unsigned mods, int group, bool byRequest) {
    pressedModifierFlags_ = 0;  // the server's state has come
    // Set by a client's request rather than by a key.
    if (group != group_) {
        groupByRequest_ = byRequest;
        if (groupByRequest_) ++groupRequests_;
    }
    mods_ = mods;
    group_ = group;
}

std::uint64_t X11KeyTapModifiers::flags() const {
    return X11KeyMapping::modifierFlags(mods_, translator_.masks()) | pressedModifierFlags_;
}

void X11KeyTapModifiers::noteTyped(unsigned keycode, unsigned long time) {
    typedKeys_.push_back({keycode, time, group_, groupRequests_, groupByRequest_});
    if (typedKeys_.size() > kTypedKeys) typedKeys_.pop_front();
}

X11KeyTapModifiers::Typing X11KeyTapModifiers::typedState(unsigned keycode, unsigned long time,
                                                          unsigned mods) {
    Typing typing{withGroup(mods), groupByRequest_};
    while (!typedKeys_.empty()) {
        const TypedKey typed = typedKeys_.front();
        typedKeys_.pop_front();  // those before it were handled, or never will be
        if (typed.keycode != keycode || typed.time != time) continue;
        if (typed.groupRequests != groupRequests_)
            typing.state = (mods & 0xFF) | (static_cast<unsigned>(typed.group) << 13);
        typing.inRequestedGroup = typed.byRequest;
        break;
    }
    return typing;
}

void X11KeyTapModifiers::composeDeadKeys(unsigned keycode, unsigned state, KeyEvent& event) {
    if (event.type != KeyEvent::Type::keyDown) return;
    const std::string accent = X11KeyMapping::deadKeyAccent(translator_.keysymAt(keycode, state));
    const bool afterDeadKey = std::exchange(afterDeadKey_, !accent.empty() && !afterDeadKey_);
    if (accent.empty() || !afterDeadKey) return;
    event.characters = accent;
    event.charactersIgnoringModifiers = accent;
}

}  // namespace mosaiko
