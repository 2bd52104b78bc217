#include "picker/GlobalKeyTap.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "picker/FakeKeyTap.hpp"

namespace mosaiko {
namespace {

using Decision = GlobalKeyTap::Decision;

KeyEvent event(KeyEvent::Type type) {
    KeyEvent e;
    e.type = type;
    e.characters = "a";
    return e;
}

TEST(GlobalKeyTap, HandlerDecidesForKeyDownsAndModifierChanges) {
    testing::FakeKeyTapSystem system;
    GlobalKeyTap tap(system.dependencies());
    std::vector<KeyEvent::Type> seen;
    tap.start([&](const KeyEvent& e) {
        seen.push_back(e.type);
        return e.type == KeyEvent::Type::keyDown ? Decision::swallow : Decision::passThrough;
    });
    ASSERT_EQ(system.livePorts().size(), 1u);
    EXPECT_EQ(system.ports[0]->eventMask, 0x1400u);
    EXPECT_TRUE(system.ports[0]->enabled);

    EXPECT_TRUE(system.type(event(KeyEvent::Type::keyDown)));
    EXPECT_FALSE(system.type(event(KeyEvent::Type::flagsChanged)));
    EXPECT_FALSE(system.type(event(static_cast<KeyEvent::Type>(11))));  // key up: never offered
    EXPECT_EQ(seen, (std::vector{KeyEvent::Type::keyDown, KeyEvent::Type::flagsChanged}));

    // Disabled by the server: the notice re-enables the tap; the handler hears of it and of marks,
    // whose answer counts for nothing.
    for (auto type : {KeyEvent::Type::tapDisabledByTimeout, KeyEvent::Type::tapDisabledByUserInput}) {
        system.ports[0]->enabled = false;
        EXPECT_FALSE(system.ports[0]->callback(event(type)));
        EXPECT_TRUE(system.ports[0]->enabled);
        EXPECT_TRUE(system.type(event(KeyEvent::Type::keyDown)));
    }
    tap.mark(7);
    ASSERT_EQ(system.ports[0]->marks, std::vector<std::int64_t>{7});
    system.reportMarks();
    EXPECT_EQ(seen.size(), 7u);
    EXPECT_EQ(seen.back(), KeyEvent::Type::mark);
}

TEST(GlobalKeyTap, StartReplacesStopRemovesAndFailureIsQuiet) {
    testing::FakeKeyTapSystem system;
    auto tap = std::make_unique<GlobalKeyTap>(system.dependencies());
    tap->stop();  // never started
    system.refuseCreation = true;
    tap->start([](const KeyEvent&) { return Decision::swallow; });
    EXPECT_FALSE(tap->isInstalled());
    EXPECT_TRUE(system.ports.empty());

    system.refuseCreation = false;
    std::string got;
    tap->start([&](const KeyEvent&) { return got += "1", Decision::passThrough; });
    tap->start([&](const KeyEvent&) { return got += "2", Decision::swallow; });
    EXPECT_EQ(system.livePorts().size(), 1u);
    EXPECT_TRUE(system.type(event(KeyEvent::Type::keyDown)));
    EXPECT_EQ(got, "2");

    tap->stop();
    EXPECT_TRUE(system.livePorts().empty());
    EXPECT_FALSE(system.type(event(KeyEvent::Type::keyDown)));

    tap->start([](const KeyEvent&) { return Decision::swallow; });
    tap.reset();  // a destroyed key tap leaves no tap behind that would call it
    EXPECT_TRUE(system.livePorts().empty());
}

TEST(GlobalKeyTap, AFailingOrStoppingHandlerIsSafe) {
    testing::FakeKeyTapSystem system;
    GlobalKeyTap tap(system.dependencies());
    tap.start([](const KeyEvent&) -> Decision { throw std::runtime_error("broken"); });
    EXPECT_FALSE(system.type(event(KeyEvent::Type::keyDown))) << "a failing handler never eats typing";

    std::string captured = "alive";
    tap.start([&tap, captured](const KeyEvent&) {
        tap.stop();  // destroys the handler while it runs
        return captured == "alive" ? Decision::swallow : Decision::passThrough;
    });
    EXPECT_TRUE(tap.handleEvent(event(KeyEvent::Type::keyDown)));
    EXPECT_FALSE(tap.isInstalled());
}

}  // namespace
}  // namespace mosaiko
