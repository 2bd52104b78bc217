#include "platform/x11/TypingPace.hpp"

#include <algorithm>

namespace mosaiko {

namespace {

// After a run of editing keys, however soon the client answered: Writer's GTK 3 backend took some
// 4 ms a BackSpace after reading them (40 ms after 19 BackSpaces was too soon, 100 ms was not).
constexpr double kAfterEditingSeconds = 0.02;
constexpr double kPerEditingKeySeconds = 0.004;
// Before a character beyond the basic plane that follows one of it.
constexpr double kBeforeWideSeconds = 0.02;
// Keys further back than this have been taken, whatever came after them.
constexpr double kTakenAfterSeconds = 1.0;

}  // namespace

TypingPace::Kind TypingPace::kindOf(char32_t scalar) {
    if (scalar < 0x20 || scalar == 0x7f) return Kind::edit;
    return scalar > 0xFFFF ? Kind::wideCharacter : Kind::character;
}

std::optional<double> TypingPace::beforePress(Kind kind, double now) {
    if (last_ && now - lastAt_ > kTakenAfterSeconds) {
        last_.reset();
        edits_ = 0;
    }
    std::optional<double> wait;
    if (last_ == Kind::edit && kind != Kind::edit)
        wait = std::min(kLongestSeconds,
                        kAfterEditingSeconds + kPerEditingKeySeconds * static_cast<double>(edits_));
    else if (last_ == Kind::character && kind == Kind::wideCharacter)
        wait = kBeforeWideSeconds;
    edits_ = kind == Kind::edit ? edits_ + 1 : 0;
    last_ = kind;
    lastAt_ = now;
    return wait;
}

}  // namespace mosaiko
