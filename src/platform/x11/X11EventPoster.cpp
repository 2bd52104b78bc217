#include "platform/x11/X11EventPoster.hpp"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <set>

#include <cstdlib>
#include <iostream>

#include "platform/MainLoop.hpp"
#include "platform/linux/InstanceRegistry.hpp"
#include "platform/x11/X11Display.hpp"
#include "platform/x11/X11KeyMapping.hpp"

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
    options_.ledger->setRetyper(this, [this](unsigned keycode) {
        Job job;
        job.retypedKeycode = keycode;
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
    thread_.join();
}

void X11EventPoster::post(const SyntheticKeyEvent& event) {
    Job job;
    job.keyDown = event.keyDown;
    job.userData = event.userData;
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

std::size_t X11EventPoster::freeKeycodes() {
    if (!queryDisplay_) queryDisplay_ = X11Display::open(options_.displayName);
    if (!queryDisplay_ || !queryDisplay_->isConnected()) return 0;
    Display* display = queryDisplay_->get();
    int minKeycode = 0, maxKeycode = 0, perKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    KeySym* map = XGetKeyboardMapping(display, static_cast<::KeyCode>(minKeycode),
                                      maxKeycode - minKeycode + 1, &perKeycode);
    if (!map) return 0;
    std::size_t count = 0;
    for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
        const KeySym* syms = map + (keycode - minKeycode) * perKeycode;
        if (std::all_of(syms, syms + perKeycode, [](KeySym s) { return s == NoSymbol; })) ++count;
    }
    XFree(map);
    return count;
}

void X11EventPoster::run() {
    std::unique_lock lock(mutex_);
    while (true) {
        if (jobs_.empty()) {
            if (stopping_) break;
            if (hasMappedSlots()) {
                const double due = lastKeyTime_ + options_.holdSeconds - now();
                if (due > 0) {
                    wake_.wait_for(lock, std::chrono::duration<double>(due));
                    continue;
                }
                lock.unlock();
                restoreSlots();
                lock.lock();
            } else {
                wake_.wait(lock);
            }
            continue;
        }
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        if (display_->isConnected()) perform(job);
        options_.ledger->endPosting();
        lock.lock();
    }
    lock.unlock();
    if (hasMappedSlots()) {
        if (display_->isConnected()) sleepFor(lastKeyTime_ + options_.holdSeconds - now());
        restoreSlots();
    }
}

void X11EventPoster::waitForShortcutModifiersUp() {
    Display* display = display_->get();
    const double deadline = now() + 1.0;
    while (now() < deadline) {
        XkbStateRec state{};
        if (XkbGetState(display, XkbUseCoreKbd, &state) != Success) return;
        if ((state.base_mods & (ControlMask | Mod1Mask | Mod4Mask)) == 0) return;
        sleepFor(0.01);
    }
}

void X11EventPoster::perform(const Job& job) {
    if (job.retypedKeycode != 0) return retype(job.retypedKeycode);
    if (job.keyDown) waitForShortcutModifiersUp();
    if (job.text) {
        typeText(job);
    } else {
        typeKey(job);
    }
}

void X11EventPoster::retype(unsigned keycode) {
    // With whatever modifiers the user holds now, as typed; once the user has let go of the key,
    // since a key that is down would not go down again.
    Display* display = display_->get();
    const double deadline = now() + 1.0;
    while (isDown(display, keycode) && now() < deadline) sleepFor(0.005);
    options_.ledger->expect(keycode, PostedKeyLedger::retypedUserData, now());
    XTestFakeKeyEvent(display, keycode, True, CurrentTime);
    XTestFakeKeyEvent(display, keycode, False, CurrentTime);
    XSync(display, False);
}

void X11EventPoster::typeKey(const Job& job) {
    Display* display = display_->get();
    const unsigned long keysym = job.keysyms.front();
    unsigned keycode = plainKeycode(display, keysym);
    if (!job.keyDown && strokedOnSlot_.erase(keysym)) return;
    if (keycode == 0 || (job.keyDown && isDown(display, keycode))) {
        // Not on the keyboard, or held down by the user: a whole keystroke on a spare keycode, on
        // the key-down.
        if (!job.keyDown) return;
        if (keycode != 0) strokedOnSlot_.insert(keysym);
        Job stroke = job;
        stroke.text = true;
        typeText(stroke);
        return;
    }
    if (job.keyDown) options_.ledger->expect(keycode, job.userData, now());
    XTestFakeKeyEvent(display, keycode, job.keyDown ? True : False, CurrentTime);
    XSync(display, False);
}

void X11EventPoster::typeText(const Job& job) {
    Display* display = display_->get();
    if (slots_.empty() && !discoverSlots()) return;
    // Return and Tab go on their own keys, unless the user holds that key down.
    auto onOwnKey = [&](unsigned long keysym) {
        if (keysym != XK_Return && keysym != XK_Tab) return 0u;
        const unsigned keycode = plainKeycode(display, keysym);
        return keycode != 0 && !isDown(display, keycode) ? keycode : 0u;
    };
    const unsigned returnKeycode = onOwnKey(XK_Return);
    const unsigned tabKeycode = onOwnKey(XK_Tab);
    auto ownKeycode = [&](unsigned long keysym) {
        return keysym == XK_Return ? returnKeycode : keysym == XK_Tab ? tabKeycode : 0u;
    };
    std::size_t start = 0;
    while (start < job.keysyms.size()) {
        // The longest run of keys whose scalars fit onto the spare keycodes at once.
        std::set<unsigned long> distinct;
        std::size_t end = start;
        for (; end < job.keysyms.size(); ++end) {
            const unsigned long keysym = job.keysyms[end];
            if (ownKeycode(keysym) != 0) continue;
            if (!distinct.count(keysym) && distinct.size() == slots_.size()) break;
            distinct.insert(keysym);
        }
        if (!mapOntoSlots({distinct.begin(), distinct.end()})) return;
        for (std::size_t i = start; i < end; ++i) {
            const unsigned long keysym = job.keysyms[i];
            unsigned keycode = ownKeycode(keysym);
            if (keycode == 0) keycode = keycodeOnSlot(keysym);
            if (keycode == 0) continue;
            options_.ledger->expect(keycode, job.userData, now());
            XTestFakeKeyEvent(display, keycode, True, CurrentTime);
            XTestFakeKeyEvent(display, keycode, False, CurrentTime);
        }
        XSync(display, False);
        lastKeyTime_ = now();
        for (Slot& slot : slots_) {
            if (distinct.count(slot.keysym)) slot.lastUsed = lastKeyTime_;
        }
        start = end;
    }
}

bool X11EventPoster::discoverSlots() {
    // Spare keycodes: those without any symbol in the current mapping.
    Display* display = display_->get();
    int minKeycode = 0, maxKeycode = 0, perKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    KeySym* map = XGetKeyboardMapping(display, static_cast<::KeyCode>(minKeycode),
                                      maxKeycode - minKeycode + 1, &perKeycode);
    if (!map) return false;
    for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
        const KeySym* syms = map + (keycode - minKeycode) * perKeycode;
        if (std::all_of(syms, syms + perKeycode, [](KeySym s) { return s == NoSymbol; })) {
            slots_.push_back({static_cast<unsigned>(keycode), 0, -1e9});
        }
    }
    XFree(map);
    std::vector<unsigned> keycodes;
    for (const Slot& slot : slots_) keycodes.push_back(slot.keycode);
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
    // Free slots first, then those used longest ago.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (!kept[i]) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if ((slots_[a].keysym == 0) != (slots_[b].keysym == 0)) return slots_[a].keysym == 0;
        return slots_[a].lastUsed < slots_[b].lastUsed;
    });
    if (order.size() < missing.size()) return false;
    double safeAt = 0;
    for (std::size_t i = 0; i < missing.size(); ++i) {
        const Slot& slot = slots_[order[i]];
        if (slot.keysym != 0) safeAt = std::max(safeAt, slot.lastUsed + options_.holdSeconds);
    }
    sleepFor(safeAt - now());
    // Recorded before the keyboard changes, with what a reused keycode still holds: a run killed
    // before the change leaves that mapping, which is as much ours to give back as the new one.
    std::vector<RemappedKeycodes::Entry> replaced;
    for (std::size_t i = 0; i < missing.size(); ++i) {
        Slot& slot = slots_[order[i]];
        if (slot.keysym != 0) replaced.push_back({slot.keycode, slot.keysym});
        slot.keysym = missing[i];
    }
    recordMappedSlots(replaced);
    X11ErrorTrap trap;
    for (std::size_t i = 0; i < missing.size(); ++i) {
        const Slot& slot = slots_[order[i]];
        KeySym syms[2] = {slot.keysym, slot.keysym};
        XChangeKeyboardMapping(display, static_cast<int>(slot.keycode), 2, syms, 1);
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

bool X11EventPoster::hasMappedSlots() const {
    return std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.keysym != 0; });
}

void X11EventPoster::restoreSlots() {
    Display* display = display_->get();
    if (display_->isConnected()) {
        X11ErrorTrap trap;
        for (const Slot& slot : slots_) {
            // Leave a keycode alone that somebody else has mapped since.
            if (slot.keysym == 0 || !holdsOnly(display, slot.keycode, slot.keysym)) continue;
            KeySym none = NoSymbol;
            XChangeKeyboardMapping(display, static_cast<int>(slot.keycode), 1, &none, 1);
        }
        XSync(display, False);
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
