#include "app/logic/LibraryKeyHandler.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mosaiko {
namespace {

struct FakeLibrary {
    bool sheet = false;
    bool pins = false;
    bool actionResult = true;
    std::vector<std::string> calls;

    LibraryKeyHandler::Target target() {
        using D = LibraryKeyHandler::Direction;
        return {[this] { return sheet; }, [this] { return pins; },
                [this] {
                    calls.emplace_back("insert");
                    return actionResult;
                },
                [this](D d) {
                    const char* names[] = {"left", "right", "down", "up"};
                    calls.emplace_back(names[static_cast<int>(d)]);
                    return actionResult;
                },
                [this] { calls.emplace_back("close"); }};
    }

    bool press(std::uint16_t keyCode, std::uint64_t flags = 0) {
        KeyEvent event;
        event.keyCode = keyCode;
        event.modifierFlags = flags;
        return LibraryKeyHandler::handleKeyDown(event, target());
    }
};

TEST(LibraryKeyHandler, ReturnEnterAndArrowsActOnTheSelection) {
    FakeLibrary library;
    EXPECT_TRUE(library.press(KeyCode::returnKey));
    EXPECT_TRUE(library.press(KeyCode::keypadEnter));
    EXPECT_TRUE(library.press(KeyCode::returnKey, ModifierFlag::shift));  // Shift does not block
    EXPECT_TRUE(library.press(KeyCode::leftArrow));
    EXPECT_TRUE(library.press(KeyCode::rightArrow));
    EXPECT_TRUE(library.press(KeyCode::downArrow));
    EXPECT_TRUE(library.press(KeyCode::upArrow));
    EXPECT_EQ(library.calls,
              (std::vector<std::string>{"insert", "insert", "insert", "left", "right", "down", "up"}));

    library.actionResult = false;  // an action that did nothing leaves the key to the focused view
    EXPECT_FALSE(library.press(KeyCode::returnKey));
    EXPECT_FALSE(library.press(KeyCode::upArrow));
}

TEST(LibraryKeyHandler, EscapeClosesOnEveryTabButNotUnderASheet) {
    FakeLibrary library;
    library.pins = true;
    EXPECT_TRUE(library.press(KeyCode::escape));
    EXPECT_EQ(library.calls, std::vector<std::string>{"close"});

    library.sheet = true;
    library.calls.clear();
    EXPECT_FALSE(library.press(KeyCode::escape));
    EXPECT_FALSE(library.press(KeyCode::returnKey));
    EXPECT_TRUE(library.calls.empty());
}

TEST(LibraryKeyHandler, PinsTabLeavesReturnAndArrowsToTheFocusedView) {
    FakeLibrary library;
    library.pins = true;
    for (auto key : {KeyCode::returnKey, KeyCode::keypadEnter, KeyCode::leftArrow, KeyCode::upArrow}) {
        EXPECT_FALSE(library.press(key)) << key;
    }
    EXPECT_TRUE(library.calls.empty());
}

TEST(LibraryKeyHandler, ControlOptionAndCommandAreNeverHandled) {
    FakeLibrary library;
    EXPECT_FALSE(library.press(KeyCode::returnKey, ModifierFlag::command));
    EXPECT_FALSE(library.press(KeyCode::leftArrow, ModifierFlag::option));
    EXPECT_FALSE(library.press(KeyCode::downArrow, ModifierFlag::control | ModifierFlag::shift));
    EXPECT_FALSE(library.press(KeyCode::escape, ModifierFlag::control));
    EXPECT_FALSE(library.press(KeyCode::tab));
    EXPECT_TRUE(library.calls.empty());
}

}  // namespace
}  // namespace mosaiko
