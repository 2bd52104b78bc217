#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "picker/EmojiInserter.hpp"
#include "platform/Text.hpp"

namespace mosaiko::testing {

// Records what an EmojiInserter posts; chosen event creations (counted from 0) fail.
struct FakeEventPoster {
    std::vector<SyntheticKeyEvent> posted;
    std::set<int> failingCreations;
    int creations = 0;

    EmojiInserter makeInserter() {
        return EmojiInserter(
            [this](const SyntheticKeyEvent& e) { posted.push_back(e); },
            [this](std::uint16_t keyCode, bool down) -> std::optional<SyntheticKeyEvent> {
                if (failingCreations.count(creations++)) return std::nullopt;
                return SyntheticKeyEvent{keyCode, down, 0xFFFF, 0, {}};  // flags the inserter must clear
            });
    }
    int deletePresses() const {
        int n = 0;
        for (const auto& e : posted) n += e.keyCode == EmojiInserter::kDeleteKeyCode && e.keyDown;
        return n;
    }
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
