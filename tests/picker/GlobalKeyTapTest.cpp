#include "picker/GlobalKeyTap.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "picker/FakeKeyTap.hpp"

namespace mosaiko {
namespace {

using Decision = GlobalKeyTap::Decision;

KeyEvent keyDown(const std::string& characters, std::uint16_t keyCode = 0) {
    KeyEvent e;
    e.type = KeyEvent::Type::keyDown;
    e.keyCode = keyCode;
    e.characters = characters;
    e.charactersIgnoringModifiers = characters;
    return e;
}

KeyEvent flagsChanged(std::uint64_t flags) {
    KeyEvent e;
    e.type = KeyEvent::Type::flagsChanged;
    e.keyCode = KeyCode::shift;
    e.modifierFlags = flags;
    return e;
}

TEST(GlobalKeyTap, SwallowingHandlerDropsKeyDownsAndSeesModifierChanges) {
    testing::FakeKeyTapSystem system;
    GlobalKeyTap tap(system.dependencies());
    std::vector<KeyEvent::Type> seen;
    tap.start([&](const KeyEvent& e) {
        seen.push_back(e.type);
        return Decision::swallow;
    });

    ASSERT_EQ(system.ports.size(), 1u);
    EXPECT_EQ(system.ports[0]->eventMask, 0x1400u);
    EXPECT_TRUE(system.ports[0]->attached);
    EXPECT_TRUE(system.ports[0]->enabled);

    EXPECT_TRUE(system.type(keyDown("a")));
    EXPECT_TRUE(system.type(flagsChanged(ModifierFlag::shift)));
    EXPECT_EQ(seen, (std::vector{KeyEvent::Type::keyDown, KeyEvent::Type::flagsChanged}));
}

TEST(GlobalKeyTap, PassingHandlerAndUnknownTypesLeaveEventsAlone) {
    testing::FakeKeyTapSystem system;
    GlobalKeyTap tap(system.dependencies());
    int calls = 0;
    tap.start([&](const KeyEvent&) {
        ++calls;
        return Decision::passThrough;
    });
    EXPECT_FALSE(system.type(keyDown("a")));

    KeyEvent other = keyDown("a");
    other.type = static_cast<KeyEvent::Type>(11);  // key up: never offered to the handler
    EXPECT_FALSE(tap.handleEvent(other));
    EXPECT_EQ(calls, 1);
}

TEST(GlobalKeyTap, ReenablesItselfAfterTheServerDisablesIt) {
    testing::FakeKeyTapSystem system;
    GlobalKeyTap tap(system.dependencies());
    int calls = 0;
    tap.start([&](const KeyEvent&) {
        ++calls;
        return Decision::swallow;
    });

    system.disableByTimeout();
    EXPECT_TRUE(system.ports[0]->enabled);
    EXPECT_TRUE(system.type(keyDown("x")));
    EXPECT_EQ(calls, 1);  // the disable notice itself is not a key for the handler

    KeyEvent userInput;
    userInput.type = KeyEvent::Type::tapDisabledByUserInput;
    system.ports[0]->enabled = false;
    EXPECT_FALSE(tap.handleEvent(userInput));
    EXPECT_TRUE(system.ports[0]->enabled);
}

TEST(GlobalKeyTap, SecondStartReplacesTheFirstTap) {
    testing::FakeKeyTapSystem system;
    GlobalKeyTap tap(system.dependencies());
    std::string got;
    tap.start([&](const KeyEvent&) {
        got += "1";
        return Decision::passThrough;
    });
    tap.start([&](const KeyEvent&) {
        got += "2";
        return Decision::swallow;
    });

    EXPECT_EQ(system.livePorts().size(), 1u);
    EXPECT_TRUE(system.ports[0]->destroyed);
    EXPECT_TRUE(system.type(keyDown("a")));
    EXPECT_EQ(got, "2");
}

TEST(GlobalKeyTap, StopAndFailedStartAreQuiet) {
    testing::FakeKeyTapSystem system;
    GlobalKeyTap tap(system.dependencies());
    tap.stop();  // never started
    EXPECT_TRUE(system.ports.empty());

    system.refuseCreation = true;
    int calls = 0;
    tap.start([&](const KeyEvent&) {
        ++calls;
        return Decision::swallow;
    });
    EXPECT_FALSE(tap.isInstalled());
    EXPECT_TRUE(system.ports.empty());

    system.refuseCreation = false;
    tap.start([&](const KeyEvent&) { return Decision::swallow; });
    ASSERT_TRUE(tap.isInstalled());
    tap.stop();
    EXPECT_FALSE(system.ports[0]->attached);
    EXPECT_TRUE(system.ports[0]->destroyed);
    EXPECT_FALSE(system.type(keyDown("a")));
    EXPECT_EQ(calls, 0);
}

TEST(GlobalKeyTap, DestroyingTheKeyTapRemovesItsTap) {
    testing::FakeKeyTapSystem system;
    {
        GlobalKeyTap tap(system.dependencies());
        tap.start([](const KeyEvent&) { return Decision::swallow; });
    }
    EXPECT_TRUE(system.livePorts().empty());
    EXPECT_FALSE(system.type(keyDown("a")));
}

TEST(GlobalKeyTap, FailingHandlerPassesTheEventThrough) {
    testing::FakeKeyTapSystem system;
    GlobalKeyTap tap(system.dependencies());
    tap.start([](const KeyEvent&) -> Decision { throw std::runtime_error("broken"); });
    EXPECT_FALSE(system.type(keyDown("a")));
}

TEST(GlobalKeyTap, HandlerMayStopTheTapWhileHandlingAnEvent) {
    testing::FakeKeyTapSystem system;
    GlobalKeyTap tap(system.dependencies());
    std::string captured = "kept alive";
    tap.start([&tap, captured](const KeyEvent&) {
        tap.stop();
        return captured == "kept alive" ? Decision::swallow : Decision::passThrough;
    });
    EXPECT_TRUE(tap.handleEvent(keyDown("a")));
    EXPECT_FALSE(tap.isInstalled());
}

}  // namespace
}  // namespace mosaiko
