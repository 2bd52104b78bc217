// The guide as a new user meets it on a real display: it opens at the first launch, Finish keeps
// it closed at the next one, its permission page answers from the display the program runs on, and
// Refresh starts a new copy on that page.
// Qt first: X11's headers define names (Bool, Status) that Qt's may not meet.
#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include "onboarding/ui/OnboardingView.hpp"
#include "platform/fake/FakeProcessLauncher.hpp"
#include "platform/linux/DefaultsFileFormat.hpp"

// clang-format off
#include "e2e/DesktopTest.hpp"

#include <X11/Xutil.h>
#include <signal.h>

#include <cstdlib>
// clang-format on

namespace mosaiko::testing {
namespace {

class Guide : public DesktopTest {
  protected:
    std::optional<WindowInfo> guideOf(const RunningProgram& copy, double seconds = 15) {
        return session().waitForWindow(
            [&](const WindowInfo& w) {
                return w.viewable && w.name == "Mosaiko Guide" && w.pid == copy.pid();
            },
            seconds);
    }

    // Clicks a point of the guide's content, as a user does.
    void click(const WindowInfo& guide, QPoint point) {
        DesktopTest::click(guide.x + point.x(), guide.y + point.y());
    }
    // The footer's trailing button (Next, Finish) sits in the bottom right corner of the content.
    static QPoint trailingButton(const WindowInfo& guide) {
        return {guide.width - 24 - 20, guide.height - 24 - 8};
    }
    // The last of the three page tabs under the headline.
    static QPoint permissionsTab(const WindowInfo& guide) { return {guide.width - 24 - 60, 24 + 52}; }

    // What the window shows now.
    QImage screenshot(const WindowInfo& window, const char* name) {
        Display* display = session().connection();
        XSync(display, False);
        XImage* pixels = XGetImage(display, window.id, 0, 0, static_cast<unsigned>(window.width),
                                   static_cast<unsigned>(window.height), AllPlanes, ZPixmap);
        if (!pixels) return {};
        QImage image(window.width, window.height, QImage::Format_RGB32);
        for (int y = 0; y < window.height; ++y)
            for (int x = 0; x < window.width; ++x)
                image.setPixel(x, y, 0xff000000u | (XGetPixel(pixels, x, y) & 0xffffffu));
        XDestroyImage(pixels);
        if (const char* directory = std::getenv("MOSAIKO_RENDER_DIR"); directory && *directory) {
            QDir().mkpath(QString::fromLocal8Bit(directory));
            image.save(QString::fromLocal8Bit(directory) + QStringLiteral("/e2e-") +
                       QString::fromLatin1(name) + QStringLiteral(".png"));
        }
        return image;
    }

    // The permission badge's colour: green when granted, red when not (nothing else on the page is
    // as green or as red).
    enum class Badge { none, granted, notGranted };
    static Badge badgeIn(const QImage& image) {
        const auto near = [](QColor c, int r, int g, int b) {
            return std::abs(c.red() - r) + std::abs(c.green() - g) + std::abs(c.blue() - b) < 60;
        };
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (near(c, 38, 160, 74)) return Badge::granted;
                if (near(c, 222, 48, 40)) return Badge::notGranted;
            }
        return Badge::none;
    }
    Badge waitForBadge(const WindowInfo& guide, Badge wanted, const char* name) {
        Badge seen = Badge::none;
        waitUntil([&] { return (seen = badgeIn(screenshot(guide, name))) == wanted; }, 10);
        return seen;
    }

    // Where a button of the permissions page sits, laid out here exactly as the program lays it out.
    static QPoint permissionsPageButton(const char* name, bool trusted) {
        MemoryDefaults defaults;
        PreferencesStore prefs(defaults);
        FakeProcessLauncher launcher;
        OnboardingViewModel::Dependencies d;
        d.trustChecker = [trusted](bool) { return trusted; };
        d.untrustedReason = [] { return std::string("A reason on one line."); };
        d.resetRequiredPermissions = [](std::function<void(PermissionResetSummary)>) {};
        d.recordCompletion = d.dismiss = d.terminate = [] {};
        d.launcher = &launcher;
        OnboardingView view(OnboardingPage::permissions, prefs, std::move(d));
        view.show();
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
        auto* button = view.page()->findChild<QWidget*>(QString::fromLatin1(name));
        return button ? button->mapTo(&view, button->rect().center()) : QPoint();
    }

    static std::optional<bool> completedIn(const XSession& session) {
        const auto values = DefaultsFileFormat::decode(readFile(RunningProgram::defaultsFile(session)));
        const auto found = values.values.find("hasCompletedOnboarding");
        if (found == values.values.end() || !found->second.get<bool>()) return std::nullopt;
        return *found->second.get<bool>();
    }
};

TEST_F(Guide, FirstLaunchShowsItFinishKeepsItClosedAndThePermissionPageSeesTheDisplay) {
    startSession();
    auto first = std::make_unique<RunningProgram>(session());  // a fresh home: nothing written yet
    const auto guide = guideOf(*first);
    ASSERT_TRUE(guide) << "no guide at the first launch\n" << first->output();

    click(*guide, permissionsTab(*guide));
    EXPECT_EQ(waitForBadge(*guide, Badge::granted, "permissions-granted"), Badge::granted)
        << "the program runs on a display with everything it needs\n"
        << first->output();

    click(*guide, trailingButton(*guide));  // Finish
    EXPECT_TRUE(waitUntil([&] {
        return !session().findWindow([&](const WindowInfo& w) { return w.viewable && w.id == guide->id; });
    })) << "Finish did not close the guide";
    EXPECT_TRUE(waitUntil([&] { return completedIn(session()) == true; }));
    first->process().signal(SIGTERM);
    ASSERT_EQ(first->process().waitForExit(15), 0);

    // Only the library shortcut the key-tap probe looks for is added to what the first copy saved.
    MemoryDefaults shortcut;
    shortcut.set("libraryShortcut", *RunningProgram::returningUser().object("libraryShortcut"));
    RunningProgram::writeDefaults(session(), shortcut);
    ASSERT_EQ(completedIn(session()), true);
    RunningProgram second(session());
    ASSERT_TRUE(second.waitForKeyTap()) << second.output();  // the launch has run to its end
    EXPECT_FALSE(guideOf(second, 1.5)) << "the guide opened again after Finish";
}

TEST_F(Guide, WithoutXtestThePermissionPageOpensAndSaysNotGranted) {
    XSession::Options options = withWindowManager();
    options.serverArguments = {"-extension", "XTEST"};
    startSession(options);
    RunningProgram::writeDefaults(session(), RunningProgram::returningUser());
    RunningProgram copy(session());
    const auto guide = guideOf(copy);
    ASSERT_TRUE(guide) << "an untrusted launch opens the guide on its permission page\n" << copy.output();
    EXPECT_EQ(waitForBadge(*guide, Badge::notGranted, "permissions-no-xtest"), Badge::notGranted);
}

TEST_F(Guide, RefreshStartsANewCopyOnThePermissionPageAndTheOldOneQuits) {
    startSession();
    RunningProgram::writeDefaults(session(), RunningProgram::returningUser());
    auto older =
        std::make_unique<RunningProgram>(session(), std::vector<std::string>{"--open-permissions-dialog"});
    const auto guide = guideOf(*older);
    ASSERT_TRUE(guide) << older->output();
    ASSERT_EQ(waitForBadge(*guide, Badge::granted, "before-refresh"), Badge::granted);

    const QPoint refresh = permissionsPageButton("refreshButton", true);
    ASSERT_FALSE(refresh.isNull());
    click(*guide, refresh);
    EXPECT_EQ(older->process().waitForExit(10), 0) << older->output();

    // The new copy shows the guide; should the old copy still have been on its way out when the new
    // one looked, the new one first says so, as any new copy does, and goes on after Continue.
    const auto fromNewCopy = [&](const WindowInfo& w) {
        return w.viewable && w.className == RunningProgram::kAppId && w.pid != older->pid() &&
               (w.name == "Mosaiko Guide" || w.name == "Mosaiko");
    };
    auto newer = session().waitForWindow(fromNewCopy, 15);
    if (newer && newer->name == "Mosaiko") {
        // Once it holds the focus, as a user sees it: the window manager may give it a moment later.
        ASSERT_TRUE(session().focus(newer->id));
        session().xdotool({"key", "Return"});
        newer = session().waitForWindow(
            [&](const WindowInfo& w) { return fromNewCopy(w) && w.name != "Mosaiko"; });
    }
    ASSERT_TRUE(newer) << "no new copy showed the guide";
    EXPECT_EQ(waitForBadge(*newer, Badge::granted, "after-refresh"), Badge::granted);
    // A child of the old copy, which the test did not start: ended here, or with the display.
    kill(static_cast<pid_t>(newer->pid), SIGTERM);
}

}  // namespace
}  // namespace mosaiko::testing
