#pragma once

#include <cstddef>
#include <functional>
#include <set>
#include <vector>

#include "platform/linux/RemappedKeycodes.hpp"
#include "platform/x11/PostedKeyLedger.hpp"

typedef struct _XDisplay Display;

namespace mosaiko {

// The spare keycodes a poster types the characters on that the keyboard lacks: keycodes that no key
// uses, each given one character at a time. The lowest is left to other tools (auto-type tools map
// the lowest free one for a moment); the highest never gets a character: a press of it types
// nothing, which announces a press typed again and breaks a text where a client needs it. Every
// change is recorded first (RemappedKeycodes), with what a keycode held before, so that a run that
// is killed leaves nothing the next start cannot give back. A new keymap (setxkbmap) takes every
// character off them: verify() finds that out. One thread only: the poster's.
class X11SpareKeycodes {
  public:
    struct Slot {
        unsigned keycode = 0;
        unsigned long keysym = 0;  // 0 while it holds none
        double lastUsed = -1e9;
    };

    X11SpareKeycodes(Display* display, PostedKeyLedger& ledger, RemappedKeycodes& record);

    // Finds the keycodes no key uses now, and tells the ledger they are ours; takes them to type on
    // when asked to (else only the one that types nothing is chosen). Whether there is any to type on.
    bool discover(bool takeThem = true);
    // The keycode that types nothing; 0 when there is none to spare.
    unsigned announcement() const { return announcement_; }
    const std::vector<Slot>& table() const { return slots_; }
    bool empty() const { return slots_.empty(); }
    // The keycode that holds `keysym`; 0 when none does.
    unsigned keycodeOf(unsigned long keysym) const;
    bool isSlot(unsigned keycode) const;
    bool anyMapped() const;

    // The slots to give `count` more characters to, leaving those that hold one of `kept`: free ones
    // first, the highest keycode first, then those that `isRead` says every client has read, then
    // the others, each in the order they were used. Fewer than `count` when there are not enough.
    std::vector<std::size_t> choose(std::size_t count, const std::set<unsigned long>& kept,
                                    const std::function<bool(unsigned keycode)>& isRead) const;
    // Gives each slot its character, recorded first: one request for each run of consecutive
    // keycodes, since every request makes each client fetch the mapping anew.
    void map(const std::vector<std::pair<std::size_t, unsigned long>>& characters);
    void used(const std::set<unsigned long>& keysyms, double at);

    // After somebody else changed the keyboard's mapping: a slot whose keycode no longer holds its
    // character (a new keymap took it) is given it back, one that holds another program's character
    // is no longer ours, and keycodes the new mapping leaves free are taken in. Returns the keycodes
    // that went to another program.
    std::vector<unsigned> verify();

    // Takes their characters off `keycodes` where they still hold them (another program's mapping
    // is never undone) and records what stays mapped; with the connection broken, keeps the record
    // for the next start.
    void giveBack(const std::vector<unsigned>& keycodes, bool connected);
    // The keycodes that hold a character.
    std::vector<unsigned> mapped() const;

    // Gives back the keycodes that runs of the program which have ended left mapped on the display.
    static void giveBackLeftovers(Display* display, const std::filesystem::path& directory,
                                  const std::string& displayKey);
    // The keycodes no key uses now, ascending.
    static std::vector<unsigned> unused(Display* display);

  private:
    void record();

    Display* display_;
    PostedKeyLedger& ledger_;
    RemappedKeycodes& record_;
    std::vector<Slot> slots_;
    unsigned announcement_ = 0;
};

}  // namespace mosaiko
