#pragma once
// Real X clients with one text field, for tests that type into other applications and read back
// what arrived: a terminal (xterm, whose line discipline writes each finished line to a file), a
// GTK 3 entry or text view (a small Python script), and a Qt line edit or plain text edit (a helper
// program built with the end-to-end tests). The GTK and Qt clients print their whole text as a JSON
// array of one string on every change, so a test sees every state the field went through.
#include <nlohmann/json.hpp>

#include <atomic>
#include <fstream>
#include <string>
#include <vector>

#include "support/XSession.hpp"

namespace mosaiko::testing {

class TextClient {
  public:
    enum class Kind { xterm, gtkEntry, gtkTextView, qtLineEdit, qtTextEdit };

    static std::string kindName(Kind kind) {
        switch (kind) {
            case Kind::xterm:
                return "xterm";
            case Kind::gtkEntry:
                return "GtkEntry";
            case Kind::gtkTextView:
                return "GtkTextView";
            case Kind::qtLineEdit:
                return "QLineEdit";
            case Kind::qtTextEdit:
                return "QPlainTextEdit";
        }
        return "?";
    }

    // Why the client cannot run on this machine; empty when it can.
    static std::string missingPrerequisite(Kind kind) {
        switch (kind) {
            case Kind::xterm:
                return hasProgram("xterm") ? "" : "xterm is not installed";
            case Kind::gtkEntry:
            case Kind::gtkTextView:
                return ChildProcess::start(
                           {python(), "-c",
                            "import gi; gi.require_version('Gtk', '3.0'); gi.require_version('Gdk', '3.0')"},
                           {})
                                   .waitForExit(20) == 0
                           ? ""
                           : "python3-gi with GTK 3 is not installed";
            case Kind::qtLineEdit:
            case Kind::qtTextEdit:
                return fs::exists(qtClientProgram()) ? "" : "the Qt test client is not built";
        }
        return "unknown client";
    }

    // Starts the client in `session` and waits until its window shows and it is ready for input;
    // see ok(). Its window is titled `name` (a name of its own when empty) and has the window class
    // `windowClass` when one is given. The client ends with the object.
    TextClient(const XSession& session, Kind kind = Kind::gtkTextView, const std::string& name = {},
               const std::string& windowClass = {})
        : session_(session), kind_(kind) {
        static std::atomic<int> sequence{0};
        title_ = !name.empty() ? name : "mosaiko-test-" + kindName(kind) + "-" + std::to_string(++sequence);
        output_ = session.scratchDirectory() / (title_ + ".out");
        const fs::path log = session.scratchDirectory() / (title_ + ".log");
        switch (kind) {
            case Kind::xterm: {
                // Canonical mode with UTF-8 erase: Delete removes a whole character, as in a shell.
                std::vector<std::string> argv{"xterm", "-u8", "-T", title_};
                if (!windowClass.empty()) argv.insert(argv.end(), {"-class", windowClass});
                argv.insert(argv.end(), {"-e", "sh", "-c", "stty iutf8 2>/dev/null; exec cat > \"$0\"",
                                         output_.string()});
                process_ = session.start(argv, {}, log);
                break;
            }
            case Kind::gtkEntry:
            case Kind::gtkTextView: {
                const fs::path script = session.scratchDirectory() / "gtk_text_client.py";
                if (!fs::exists(script)) std::ofstream(script) << kGtkScript;
                std::vector<std::string> argv{python(), script.string(), title_, windowClass};
                if (kind == Kind::gtkTextView) argv.push_back("--multi-line");
                process_ = session.start(argv, {}, output_);
                break;
            }
            case Kind::qtLineEdit:
            case Kind::qtTextEdit: {
                std::vector<std::string> argv{qtClientProgram().string(), title_, windowClass};
                if (kind == Kind::qtTextEdit) argv.push_back("--multi-line");
                process_ = session.start(argv, {}, output_);
                break;
            }
        }
        const auto window =
            session.waitForWindow([&](const WindowInfo& w) { return w.name == title_ && w.viewable; }, 20);
        if (!window) {
            error_ = kindName(kind) + " showed no window: " + readFile(output_) + readFile(log);
            return;
        }
        window_ = window->id;
        // Ready once the terminal's reader runs, or the field has reported its first (empty) text.
        const bool ready =
            waitUntil([&] { return kind == Kind::xterm ? fs::exists(output_) : !history().empty(); }, 20);
        if (!ready) error_ = kindName(kind) + " did not get ready: " + readFile(output_);
    }

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    Kind kind() const { return kind_; }
    Window window() const { return window_; }
    pid_t pid() const { return process_.pid(); }
    ChildProcess& process() { return process_; }

    // Gives the client the keyboard focus.
    bool focus() const { return session_.focus(window_); }

    // The terminal shows only lines its user finished: there this presses Return and returns the
    // newline it adds. Other clients hold their text as it stands; nothing is typed.
    std::string finishLine() const {
        if (kind_ != Kind::xterm) return "";
        session_.xdotool({"key", "Return"});
        return "\n";
    }

    // What the client holds now; for the terminal, its finished lines.
    std::string text() const {
        if (kind_ == Kind::xterm) return readFile(output_);
        const auto states = history();
        return states.empty() ? std::string() : states.back();
    }

    // Every text the field held, oldest first. The terminal has no history: its finished lines.
    std::vector<std::string> history() const {
        if (kind_ == Kind::xterm) return {readFile(output_)};
        std::vector<std::string> states;
        std::stringstream lines(readFile(output_));
        std::string line;
        while (std::getline(lines, line)) {
            const auto json = nlohmann::json::parse(line, nullptr, false);
            if (json.is_array() && json.size() == 1 && json[0].is_string()) states.push_back(json[0]);
        }
        return states;
    }

    bool waitForText(const std::string& expected, double seconds = 15) const {
        return waitUntil([&] { return text() == expected; }, seconds);
    }

  private:
    static std::string python() { return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

    static fs::path qtClientProgram() {
#ifdef MOSAIKO_BINARY_DIR
        return fs::path(MOSAIKO_BINARY_DIR) / "mosaiko-test-text-client";
#else
        return {};
#endif
    }

    // Arguments: title, window class (may be empty), "--multi-line" for a text view.
    static constexpr const char* kGtkScript = R"PY(
import json, signal, sys
import gi
# Both pinned: where GTK 4's introspection data is installed too, an unpinned Gdk loads 4.0, which
# cannot go with Gtk 3.0.
gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, Gtk, GLib

title, window_class = sys.argv[1], sys.argv[2]
if window_class:
    Gdk.set_program_class(window_class)
window = Gtk.Window(title=title)
window.set_default_size(480, 160)
if "--multi-line" in sys.argv:
    field = Gtk.TextView()
    buffer = field.get_buffer()
    text = lambda: buffer.get_text(buffer.get_start_iter(), buffer.get_end_iter(), True)
    buffer.connect("changed", lambda *_: report())
else:
    field = Gtk.Entry()
    text = field.get_text
    field.connect("changed", lambda *_: report())

def report():
    sys.stdout.write(json.dumps([text()]) + "\n")
    sys.stdout.flush()

window.add(field)
window.connect("destroy", Gtk.main_quit)
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, Gtk.main_quit)
window.show_all()
field.grab_focus()
report()
Gtk.main()
)PY";

    const XSession& session_;
    Kind kind_;
    std::string title_;
    fs::path output_;
    ChildProcess process_;
    Window window_ = 0;
    std::string error_;
};

}  // namespace mosaiko::testing
