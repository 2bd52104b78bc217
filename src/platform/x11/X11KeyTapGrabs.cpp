#include "platform/x11/X11KeyTapGrabs.hpp"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <numeric>
#include <utility>

#include "platform/x11/X11Display.hpp"
#include "platform/x11/X11KeyMapping.hpp"
#include "platform/x11/X11KeyTranslator.hpp"

namespace mosaiko {

static_assert(AnyModifier == (1u << 15));

X11KeyTapGrabs::X11KeyTapGrabs(Display* display, const X11KeyTranslator& translator)
    : display_(display), translator_(translator), window_(DefaultRootWindow(display)) {
    refreshMapping();
}

void X11KeyTapGrabs::refreshMapping() {
    XDisplayKeycodes(display_, &minKeycode_, &maxKeycode_);
    keys_.assign(static_cast<std::size_t>(maxKeycode_) + 1, Key{});
    int perKeycode = 0;
    KeySym* map = XGetKeyboardMapping(display_, static_cast<::KeyCode>(minKeycode_),
                                      maxKeycode_ - minKeycode_ + 1, &perKeycode);
    for (int code = minKeycode_; code <= maxKeycode_; ++code) {
        const auto keycode = static_cast<unsigned>(code);
        Key& key = keys_[keycode];
        if (map) {
            const KeySym* syms = map + (code - minKeycode_) * perKeycode;
            key.symbolless = std::all_of(syms, syms + perKeycode, [](KeySym s) { return s == NoSymbol; });
        }
        if (key.symbolless) continue;
        key.modifier = translator_.isModifierKeycode(keycode);
        key.virtualKeyCode = translator_.virtualKeyCode(keycode);
        if (key.modifier)
            key.modifierFlags = translator_.press(keycode, 0).modifierFlags & ModifierFlag::shortcutMask;
        for (int group = 0; group < 4; ++group) {
            for (int level = 0; level < 4; ++level) {
                const KeySym keysym =
                    XkbKeycodeToKeysym(display_, static_cast<::KeyCode>(code), group, level);
                if (keysym == NoSymbol) continue;
                std::string text = X11KeyMapping::characters(keysym, false);
                if (!text.empty() &&
                    std::find(key.characters.begin(), key.characters.end(), text) == key.characters.end())
                    key.characters.push_back(std::move(text));
            }
        }
    }
    if (map) XFree(map);
    for (auto& states : statesWithFlags_) states.clear();
    possibleStates_.clear();
    const auto masks = translator_.masks();
    const unsigned used = translator_.usedModifiers();
    for (unsigned state = 0; state < 256; ++state) {
        // A modifier no key sets never comes: only the states that can come are grabbed.
        if ((state & ~used) != 0) continue;
        possibleStates_.push_back(state);
        const auto flags = X11KeyMapping::modifierFlags(state, masks) & ModifierFlag::shortcutMask;
        statesWithFlags_[flags >> 17].push_back(state);
    }
}

X11KeyTapGrabs::Grabs X11KeyTapGrabs::wanted(const KeyHolds& holds) const {
    Grabs wanted;
    if (holds.empty()) return wanted;
    for (int code = minKeycode_; code <= maxKeycode_; ++code) {
        const auto keycode = static_cast<unsigned>(code);
        const Key& key = keys_[keycode];
        if (key.modifier) {
            if ((key.modifierFlags & holds.everyKeyWith) != 0) wanted[keycode] = {kAnyModifier};
            continue;
        }
        // Every key, also a spare one that another program may map at any moment. The program's
        // own presses on its spare keys are told apart by the ledger, and pass at once.
        if (holds.everyKey) {
            wanted[keycode] = {kAnyModifier};
            continue;
        }
        if (key.symbolless) continue;
        for (const KeyHold& hold : holds.keys) {
            const bool matches = hold.character.empty()
                                     ? key.virtualKeyCode == hold.keyCode
                                     : std::find(key.characters.begin(), key.characters.end(),
                                                 hold.character) != key.characters.end();
            if (!matches) continue;
            std::set<unsigned>& states = wanted[keycode];
            if (!hold.modifiers) {
                states = {kAnyModifier};
            } else if (!states.count(kAnyModifier)) {
                const auto& withFlags =
                    statesWithFlags_[(*hold.modifiers & ModifierFlag::shortcutMask) >> 17];
                states.insert(withFlags.begin(), withFlags.end());
            }
        }
    }
    return wanted;
}

Window X11KeyTapGrabs::windowFor(const KeyHolds& holds) const {
    const Window root = DefaultRootWindow(display_);
    if (!holds.inFocusedWindow) return root;
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    if (focus == None || focus == PointerRoot || focus == root) return root;
    Window parentRoot = None, parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    // Fails when the window has gone meanwhile.
    if (!XQueryTree(display_, focus, &parentRoot, &parent, &children, &count)) return root;
    if (children) XFree(children);
    return parent != None ? parent : root;
}

Window X11KeyTapGrabs::moveTo(Window window) {
    if (window == window_) return None;
    const Window left = placed_.empty() ? None : window_;
    placed_.clear();
    refused_.clear();
    window_ = window;
    return left;
}

void X11KeyTapGrabs::place(const KeyHolds& holds) {
    const Window left = moveTo(windowFor(holds));
    placeOnWindow(holds);
    // The grabs of the window left go only once those of the new one are in place, so that no key
    // goes unheld in between (where both hold it, the outer one takes it). A press a grab holds
    // right now stays held: giving up a passive grab leaves an active one. The window left may be
    // gone: the error that brings is ignored, like every error on the tap's connection that no
    // request waits for.
    if (left == None) return;
    XUngrabKey(display_, AnyKey, AnyModifier, left);
    XFlush(display_);
}

void X11KeyTapGrabs::placeOnWindow(const KeyHolds& holds) {
    wanted_ = wanted(holds);
    Grabs want = wanted_;
    if (kept_) want[*kept_] = {kAnyModifier};
    const Window window = window_;
    std::vector<std::pair<unsigned, unsigned>> requests;
    auto was = placed_.begin();
    auto will = want.begin();
    // Both maps are ordered by keycode: one walk finds the keys whose grabs differ.
    while (was != placed_.end() || will != want.end()) {
        const bool takeWas = will == want.end() || (was != placed_.end() && was->first <= will->first);
        const bool takeWill = was == placed_.end() || (will != want.end() && will->first <= was->first);
        if (takeWas && takeWill && was->second == will->second) {
            ++was, ++will;
            continue;
        }
        if (takeWas) {
            XUngrabKey(display_, static_cast<int>(was->first), AnyModifier, window);
            refused_.erase(was->first);
            ++was;
        }
        if (takeWill) {
            for (unsigned state : will->second) requests.emplace_back(will->first, state);
            ++will;
        }
    }
    placed_ = want;
    if (requests.empty()) {
        XFlush(display_);
        return;
    }
    grab(requests);
}

void X11KeyTapGrabs::keep(std::optional<unsigned> keycode) {
    if (keycode == kept_) return;
    const std::optional<unsigned> previous = std::exchange(kept_, keycode);
    if (previous) {
        const auto it = wanted_.find(*previous);
        regrab(*previous, it == wanted_.end() ? std::set<unsigned>{} : it->second);
    }
    if (keycode) regrab(*keycode, {kAnyModifier});
    XFlush(display_);
}

void X11KeyTapGrabs::regrab(unsigned keycode, const std::set<unsigned>& states) {
    const auto it = placed_.find(keycode);
    if (it != placed_.end() && it->second == states) return;
    if (it != placed_.end()) {
        XUngrabKey(display_, static_cast<int>(keycode), AnyModifier, window_);
        refused_.erase(keycode);
        placed_.erase(it);
    }
    if (states.empty()) return;
    placed_[keycode] = states;
    std::vector<std::pair<unsigned, unsigned>> requests;
    for (unsigned state : states) requests.emplace_back(keycode, state);
    grab(requests);
}

void X11KeyTapGrabs::grab(const std::vector<std::pair<unsigned, unsigned>>& combinations) {
    const Window window = window_;
    X11ErrorTrap trap;
    std::map<unsigned long, std::pair<unsigned, unsigned>> bySerial;
    auto request = [&](unsigned keycode, unsigned state) {
        bySerial[NextRequest(display_)] = {keycode, state};
        XGrabKey(display_, static_cast<int>(keycode), state, window, False, GrabModeAsync, GrabModeSync);
    };
    for (const auto& [keycode, state] : combinations) request(keycode, state);
    XSync(display_, False);
    // A key with any modifiers is refused whole when another client holds one of its combinations:
    // then it is grabbed in every state, and only those held elsewhere stay with their owner.
    std::vector<unsigned> contested;
    auto collectRefusals = [&] {
        for (const auto& error : trap.errors()) {
            const auto it = bySerial.find(error.serial);
            if (it == bySerial.end() || error.errorCode != BadAccess) continue;
            const auto [keycode, state] = it->second;
            if (state == kAnyModifier) {
                contested.push_back(keycode);
            } else {
                refused_[keycode].insert(state);
            }
        }
        trap.clear();
        bySerial.clear();
    };
    collectRefusals();
    if (contested.empty()) return;
    for (unsigned keycode : std::exchange(contested, {})) {
        for (unsigned state : possibleStates_) request(keycode, state);
    }
    XSync(display_, False);
    collectRefusals();
}

void X11KeyTapGrabs::releaseAll() {
    kept_.reset();
    wanted_.clear();
    if (placed_.empty()) return;
    XUngrabKey(display_, AnyKey, AnyModifier, window_);
    XFlush(display_);
    placed_.clear();
    refused_.clear();
}

bool X11KeyTapGrabs::grabs(unsigned keycode, unsigned state) const {
    const auto it = placed_.find(keycode);
    if (it == placed_.end()) return false;
    if (!it->second.count(kAnyModifier) && !it->second.count(state)) return false;
    const auto refused = refused_.find(keycode);
    return refused == refused_.end() || !refused->second.count(state);
}

std::size_t X11KeyTapGrabs::refusedCount() const {
    return std::accumulate(refused_.begin(), refused_.end(), std::size_t{0},
                           [](std::size_t sum, const auto& entry) { return sum + entry.second.size(); });
}

}  // namespace mosaiko
