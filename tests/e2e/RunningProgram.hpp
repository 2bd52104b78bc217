#pragma once
// The built program, started in a test's desktop session the way a user starts it, with the
// session's fresh home and XDG folders. It ends with the object.
#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <X11/keysym.h>

#include "content/KeyboardShortcut.hpp"
#include "platform/Json.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/linux/FileDefaults.hpp"
#include "support/XSession.hpp"

namespace mosaiko::testing {

class RunningProgram {
  public:
    static constexpr const char* kAppId = "io.github.mosaiko.Mosaiko";

    static fs::path program() { return fs::path(MOSAIKO_BINARY_DIR) / "mosaiko"; }

    // The defaults file the program of `session` reads and writes.
    static fs::path defaultsFile(const XSession& session) {
        return session.configHome() / "mosaiko" / "defaults.json";
    }

    // Where the copies of the program of `session` register.
    static fs::path registryFolder(const XSession& session) {
        return session.configHome() / "mosaiko" / "running";
    }

    // The program of `user`'s session started on the display of `other`, with the variables named
    // in `fromOther` (such as its runtime folder) taken from that session too; its output goes to
    // `other`'s scratch folder.
    static ChildProcess startElsewhere(const XSession& user, const XSession& other,
                                       const std::vector<std::string>& fromOther, const std::string& log) {
        auto isFromOther = [&](const std::string& entry) {
            return entry.starts_with("DISPLAY=") ||
                   std::any_of(fromOther.begin(), fromOther.end(),
                               [&](auto& name) { return entry.starts_with(name + "="); });
        };
        std::vector<std::string> environment;
        for (const auto& entry : other.environment()) {
            if (isFromOther(entry) || entry.find('=') == std::string::npos) environment.push_back(entry);
        }
        for (const auto& entry : user.environment()) {
            if (!isFromOther(entry) && entry.find('=') != std::string::npos) environment.push_back(entry);
        }
        return ChildProcess::start({program().string()}, environment, other.scratchDirectory() / log);
    }

    // Writes `values` as the user's defaults file before the program starts, through the program's
    // own file format.
    static void writeDefaults(const XSession& session, const MemoryDefaults& values) {
        FileDefaults file(defaultsFile(session));
        for (const auto& [key, value] : values.values()) file.set(key, value);
        file.flush();
    }

    // A user who has been through the guide, so that no window takes the focus at start, who
    // excludes no application (the tests type into xterm, which the default list excludes), and
    // opens the library with Control-Option-Shift-Command-F12 (which the key tap holds from its start).
    static MemoryDefaults returningUser() {
        MemoryDefaults user;
        user.set("hasCompletedOnboarding", true);
        user.set("excludedApps", DefaultsData{"[]"});
        const KeyboardShortcut shortcut{111, 0x1E0000, "\uF70F"};
        user.set("libraryShortcut", DefaultsData{json::dump(shortcut.toJson())});
        return user;
    }

    // The program as if installed under `prefix` of the session's scratch folder (outside the build
    // folder, with its resources beside it); returns its executable.
    static fs::path installedCopy(const XSession& session, const std::string& prefix = "installed") {
        const fs::path bin = session.scratchDirectory() / prefix / "bin";
        fs::create_directories(bin);
        std::error_code linked;
        fs::create_hard_link(program(), bin / "mosaiko", linked);
        if (linked) fs::copy_file(program(), bin / "mosaiko", fs::copy_options::overwrite_existing);
        fs::create_directory_symlink(fs::path(MOSAIKO_BINARY_DIR) / "resources", bin / "resources");
        return bin / "mosaiko";
    }

    explicit RunningProgram(const XSession& session, const std::vector<std::string>& arguments = {},
                            const fs::path& executable = program())
        : session_(session) {
        static int sequence = 0;
        output_ = session.scratchDirectory() / ("mosaiko-" + std::to_string(++sequence) + ".log");
        std::vector<std::string> argv{executable.string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        process_ = session.start(argv, {}, output_);
    }

    ChildProcess& process() { return process_; }
    pid_t pid() const { return process_.pid(); }
    std::string output() const { return readFile(output_); }

    // Waits until the key tap holds the library shortcut of returningUser(): from then on the
    // picker observes every key typed. A probe holds the combination it tries for a moment, and a
    // grab the tap asks for just then is refused for good, so the shortcut is probed with Num Lock on
    // (Mod2), which no test types with, so that a probe can take nothing a test's key press needs;
    // and in four states in turn (with Caps Lock, the third level, both or neither), so that the
    // states probes happened to hold cannot hide the rest (two of them once did, under load).
    bool waitForKeyTap(double seconds = 45) {
        const auto keycode = static_cast<unsigned>(XKeysymToKeycode(session_.connection(), XK_F12));
        const unsigned shortcut = ShiftMask | ControlMask | Mod1Mask | Mod4Mask | Mod2Mask;
        const unsigned locks[] = {0, LockMask, Mod5Mask, LockMask | Mod5Mask};
        std::size_t next = 0;
        return waitUntil(
            [&] {
                return session_.keyIsGrabbedElsewhere(keycode, shortcut | locks[next++ % std::size(locks)]);
            },
            seconds);
    }

    // What can be seen from outside when the key tap never took the keyboard: whether the program
    // still runs, which of the combinations it holds while idle are taken (the library shortcut with
    // or without each of Caps Lock, Num Lock and the third level; the instant-open ";"), and where
    // each of its threads waits.
    std::string keyTapDiagnosis() {
        std::ostringstream out;
        out << "program " << (process_.running() ? "running" : "ended") << "; F12 shortcut taken in states";
        const auto keycode = [&](unsigned long keysym) {
            return static_cast<unsigned>(XKeysymToKeycode(session_.connection(), keysym));
        };
        const unsigned shortcut = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;
        for (unsigned locks : {0u, 2u, 16u, 18u, 128u, 130u, 144u, 146u})  // Lock 2, Mod2 16, Mod5 128
            out << ' ' << locks << '=' << session_.keyIsGrabbedElsewhere(keycode(XK_F12), shortcut | locks);
        out << "; ';' taken " << session_.keyIsGrabbedElsewhere(keycode(XK_semicolon), 0) << "; threads:";
        const fs::path tasks = fs::path("/proc") / std::to_string(pid()) / "task";
        std::error_code error;
        for (const auto& task : fs::directory_iterator(tasks, error)) {
            std::string stat = readFile(task.path() / "stat");
            if (const auto close = stat.rfind(')'); close != std::string::npos) stat.resize(close + 3);
            out << " [" << stat.substr(stat.find('(')) << ' ' << readFile(task.path() / "wchan") << ']';
        }
        return out.str();
    }

    // The picker panel while it shows.
    std::optional<WindowInfo> panel() {
        return session_.findWindow([&](const WindowInfo& w) {
            return w.viewable && w.name == "Quick Find" && w.className == kAppId && w.pid == pid();
        });
    }

    bool waitForPanel(bool shown, double seconds = 15) {
        return waitUntil([&] { return panel().has_value() == shown; }, seconds);
    }

  private:
    const XSession& session_;
    fs::path output_;
    ChildProcess process_;
};

}  // namespace mosaiko::testing
