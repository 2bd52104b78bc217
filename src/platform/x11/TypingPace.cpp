#include "platform/x11/TypingPace.hpp"

#include <utility>

namespace mosaiko {

void TypingPace::edited() {
    edited_ = true;
}

bool TypingPace::beforeText() {
    return std::exchange(edited_, false);
}

bool TypingPace::breaksBetween(char32_t previous, char32_t next) {
    const bool basicCharacter = previous >= 0x20 && previous != 0x7f && previous <= 0xFFFF;
    return basicCharacter && next > 0xFFFF;
}

}  // namespace mosaiko
