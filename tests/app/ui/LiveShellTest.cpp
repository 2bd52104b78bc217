#include "app/LiveShell.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdlib>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

#include "content/EmojiUsageStore.hpp"
#include "platform/BuildInfo.hpp"
#include "platform/linux/DefaultsFileFormat.hpp"
#include "platform/linux/EmojiFontSupport.hpp"
#include "platform/linux/FileDefaults.hpp"
#include "platform/linux/InstanceRegistry.hpp"
#include "platform/x11/X11DisplaysAhead.hpp"
#include "support/XSession.hpp"

namespace mosaiko {
namespace {

namespace fs = std::filesystem;

// Without XTEST the live program wired a poster that did nothing: the library (and the picker)
// reported an insertion as done, and the use was recorded, while nothing was typed.
TEST(LiveShellTest, WithoutXtestAnInsertionFailsInsteadOfPretending) {
    testing::XSession::Options options;
    options.serverArguments = {"-extension", "XTEST"};
    testing::XSession session(options);
    ASSERT_TRUE(session.ok()) << session.error();
    ::setenv("DISPLAY", session.display().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", session.configHome().c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", session.runtimeDir().c_str(), 1);

    X11DisplaysAhead displays;
    LiveShell shell({"mosaiko"}, displays, std::async(std::launch::async, detectEmojiSystemVersion).share());
    AppDelegate::Dependencies d = shell.dependencies();
    ::testing::internal::CaptureStderr();
    d.loadStores();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("nothing can be typed"), std::string::npos) << said;
    EXPECT_FALSE(d.libraryEffects.emojiInsertHandler("\U0001F600", 2));
}

// A copy gave up its lock and registry entry before its last save: a new copy that took over in
// that gap read the file from before the save and later wrote over it.
TEST(LiveShellTest, ACopyGivesUpItsPlaceOnlyOnceEveryStoreIsSavedAndClosed) {
    testing::XSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    ::setenv("DISPLAY", session.display().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", session.configHome().c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", session.runtimeDir().c_str(), 1);
    const fs::path file = FileDefaults::standardPath();

    X11DisplaysAhead displays;
    LiveShell shell({"mosaiko"}, displays, std::async(std::launch::async, detectEmojiSystemVersion).share());
    AppDelegate::Dependencies d = shell.dependencies();
    ASSERT_TRUE(d.singleInstance.takeLock());
    const AppDelegate::Stores stores = d.loadStores();
    stores.prefs->setPopupDelayMs(700);
    stores.usage->recordUsed("\U0001F600");

    InstanceRegistry newer(InstanceRegistry::configurationDirectory(file.parent_path()),
                           InstanceRegistry::configurationKey(file.parent_path()),
                           RunningInstance{1, 1, "x"});
    auto savedDelay = [&] {
        const auto values = DefaultsFileFormat::decode(testing::readFile(file)).values;
        const auto found = values.find("popupDelayMs");
        return found == values.end() || !found->second.get<std::int64_t>()
                   ? 0
                   : *found->second.get<std::int64_t>();
    };
    bool held = false;
    shell.afterSavingBeforeLettingGo = [&] {
        held = true;
        EXPECT_EQ(savedDelay(), 700);
        EXPECT_NE(testing::readFile(file.parent_path() / "usage-history.jsonl").find("\U0001F600"),
                  std::string::npos);
        EXPECT_EQ(newer.tryLock(), InstanceRegistry::LockAttempt::heldByAnother);
    };
    shell.close();
    EXPECT_TRUE(held);
    EXPECT_EQ(newer.tryLock(), InstanceRegistry::LockAttempt::held);
    // Nothing is saved after that: the file is the new copy's now.
    stores.prefs->setPopupDelayMs(900);
    stores.usage->recordUsed("\U0001F601");
    shell.close();
    EXPECT_EQ(savedDelay(), 700);
    EXPECT_EQ(testing::readFile(file.parent_path() / "usage-history.jsonl").find("\U0001F601"),
              std::string::npos);
}

// The work the launch defers ran in one go while the key tap held keys heard meanwhile: the panel's
// build and the menus kept a typed key waiting.
TEST(LiveShellTest, DeferredWorkRunsOneTaskAtATimeAfterTheKeysHeardMeanwhile) {
    X11DisplaysAhead displays;
    LiveShell shell({"mosaiko"}, displays, std::async(std::launch::async, detectEmojiSystemVersion).share());
    AppDelegate::Dependencies d = shell.dependencies();
    std::vector<std::string> order;
    auto key = [&] { order.push_back("key"); };
    d.afterKeyTap([&] {
        order.push_back("first");
        d.afterKeyTap([&] { order.push_back("handed in by the first"); });
        QMetaObject::invokeMethod(qApp, key, Qt::QueuedConnection);  // heard while it ran
        throw std::runtime_error("a failing task ends only itself");
    });
    d.afterKeyTap([&] { order.push_back("second"); });
    for (int i = 0; i < 100 && order.size() < 4; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(order, (std::vector<std::string>{"first", "key", "second", "handed in by the first"}));
}

}  // namespace
}  // namespace mosaiko
