#include "picker/EmojiInserter.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/KeyEvent.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

EmojiInserter::EmojiInserter(EventPoster eventPoster, KeyboardEventFactory keyboardEventFactory,
                             TextCheck canType)
    : keyboardEventFactory_(std::move(keyboardEventFactory)),
      eventPoster_(std::move(eventPoster)),
      canType_(std::move(canType)) {}

EmojiInserter::KeyboardEventFactory EmojiInserter::plainEventFactory() {
    return [](std::uint16_t keyCode, bool keyDown) -> std::optional<SyntheticKeyEvent> {
        SyntheticKeyEvent event;
        event.keyCode = keyCode;
        event.keyDown = keyDown;
        return event;
    };
}

bool EmojiInserter::insert(const std::string& text, int deleteCount) {
    std::vector<SyntheticKeyEvent> events;
    events.reserve(2 * static_cast<std::size_t>(std::max(deleteCount, 0)) + 2);

    auto make = [&](std::uint16_t keyCode, bool keyDown) {
        auto event = keyboardEventFactory_(keyCode, keyDown);
        if (!event) return false;
        event->flags = 0;
        event->userData = kEventMarker;
        events.push_back(std::move(*event));
        return true;
    };

    for (int i = 0; i < deleteCount; ++i) {
        if (!make(kDeleteKeyCode, true) || !make(kDeleteKeyCode, false)) return false;
    }
    if (!text.empty()) {
        if (!make(kTextKeyCode, true) || !make(kTextKeyCode, false)) return false;
        const std::u16string units = text::utf16(text);
        if (canType_ && !canType_(units)) return false;
        events[events.size() - 2].unicodeString = units;
        events.back().unicodeString = units;
    }
    if (!events.empty()) events.front().startsInsertion = true;
    for (const auto& event : events) eventPoster_(event);
    return true;
}

}  // namespace mosaiko
