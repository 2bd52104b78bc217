#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/SyntheticKeyEvent.hpp"

namespace mosaiko {

// Types text into whichever application has keyboard focus: first a number of Delete presses that
// erase what the user typed to ask for it, then the whole text as one Unicode key event. Every event
// carries the event marker so the program's own key tap lets it pass.
class EmojiInserter {
  public:
    // Creates the event for a key code and direction; no value when the event cannot be made.
    using KeyboardEventFactory =
        std::function<std::optional<SyntheticKeyEvent>(std::uint16_t keyCode, bool keyDown)>;
    using EventPoster = std::function<void(const SyntheticKeyEvent&)>;
    // Whether the poster can type a text now (it may lack a key to type it on).
    using TextCheck = std::function<bool(const std::u16string& text)>;

    static constexpr std::uint16_t kDeleteKeyCode = 51;
    static constexpr std::uint16_t kTextKeyCode = 0;

    explicit EmojiInserter(EventPoster eventPoster,
                           KeyboardEventFactory keyboardEventFactory = plainEventFactory(),
                           TextCheck canType = {});

    // Posts `deleteCount` Delete down/up pairs (none when it is 0 or less), then, unless `text` is
    // empty, one key-down and one key-up that both carry the whole text. Every event is created,
    // and the text checked against what the poster can type, before the first is posted: when
    // anything fails, nothing is posted and the answer is false, so the caller neither half-erases
    // the user's text nor records a use that did not happen.
    bool insert(const std::string& text, int deleteCount);

    // A factory whose events cannot fail to be made (the poster does the platform work).
    static KeyboardEventFactory plainEventFactory();

  private:
    KeyboardEventFactory keyboardEventFactory_;
    EventPoster eventPoster_;
    TextCheck canType_;
};

}  // namespace mosaiko
