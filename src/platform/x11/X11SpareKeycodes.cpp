#include "platform/x11/X11SpareKeycodes.hpp"

#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "platform/x11/X11Display.hpp"

namespace mosaiko {

namespace {

// The keysyms of every keycode, `perKeycode` of them each from the lowest keycode on.
struct KeyboardMapping {
    int minKeycode = 0, maxKeycode = 0, perKeycode = 0;
    std::vector<KeySym> keysyms;

    explicit KeyboardMapping(Display* display) {
        XDisplayKeycodes(display, &minKeycode, &maxKeycode);
        KeySym* map = XGetKeyboardMapping(display, static_cast<::KeyCode>(minKeycode),
                                          maxKeycode - minKeycode + 1, &perKeycode);
        if (!map) return;
        keysyms.assign(map, map + (maxKeycode - minKeycode + 1) * perKeycode);
        XFree(map);
    }

    const KeySym* of(unsigned keycode) const {
        const int index = static_cast<int>(keycode) - minKeycode;
        if (keysyms.empty() || index < 0 || keycode > static_cast<unsigned>(maxKeycode)) return nullptr;
        return keysyms.data() + index * perKeycode;
    }
    bool isUnused(unsigned keycode) const {
        const KeySym* syms = of(keycode);
        return syms && std::all_of(syms, syms + perKeycode, [](KeySym s) { return s == NoSymbol; });
    }
    // Whether the keycode holds `keysym` and nothing else, as a poster maps it.
    bool holdsOnly(unsigned keycode, unsigned long keysym) const {
        const KeySym* syms = of(keycode);
        if (!syms || perKeycode == 0 || syms[0] != keysym) return false;
        return std::all_of(syms + 1, syms + perKeycode,
                           [&](KeySym s) { return s == keysym || s == NoSymbol; });
    }
};

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

void clear(Display* display, const std::vector<unsigned>& keycodes) {
    X11ErrorTrap trap;
    for (const auto& [first, count] : consecutiveRuns(keycodes)) {
        const std::vector<KeySym> none(count, NoSymbol);
        XChangeKeyboardMapping(display, static_cast<int>(first), 1, const_cast<KeySym*>(none.data()),
                               static_cast<int>(count));
    }
    XSync(display, False);
}

}  // namespace

X11SpareKeycodes::X11SpareKeycodes(Display* display, PostedKeyLedger& ledger, RemappedKeycodes& record)
    : display_(display), ledger_(ledger), record_(record) {}

std::vector<unsigned> X11SpareKeycodes::unused(Display* display) {
    const KeyboardMapping mapping(display);
    std::vector<unsigned> keycodes;
    for (int keycode = mapping.minKeycode; keycode <= mapping.maxKeycode; ++keycode) {
        if (mapping.isUnused(static_cast<unsigned>(keycode)))
            keycodes.push_back(static_cast<unsigned>(keycode));
    }
    return keycodes;
}

bool X11SpareKeycodes::discover(bool takeThem) {
    std::vector<unsigned> fresh;
    for (unsigned keycode : unused(display_)) {
        if (!isSlot(keycode) && keycode != announcement_) fresh.push_back(keycode);
    }
    std::vector<unsigned> own;
    if (announcement_ == 0 && fresh.size() >= 2) {
        announcement_ = fresh.back();
        fresh.pop_back();
        own.push_back(announcement_);
    }
    // The lowest stays free for other tools, as long as one is left to type on.
    if (!fresh.empty() && (fresh.size() > 1 || !slots_.empty())) fresh.erase(fresh.begin());
    for (unsigned keycode : fresh) {
        if (takeThem) slots_.push_back({keycode, 0, -1e9});
        own.push_back(keycode);
    }
    ledger_.markOwnKeycodes(own);  // before any of them is remapped
    return !slots_.empty();
}

unsigned X11SpareKeycodes::keycodeOf(unsigned long keysym) const {
    for (const Slot& slot : slots_) {
        if (slot.keysym == keysym) return slot.keycode;
    }
    return 0;
}

bool X11SpareKeycodes::isSlot(unsigned keycode) const {
    return std::any_of(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.keycode == keycode; });
}

bool X11SpareKeycodes::anyMapped() const {
    return std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.keysym != 0; });
}

std::vector<unsigned> X11SpareKeycodes::mapped() const {
    std::vector<unsigned> keycodes;
    for (const Slot& slot : slots_) {
        if (slot.keysym != 0) keycodes.push_back(slot.keycode);
    }
    return keycodes;
}

std::vector<std::size_t> X11SpareKeycodes::choose(std::size_t count, const std::set<unsigned long>& kept,
                                                  const std::function<bool(unsigned keycode)>& isRead) const {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (!kept.count(slots_[i].keysym) || slots_[i].keysym == 0) order.push_back(i);
    }
    auto rank = [&](std::size_t i) { return slots_[i].keysym == 0 ? 0 : isRead(slots_[i].keycode) ? 1 : 2; };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (rank(a) != rank(b)) return rank(a) < rank(b);
        if (rank(a) == 0) return slots_[a].keycode > slots_[b].keycode;
        return slots_[a].lastUsed < slots_[b].lastUsed;
    });
    if (order.size() > count) order.resize(count);
    return order;
}

void X11SpareKeycodes::map(const std::vector<std::pair<std::size_t, unsigned long>>& characters) {
    if (characters.empty()) return;
    // Recorded before the keyboard changes, with what a reused keycode still holds: a run killed
    // before the change leaves that mapping, which is as much ours to give back as the new one.
    std::vector<RemappedKeycodes::Entry> entries;
    for (const auto& [index, keysym] : characters) {
        Slot& slot = slots_[index];
        if (slot.keysym != 0) entries.push_back({slot.keycode, slot.keysym});
        slot.keysym = keysym;
    }
    for (const Slot& slot : slots_) {
        if (slot.keysym != 0) entries.push_back({slot.keycode, slot.keysym});
    }
    record_.write(entries);
    std::map<unsigned, unsigned long> changed;
    for (const auto& [index, keysym] : characters) changed[slots_[index].keycode] = keysym;
    std::vector<unsigned> keycodes;
    for (const auto& entry : changed) keycodes.push_back(entry.first);
    X11ErrorTrap trap;
    for (const auto& [first, count] : consecutiveRuns(keycodes)) {
        std::vector<KeySym> syms;
        for (unsigned keycode = first; keycode < first + count; ++keycode) {
            syms.push_back(changed[keycode]);
            syms.push_back(changed[keycode]);
        }
        XChangeKeyboardMapping(display_, static_cast<int>(first), 2, syms.data(), static_cast<int>(count));
    }
    XSync(display_, False);
}

void X11SpareKeycodes::used(const std::set<unsigned long>& keysyms, double at) {
    for (Slot& slot : slots_) {
        if (keysyms.count(slot.keysym)) slot.lastUsed = at;
    }
}

std::vector<unsigned> X11SpareKeycodes::verify() {
    const KeyboardMapping mapping(display_);
    if (mapping.keysyms.empty()) return {};
    std::vector<unsigned> went;
    std::vector<std::pair<std::size_t, unsigned long>> restored;
    std::vector<Slot> kept;
    for (const Slot& slot : slots_) {
        if (slot.keysym == 0 || mapping.holdsOnly(slot.keycode, slot.keysym)) {
            if (slot.keysym != 0 || mapping.isUnused(slot.keycode)) kept.push_back(slot);
        } else if (mapping.isUnused(slot.keycode)) {
            // Emptied by a new keymap: given its character back at once, before the clients that
            // have yet to read a key typed on it look it up.
            restored.emplace_back(kept.size(), slot.keysym);
            kept.push_back({slot.keycode, 0, slot.lastUsed});
        } else {
            went.push_back(slot.keycode);  // another program's now
        }
    }
    slots_ = std::move(kept);
    if (announcement_ != 0 && !mapping.isUnused(announcement_)) announcement_ = 0;
    map(restored);
    if (!went.empty()) record();
    discover(!slots_.empty());
    return went;
}

void X11SpareKeycodes::giveBack(const std::vector<unsigned>& keycodes, bool connected) {
    if (connected) {
        const KeyboardMapping mapping(display_);
        std::vector<unsigned> ours;
        for (const Slot& slot : slots_) {
            const bool asked = std::find(keycodes.begin(), keycodes.end(), slot.keycode) != keycodes.end();
            if (asked && slot.keysym != 0 && mapping.holdsOnly(slot.keycode, slot.keysym))
                ours.push_back(slot.keycode);
        }
        clear(display_, ours);
    }
    for (Slot& slot : slots_) {
        if (std::find(keycodes.begin(), keycodes.end(), slot.keycode) != keycodes.end()) slot.keysym = 0;
    }
    // What a display that went away did not take back stays recorded for the next start.
    if (connected) {
        record();
    } else {
        record_.keep();
    }
}

void X11SpareKeycodes::record() {
    std::vector<RemappedKeycodes::Entry> entries;
    for (const Slot& slot : slots_) {
        if (slot.keysym != 0) entries.push_back({slot.keycode, slot.keysym});
    }
    record_.write(entries);
}

void X11SpareKeycodes::giveBackLeftovers(Display* display, const std::filesystem::path& directory,
                                         const std::string& displayKey) {
    const auto leftovers = RemappedKeycodes::leftByEndedRuns(directory, displayKey);
    if (leftovers.empty()) return;
    const KeyboardMapping mapping(display);
    std::vector<unsigned> ours;
    for (const auto& leftover : leftovers) {
        for (const auto& entry : leftover.entries) {
            if (mapping.holdsOnly(entry.keycode, entry.keysym)) ours.push_back(entry.keycode);
        }
    }
    clear(display, ours);
    for (const auto& leftover : leftovers) ::unlink(leftover.file.c_str());
}

}  // namespace mosaiko
