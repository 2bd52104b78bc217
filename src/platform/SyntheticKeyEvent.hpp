#pragma once

#include <cstdint>
#include <string>

namespace mosaiko {

// A keyboard event the program is about to post: a Delete press or one half of a Unicode text
// event. Created by the inserter's factory, completed by the inserter, posted by its poster.
struct SyntheticKeyEvent {
    std::uint16_t keyCode = 0;
    bool keyDown = true;
    std::uint64_t flags = 0;
    std::int64_t userData = 0;     // "field 42"
    std::u16string unicodeString;  // the text carried by a text event (UTF-16, as posted)
    // The first event of an insertion: the insertion goes only to the window that has the keyboard
    // focus now, and stops once another one has it.
    bool startsInsertion = false;

    bool operator==(const SyntheticKeyEvent&) const = default;
};

}  // namespace mosaiko
