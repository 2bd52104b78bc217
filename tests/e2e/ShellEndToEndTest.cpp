// The whole program under a virtual X server: what it shows at launch, what it writes, how it
// ends on a signal, and how a new copy replaces a running one.
#include <signal.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "content/EmojiUsageStore.hpp"
#include "e2e/DesktopTest.hpp"
#include "platform/fake/ManualMainLoop.hpp"
#include "platform/linux/FileAppendLog.hpp"
#include "platform/linux/XdgAutostartService.hpp"

namespace mosaiko::testing {
namespace {

class EndToEnd : public DesktopTest {
  protected:
    void SetUp() override { startSession(); }

    // Starts a copy of the program; the test does not wait for anything.
    RunningProgram& launch(const fs::path& executable = RunningProgram::program()) {
        copies_.push_back(
            std::make_unique<RunningProgram>(session(), std::vector<std::string>{}, executable));
        return *copies_.back();
    }

    std::optional<WindowInfo> waitForTitled(const std::string& title, pid_t pid, double seconds = 10) {
        return session().waitForWindow([&](const WindowInfo& w) { return w.name == title && w.pid == pid; },
                                       seconds);
    }

    // Presses Return in an alert as a user does, once it holds the keyboard focus: the window
    // manager may give it the focus a moment after it reports it active.
    static bool continueIn(const XSession& display, const WindowInfo& alert) {
        return display.focus(alert.id) && display.xdotool({"key", "--clearmodifiers", "Return"}) == 0;
    }

    std::vector<std::unique_ptr<RunningProgram>> copies_;
};

// From its build folder the program never starts at login, and says so once; installed, it does.
TEST_F(EndToEnd, FirstLaunchShowsTheGuideRegistersAtLoginOnceInstalledAndEndsCleanlyOnSignals) {
    RunningProgram& first = launch();
    const auto guide = waitForTitled("Mosaiko Guide", first.pid());
    ASSERT_TRUE(guide) << "no guide window";
    EXPECT_EQ(guide->className, RunningProgram::kAppId);  // the window class names the program

    const fs::path autostart =
        session().configHome() / "autostart" / (std::string(RunningProgram::kAppId) + ".desktop");
    const fs::path registry = RunningProgram::registryFolder(session());
    EXPECT_FALSE(fs::is_empty(registry));

    first.process().signal(SIGTERM);
    EXPECT_EQ(first.process().waitForExit(15), 0);
    EXPECT_TRUE(fs::is_empty(registry));  // the copy took itself off the registry
    EXPECT_FALSE(fs::exists(autostart));
    const std::string output = first.output();
    const auto why = output.find("does not start at login");
    EXPECT_TRUE(why != std::string::npos &&
                output.find("does not start at login", why + 1) == std::string::npos)
        << output;

    const fs::path installed = RunningProgram::installedCopy(session());
    RunningProgram& second = launch(installed);
    ASSERT_TRUE(waitForTitled("Mosaiko Guide", second.pid()));
    EXPECT_TRUE(waitUntil([&] { return fs::exists(autostart); }, 10));
    EXPECT_NE(readFile(autostart).find("Exec=\"" + installed.string() + "\""), std::string::npos)
        << readFile(autostart);
    second.process().signal(SIGINT);
    EXPECT_EQ(second.process().waitForExit(15), 0);
}

TEST_F(EndToEnd, ANewCopyTellsTheUserAndReplacesTheRunningOne) {
    RunningProgram& older = launch();
    ASSERT_TRUE(waitForTitled("Mosaiko Guide", older.pid()));

    auto alertOf = [&](RunningProgram& copy) {
        return session().waitForWindow([&](const WindowInfo& w) {
            return w.pid == copy.pid() && w.className == RunningProgram::kAppId && w.name == "Mosaiko";
        });
    };
    // A copy told to end (a logout) while its alert is up ends alone, touching nobody.
    RunningProgram& interrupted = launch();
    ASSERT_TRUE(alertOf(interrupted)) << "no alert";
    interrupted.process().signal(SIGTERM);
    EXPECT_EQ(interrupted.process().waitForExit(15), 0);
    EXPECT_EQ(older.process().waitForExit(0.5), std::nullopt);

    RunningProgram& newer = launch();
    const auto alert = alertOf(newer);
    ASSERT_TRUE(alert) << "no alert";
    EXPECT_EQ(older.process().waitForExit(0.5), std::nullopt);  // nothing happens before the user continues

    EXPECT_TRUE(continueIn(session(), *alert));

    EXPECT_EQ(older.process().waitForExit(15), 0);  // asked politely, it shut down by itself
    ASSERT_TRUE(waitForTitled("Mosaiko Guide", newer.pid()));
    EXPECT_EQ(newer.process().waitForExit(0.2), std::nullopt);
}

// An installed copy started beside one from the build folder ended itself, claiming that "another
// copy, started at the same time, is the one that runs".
TEST_F(EndToEnd, AnInstalledCopyReplacesOneRunningFromTheBuildFolder) {
    RunningProgram& older = launch();
    ASSERT_TRUE(waitForTitled("Mosaiko Guide", older.pid()));
    RunningProgram& newer = launch(RunningProgram::installedCopy(session()));
    const auto alert = session().waitForWindow(
        [&](const WindowInfo& w) { return w.pid == newer.pid() && w.name == "Mosaiko"; }, 15);
    ASSERT_TRUE(alert) << "no alert\n" << newer.output();
    EXPECT_TRUE(continueIn(session(), *alert));
    EXPECT_EQ(older.process().waitForExit(15), 0);
    EXPECT_TRUE(waitForTitled("Mosaiko Guide", newer.pid(), 15)) << newer.output();
    EXPECT_EQ(newer.process().waitForExit(0.2), std::nullopt);
}

// One user on two displays (the same configuration folder): both copies ran, each writing its own
// memory over the other's files, and uses were lost. So they did when each session had its own
// runtime folder, where the copies used to register.
TEST_F(EndToEnd, ACopyOnAnotherDisplayOfTheSameUserReplacesTheRunningOne) {
    RunningProgram& older = launch();
    ASSERT_TRUE(waitForTitled("Mosaiko Guide", older.pid()));

    XSession other(withWindowManager());
    ASSERT_TRUE(other.ok()) << other.error();
    // The other display and its runtime folder, with the first session's home and configuration.
    auto newer = RunningProgram::startElsewhere(session(), other, {"XDG_RUNTIME_DIR"}, "newer.log");
    const auto alert = other.waitForWindow(
        [&](const WindowInfo& w) { return w.pid == newer.pid() && w.name == "Mosaiko"; }, 15);
    ASSERT_TRUE(alert) << "no alert on the other display\n"
                       << readFile(other.scratchDirectory() / "newer.log");
    EXPECT_TRUE(continueIn(other, *alert));
    EXPECT_EQ(older.process().waitForExit(15), 0);
    EXPECT_TRUE(other.waitForWindow(
        [&](const WindowInfo& w) { return w.pid == newer.pid() && w.name == "Mosaiko Guide"; }, 15));
    EXPECT_EQ(newer.waitForExit(0.2), std::nullopt);
}

// Two copies with one configuration folder ran side by side without a word, and one's counts were
// lost, where their registry folder was opened to others (`chmod -R go+rX`), a file or another user's.
class OneCopyAtATime : public EndToEnd, public ::testing::WithParamInterface<std::string> {
  protected:
    // Inserts the first result for "smi" into `client` through `copy`'s panel; returns it.
    std::string insertSmile(RunningProgram& copy, TextClient& client) {
        const std::string before = client.text();
        type(";;");
        EXPECT_TRUE(copy.waitForPanel(true));
        type("smi");
        press({"Return"});
        const auto inserted = [&] {
            return client.text().size() > before.size() &&
                   client.text().find_first_of(";smi") == std::string::npos;
        };
        EXPECT_TRUE(waitUntil(inserted, 10)) << client.text();
        return client.text().substr(before.size());
    }
};

TEST_P(OneCopyAtATime, ANewCopyStillReplacesTheRunningOne) {
    const fs::path registry = RunningProgram::registryFolder(session());
    fs::create_directories(registry.parent_path());
    if (GetParam() == "AFile") std::ofstream(registry) << "not a folder";
    if (GetParam() == "AnotherUsersFolder") {
        if (::getuid() != 0) GTEST_SKIP() << "only root can give a folder to another user";
        fs::create_directory(registry);
        ASSERT_EQ(::chown(registry.c_str(), 65534, 65534), 0);
    }
    XAutoRepeatOff(session().connection());  // a tool without processor time has its keys repeated
    XSync(session().connection(), False);
    TextClient* client = startProgramAndClient(TextClient::Kind::qtLineEdit);
    if (!client) return;
    const std::string first = insertSmile(program(), *client);
    if (GetParam() == "OpenedToOthers") {
        ASSERT_EQ(session().run({"chmod", "-R", "go+rX", session().configHome().string()}), 0);
    }
    RunningProgram& newer = launch();
    const auto alert = session().waitForWindow(
        [&](const WindowInfo& w) { return w.pid == newer.pid() && w.name == "Mosaiko"; }, 15);
    ASSERT_TRUE(alert) << "no alert\n" << newer.output();
    EXPECT_TRUE(continueIn(session(), *alert));
    EXPECT_EQ(program().process().waitForExit(15), 0);
    ASSERT_TRUE(newer.waitForKeyTap() && client->focus()) << newer.keyTapDiagnosis();
    const std::string second = insertSmile(newer, *client);
    newer.process().signal(SIGTERM);
    ASSERT_EQ(newer.process().waitForExit(15), 0) << newer.output();

    FileDefaults stored(RunningProgram::defaultsFile(session()));
    ManualMainLoop clock;
    FileAppendLog historyLog(stored.path().parent_path() / "usage-history.jsonl");
    const EmojiUsageStore usage(stored, clock, {}, &historyLog);
    EmojiUsageStore::Counts recorded;
    for (const auto& event : usage.history()) ++recorded[event.emoji];
    ASSERT_EQ(usage.history().size(), 2u);
    EXPECT_EQ(usage.history()[0].emoji + usage.history()[1].emoji, second + first);
    EXPECT_EQ(usage.counts(), recorded);
}

INSTANTIATE_TEST_SUITE_P(RegistryPlaces, OneCopyAtATime,
                         ::testing::Values("OpenedToOthers", "AFile", "AnotherUsersFolder"),
                         [](const auto& info) { return info.param; });

// What a shell command prints, its exit status last ("status 1").
std::string outputOf(const std::string& command) {
    FILE* pipe = ::popen((command + " 2>&1; echo \"status $?\"").c_str(), "r");
    if (!pipe) return {};
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    ::pclose(pipe);
    return output;
}

// Without a display the toolkit aborted, advising to reinstall the application.
TEST(StartUp, WithoutADisplayTheProgramSaysWhatIsMissingAndFails) {
    const std::string program = std::string(MOSAIKO_BINARY_DIR) + "/mosaiko";
    for (const std::string display : {"-u DISPLAY", "DISPLAY=:987"}) {
        const std::string output =
            outputOf("env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY " + display + " " + program);
        EXPECT_NE(output.find("Mosaiko cannot start"), std::string::npos) << display << ": " << output;
        EXPECT_NE(output.find("status 1\n"), std::string::npos) << display << ": " << output;
    }
}

// Configured for /usr/local and installed elsewhere (`cmake --install --prefix`), the desktop entry
// named /usr/local/bin/mosaiko, which did not exist: the menu's launcher did nothing.
TEST(Install, TheDesktopEntryStartsTheProgramWhereverItIsInstalled) {
    const fs::path scratch = fs::temp_directory_path() / ("mosaiko-install-" + std::to_string(::getpid()));
    for (const std::string place : {"plain", "a space, \"quotes\", $dollar and 100%"}) {
        const fs::path prefix = scratch / place;
        const std::string installed =
            outputOf("cmake --install '" MOSAIKO_BINARY_DIR "' --prefix '" + prefix.string() + "'");
        ASSERT_NE(installed.find("status 0\n"), std::string::npos) << installed;
        const fs::path program = prefix / "bin" / "mosaiko";
        const std::string entry =
            readFile(prefix / "share" / "applications" / (std::string(RunningProgram::kAppId) + ".desktop"));
        // Quoted as the autostart entry quotes the running program's path.
        EXPECT_NE(entry.find("\nExec=" + XdgAutostartService::execValue(program.string()).value() + "\n"),
                  std::string::npos)
            << entry;
        const std::string ran =
            outputOf("env -u DISPLAY -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY '" + program.string() + "'");
        EXPECT_NE(ran.find("Mosaiko cannot start"), std::string::npos) << place << ": " << ran;
    }
    fs::remove_all(scratch);
}

}  // namespace
}  // namespace mosaiko::testing
