#include "platform/x11/X11Workspace.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "content/PreferencesStore.hpp"
#include "platform/BuildInfo.hpp"
#include "platform/MemoryDefaults.hpp"
#include "support/TextClient.hpp"

namespace mosaiko {
namespace {

using testing::TextClient;
using testing::waitUntil;
using testing::XSession;

void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << content;
}

void setUtf8Property(const std::string& displayName, unsigned long window, const char* name,
                     const std::string& value) {
    Display* display = XOpenDisplay(displayName.c_str());
    XChangeProperty(display, window, XInternAtom(display, name, False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(value.data()), static_cast<int>(value.size()));
    XSync(display, False);
    XCloseDisplay(display);
}

std::optional<RunningApp> findApp(const std::vector<RunningApp>& apps, long pid) {
    for (const auto& app : apps) {
        if (app.processIdentifier == pid) return app;
    }
    return std::nullopt;
}

class X11WorkspaceTest : public ::testing::Test {
  protected:
    void start(bool windowManager) {
        XSession::Options options;
        options.windowManager = windowManager;
        session = std::make_unique<XSession>(options);
        ASSERT_TRUE(session->ok()) << session->error();
        data = (session->scratchDirectory() / "data").string();
        writeFile(data + "/applications/tools/alpha.desktop",
                  "[Desktop Entry]\nType=Application\nName=Alpha Editor\nName[de]=Alpha-Editor\n"
                  "StartupWMClass=AlphaClass\n");
        writeFile(data + "/applications/org.example.Beta.desktop",
                  "[Desktop Entry]\nType=Application\nName=Beta\n");
    }
    std::unique_ptr<X11Workspace> makeWorkspace() {
        return X11Workspace::create({session->display(), {data}, std::string("de_DE.UTF-8"), 0});
    }
    void TearDown() override {
        workspace.reset();
        session.reset();
    }

    std::unique_ptr<XSession> session;
    std::string data;
    std::unique_ptr<X11Workspace> workspace;
};

TEST_F(X11WorkspaceTest, NamesTheActiveApplicationAndFollowsActivations) {
    ASSERT_NO_FATAL_FAILURE(start(true));
    TextClient alpha(*session, TextClient::Kind::gtkTextView, "alpha", "AlphaClass");
    TextClient beta(*session, TextClient::Kind::gtkTextView, "beta", "BetaClass");
    TextClient gamma(*session, TextClient::Kind::gtkTextView, "gamma", "GammaClass");
    ASSERT_TRUE(alpha.ok() && beta.ok() && gamma.ok());
    setUtf8Property(session->display(), beta.window(), "_GTK_APPLICATION_ID", "org.example.Beta");
    setUtf8Property(session->display(), gamma.window(), "_KDE_NET_WM_DESKTOP_FILE",
                    "/usr/share/applications/org.example.Gamma.desktop");
    ASSERT_TRUE(alpha.focus());
    workspace = makeWorkspace();
    ASSERT_NE(workspace, nullptr);

    // A desktop entry found by its window class gives the id (subfolder included) and localized name.
    auto front = workspace->frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->bundleIdentifier, "tools-alpha");
    EXPECT_EQ(front->localizedName, "Alpha-Editor");
    EXPECT_EQ(front->processIdentifier, alpha.pid());

    const auto apps = workspace->runningApplications();
    ASSERT_EQ(apps.size(), 3u);
    const auto betaApp = findApp(apps, beta.pid());
    ASSERT_TRUE(betaApp);
    EXPECT_EQ(betaApp->bundleIdentifier, "org.example.Beta");  // named by the window
    EXPECT_EQ(betaApp->localizedName, "Beta");
    const auto gammaApp = findApp(apps, gamma.pid());
    ASSERT_TRUE(gammaApp);
    EXPECT_EQ(gammaApp->bundleIdentifier, "org.example.Gamma");  // no entry installed: the name is the class
    EXPECT_EQ(gammaApp->localizedName, "GammaClass");

    std::vector<RunningApp> activations;
    auto subscription =
        workspace->observeActivations([&](const RunningApp& app) { activations.push_back(app); });
    EXPECT_TRUE(workspace->activate(*betaApp));
    ASSERT_TRUE(waitUntil([&] { return !activations.empty(); }));
    EXPECT_EQ(activations[0].processIdentifier, beta.pid());
    EXPECT_EQ(workspace->frontmostApplication()->bundleIdentifier, "org.example.Beta");

    // Activating by an outdated window handle still finds the application's window.
    RunningApp stale = *gammaApp;
    stale.windowId = "0x1";
    EXPECT_TRUE(workspace->activate(stale));
    ASSERT_TRUE(waitUntil([&] { return activations.size() == 2; }));
    EXPECT_EQ(activations[1].bundleIdentifier, "org.example.Gamma");

    // The answer is kept between changes, yet follows a change as soon as the server has announced
    // it, before the main loop has handled the announcement.
    Display* d = session->connection();
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = alpha.window();
    request.xclient.message_type = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
    request.xclient.format = 32;
    request.xclient.data.l[0] = 2;
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
    XFlush(d);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (session->rootWindowProperty("_NET_ACTIVE_WINDOW") != alpha.window() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));  // the main loop does not run
    }
    EXPECT_EQ(workspace->frontmostApplication()->processIdentifier, alpha.pid());
    ASSERT_TRUE(waitUntil([&] { return activations.size() == 3; })) << "its notification follows";
}

TEST_F(X11WorkspaceTest, AnApplicationRunsWhileItsWindowOrProcessIsThere) {
    ASSERT_NO_FATAL_FAILURE(start(true));
    auto alpha = std::make_unique<TextClient>(*session, TextClient::Kind::gtkTextView, "alpha", "AlphaClass");
    TextClient beta(*session, TextClient::Kind::gtkTextView, "beta", "BetaClass");
    ASSERT_TRUE(alpha->ok() && beta.ok());
    workspace = makeWorkspace();
    ASSERT_NE(workspace, nullptr);
    const auto apps = workspace->runningApplications();
    const auto alphaApp = findApp(apps, alpha->pid());
    const auto betaApp = findApp(apps, beta.pid());
    ASSERT_TRUE(alphaApp && betaApp);
    EXPECT_TRUE(workspace->isRunning(*alphaApp));

    RunningApp movedOn = *betaApp;  // its window handle went stale, the process did not
    movedOn.windowId = "0x1";
    EXPECT_TRUE(workspace->isRunning(movedOn));
    movedOn.processIdentifier = 0;
    EXPECT_FALSE(workspace->isRunning(movedOn));

    alpha.reset();
    EXPECT_TRUE(waitUntil([&] { return !workspace->isRunning(*alphaApp); }));
    EXPECT_TRUE(workspace->isRunning(*betaApp));
}

TEST_F(X11WorkspaceTest, WithoutAWindowManagerFollowsTheFocusAndKnowsOurOwnWindows) {
    ASSERT_NO_FATAL_FAILURE(start(false));
    TextClient other(*session, TextClient::Kind::gtkTextView, "other", "OtherClass");
    ASSERT_TRUE(other.ok());
    workspace = makeWorkspace();
    ASSERT_NE(workspace, nullptr);

    // A window of this process, whatever its class, is this application.
    Display* display = XOpenDisplay(session->display().c_str());
    const Window own = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 100, 100, 0, 0, 0);
    XClassHint hint{const_cast<char*>("own"), const_cast<char*>("Own")};
    XSetClassHint(display, own, &hint);
    const long pid = getpid();
    XChangeProperty(display, own, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    XMapWindow(display, own);
    XSync(display, False);
    ASSERT_TRUE(waitUntil([&] { return workspace->runningApplications().size() == 2; }));
    XSetInputFocus(display, own, RevertToParent, CurrentTime);
    XSync(display, False);

    auto front = workspace->frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->bundleIdentifier, buildinfo::kAppIdentifier);
    EXPECT_EQ(front->processIdentifier, pid);

    const auto otherApp = findApp(workspace->runningApplications(), other.pid());
    ASSERT_TRUE(otherApp);
    EXPECT_EQ(otherApp->bundleIdentifier, "OtherClass");
    EXPECT_TRUE(workspace->activate(*otherApp));
    EXPECT_EQ(workspace->frontmostApplication(), otherApp);
    XCloseDisplay(display);

    EXPECT_FALSE(workspace->activate(RunningApp{"gone", "Gone", 99999, "0x7"}));
}

// Without a window manager the answer is kept while the focus stays in its window, and given up as
// soon as another client moves the focus elsewhere or the window goes.
TEST_F(X11WorkspaceTest, WithoutAWindowManagerNoticesWhenAnotherClientMovesTheFocus) {
    ASSERT_NO_FATAL_FAILURE(start(false));
    workspace = makeWorkspace();
    ASSERT_NE(workspace, nullptr);
    Display* display = XOpenDisplay(session->display().c_str());
    const Window root = DefaultRootWindow(display);
    auto window = [&](Window parent, const char* windowClass) {
        const Window w = XCreateSimpleWindow(display, parent, 10, 10, 100, 100, 0, 0, 0);
        XClassHint hint{const_cast<char*>("instance"), const_cast<char*>(windowClass)};
        XSetClassHint(display, w, &hint);
        XMapWindow(display, w);
        return w;
    };
    const Window first = window(root, "FirstClass"), second = window(root, "SecondClass");
    const Window inner = window(first, "InnerClass");
    struct Step {
        const char* what;
        std::function<void()> act;
        std::optional<std::string> frontmost;
    };
    auto focus = [&](Window w) {
        return [&, w] { XSetInputFocus(display, w, RevertToParent, CurrentTime); };
    };
    const Step steps[] = {
        {"first", focus(first), "FirstClass"},
        {"inside first", focus(inner), "FirstClass"},
        {"second", focus(second), "SecondClass"},
        {"the root", focus(root), std::nullopt},
        {"first again", focus(first), "FirstClass"},
        {"first unmapped", [&] { XUnmapWindow(display, first); }, std::nullopt},
    };
    for (const Step& step : steps) {
        step.act();
        XSync(display, False);
        std::optional<std::string> seen;
        EXPECT_TRUE(waitUntil(
            [&] {
                const auto front = workspace->frontmostApplication();
                seen = front ? front->bundleIdentifier : std::nullopt;
                return seen == step.frontmost;
            },
            5))
            << step.what << ": " << seen.value_or("none");
    }
    XCloseDisplay(display);
}

// The default excluded list names applications by what this workspace reports for them; xterm is
// the one every test machine has.
TEST_F(X11WorkspaceTest, TheDefaultExcludedListKnowsXTermByItsDesktopEntry) {
    if (!std::filesystem::exists("/usr/share/applications/debian-xterm.desktop"))
        GTEST_SKIP() << "Debian's xterm desktop entry is not installed";
    ASSERT_NO_FATAL_FAILURE(start(false));
    TextClient terminal(*session, TextClient::Kind::xterm);
    ASSERT_TRUE(terminal.ok()) << terminal.error();
    workspace = X11Workspace::create({session->display(), {data, "/usr/share"}, std::string("C"), 0});
    ASSERT_NE(workspace, nullptr);
    const auto apps = workspace->runningApplications();
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps[0].bundleIdentifier, "debian-xterm");
    MemoryDefaults db;
    EXPECT_TRUE(PreferencesStore(db).isExcluded(apps[0].bundleIdentifier, apps[0].localizedName));
}

}  // namespace
}  // namespace mosaiko
