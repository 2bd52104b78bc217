#include "platform/x11/TypingPace.hpp"

#include <algorithm>
#include <utility>

namespace mosaiko {

namespace {

// After a run of editing keys, however soon the client answered: Writer's GTK 3 backend took some
// 4 ms a BackSpace after reading them (40 ms after 19 BackSpaces was too soon, 100 ms was not).
constexpr double kAfterEditingSeconds = 0.02;
constexpr double kPerEditingKeySeconds = 0.004;
// Keys further back than this have been taken, whatever came after them.
constexpr double kTakenAfterSeconds = 1.0;

}  // namespace

void TypingPace::edited(double now) {
    if (now - lastEditAt_ > kTakenAfterSeconds) edits_ = 0;
    ++edits_;
    lastEditAt_ = now;
}

std::optional<double> TypingPace::beforeText(double now) {
    const std::size_t edits = std::exchange(edits_, 0);
    if (edits == 0 || now - lastEditAt_ > kTakenAfterSeconds) return std::nullopt;
    return std::min(kLongestSeconds,
                    kAfterEditingSeconds + kPerEditingKeySeconds * static_cast<double>(edits));
}

bool TypingPace::breaksBetween(char32_t previous, char32_t next) {
    const bool basicCharacter = previous >= 0x20 && previous != 0x7f && previous <= 0xFFFF;
    return basicCharacter && next > 0xFFFF;
}

}  // namespace mosaiko
