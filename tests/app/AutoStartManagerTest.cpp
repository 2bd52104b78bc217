#include "app/logic/AutoStartManager.hpp"

#include <gtest/gtest.h>

#include "platform/fake/FakeLoginItemService.hpp"
#include "platform/fake/ManualMainLoop.hpp"

namespace mosaiko {
namespace {

using Calls = std::vector<std::string>;

TEST(AutoStartManager, CurrentValueThenEveryChangeEachAsItsOwnTask) {
    ManualMainLoop loop;
    FakeLoginItemService service;
    AutoStartManager manager(service);
    Published<bool> enabled(true);

    auto binding = manager.bind(enabled, loop);
    EXPECT_TRUE(service.calls.empty());  // queued, not run inside bind
    loop.runPending();
    EXPECT_EQ(service.calls, Calls{"register"});

    enabled.set(false);
    EXPECT_EQ(service.calls, Calls{"register"});  // after the code that changed it
    loop.runPending();
    enabled.set(true);
    loop.runPending();
    EXPECT_EQ(service.calls, (Calls{"register", "unregister", "register"}));
}

TEST(AutoStartManager, RepeatedValuesAreDropped) {
    ManualMainLoop loop;
    FakeLoginItemService service;
    AutoStartManager manager(service);
    Published<bool> enabled(false);
    auto binding = manager.bind(enabled, loop);
    enabled.set(false);
    enabled.set(false);
    loop.runPending();
    EXPECT_EQ(service.calls, Calls{"unregister"});
}

TEST(AutoStartManager, FailuresLeaveThePreferenceAlone) {
    ManualMainLoop loop;
    FakeLoginItemService service;
    service.failure = "no autostart folder";
    AutoStartManager manager(service);
    Published<bool> enabled(true);
    auto binding = manager.bind(enabled, loop);
    manager.registerNow();
    loop.runPending();
    EXPECT_EQ(service.calls, (Calls{"register", "register"}));
    EXPECT_TRUE(enabled.value());
}

TEST(AutoStartManager, EndingTheBindingStopsQueuedAndLaterCalls) {
    ManualMainLoop loop;
    FakeLoginItemService service;
    AutoStartManager manager(service);
    Published<bool> enabled(true);
    { auto binding = manager.bind(enabled, loop); }
    enabled.set(false);
    loop.runPending();
    EXPECT_TRUE(service.calls.empty());
}

}  // namespace
}  // namespace mosaiko
