#include "platform/x11/X11EventPoster.hpp"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <xkbcommon/xkbcommon.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <bitset>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <set>
#include <utility>

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

std::string displayKeyOf(const std::string& displayName) {
    return InstanceRegistry::displayKey(displayName.empty() ? std::getenv("DISPLAY") : displayName.c_str());
}

// Whether typing the text needs a spare keycode: all but line breaks and tabs do.
bool needsSpareKeycode(const std::u16string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char16_t c) { return c != u'\r' && c != u'\n' && c != u'\t'; });
}

// Keys per batch: between two batches the poster looks at the keyboard's state.
constexpr std::size_t kBatchKeys = 64;
// How many presses of a text may have gone out that the key tap has not seen yet: a key on its way
// when the focus moves lands in the new window.
constexpr std::size_t kPressesAhead = 2;
// How often a client that can show that it read its keys only by waiting for input is looked at.
constexpr double kLookInterval = 0.002;

}  // namespace

std::unique_ptr<X11EventPoster> X11EventPoster::create(Options options, std::unique_ptr<X11Display> display) {
    if (!display) display = X11Display::open(options.displayName);
    if (!display) return nullptr;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display->get(), &eventBase, &errorBase, &major, &minor)) return nullptr;
    if (!options.ledger) options.ledger = PostedKeyLedger::shared();
    X11SpareKeycodes::giveBackLeftovers(display->get(), options.recordDirectory,
                                        displayKeyOf(options.displayName));
    return std::unique_ptr<X11EventPoster>(new X11EventPoster(std::move(display), std::move(options)));
}

X11EventPoster::X11EventPoster(std::unique_ptr<X11Display> display, Options options)
    : display_(std::move(display)),
      options_(std::move(options)),
      record_(
          std::make_unique<RemappedKeycodes>(options_.recordDirectory, displayKeyOf(options_.displayName))) {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
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
                ++retypesDue_;
                jobs_.push_back(std::move(job));
            }
            wakeUp();
        });
}

X11EventPoster::~X11EventPoster() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wakeUp();
    if (thread_.joinable()) thread_.join();
    options_.ledger->removeRetyper(this);
    if (keyboardDescription_) XkbFreeKeyboard(static_cast<XkbDescPtr>(keyboardDescription_), 0, True);
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void X11EventPoster::cancel(double waitSeconds) {
    std::unique_lock lock(mutex_);
    cancelledThrough_ = posted_.load();
    wakeUp();
    // The typing thread looks at every key and in every wait whether its job was dropped; the
    // presses of the user's held back meanwhile come right after, before anything takes the focus.
    performed_.wait_for(lock, std::chrono::duration<double>(waitSeconds), [&] {
        return (performing_ == 0 || performing_ > cancelledThrough_) && retypesDue_ == 0;
    });
}

void X11EventPoster::stop() {
    {
        std::lock_guard lock(mutex_);
        cancelledThrough_ = posted_.load();
        stopping_ = true;
        stopNow_ = true;
    }
    wakeUp();
    if (thread_.joinable()) thread_.join();
}

void X11EventPoster::wakeUp() {
    wake_.notify_all();
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
}

void X11EventPoster::waitForWork() {
    // Meanwhile the server's news is taken in: answers to pings, and a new keymap, which must give
    // the spare keycodes their characters back before a client that is behind looks them up.
    if (display_->isConnected() && XPending(display_->get()) == 0) {
        pollfd fds[2] = {{display_->fileDescriptor(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        poll(fds, 2, -1);
    }
    std::uint64_t count = 0;
    [[maybe_unused]] const auto got = ::read(wakeFd_, &count, sizeof count);
    if (!display_->isConnected()) return;
    readEvents();
    verifySpareKeycodes(nullptr);
}

bool X11EventPoster::cancelled(const Job& job) const {
    return job.sequence != 0 && job.sequence <= cancelledThrough_;
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
        job.sequence = ++posted_;
        jobs_.push_back(std::move(job));
    }
    wakeUp();
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
    const std::vector<unsigned> unused = X11SpareKeycodes::unused(display);
    return static_cast<std::size_t>(
        std::count_if(unused.begin(), unused.end(), [&](unsigned k) { return k != announcementKeycode_; }));
}

void X11EventPoster::listen(unsigned long window, long mask) {
    long& selected = listening_[window];
    if ((selected & mask) == mask) return;
    selected |= mask;
    X11ErrorTrap trap;  // the window may be gone
    XSelectInput(display_->get(), window, selected);
}

void X11EventPoster::run() {
    Display* display = display_->get();
    spare_ = std::make_unique<X11SpareKeycodes>(display, *options_.ledger, *record_);
    signs_ = std::make_unique<X11ClientSigns>(
        display, [this](unsigned long window, long mask) { listen(window, mask); });
    // The spare keycodes are known from the start, also to tell a held-back press on one of them;
    // they are taken once a text needs them (another program may have given some back by then).
    if (display_->isConnected()) {
        spare_->discover(false);
        announcementKeycode_ = spare_->announcement();
    }
    std::unique_lock lock(mutex_);
    while (true) {
        if (jobs_.empty()) {
            if (stopping_) {
                // Presses held back from here on go on as they are; one handed over meanwhile is
                // typed first.
                lock.unlock();
                options_.ledger->removeRetyper(this);
                lock.lock();
                if (jobs_.empty()) break;
                continue;
            }
            // The spare keycodes keep their characters: a client reads a keycode's meaning only
            // when it gets round to the key, which may be seconds later.
            lock.unlock();
            waitForWork();
            lock.lock();
            continue;
        }
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        performing_ = job.sequence;
        lock.unlock();
        if (!cancelled(job) && display_->isConnected()) perform(job);
        options_.ledger->endPosting();
        lock.lock();
        performing_ = 0;
        if (job.retypedKeycode != 0) --retypesDue_;
        performed_.notify_all();
    }
    lock.unlock();
    finish();
}

void X11EventPoster::finish() {
    if (!spare_->anyMapped()) return;
    const bool connected = display_->isConnected();
    const std::vector<unsigned> mapped = spare_->mapped();
    if (connected) awaitRead(mapped, nullptr, now() + kEndWaitSeconds);
    // Keycodes whose clients cannot tell what they have read go back too: nothing would ever say.
    std::vector<unsigned> read;
    for (unsigned keycode : mapped) {
        const auto awaited = readers_.awaited(keycode);
        if (std::none_of(awaited.begin(), awaited.end(), [&](auto& r) { return signs_->canTell(r.first); }))
            read.push_back(keycode);
    }
    spare_->giveBack(connected ? read : mapped, connected);
    // What a client has not read yet keeps its character, recorded for the next start.
    if (spare_->anyMapped()) record_->keep();
}

void X11EventPoster::readEvents() {
    Display* display = display_->get();
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (signs_->handle(event, readers_)) continue;
        if (event.type == FocusOut && event.xfocus.window == watchedTarget_ &&
            event.xfocus.mode != NotifyGrab && event.xfocus.mode != NotifyUngrab &&
            event.xfocus.detail != NotifyInferior) {
            focusMoved_ = true;
            continue;
        }
        if (event.type != MappingNotify || event.xmapping.request != MappingKeyboard) continue;
        XRefreshKeyboardMapping(&event.xmapping);
        // A mapping changed by somebody else (not on our spare keycodes alone) is fetched anew,
        // and may have taken their characters off them (a new keymap).
        for (int i = 0; i < event.xmapping.count; ++i) {
            if (!spare_->isSlot(static_cast<unsigned>(event.xmapping.first_keycode + i))) {
                keyboardState_.reset();
                mappingChanged_ = true;
            }
        }
    }
}

bool X11EventPoster::verifySpareKeycodes(const Job* job) {
    if (verifying_ || !std::exchange(mappingChanged_, false)) return true;
    verifying_ = true;
    // The key tap reads a keymap's announcement before the keys after it: once it has seen the few
    // keys of ours on their way, it has read it, and withholds those that met a keycode emptied,
    // to be typed again. The keycodes get their characters back right after, before a client
    // that is behind looks up a key typed on them before the keymap came.
    keepPaceWithTheTap(0, job);
    for (unsigned keycode : spare_->verify()) readers_.forget(keycode);
    usableSlots_ = spare_->table().size();
    announcementKeycode_ = spare_->announcement();
    verifying_ = false;
    return !job || !cancelled(*job);
}

bool X11EventPoster::awaitRead(const std::vector<unsigned>& keycodes, const Job* job, double deadline) {
    // Every key typed so far must have reached its client before it is asked: the key tap passes
    // them on first, and the server has done so at the round trip.
    keepPaceWithTheTap(0, job);
    XSync(display_->get(), False);
    bool stopSeen = false;
    while (display_->isConnected()) {
        // A quit waits no longer than the end does, also for a press of the user's typed again.
        if (stopNow_ && !std::exchange(stopSeen, true))
            deadline = std::min(deadline, now() + kEndWaitSeconds);
        readEvents();
        verifySpareKeycodes(job);
        bool read = true;
        double clock = std::numeric_limits<double>::infinity();  // when a last use is long past
        for (unsigned keycode : keycodes) {
            const auto& slots = spare_->table();
            const auto slot =
                std::find_if(slots.begin(), slots.end(), [&](auto& s) { return s.keycode == keycode; });
            for (const auto& [reader, key] : readers_.awaited(keycode)) {
                if (signs_->canTell(reader)) {
                    signs_->ask(reader, keysTyped_);
                } else if (slot == slots.end() || slot->lastUsed + options_.reuseAfterSeconds <= now()) {
                    readers_.read(reader, key);
                } else {
                    clock = std::min(clock, slot->lastUsed + options_.reuseAfterSeconds);
                }
            }
        }
        if (signs_->isLooking()) signs_->look(readers_);
        for (unsigned keycode : keycodes) read = read && readers_.isRead(keycode);
        if (read) return true;
        if (job && (cancelled(*job) || (std::exchange(focusMoved_, false) && !stillFocused(*job))))
            return false;
        const double wait =
            std::min({deadline, clock, now() + (signs_->isLooking() ? kLookInterval : 0.05)}) - now();
        if (now() >= deadline) return false;
        // Events a round trip read meanwhile wait in the queue, not on the connection.
        if (XPending(display_->get()) > 0) continue;
        pollfd fd{display_->fileDescriptor(), POLLIN, 0};
        poll(&fd, 1, std::max(1, static_cast<int>(std::ceil(wait * 1000))));
    }
    return false;
}

bool X11EventPoster::awaitTheClient(double deadline, const Job* job) {
    keepPaceWithTheTap(0, job);
    XSync(display_->get(), False);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display_->get(), &focus, &revert);
    const auto reader = signs_->readerOf(focus);
    if (!signs_->canTell(reader) || stopNow_) return false;
    signs_->ask(reader, keysTyped_);
    while (!stopNow_ && display_->isConnected()) {
        readEvents();
        verifySpareKeycodes(job);
        if (signs_->isLooking()) signs_->look(readers_);
        if (readers_.readThrough(reader) >= keysTyped_) return true;
        if (job && (cancelled(*job) || (std::exchange(focusMoved_, false) && !stillFocused(*job))))
            return false;
        const double left = deadline - now();
        if (left <= 0) return false;
        // Events a round trip read meanwhile wait in the queue, not on the connection.
        if (XPending(display_->get()) > 0) continue;
        pollfd fd{display_->fileDescriptor(), POLLIN, 0};
        const double cap = signs_->isLooking() ? kLookInterval : 0.05;
        poll(&fd, 1, static_cast<int>(std::ceil(std::min(left, cap) * 1000)));
    }
    return false;
}

void X11EventPoster::letTheClientCatchUp(const Job& job) {
    if (!pace_.beforeText()) return;
    XSync(display_->get(), False);
    // A client that has not answered what it was last asked does not read its keys now (it may be
    // stopped): nothing is gained by asking again.
    readEvents();
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display_->get(), &focus, &revert);
    const auto reader = signs_->readerOf(focus);
    if (!signs_->hasAnswered(reader, readers_)) return;
    const double deadline = now() + TypingPace::kLongestSeconds;
    // It has read the editing keys once it answers; it has applied them once it waits for input
    // with nothing left to do.
    awaitTheClient(deadline, &job);
    if (!signs_->canSeeIdle(reader)) return;
    while (!signs_->isIdle(reader)) {
        if (now() >= deadline || cancelled(job) || !pause(kLookInterval)) return;
    }
}

bool X11EventPoster::prepareBatch(const Job& job) {
    if (!display_->isConnected() || cancelled(job)) return false;
    Display* display = display_->get();
    readEvents();
    if (!verifySpareKeycodes(&job)) return false;
    if (!keyboardState_) rebuildKeyboard(0);  // the keyboard's description and modifier keys
    XkbStateRec state{};
    const double deadline = now() + 1.0;
    while (true) {
        if (XkbGetState(display, XkbUseCoreKbd, &state) != Success) return !cancelled(job);
        userKeys_ = userKeysDown();
        // Control, Alt or Super would make shortcuts of the keys; any modifier the user holds (the
        // Shift of a capital typed meanwhile) would change what they type, and the characters
        // would go on spare keycodes, which a long text soon uses up.
        const bool shortcut = (state.base_mods & (ControlMask | Mod1Mask | Mod4Mask)) != 0;
        if ((!shortcut && !(userKeys_ & modifierKeys_).any()) || now() >= deadline) break;
        if (!pause(0.002) || cancelled(job)) return false;
    }
    if (cancelled(job)) return false;
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
            if (userKeys_.test(keycode) || spare_->isSlot(keycode)) continue;
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

void X11EventPoster::setShift(bool down) {
    if (down == shiftDown_) return;
    // Recorded like every press of ours, so that the key tap does not take it for the user's.
    if (down) options_.ledger->expect(shiftKeycode_, kEventMarker, now());
    XTestFakeKeyEvent(display_->get(), shiftKeycode_, down ? True : False, CurrentTime);
    shiftDown_ = down;
}

void X11EventPoster::keepPaceWithTheTap(std::size_t keysAhead, const Job* job) {
    if (!options_.ledger->isFollowed()) return;
    Display* display = display_->get();
    XFlush(display);
    // No deadline: keys of ours that the tap has not seen lapse from the ledger on their own. A new
    // keymap that comes meanwhile is answered at once.
    while (!options_.ledger->awaitPendingAtMost(keysAhead, 0.002)) {
        if (stopNow_ || (job && cancelled(*job))) return;
        if (XEventsQueued(display, QueuedAfterReading) > 0) {
            readEvents();
            verifySpareKeycodes(job);
        }
    }
}

bool X11EventPoster::roomAhead(const Job& job) {
    if (cancelled(job)) return false;
    if (options_.ledger->isFollowed()) {
        keepPaceWithTheTap(kPressesAhead - 1, &job);
        if (cancelled(job)) return false;
    } else if (keysTyped_ % kPressesAhead == 0) {
        // Without a key tap nothing holds our keys up: the server has them at the round trip.
        XSync(display_->get(), False);
    }
    // What the server sent is read without waiting: a window that lost the focus meanwhile said so,
    // and so did a new keymap.
    readEvents();
    if (!verifySpareKeycodes(&job)) return false;
    return !std::exchange(focusMoved_, false) || stillFocused(job);
}

bool X11EventPoster::focusIsWithin(unsigned long window) const {
    if (window == None) return true;
    Display* display = display_->get();
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == None || focus == PointerRoot) return true;  // wherever the pointer is: no telling
    // The focus may move within the window's top-level (Firefox moves it from a child of its
    // top-level to the top-level itself): the keys go to the same application there. Typed into
    // the root, a key went wherever the focus was.
    if (window == DefaultRootWindow(display)) return true;
    const Window top = topLevelOf(display, window);
    return top != None && top == topLevelOf(display, focus);
}

bool X11EventPoster::stillFocused(const Job& job) {
    if (job.target == None) return true;
    // A press of the user's typed again goes into the window it was typed into, or inside it.
    if (job.insertion == 0) return focusIsWithin(job.target);
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
    if (job.keyDown && job.target != watchedTarget_) {
        // The window the keys go to tells when it loses the focus.
        watchedTarget_ = job.target;
        focusMoved_ = false;
        if (job.target != None) listen(job.target, FocusChangeMask);
    }
    // A key's release always goes out: its press may have.
    if (job.text && job.keyDown) letTheClientCatchUp(job);
    if (job.keyDown && (!stillFocused(job) || !prepareBatch(job))) return;
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
    while (isDown(display, keycode) && now() < deadline) sleepFor(0.005);
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
    const bool onSpareKeys = !shortcut && printable && (!spare_->empty() || spare_->discover());
    if (!job.retypedText.empty() &&
        (onSpareKeys || !given || options_.ledger->ownKeycodes().count(keycode))) {
        Job text;
        text.text = true;
        text.keysyms = keysymsOfText(text::utf16(job.retypedText));
        text.userData = PostedKeyLedger::retypedUserData;
        text.onSpareKeys = onSpareKeys;
        text.target = job.target;
        if (prepareBatch(text)) typeText(text);
        return;
    }
    // Announced, so that the key tap tells it from a press of the same key the user types meanwhile
    // (a burst of typing queued behind the held key comes before it).
    if (const unsigned announcement = spare_->announcement()) {
        options_.ledger->expect(announcement, PostedKeyLedger::announcementUserData, now());
        XTestFakeKeyEvent(display, announcement, True, CurrentTime);
        XTestFakeKeyEvent(display, announcement, False, CurrentTime);
    }
    options_.ledger->expect(keycode, PostedKeyLedger::retypedUserData, now());
    typeKeyAgain(display, keycode, job.retypedState);
    keysTyped_ += 2;
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
        pace_.edited();
        options_.ledger->expect(keycode, job.userData, now());
        ++keysTyped_;
    }
    XTestFakeKeyEvent(display, keycode, job.keyDown ? True : False, CurrentTime);
    XSync(display, False);
}

void X11EventPoster::typeText(const Job& job) {
    Window focus = job.target;
    int revert = 0;
    if (focus == None) XGetInputFocus(display_->get(), &focus, &revert);
    reader_ = signs_->readerOf(focus);
    typeBatches(job);
    // A press of ours that met the user's press of the same key was lost, or met a keycode a new
    // keymap had emptied: the key tap withheld the rest of the text from there, which goes on
    // once the tap has seen all of it, with the key the user holds on a spare keycode.
    while (options_.ledger->isFollowed()) {
        options_.ledger->awaitTheTap();
        keepPaceWithTheTap(0, &job);
        std::vector<unsigned long> withheld = options_.ledger->takeWithheld();
        if (withheld.empty() || cancelled(job) || !stillFocused(job) || !prepareBatch(job)) return;
        Job rest = job;
        rest.keysyms = std::move(withheld);
        typeBatches(rest);
    }
}

bool X11EventPoster::mapOntoSpareKeycodes(const std::set<unsigned long>& keysyms, const Job& job) {
    // A new keymap loaded just now would meet the characters given here: clients still loading it
    // read nothing for them. What the server has sent so far is read first.
    XSync(display_->get(), False);
    readEvents();
    if (!verifySpareKeycodes(&job)) return false;
    std::vector<unsigned long> missing;
    for (unsigned long keysym : keysyms) {
        if (spare_->keycodeOf(keysym) == 0) missing.push_back(keysym);
    }
    if (missing.empty()) return true;
    const auto chosen =
        spare_->choose(missing.size(), keysyms, [&](unsigned keycode) { return readers_.isRead(keycode); });
    if (chosen.size() < missing.size()) return false;
    // A keycode is given another character only once every client sent a key on it has read it.
    std::vector<unsigned> unread;
    for (std::size_t index : chosen) {
        const unsigned keycode = spare_->table()[index].keycode;
        if (!readers_.isRead(keycode)) unread.push_back(keycode);
    }
    if (!unread.empty() && !awaitRead(unread, &job, std::numeric_limits<double>::infinity())) return false;
    std::vector<std::pair<std::size_t, unsigned long>> characters;
    for (std::size_t i = 0; i < missing.size(); ++i) {
        characters.emplace_back(chosen[i], missing[i]);
        readers_.forget(spare_->table()[chosen[i]].keycode);
    }
    spare_->map(characters);
    sleepFor(options_.settleSeconds);
    return true;
}

bool X11EventPoster::typeTextKey(const Job& job, unsigned keycode, unsigned long keysym,
                                 std::optional<bool> shift) {
    if (!roomAhead(job)) return false;
    setShift(shift.value_or(false));
    options_.ledger->expect(keycode, job.userData, now(), keysym, shift);
    XTestFakeKeyEvent(display_->get(), keycode, True, CurrentTime);
    XTestFakeKeyEvent(display_->get(), keycode, False, CurrentTime);
    ++keysTyped_;
    if (spare_->isSlot(keycode)) readers_.typed(keycode, reader_, keysTyped_);
    return true;
}

void X11EventPoster::typeBatches(const Job& job) {
    Display* display = display_->get();
    std::size_t start = 0;
    bool prepared = true;  // the keyboard's state was just learnt for the first batch
    while (start < job.keysyms.size()) {
        if (!std::exchange(prepared, false) && (!stillFocused(job) || !prepareBatch(job))) return;
        // A modifier the user holds would change what the keyboard's own keys type: meanwhile
        // the characters go on spare keycodes, which type the same on every level.
        const bool onSpareKeys = job.onSpareKeys || userHoldsModifier_;
        // A batch of keys whose scalars off the keyboard fit onto the spare keycodes at once.
        std::set<unsigned long> distinct;
        std::size_t end = start;
        for (; end < job.keysyms.size() && end - start < kBatchKeys; ++end) {
            const unsigned long keysym = job.keysyms[end];
            if (keyFor(onSpareKeys, keysym)) continue;
            if (spare_->empty() && !spare_->discover()) break;
            if (!distinct.count(keysym) && distinct.size() == spare_->table().size()) break;
            distinct.insert(keysym);
        }
        usableSlots_ = spare_->table().size();
        if (end == start) {  // a scalar that nothing can type
            ++start;
            continue;
        }
        if (!mapOntoSpareKeycodes(distinct, job)) return;
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
            const unsigned keycode = key ? key->keycode : spare_->keycodeOf(keysym);
            if (keycode == 0) continue;
            // A key that types nothing, where a client needs the text broken (see TypingPace).
            const unsigned announcement = spare_->announcement();
            if (i > 0 && announcement != 0 &&
                TypingPace::breaksBetween(scalarOf(job.keysyms[i - 1]), scalarOf(keysym)) &&
                !typeTextKey(job, announcement, 0, std::nullopt))
                return;
            if (!typeTextKey(job, keycode, keysym, key ? std::optional(key->shift) : std::nullopt)) {
                setShift(false);
                XSync(display, False);
                return;
            }
        }
        setShift(false);
        XSync(display, False);
        spare_->used(distinct, now());
        start = end;
    }
}

std::unique_ptr<X11EventPoster> createX11EventPoster(const std::string& identifier,
                                                     std::unique_ptr<X11Display> display) {
    X11EventPoster::Options options;
    options.recordDirectory = InstanceRegistry::standardDirectory(identifier);
    return X11EventPoster::create(std::move(options), std::move(display));
}

}  // namespace mosaiko
