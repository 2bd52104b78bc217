#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "picker/EmojiInserter.hpp"
#include "platform/SyntheticKeyEvent.hpp"
#include "platform/Text.hpp"

namespace mosaiko::testing {

// Records what an EmojiInserter would post, and can make chosen event creations fail.
class FakeEventPoster {
  public:
    std::vector<SyntheticKeyEvent> posted;
    std::set<int> failingCreations;  // 0-based numbers of factory calls that answer no event
    int creations = 0;

    EmojiInserter makeInserter() {
        return EmojiInserter([this](const SyntheticKeyEvent& e) { posted.push_back(e); },
                             [this](std::uint16_t keyCode, bool keyDown) -> std::optional<SyntheticKeyEvent> {
                                 if (failingCreations.count(creations++)) return std::nullopt;
                                 SyntheticKeyEvent e;
                                 e.keyCode = keyCode;
                                 e.keyDown = keyDown;
                                 e.flags = 0xFFFF;  // the inserter must clear what the factory left
                                 return e;
                             });
    }

    // Key-down Delete presses posted.
    int deletePresses() const {
        int n = 0;
        for (const auto& e : posted)
            if (e.keyCode == EmojiInserter::kDeleteKeyCode && e.keyDown) ++n;
        return n;
    }
    // The texts of the key-down text events, in order.
    std::vector<std::string> texts() const {
        std::vector<std::string> result;
        for (const auto& e : posted)
            if (e.keyCode == EmojiInserter::kTextKeyCode && e.keyDown)
                result.push_back(text::fromUtf16(e.unicodeString));
        return result;
    }
    void clear() { posted.clear(); }
};

}  // namespace mosaiko::testing
