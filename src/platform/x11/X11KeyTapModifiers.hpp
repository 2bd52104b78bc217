#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "platform/KeyEvent.hpp"

typedef struct _XDisplay Display;

namespace mosaiko {

class X11KeyTranslator;

// The modifiers and layout group the key tap's presses were typed with, as the server's keyboard
// state (XKB) announces them on the tap's connection, and the dead keys pressed last. A press that
// waited behind a held one is handled by the server long after it was typed, and a client may have
// set another group meanwhile: the group in force when each keyboard press was typed is kept until
// the core keyboard reports the press. Used on the tap's thread only.
class X11KeyTapModifiers {
  public:
    X11KeyTapModifiers(Display* display, const X11KeyTranslator& translator);

    // Asks the server for its state changes and reads the state now; does nothing without XKB.
    void observe();
    // Asks for no more state changes.
    void stopObserving();
    // The type of XKB's events; -1 without XKB.
    int eventBase() const { return xkbEventBase_; }

    // Takes in a state the server announced; `byRequest` when a client's request set it rather than
    // a key.
    void take(unsigned mods, int group, bool byRequest);
    unsigned mods() const { return mods_; }
    int group() const { return group_; }
    // The shortcut flags in effect, with those of a modifier press the server's state does not show
    // yet.
    std::uint64_t flags() const;
    // A modifier press with these flags came before the server's state shows it.
    void notePressed(std::uint64_t flags) { pressedModifierFlags_ = flags; }

    // A keyboard's press, as it was typed: the core keyboard's comes when the server handles it,
    // later while the keyboard waits for a held press.
    void noteTyped(unsigned keycode, unsigned long time);

    // The modifiers of `mods` in the layout group a press of the core keyboard was typed in. That
    // is the group the server announced on this connection before the press, unless a client set
    // the group by a request since the press was typed: a tool that switches to the group that
    // has a character, types it and switches back does so while the press waits behind a held
    // one, and the server then handles it in the group switched back to.
    struct Typing {
        unsigned state = 0;
        bool inRequestedGroup = false;  // a group a client set by a request
    };
    Typing typedState(unsigned keycode, unsigned long time, unsigned mods);

    // The core modifiers of `state` in the group in force.
    unsigned withGroup(unsigned state) const {
        return (state & 0xFF) | (static_cast<unsigned>(group_) << 13);
    }

    // A dead key types nothing until the next key, with which the application composes; pressed
    // right after another dead key, it types an accent on its own there.
    void composeDeadKeys(unsigned keycode, unsigned state, KeyEvent& event);

  private:
    Display* d_;
    const X11KeyTranslator& translator_;
    int xkbEventBase_ = -1;
    unsigned mods_ = 0;
    int group_ = 0;
    // The flags of a modifier press the server's state does not show yet.
    std::uint64_t pressedModifierFlags_ = 0;
    // The keyboards' presses the core keyboard has not reported yet, with the group in force and
    // the count of groups set by request when each was typed.
    struct TypedKey {
        unsigned keycode = 0;
        unsigned long time = 0;
        int group = 0;
        std::uint64_t groupRequests = 0;
        bool byRequest = false;
    };
    static constexpr std::size_t kTypedKeys = 256;
    std::deque<TypedKey> typedKeys_;
    std::uint64_t groupRequests_ = 0;
    bool groupByRequest_ = false;  // the group in force was set by a client's request, not a key
    bool afterDeadKey_ = false;    // the last press was a dead key waiting for the next
};

}  // namespace mosaiko
