#include "platform/x11/X11AccessibilityTrust.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "support/TextClient.hpp"

namespace mosaiko {
namespace {

// Sets or clears an environment variable for the length of a scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(X11AccessibilityTrustTest, ExplainsWhyWithoutAUsableDisplay) {
    ScopedEnv noDisplay("DISPLAY", nullptr);
    {
        ScopedEnv noWayland("WAYLAND_DISPLAY", nullptr);
        X11AccessibilityTrust trust;
        EXPECT_FALSE(trust.isTrusted());
        EXPECT_NE(trust.reason().find("DISPLAY is not set"), std::string::npos) << trust.reason();
    }
    {
        ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
        EXPECT_NE(X11AccessibilityTrust().reason().find("Wayland session without X11"), std::string::npos);
    }
    X11AccessibilityTrust unreachable(":4091");
    EXPECT_FALSE(unreachable.isTrusted());
    EXPECT_EQ(unreachable.reason(), "Mosaiko cannot connect to the X11 display \":4091\".");
}

// Also while every key is held on the root window, as the program's own key tap does in an
// exclusive search.
TEST(X11AccessibilityTrustTest, TrustsADisplayWithXtestAndGrabs) {
    testing::XSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    X11AccessibilityTrust trust(session.display());
    EXPECT_TRUE(trust.isTrusted()) << trust.reason();
    EXPECT_EQ(trust.reason(), "");

    Display* holder = session.connection();
    XGrabKey(holder, AnyKey, AnyModifier, DefaultRootWindow(holder), False, GrabModeAsync, GrabModeSync);
    XSync(holder, False);
    EXPECT_TRUE(trust.isTrusted()) << trust.reason();
}

TEST(X11AccessibilityTrustTest, DistrustsADisplayWithoutXtest) {
    testing::XSession::Options options;
    options.serverArguments = {"-extension", "XTEST"};
    testing::XSession session(options);
    ASSERT_TRUE(session.ok()) << session.error();
    X11AccessibilityTrust trust(session.display());
    const std::string reason = trust.reason();
    EXPECT_NE(reason.find("XTEST"), std::string::npos) << reason;
    EXPECT_FALSE(trust.isTrusted());
}

}  // namespace
}  // namespace mosaiko
