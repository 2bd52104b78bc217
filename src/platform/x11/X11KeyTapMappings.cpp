#include "platform/x11/X11KeyTapMappings.hpp"

#include <X11/Xlib.h>

#include <algorithm>
#include <utility>

#include "platform/MainLoop.hpp"
#include "platform/x11/PostedKeyLedger.hpp"
#include "platform/x11/X11KeyMapping.hpp"
#include "platform/x11/X11KeyTranslator.hpp"

namespace mosaiko {

namespace {

double now() {
    return SystemClock::shared().uptime();
}

bool isKeyboardMapping(const XEvent& event) {
    return event.type == MappingNotify && event.xmapping.request == MappingKeyboard;
}

}  // namespace

X11KeyTapMappings::X11KeyTapMappings(Display* display, const X11KeyTranslator& translator,
                                     PostedKeyLedger& ledger)
    : d_(display), translator_(translator), ledger_(ledger) {}

void X11KeyTapMappings::takeRecorder(std::unique_ptr<X11KeymapRecorder> recorder, const KeyHolds& holds,
                                     unsigned long serverTime) {
    recorder_ = std::move(recorder);
    if (recorder_) recorder_->recordPresses(makesKeysWait(holds), serverTime);
}

void X11KeyTapMappings::recordPresses(const KeyHolds& holds, unsigned long serverTime) {
    if (recorder_) recorder_->recordPresses(makesKeysWait(holds), serverTime);
}

bool X11KeyTapMappings::makesKeysWait(const KeyHolds& holds) {
    return holds.everyKey || std::any_of(holds.keys.begin(), holds.keys.end(), [](const KeyHold& hold) {
               return !hold.modifiers && hold.after.empty();
           });
}

void X11KeyTapMappings::readAnnounced() {
    auto collect = [](Display*, XEvent* e, XPointer arg) -> int {
        auto& queued = *reinterpret_cast<std::vector<XMappingEvent>*>(arg);
        if (isKeyboardMapping(*e)) queued.push_back(e->xmapping);
        return False;
    };
    std::vector<XMappingEvent> queued;  // every announcement queued now, in order
    XEvent ignored;
    XCheckIfEvent(d_, &ignored, collect, reinterpret_cast<XPointer>(&queued));
    // The first of them are those read before.
    for (std::size_t i = announcedMappings_.size(); i < queued.size(); ++i) {
        const XMappingEvent& mapping = queued[i];
        const bool sameAsBefore = i > 0 && queued[i - 1].first_keycode == mapping.first_keycode &&
                                  queued[i - 1].count == mapping.count;
        announcedMappings_.push_back(sameAsBefore ? announcedMappings_.back()
                                                  : mappedKeysyms(mapping.first_keycode, mapping.count));
    }
}

std::vector<KeySym> X11KeyTapMappings::mappedKeysyms(int first, int count) {
    std::vector<KeySym> keysyms(static_cast<std::size_t>(std::max(count, 0)), NoSymbol);
    int perKeycode = 0;
    if (count <= 0) return keysyms;
    if (KeySym* map = XGetKeyboardMapping(d_, static_cast<::KeyCode>(first), count, &perKeycode)) {
        for (int i = 0; i < count && perKeycode > 0; ++i)
            keysyms[static_cast<std::size_t>(i)] = map[i * perKeycode];
        XFree(map);
    }
    return keysyms;
}

void X11KeyTapMappings::takeAnnounced(int request, int firstKeycode, int count) {
    if (request != MappingKeyboard) return;
    std::vector<KeySym> keysyms;
    if (announcedMappings_.empty()) {
        keysyms = mappedKeysyms(firstKeycode, count);
    } else {
        keysyms = std::move(announcedMappings_.front());
        announcedMappings_.pop_front();
    }
    // A tool remaps a key or a few; a new layout names the whole keyboard.
    int minKeycode = 0, maxKeycode = 0;
    XDisplayKeycodes(d_, &minKeycode, &maxKeycode);
    const bool wholeKeyboard = firstKeycode <= minKeycode && firstKeycode + count > maxKeycode;
    for (std::size_t i = 0; i < keysyms.size(); ++i) {
        const std::size_t keycode = static_cast<std::size_t>(firstKeycode) + i;
        if (keycode >= announcedKeysyms_.size()) continue;
        if (!wholeKeyboard) remappedByTools_.set(keycode);
        announced_.set(keycode);
        const KeySym before = std::exchange(announcedKeysyms_[keycode], keysyms[i]);
        // Announced once for every keyboard device: the first announcement tells what went.
        if (keysyms[i] != NoSymbol) {
            givenBack_[keycode] = {};
        } else if (before != NoSymbol) {
            givenBack_[keycode] = {before, now()};
        }
    }
}

std::optional<unsigned long> X11KeyTapMappings::heldNow(unsigned keycode) const {
    if (!announced_.test(keycode & 0xFF)) return std::nullopt;
    return announcedKeysyms_[keycode & 0xFF];
}

std::optional<bool> X11KeyTapMappings::typedAsRecorded(unsigned keycode, unsigned long time, unsigned state,
                                                       KeyEvent& event) {
    if (!recorder_ || event.type != KeyEvent::Type::keyDown || !remappedByTools_.test(keycode & 0xFF))
        return std::nullopt;
    if (ledger_.ownKeycodes().count(keycode)) return std::nullopt;  // the poster's spare keys
    const auto typed = recorder_->typed(keycode, time, kRecorderWaitSeconds);
    if (!typed) return std::nullopt;
    const KeySym pressedAs = typed->keysyms.empty() ? NoSymbol : typed->keysyms[0];
    if (pressedAs == translator_.keysymAt(keycode, 0)) return typed->remappedSince;
    const bool shifted =
        (state & ShiftMask) != 0 && typed->keysyms.size() > 1 && typed->keysyms[1] != NoSymbol;
    event.characters = X11KeyMapping::characters(shifted ? typed->keysyms[1] : pressedAs, false);
    event.charactersIgnoringModifiers = X11KeyMapping::characters(pressedAs, false);
    return true;
}

bool X11KeyTapMappings::fillInCharacters(unsigned keycode, KeyEvent& event) const {
    if (event.type != KeyEvent::Type::keyDown || !event.characters.empty()) return false;
    KeySym keysym = announcedKeysyms_[keycode & 0xFF];
    // A key pressed while the keyboard waited for a held press comes when it goes on, after
    // whatever changed the mapping meanwhile: a tool that typed on a key of its own and gave it
    // back at once (it waited for nothing).
    const GivenBack& givenBack = givenBack_[keycode & 0xFF];
    const bool gone =
        keysym == NoSymbol && givenBack.keysym != NoSymbol && now() - givenBack.at < kGivenBackLifetime;
    if (gone) keysym = givenBack.keysym;
    if (keysym == NoSymbol) return false;
    event.characters = X11KeyMapping::characters(keysym, false);
    event.charactersIgnoringModifiers = event.characters;
    return gone;
}

}  // namespace mosaiko
