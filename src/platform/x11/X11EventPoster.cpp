#include "platform/x11/X11EventPoster.hpp"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <xkbcommon/xkbcommon.h>

#include <poll.h>

#include <algorithm>
#include <bitset>
#include <chrono>
#include <cmath>
#include <cstring>
#include <set>
#include <utility>

#include <cstdlib>
#include <iostream>

#include "platform/MainLoop.hpp"
#include "platform/Text.hpp"
#include "platform/linux/InstanceRegistry.hpp"
#include "platform/x11/TypingPace.hpp"
#include "platform/x11/X11Display.hpp"
#include "platform/x11/X11KeyMapping.hpp"
#include "platform/x11/X11KeyTapRetype.hpp"

namespace mosaiko {

namespace {

double now() {
    return SystemClock::shared().uptime();
}

void sleepFor(double seconds) {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// The keys that type a text: newlines (CR, LF or CRLF) as Return, tabs as Tab, every other scalar
// as its own keysym. Unpaired surrogates become U+FFFD.
std::vector<unsigned long> keysymsOfText(const std::u16string& text) {
    std::vector<unsigned long> keysyms;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t scalar = text[i];
        if (scalar >= 0xD800 && scalar <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            scalar = 0x10000 + ((scalar - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (scalar >= 0xD800 && scalar <= 0xDFFF) {
            scalar = 0xFFFD;
        }
        if (scalar == U'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            keysyms.push_back(XK_Return);
        } else if (scalar == U'\n') {
            keysyms.push_back(XK_Return);
        } else if (scalar == U'\t') {
            keysyms.push_back(XK_Tab);
        } else {
            keysyms.push_back(X11KeyMapping::keysymForCodePoint(scalar));
        }
    }
    return keysyms;
}

char32_t scalarOf(unsigned long keysym) {
    return xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
}

// The keycode that types `keysym` without any modifier, 0 when the keyboard has none.
unsigned plainKeycode(Display* display, unsigned long keysym) {
    const ::KeyCode keycode = XKeysymToKeycode(display, keysym);
    if (keycode == 0 || XkbKeycodeToKeysym(display, keycode, 0, 0) != keysym) return 0;
    return keycode;
}

// Whether the key is down now; pressing it once more would not reach the application as a key.
bool isDown(Display* display, unsigned keycode) {
    char keys[32] = {};
    XQueryKeymap(display, keys);
    return keycode < 256 && (keys[keycode / 8] & (1 << (keycode % 8))) != 0;
}

// Whether the keycode holds `keysym` and nothing else, as a poster maps it: another program's
// mapping of the same keycode is never undone.
bool holdsOnly(Display* display, unsigned keycode, unsigned long keysym) {
    int perKeycode = 0;
    KeySym* current = XGetKeyboardMapping(display, static_cast<::KeyCode>(keycode), 1, &perKeycode);
    if (!current) return false;
    bool only = perKeycode > 0 && current[0] == keysym;
    for (int i = 1; only && i < perKeycode; ++i) only = current[i] == keysym || current[i] == NoSymbol;
    XFree(current);
    return only;
}

std::string displayKeyOf(const std::string& displayName) {
    return InstanceRegistry::displayKey(displayName.empty() ? std::getenv("DISPLAY") : displayName.c_str());
}

// Gives back the keycodes that killed runs of the program left remapped on this display.
void restoreLeftovers(Display* display, const std::filesystem::path& directory,
                      const std::string& displayKey) {
    const auto leftovers = RemappedKeycodes::leftByEndedRuns(directory, displayKey);
    if (leftovers.empty()) return;
    {
        X11ErrorTrap trap;
        for (const auto& leftover : leftovers) {
            for (const auto& entry : leftover.entries) {
                if (!holdsOnly(display, entry.keycode, entry.keysym)) continue;
                KeySym none = NoSymbol;
                XChangeKeyboardMapping(display, static_cast<int>(entry.keycode), 1, &none, 1);
            }
        }
        XSync(display, False);
    }
    for (const auto& leftover : leftovers) ::unlink(leftover.file.c_str());
}

// Whether typing the text needs a spare keycode: all but line breaks and tabs do.
bool needsSpareKeycode(const std::u16string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char16_t c) { return c != u'\r' && c != u'\n' && c != u'\t'; });
}

// Keys per batch: between two batches the poster looks at the keyboard's state and at the key tap.
constexpr std::size_t kBatchKeys = 64;
// How far typing may run ahead of the key tap that follows the ledger: what the user touches is
// known from the tap, so a batch is chosen with the tap at most a batch behind.
constexpr std::size_t kKeysAheadOfTheTap = kBatchKeys;
// From the last key to giving back the remapped keycodes at quit: clients had all the text at 20 ms
// in every probe.
constexpr double kStopHoldSeconds = 0.15;
// The lowest free keycode is left alone: auto-type tools map the lowest free one for a moment.
constexpr std::size_t kLeftToOtherTools = 1;

// Groups keycodes into runs of consecutive ones: one request changes each run.
std::vector<std::pair<unsigned, unsigned>> consecutiveRuns(std::vector<unsigned> keycodes) {
    std::sort(keycodes.begin(), keycodes.end());
    std::vector<std::pair<unsigned, unsigned>> runs;  // first keycode, count
    for (unsigned keycode : keycodes) {
        if (!runs.empty() && runs.back().first + runs.back().second == keycode) {
            ++runs.back().second;
        } else {
            runs.emplace_back(keycode, 1);
        }
    }
    return runs;
}

}  // namespace

std::unique_ptr<X11EventPoster> X11EventPoster::create(Options options, std::unique_ptr<X11Display> display) {
    if (!display) display = X11Display::open(options.displayName);
    if (!display) return nullptr;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display->get(), &eventBase, &errorBase, &major, &minor)) return nullptr;
    if (!options.ledger) options.ledger = PostedKeyLedger::shared();
    restoreLeftovers(display->get(), options.recordDirectory, displayKeyOf(options.displayName));
    return std::unique_ptr<X11EventPoster>(new X11EventPoster(std::move(display), std::move(options)));
}

X11EventPoster::X11EventPoster(std::unique_ptr<X11Display> display, Options options)
    : display_(std::move(display)),
      options_(std::move(options)),
      record_(
          std::make_unique<RemappedKeycodes>(options_.recordDirectory, displayKeyOf(options_.displayName))) {
    thread_ = std::thread([this] { run(); });
    options_.ledger->setRetyper(
        this, [this](unsigned keycode, unsigned state, const std::string& characters, unsigned long window) {
            Job job;
            job.retypedKeycode = keycode;
            job.retypedState = state;
            job.retypedText = characters;
            job.target = window;
            {
                std::lock_guard lock(mutex_);
                jobs_.push_back(std::move(job));
            }
            wake_.notify_all();
        });
}

X11EventPoster::~X11EventPoster() {
    options_.ledger->removeRetyper(this);
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (keyboardDescription_) XkbFreeKeyboard(static_cast<XkbDescPtr>(keyboardDescription_), 0, True);
}

void X11EventPoster::stop() {
    options_.ledger->removeRetyper(this);
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        stopNow_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool X11EventPoster::pause(double seconds) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, std::chrono::duration<double>(std::max(seconds, 0.0)),
                           [&] { return stopNow_.load(); });
}

void X11EventPoster::post(const SyntheticKeyEvent& event) {
    if (stopNow_) return;  // nothing is typed once stopped
    Job job;
    job.keyDown = event.keyDown;
    job.userData = event.userData;
    if (event.startsInsertion) {
        ++insertions_;
        target_ = None;
        if (Display* display = queryDisplay()) {
            int revert = 0;
            XGetInputFocus(display, &target_, &revert);
            if (target_ == PointerRoot) target_ = None;  // whichever window the pointer is in
        }
    }
    job.target = target_;
    job.insertion = insertions_;
    if (!event.unicodeString.empty()) {
        if (!event.keyDown) return;  // the text went with the key-down
        job.text = true;
        job.keysyms = keysymsOfText(event.unicodeString);
    } else {
        const unsigned long keysym = X11KeyMapping::keysymForVirtualKeyCode(event.keyCode);
        if (keysym == 0) return;
        job.keysyms = {keysym};
    }
    options_.ledger->beginPosting();
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_all();
}

bool X11EventPoster::canType(const std::u16string& text) {
    if (!needsSpareKeycode(text) || usableSlots_.load() > 0 || freeKeycodes() > 0) {
        saidNoSpareKeycode_ = false;
        return true;
    }
    if (!saidNoSpareKeycode_) {
        std::cerr << "Mosaiko: nothing was typed: every keycode of the keyboard holds a key, so none is free "
                     "to type with\n";
        saidNoSpareKeycode_ = true;
    }
    return false;
}

Display* X11EventPoster::queryDisplay() {
    if (!queryDisplay_) queryDisplay_ = X11Display::open(options_.displayName);
    return queryDisplay_ && queryDisplay_->isConnected() ? queryDisplay_->get() : nullptr;
}

std::size_t X11EventPoster::freeKeycodes() {
    Display* display = queryDisplay();
    if (!display) return 0;
    int minKeycode = 0, maxKeycode = 0, perKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    KeySym* map = XGetKeyboardMapping(display, static_cast<::KeyCode>(minKeycode),
                                      maxKeycode - minKeycode + 1, &perKeycode);
    if (!map) return 0;
    std::size_t count = 0;
    for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
        const KeySym* syms = map + (keycode - minKeycode) * perKeycode;
        if (std::all_of(syms, syms + perKeycode, [](KeySym s) { return s == NoSymbol; }) &&
            static_cast<unsigned>(keycode) != announcementKeycode_)
            ++count;
    }
    XFree(map);
    return count;
}

void X11EventPoster::run() {
    // The spare keycodes are known from the start, also to tell a held-back press on one of them.
    if (display_->isConnected()) {
        Display* display = display_->get();
        wmProtocols_ = XInternAtom(display, "WM_PROTOCOLS", False);
        netWmPing_ = XInternAtom(display, "_NET_WM_PING", False);
        // Clients answer a ping on the root window, some to those that follow its children (GTK),
        // others to those that follow the root itself (Qt): unheard, their keycodes waited the
        // longest before they were given another character.
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask | StructureNotifyMask);
        const std::vector<unsigned> spare = spareKeycodes();
        // The highest announces the presses typed again (it is never mapped); the others carry text.
        if (spare.size() >= 2) announcementKeycode_ = spare.back();
        options_.ledger->markOwnKeycodes(ownSpareKeycodes(spare));
    }
    std::unique_lock lock(mutex_);
    while (true) {
        if (jobs_.empty()) {
            if (stopping_) break;
            // The spare keycodes keep their characters until the end: a client reads a keycode's
            // meaning only when it gets round to the key, which may be seconds later.
            wake_.wait(lock);
            continue;
        }
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        // Once stopped, only presses of the user's held back meanwhile are still typed.
        const bool dropped = stopNow_ && job.retypedKeycode == 0;
        lock.unlock();
        if (!dropped && display_->isConnected()) perform(job);
        options_.ledger->endPosting();
        lock.lock();
    }
    lock.unlock();
    if (hasMappedSlots()) {
        if (display_->isConnected()) sleepFor(lastKeyTime_ + kStopHoldSeconds - now());
        restoreSlots();
    }
}

void X11EventPoster::readEvents() {
    Display* display = display_->get();
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ClientMessage && event.xclient.message_type == wmProtocols_ &&
            static_cast<Atom>(event.xclient.data.l[0]) == netWmPing_) {
            lastPingAnswered_ =
                std::max(lastPingAnswered_, static_cast<unsigned long>(event.xclient.data.l[1]));
            continue;
        }
        // A mapping changed by somebody else (not on our spare keycodes) is fetched anew.
        if (event.type != MappingNotify || event.xmapping.request != MappingKeyboard) continue;
        XRefreshKeyboardMapping(&event.xmapping);
        for (int i = 0; i < event.xmapping.count; ++i) {
            if (!keycodeIsSlot(static_cast<unsigned>(event.xmapping.first_keycode + i)))
                keyboardState_.reset();
        }
    }
}

unsigned long X11EventPoster::focusedClient() const {
    Display* display = display_->get();
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    const Window root = DefaultRootWindow(display);
    X11ErrorTrap trap;  // the window may go at any moment
    // The focus may rest on a child of the client's window: the one that answers pings is above it.
    for (int depth = 0; focus != None && focus != PointerRoot && focus != root && depth < 16; ++depth) {
        Atom* protocols = nullptr;
        int count = 0;
        if (XGetWMProtocols(display, focus, &protocols, &count)) {
            const bool pings = std::find(protocols, protocols + count, netWmPing_) != protocols + count;
            XFree(protocols);
            if (pings) return focus;
        }
        Window parentRoot = None, parent = None;
        Window* children = nullptr;
        unsigned childCount = 0;
        if (!XQueryTree(display, focus, &parentRoot, &parent, &children, &childCount)) break;
        if (children) XFree(children);
        focus = parent;
    }
    return None;
}

bool X11EventPoster::awaitTheClient(double deadline) {
    // Every key typed so far must have reached the client before the ping does: the key tap
    // passes them on first.
    keepPaceWithTheTap(0);
    const Window client = focusedClient();
    if (client == None || stopNow_) return false;
    Display* display = display_->get();
    const unsigned long token = ++lastPingSent_;
    XEvent ping{};
    ping.xclient.type = ClientMessage;
    ping.xclient.window = client;
    ping.xclient.message_type = wmProtocols_;
    ping.xclient.format = 32;
    ping.xclient.data.l[0] = static_cast<long>(netWmPing_);
    ping.xclient.data.l[1] = static_cast<long>(token);
    ping.xclient.data.l[2] = static_cast<long>(client);
    {
        X11ErrorTrap trap;
        XSendEvent(display, client, False, NoEventMask, &ping);
        XSync(display, False);
    }
    while (!stopNow_ && display_->isConnected()) {
        readEvents();
        if (lastPingAnswered_ >= token) return true;
        const double left = deadline - now();
        if (left <= 0) return false;
        pollfd fd{display_->fileDescriptor(), POLLIN, 0};
        poll(&fd, 1, std::min(50, static_cast<int>(std::ceil(left * 1000))));
    }
    return false;
}

void X11EventPoster::letTheClientCatchUp() {
    const auto seconds = pace_.beforeText(now());
    if (!seconds) return;
    XSync(display_->get(), False);
    // A client that has not answered the last ping does not read its keys now (it may be stopped):
    // nothing is gained by asking again.
    readEvents();
    if (lastPingAnswered_ >= lastPingSent_) awaitTheClient(now() + TypingPace::kLongestSeconds);
    pause(*seconds);
}

bool X11EventPoster::prepareBatch() {
    if (!display_->isConnected()) return false;
    Display* display = display_->get();
    readEvents();
    if (!keyboardState_) rebuildKeyboard(0);  // the keyboard's description and modifier keys
    XkbStateRec state{};
    const double deadline = now() + 1.0;
    while (true) {
        if (XkbGetState(display, XkbUseCoreKbd, &state) != Success) return !stopNow_;
        userKeys_ = userKeysDown();
        // Control, Alt or Super would make shortcuts of the keys; any modifier the user holds (the
        // Shift of a capital typed meanwhile) would change what they type, and the characters
        // would go on spare keycodes, which a long text soon uses up.
        const bool shortcut = (state.base_mods & (ControlMask | Mod1Mask | Mod4Mask)) != 0;
        if ((!shortcut && !(userKeys_ & modifierKeys_).any()) || now() >= deadline) break;
        if (!pause(0.002)) return false;
    }
    if (stopNow_) return false;
    userHoldsModifier_ = (userKeys_ & modifierKeys_).any();
    // Only locks and the layout group count: the characters go on spare keycodes while the user
    // holds a modifier, and a Shift the state shows otherwise is the program's own, on its way
    // behind a key the tap holds.
    const unsigned mods = state.locked_mods | state.latched_mods;
    const unsigned coreState = mods | (static_cast<unsigned>(state.group) << 13);
    if (keyboardState_ != coreState || userKeys_ != keyboardKeysDown_) rebuildKeyboard(coreState);
    return true;
}

std::bitset<256> X11EventPoster::userKeysDown() {
    // The key tap tells the user's keys from the program's in the server's order. Without it,
    // nothing of the program's is held up on its way, and the server's own view will do.
    if (options_.ledger->isFollowed()) return options_.ledger->userKeysDown();
    char keys[32] = {};
    XQueryKeymap(display_->get(), keys);
    std::bitset<256> down;
    for (unsigned keycode = 0; keycode < 256; ++keycode)
        down[keycode] = (keys[keycode / 8] >> (keycode % 8)) & 1;
    return down;
}

void X11EventPoster::rebuildKeyboard(unsigned state) {
    Display* display = display_->get();
    auto* xkb = static_cast<XkbDescPtr>(keyboardDescription_);
    if (!keyboardState_ || !xkb) {
        if (xkb) XkbFreeKeyboard(xkb, 0, True);
        xkb = XkbGetMap(display, XkbAllClientInfoMask, XkbUseCoreKbd);
        keyboardDescription_ = xkb;
        // The right Shift: whoever types capitals meanwhile mostly holds the left one, which our
        // release would lift (the server keeps one state per key, whoever pressed it).
        shiftKeycode_ = plainKeycode(display, XK_Shift_R);
        if (shiftKeycode_ == 0) shiftKeycode_ = plainKeycode(display, XK_Shift_L);
        modifierKeys_.reset();
        if (XModifierKeymap* map = XGetModifierMapping(display)) {
            for (int i = 0; i < 8 * map->max_keypermod; ++i) modifierKeys_.set(map->modifiermap[i]);
            modifierKeys_.reset(0);
            XFreeModifiermap(map);
        }
    }
    keyboardState_ = state;
    keyboardKeysDown_ = userKeys_;
    keyboard_.clear();
    // A key the user holds would not go down again: its characters go on spare keycodes.
    auto freeKey = [&](unsigned long keysym) {
        const unsigned keycode = plainKeycode(display, keysym);
        return keycode != 0 && !userKeys_.test(keycode) ? keycode : 0u;
    };
    returnKeycode_ = freeKey(XK_Return);
    tabKeycode_ = freeKey(XK_Tab);
    if (!xkb) return;
    // Without Shift first: a character both ways is typed the plain way. Shift is ours to press
    // only while nobody holds it.
    for (const bool shift : {false, true}) {
        if (shift && ((state & ShiftMask) != 0 || shiftKeycode_ == 0)) break;
        for (unsigned keycode = xkb->min_key_code; keycode <= xkb->max_key_code; ++keycode) {
            if (userKeys_.test(keycode) || keycodeIsSlot(keycode)) continue;
            unsigned consumed = 0;
            KeySym keysym = NoSymbol;
            if (!XkbTranslateKeyCode(xkb, static_cast<::KeyCode>(keycode), state | (shift ? ShiftMask : 0),
                                     &consumed, &keysym))
                continue;
            const char32_t character = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
            if (character < 0x20 || character == 0x7f) continue;  // no text, or a control character
            keyboard_.try_emplace(character, KeyboardKey{keycode, shift});
        }
    }
}

std::optional<X11EventPoster::KeyboardKey> X11EventPoster::keyFor(bool onSpareKeys,
                                                                  unsigned long keysym) const {
    return onSpareKeys ? std::nullopt : keyboardKey(keysym);
}

std::optional<X11EventPoster::KeyboardKey> X11EventPoster::keyboardKey(unsigned long keysym) const {
    if (keysym == XK_Return)
        return returnKeycode_ ? std::optional(KeyboardKey{returnKeycode_, false}) : std::nullopt;
    if (keysym == XK_Tab) return tabKeycode_ ? std::optional(KeyboardKey{tabKeycode_, false}) : std::nullopt;
    const auto found = keyboard_.find(xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym)));
    if (found == keyboard_.end()) return std::nullopt;
    return found->second;
}

void X11EventPoster::typeKeyOfNoCharacter(const Job& job) {
    const unsigned keycode = announcementKeycode_;
    if (keycode == 0) return;
    setShift(false);
    options_.ledger->expect(keycode, job.userData, now());
    XTestFakeKeyEvent(display_->get(), keycode, True, CurrentTime);
    XTestFakeKeyEvent(display_->get(), keycode, False, CurrentTime);
}

void X11EventPoster::setShift(bool down) {
    if (down == shiftDown_) return;
    // Recorded like every press of ours, so that the key tap does not take it for the user's.
    if (down) options_.ledger->expect(shiftKeycode_, kEventMarker, now());
    XTestFakeKeyEvent(display_->get(), shiftKeycode_, down ? True : False, CurrentTime);
    shiftDown_ = down;
}

void X11EventPoster::keepPaceWithTheTap(std::size_t keysAhead) {
    if (!options_.ledger->isFollowed()) return;
    // No deadline: keys of ours that the tap has not seen lapse from the ledger on their own.
    while (options_.ledger->pendingCount() > keysAhead) {
        if (!pause(0.001)) return;
    }
}

bool X11EventPoster::focusIsWithin(unsigned long window) const {
    if (window == None) return true;
    Display* display = display_->get();
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == None || focus == PointerRoot) return true;  // wherever the pointer is: no telling
    const Window root = DefaultRootWindow(display);
    X11ErrorTrap trap;  // the window may go at any moment
    for (int depth = 0; focus != None && depth < 32; ++depth) {
        if (focus == window) return true;
        if (focus == root) return false;
        Window parentRoot = None, parent = None;
        Window* children = nullptr;
        unsigned childCount = 0;
        if (!XQueryTree(display, focus, &parentRoot, &parent, &children, &childCount)) return false;
        if (children) XFree(children);
        focus = parent;
    }
    return false;
}

bool X11EventPoster::stillFocused(const Job& job) {
    if (job.target == None) return true;
    if (job.insertion == abandoned_) return false;
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display_->get(), &focus, &revert);
    if (focus == job.target) return true;
    // An alert, or a window the user went to: what is left of the text is not meant for it.
    abandoned_ = job.insertion;
    std::cerr << "Mosaiko: the rest of the text was not typed: another window has the keyboard focus now\n";
    return false;
}

void X11EventPoster::perform(const Job& job) {
    if (job.retypedKeycode != 0) return retype(job);
    // A key's release always goes out: its press may have.
    if (job.text && job.keyDown) letTheClientCatchUp();
    if (job.keyDown && (!stillFocused(job) || !prepareBatch())) return;
    if (job.text) {
        typeText(job);
    } else {
        typeKey(job);
    }
}

void X11EventPoster::retype(const Job& job) {
    // With the modifiers it was typed with; once the user has let go of the key, since a key that is
    // down would not go down again.
    Display* display = display_->get();
    const unsigned keycode = job.retypedKeycode;
    const double deadline = now() + 1.0;
    while (!stopNow_ && isDown(display, keycode) && now() < deadline) sleepFor(0.005);
    // Typed into a window that has lost the focus since, it would land in another.
    if (!focusIsWithin(job.target)) {
        std::cerr << "Mosaiko: a key typed during the text was not typed again: its window no longer "
                     "has the keyboard focus\n";
        return;
    }
    // A spare keycode that another program mapped for a moment, to type a character of its own on
    // it, may hold nothing by now: the character itself is typed. So is a character typed without
    // Control, Alt or Super, on a spare keycode: the user (or a tool) may press the same key again
    // meanwhile, and a press of a key that is down is lost, whoever pressed it first. The press that
    // is down may not even have been seen yet: it waits behind a held one, ahead of ours.
    const bool given = XkbKeycodeToKeysym(display, static_cast<::KeyCode>(keycode), 0, 0) != NoSymbol;
    const bool shortcut = (job.retypedState & (ControlMask | Mod1Mask | Mod4Mask)) != 0;
    // Editing, movement and function keys (their characters are private-use codes of ours) act as
    // keys, on their own keycode.
    const std::u32string scalars = text::scalars(job.retypedText);
    const bool printable = std::all_of(scalars.begin(), scalars.end(), [](char32_t c) {
        return c >= 0x20 && c != 0x7f && !X11KeyMapping::isFunctionKeyCharacter(c);
    });
    const bool onSpareKeys = !shortcut && printable && (!slots_.empty() || discoverSlots());
    if (!job.retypedText.empty() &&
        (onSpareKeys || !given || options_.ledger->ownKeycodes().count(keycode))) {
        Job text;
        text.text = true;
        text.keysyms = keysymsOfText(text::utf16(job.retypedText));
        text.userData = PostedKeyLedger::retypedUserData;
        text.onSpareKeys = onSpareKeys;
        if (prepareBatch()) typeText(text);
        return;
    }
    // Announced, so that the key tap tells it from a press of the same key the user types meanwhile
    // (a burst of typing queued behind the held key comes before it).
    if (const unsigned announcement = announcementKeycode_) {
        options_.ledger->expect(announcement, PostedKeyLedger::announcementUserData, now());
        XTestFakeKeyEvent(display, announcement, True, CurrentTime);
        XTestFakeKeyEvent(display, announcement, False, CurrentTime);
    }
    options_.ledger->expect(keycode, PostedKeyLedger::retypedUserData, now());
    typeKeyAgain(display, keycode, job.retypedState);
}

void X11EventPoster::typeKey(const Job& job) {
    Display* display = display_->get();
    const unsigned long keysym = job.keysyms.front();
    unsigned keycode = plainKeycode(display, keysym);
    if (!job.keyDown && strokedOnSlot_.erase(keysym)) return;
    if (keycode == 0 || (job.keyDown && userKeys_.test(keycode))) {
        // Not on the keyboard, or held down by the user: a whole keystroke on a spare keycode, on
        // the key-down.
        if (!job.keyDown) return;
        if (keycode != 0) strokedOnSlot_.insert(keysym);
        Job stroke = job;
        stroke.text = true;
        typeText(stroke);
        return;
    }
    if (job.keyDown) {
        pace_.edited(now());
        options_.ledger->expect(keycode, job.userData, now());
    }
    XTestFakeKeyEvent(display, keycode, job.keyDown ? True : False, CurrentTime);
    XSync(display, False);
}

void X11EventPoster::typeText(const Job& job) {
    typeBatches(job);
    // A press of ours that met the user's press of the same key was lost: the key tap withheld the
    // rest of the text from there, which goes on once the tap has seen all of it, with the key the
    // user holds on a spare keycode.
    while (options_.ledger->isFollowed()) {
        options_.ledger->awaitTheTap();
        keepPaceWithTheTap(0);
        std::vector<unsigned long> withheld = options_.ledger->takeWithheld();
        if (withheld.empty() || stopNow_ || !stillFocused(job) || !prepareBatch()) return;
        Job rest = job;
        rest.keysyms = std::move(withheld);
        typeBatches(rest);
    }
}

void X11EventPoster::typeBatches(const Job& job) {
    Display* display = display_->get();
    std::size_t start = 0;
    bool prepared = true;  // the keyboard's state was just learnt for the first batch
    while (start < job.keysyms.size()) {
        if (!std::exchange(prepared, false) && (!stillFocused(job) || !prepareBatch())) return;
        // A modifier the user holds would change what the keyboard's own keys type: meanwhile
        // the characters go on spare keycodes, which type the same on every level.
        const bool onSpareKeys = job.onSpareKeys || userHoldsModifier_;
        // A batch of keys whose scalars off the keyboard fit onto the spare keycodes at once.
        std::set<unsigned long> distinct;
        std::size_t end = start;
        for (; end < job.keysyms.size() && end - start < kBatchKeys; ++end) {
            const unsigned long keysym = job.keysyms[end];
            if (keyFor(onSpareKeys, keysym)) continue;
            if (slots_.empty() && !discoverSlots()) break;
            if (!distinct.count(keysym) && distinct.size() == slots_.size()) break;
            distinct.insert(keysym);
        }
        if (end == start) {  // a scalar that nothing can type
            ++start;
            continue;
        }
        if (!mapOntoSlots({distinct.begin(), distinct.end()})) return;
        const bool followed = options_.ledger->isFollowed();
        for (std::size_t i = start; i < end; ++i) {
            // A key the user presses or lets go meanwhile decides which keys are free, and whether
            // Shift is the user's: the rest goes in a batch of its own, chosen anew.
            if (followed && options_.ledger->userKeysDown() != userKeys_) {
                end = i;
                break;
            }
            const unsigned long keysym = job.keysyms[i];
            const auto key = keyFor(onSpareKeys, keysym);
            const unsigned keycode = key ? key->keycode : keycodeOnSlot(keysym);
            if (keycode == 0) continue;
            if (i > 0 && TypingPace::breaksBetween(scalarOf(job.keysyms[i - 1]), scalarOf(keysym)))
                typeKeyOfNoCharacter(job);
            setShift(key && key->shift);
            options_.ledger->expect(keycode, job.userData, now(), keysym,
                                    key ? std::optional(key->shift) : std::nullopt);
            XTestFakeKeyEvent(display, keycode, True, CurrentTime);
            XTestFakeKeyEvent(display, keycode, False, CurrentTime);
        }
        setShift(false);
        XSync(display, False);
        lastKeyTime_ = now();
        for (Slot& slot : slots_) {
            if (distinct.count(slot.keysym)) slot.lastUsed = lastKeyTime_;
        }
        start = end;
        keepPaceWithTheTap(kKeysAheadOfTheTap);
    }
}

std::vector<unsigned> X11EventPoster::spareKeycodes() {
    // Those without any symbol in the current mapping.
    std::vector<unsigned> keycodes;
    Display* display = display_->get();
    int minKeycode = 0, maxKeycode = 0, perKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    KeySym* map = XGetKeyboardMapping(display, static_cast<::KeyCode>(minKeycode),
                                      maxKeycode - minKeycode + 1, &perKeycode);
    if (!map) return keycodes;
    for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
        const KeySym* syms = map + (keycode - minKeycode) * perKeycode;
        if (std::all_of(syms, syms + perKeycode, [](KeySym s) { return s == NoSymbol; }))
            keycodes.push_back(static_cast<unsigned>(keycode));
    }
    XFree(map);
    return keycodes;
}

std::vector<unsigned> X11EventPoster::ownSpareKeycodes(const std::vector<unsigned>& spare) const {
    // Ascending: the lowest stays free for other tools, as long as one is left to type on.
    std::vector<unsigned> own;
    for (unsigned keycode : spare) {
        if (keycode != announcementKeycode_) own.push_back(keycode);
    }
    const std::size_t leave = std::min(kLeftToOtherTools, own.empty() ? 0 : own.size() - 1);
    own.erase(own.begin(), own.begin() + static_cast<std::ptrdiff_t>(leave));
    if (announcementKeycode_ != 0) own.push_back(announcementKeycode_);
    return own;
}

bool X11EventPoster::discoverSlots() {
    const std::vector<unsigned> keycodes = ownSpareKeycodes(spareKeycodes());
    for (unsigned keycode : keycodes) {
        if (keycode != announcementKeycode_) slots_.push_back({keycode, 0, -1e9});
    }
    options_.ledger->markOwnKeycodes(keycodes);  // before any of them is remapped
    usableSlots_ = slots_.size();
    return !slots_.empty();
}

bool X11EventPoster::mapOntoSlots(const std::vector<unsigned long>& keysyms) {
    Display* display = display_->get();
    std::vector<bool> kept(slots_.size(), false);
    std::vector<unsigned long> missing;
    for (unsigned long keysym : keysyms) {
        auto it =
            std::find_if(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.keysym == keysym; });
        if (it != slots_.end()) {
            kept[static_cast<std::size_t>(it - slots_.begin())] = true;
        } else {
            missing.push_back(keysym);
        }
    }
    if (missing.empty()) return true;
    // Free slots first, the highest keycodes first, then those used longest ago; a slot is reused
    // only once its last key is long past, since a client behind may not have read it yet.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (!kept[i]) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if ((slots_[a].keysym == 0) != (slots_[b].keysym == 0)) return slots_[a].keysym == 0;
        if (slots_[a].keysym == 0) return slots_[a].keycode > slots_[b].keycode;
        return slots_[a].lastUsed < slots_[b].lastUsed;
    });
    if (order.size() < missing.size()) return false;
    double safeAt = 0;
    for (std::size_t i = 0; i < missing.size(); ++i) {
        const Slot& slot = slots_[order[i]];
        if (slot.keysym != 0) safeAt = std::max(safeAt, slot.lastUsed + options_.reuseAfterSeconds);
    }
    // A client that has answered a ping sent after the keys has read them all; one that cannot be
    // asked gets the time.
    if (safeAt > now() && !awaitTheClient(safeAt) && !pause(safeAt - now())) return false;
    // Recorded before the keyboard changes, with what a reused keycode still holds: a run killed
    // before the change leaves that mapping, which is as much ours to give back as the new one.
    std::vector<RemappedKeycodes::Entry> replaced;
    for (std::size_t i = 0; i < missing.size(); ++i) {
        Slot& slot = slots_[order[i]];
        if (slot.keysym != 0) replaced.push_back({slot.keycode, slot.keysym});
        slot.keysym = missing[i];
    }
    recordMappedSlots(replaced);
    // One request for each run of consecutive keycodes: every request makes each client fetch the
    // mapping anew.
    std::map<unsigned, unsigned long> changed;
    for (std::size_t i = 0; i < missing.size(); ++i)
        changed[slots_[order[i]].keycode] = slots_[order[i]].keysym;
    std::vector<unsigned> keycodes;
    for (const auto& [keycode, keysym] : changed) keycodes.push_back(keycode);
    X11ErrorTrap trap;
    for (const auto& [first, count] : consecutiveRuns(keycodes)) {
        std::vector<KeySym> syms;
        for (unsigned keycode = first; keycode < first + count; ++keycode) {
            syms.push_back(changed[keycode]);
            syms.push_back(changed[keycode]);
        }
        XChangeKeyboardMapping(display, static_cast<int>(first), 2, syms.data(), static_cast<int>(count));
    }
    XSync(display, False);
    sleepFor(options_.settleSeconds);
    return true;
}

unsigned X11EventPoster::keycodeOnSlot(unsigned long keysym) const {
    for (const Slot& slot : slots_) {
        if (slot.keysym == keysym) return slot.keycode;
    }
    return 0;
}

void X11EventPoster::restoreKeycodes(const std::vector<unsigned>& keycodes) {
    Display* display = display_->get();
    X11ErrorTrap trap;
    for (const auto& [first, count] : consecutiveRuns(keycodes)) {
        const std::vector<KeySym> none(count, NoSymbol);
        XChangeKeyboardMapping(display, static_cast<int>(first), 1, const_cast<KeySym*>(none.data()),
                               static_cast<int>(count));
    }
    XSync(display, False);
}

bool X11EventPoster::keycodeIsSlot(unsigned keycode) const {
    return std::any_of(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.keycode == keycode; });
}

bool X11EventPoster::hasMappedSlots() const {
    return std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.keysym != 0; });
}

void X11EventPoster::restoreSlots() {
    Display* display = display_->get();
    if (display_->isConnected()) {
        std::vector<unsigned> ours;
        for (const Slot& slot : slots_) {
            // Leave a keycode alone that somebody else has mapped since.
            if (slot.keysym != 0 && holdsOnly(display, slot.keycode, slot.keysym))
                ours.push_back(slot.keycode);
        }
        restoreKeycodes(ours);
    }
    slots_.clear();
    usableSlots_ = 0;
    // Asked after the sync, which finds a connection that broke meanwhile: what a display that went
    // away did not take back stays recorded for the next start.
    if (display_->isConnected())
        record_->write({});
    else
        record_->keep();
}

void X11EventPoster::recordMappedSlots(std::vector<RemappedKeycodes::Entry> alsoHeld) {
    std::vector<RemappedKeycodes::Entry> entries = std::move(alsoHeld);
    for (const Slot& slot : slots_) {
        if (slot.keysym != 0) entries.push_back({slot.keycode, slot.keysym});
    }
    record_->write(entries);
}

std::unique_ptr<X11EventPoster> createX11EventPoster(const std::string& identifier,
                                                     std::unique_ptr<X11Display> display) {
    X11EventPoster::Options options;
    options.recordDirectory = InstanceRegistry::standardDirectory(identifier);
    return X11EventPoster::create(std::move(options), std::move(display));
}

}  // namespace mosaiko
