#pragma once

#include <cstddef>
#include <optional>

namespace mosaiko {

// Where typing lets the client catch up before the next key. Some clients take keys in two ways
// that overtake each other. LibreOffice Writer takes BackSpace and a character of the basic
// multilingual plane as keys, and sets such characters aside while more keys wait to be read; a
// character beyond that plane (an emoji) comes to it as composed text, which it inserts at once.
// With its GTK 3 backend it also works through a run of BackSpaces after the keys that follow.
// Typed back to back, the text after the BackSpaces that erased a search came before the last of
// them, and the joiners of an emoji sequence came after the emoji that follow them. So the client
// answers for the keys so far, and is given a moment more, only where the kind of key changes: a
// few milliseconds a user does not notice.
class TypingPace {
  public:
    enum class Kind {
        edit,          // BackSpace, Return, Tab: a key that types no character
        character,     // of the basic multilingual plane
        wideCharacter  // beyond it
    };
    static Kind kindOf(char32_t scalar);

    // Notes that a key of `kind` is pressed next, at uptime `now`. Returns how long to wait before
    // its press, once the client has answered for the keys before it; nothing when it need not.
    std::optional<double> beforePress(Kind kind, double now);

    // The longest wait, for the client's answer or after it.
    static constexpr double kLongestSeconds = 0.25;

  private:
    std::optional<Kind> last_;
    double lastAt_ = 0;
    std::size_t edits_ = 0;  // editing keys pressed since the last character
};

}  // namespace mosaiko
