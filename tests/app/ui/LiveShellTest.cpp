#include "app/LiveShell.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdlib>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/linux/EmojiFontSupport.hpp"
#include "platform/linux/FileDefaults.hpp"
#include "platform/x11/X11DisplaysAhead.hpp"
#include "support/XSession.hpp"

namespace mosaiko {
namespace {

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
    FileDefaults::shared().flush();  // nothing left to save once the session's folders are gone
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
