#pragma once
// Real X clients with one text field, for tests that type into other applications and read back
// what arrived: a terminal (xterm, whose line discipline writes each finished line to a file), a
// GTK 3 entry or text view (a small Python script), a Qt line edit or plain text edit (a helper
// program built with the end-to-end tests), and the applications users type into most: a textarea
// in Chromium and in Firefox ESR, and a new document in LibreOffice Writer with its GTK 3 or its
// plain X11 backend. The GTK and Qt clients print their whole text as a JSON array of one string on
// every change, and so does a small Python script that watches Writer's document over UNO; a page
// in a browser posts its textarea's text to a small local web server that serves it (a window title
// would not do: Firefox cuts titles at about 256 characters). So a test sees every state the field
// went through.
#include <nlohmann/json.hpp>

#include <atomic>
#include <fstream>
#include <string>
#include <vector>

#include "support/XSession.hpp"

namespace mosaiko::testing {

class TextClient {
  public:
    enum class Kind {
        xterm,
        gtkEntry,
        gtkTextView,
        qtLineEdit,
        qtTextEdit,
        qtErasingLate,  // a line edit that applies BackSpaces late (see QtTextClient.cpp)
        chromium,
        firefox,
        writerGtk,
        writerX11
    };

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
            case Kind::qtErasingLate:
                return "QLineEditErasingLate";
            case Kind::chromium:
                return "Chromium";
            case Kind::firefox:
                return "FirefoxESR";
            case Kind::writerGtk:
                return "WriterGtk3";
            case Kind::writerX11:
                return "WriterX11";
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
            case Kind::qtErasingLate:
                return fs::exists(qtClientProgram()) ? "" : "the Qt test client is not built";
            case Kind::chromium:
                return hasProgram("chromium") ? "" : "chromium is not installed";
            case Kind::firefox:
                return hasProgram("firefox-esr") ? "" : "firefox-esr is not installed";
            case Kind::writerGtk:
            case Kind::writerX11:
                if (!hasProgram("soffice")) return "libreoffice-writer is not installed";
                if (kind == Kind::writerGtk && !fs::exists(kWriterGtkBackend))
                    return "libreoffice-gtk3 is not installed";
                return ChildProcess::start({python(), "-c", "import uno"}, {}).waitForExit(20) == 0
                           ? ""
                           : "python3-uno is not installed";
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
            case Kind::qtTextEdit:
            case Kind::qtErasingLate: {
                std::vector<std::string> argv{qtClientProgram().string(), title_, windowClass};
                if (kind == Kind::qtTextEdit) argv.push_back("--multi-line");
                if (kind == Kind::qtErasingLate) argv.push_back("--erasing-late");
                process_ = session.start(argv, {}, output_);
                break;
            }
            case Kind::chromium:
            case Kind::firefox:
                startBrowser(session, log);
                break;
            case Kind::writerGtk:
            case Kind::writerX11:
                startWriter(session, log);
                break;
        }
        if (!error_.empty()) return;
        // A browser shows its window before the page has set the title; Writer names its document.
        const auto window = session.waitForWindow(
            [&](const WindowInfo& w) {
                if (!w.viewable) return false;
                if (isBrowser()) return w.name.starts_with(title_);
                if (isWriter()) return w.name.ends_with(" - LibreOffice Writer");
                return w.name == title_;
            },
            isApplication() ? 90 : 20);
        if (!window) {
            error_ = kindName(kind) + " showed no window: " + readFile(output_) + readFile(log);
            return;
        }
        window_ = window->id;
        // Ready once the terminal's reader runs, or the field has reported its first (empty) text.
        const bool ready =
            waitUntil([&] { return kind == Kind::xterm ? fs::exists(output_) : !history().empty(); },
                      isApplication() ? 60 : 20);
        if (!ready) error_ = kindName(kind) + " did not get ready: " + readFile(output_);
    }

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    Kind kind() const { return kind_; }
    Window window() const { return window_; }
    pid_t pid() const { return process_.pid(); }
    ChildProcess& process() { return process_; }

    // Gives the client the keyboard focus.
    // A page must also have the focus within its window, which comes a moment later.
    bool focus() const {
        return session_.focus(window_) && (!isBrowser() || waitUntil([&] { return pageHasFocus(); }));
    }

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
            // A page also tells whether its field has the focus, after the text.
            const auto json = nlohmann::json::parse(line, nullptr, false);
            if (json.is_array() && !json.empty() && json[0].is_string()) states.push_back(json[0]);
        }
        return states;
    }

    bool waitForText(const std::string& expected, double seconds = 15) const {
        return waitUntil([&] { return text() == expected; }, seconds);
    }

  private:
    // Whether the client is one of the big applications, which take seconds to start.
    bool isApplication() const { return isBrowser() || isWriter(); }
    bool isBrowser() const { return kind_ == Kind::chromium || kind_ == Kind::firefox; }
    bool isWriter() const { return kind_ == Kind::writerGtk || kind_ == Kind::writerX11; }

    // A page whose textarea has the focus and posts its text, the web server that serves it and
    // writes down what it posts, and the browser on it, with a profile of its own that keeps it off
    // the network and away from first-run pages.
    void startBrowser(const XSession& session, const fs::path& log) {
        const fs::path page = session.scratchDirectory() / (title_ + ".html");
        std::ofstream(page)
            << "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" << title_
            << "</title></head><body><textarea id=\"field\" autofocus rows=\"12\" cols=\"80\">"
            << "</textarea><script>" << kPageScript << "</script></body></html>\n";
        const fs::path server = session.scratchDirectory() / "page_server.py";
        if (!fs::exists(server)) std::ofstream(server) << kPageServerScript;
        const fs::path portFile = session.scratchDirectory() / (title_ + ".port");
        reader_ = session.start({python(), server.string(), page.string(), portFile.string()}, {}, output_);
        std::string port;
        if (!waitUntil([&] { return !(port = readFile(portFile)).empty() && port.back() == '\n'; }, 20)) {
            error_ = "the page's web server did not start: " + readFile(output_);
            return;
        }
        port.pop_back();
        const fs::path profile = session.scratchDirectory() / (title_ + "-profile");
        fs::create_directories(profile);
        const std::string url = "http://127.0.0.1:" + port + "/";
        if (kind_ == Kind::chromium) {
            // As root it runs only without its sandbox.
            process_ = session.start(
                {"chromium", "--no-sandbox", "--disable-gpu", "--no-first-run", "--no-default-browser-check",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--password-store=basic", "--user-data-dir=" + profile.string(), url},
                {}, log);
        } else {
            std::ofstream(profile / "user.js") << kFirefoxPreferences;
            process_ = session.start(
                {"firefox-esr", "--no-remote", "--new-instance", "--profile", profile.string(), url}, {},
                log);
        }
    }

    // Writer on a new document with a fresh user profile, and a reader of its text over UNO.
    void startWriter(const XSession& session, const fs::path& log) {
        const fs::path profile = session.scratchDirectory() / (title_ + "-profile");
        const std::string pipe = "mosaiko-" + std::to_string(::getpid()) + "-" + title_;
        process_ = session.start(
            {"soffice", "--writer", "--norestore", "--nologo",
             "-env:UserInstallation=file://" + profile.string(),
             "--accept=pipe,name=" + pipe + ";urp;StarOffice.ComponentContext"},
            {std::string("SAL_USE_VCLPLUGIN=") + (kind_ == Kind::writerGtk ? "gtk3" : "gen")}, log);
        const fs::path script = session.scratchDirectory() / "writer_text_reader.py";
        if (!fs::exists(script)) std::ofstream(script) << kWriterReaderScript;
        reader_ = session.start({python(), script.string(), pipe}, {}, output_);
    }

    // Whether the page's textarea has the keyboard focus, as the page told last.
    bool pageHasFocus() const {
        std::stringstream lines(readFile(output_));
        std::string line, last;
        while (std::getline(lines, line)) last = line;
        const auto json = nlohmann::json::parse(last, nullptr, false);
        return json.is_array() && json.size() == 2 && json[1] == true;
    }

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

    // Posts the field's text, and whether it has the focus, on every change, one post at a time so
    // that they arrive in order; the latest state waits while one is on its way.
    static constexpr const char* kPageScript = R"JS(
const field = document.getElementById("field");
let sending = false, waiting = false;
const report = () => {
    if (sending) { waiting = true; return; }
    sending = true;
    const state = [field.value, document.hasFocus() && document.activeElement === field];
    fetch("/state", {method: "POST", body: JSON.stringify(state)})
        .catch(() => {})
        .finally(() => { sending = false; if (waiting) { waiting = false; report(); } });
};
for (const name of ["input", "focus", "blur"]) field.addEventListener(name, report);
for (const name of ["focus", "blur"]) window.addEventListener(name, report);
field.focus();
report();
)JS";

    // Arguments: the page, and a file to write the port to. Serves the page on 127.0.0.1 and prints
    // every state posted to it, one line each.
    static constexpr const char* kPageServerScript = R"PY(
import sys
from http.server import BaseHTTPRequestHandler, HTTPServer

page = open(sys.argv[1], "rb").read()

class Handler(BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(page)))
        self.end_headers()
        self.wfile.write(page)

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        sys.stdout.write(body.decode("utf-8") + "\n")
        sys.stdout.flush()
        self.send_response(204)
        self.end_headers()

    def log_message(self, *arguments):
        pass

server = HTTPServer(("127.0.0.1", 0), Handler)
with open(sys.argv[2], "w") as port:
    port.write("%d\n" % server.server_address[1])
server.serve_forever()
)PY";
    static constexpr const char* kWriterGtkBackend = "/usr/lib/libreoffice/program/libvclplug_gtk3lo.so";

    // No first-run pages, no checks of the network, as a user who has been through them.
    static constexpr const char* kFirefoxPreferences = R"JS(
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("startup.homepage_welcome_url", "");
user_pref("startup.homepage_welcome_url.additional", "");
user_pref("browser.aboutwelcome.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("datareporting.healthreport.uploadEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("app.update.auto", false);
user_pref("app.normandy.enabled", false);
user_pref("extensions.update.enabled", false);
user_pref("browser.safebrowsing.malware.enabled", false);
user_pref("browser.safebrowsing.phishing.enabled", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
)JS";

    // Argument: the pipe Writer accepts UNO connections on. Prints the document's text whenever it
    // changes, looked at every 20 ms.
    static constexpr const char* kWriterReaderScript = R"PY(
import json, sys, time
import uno
from com.sun.star.connection import NoConnectException

context = uno.getComponentContext()
resolver = context.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", context)
deadline = time.monotonic() + 90
while True:
    try:
        remote = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % sys.argv[1])
        break
    except NoConnectException:
        if time.monotonic() > deadline:
            raise
        time.sleep(0.1)
desktop = remote.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", remote)
document = None
while document is None or not hasattr(document, "Text"):
    time.sleep(0.1)
    document = desktop.getCurrentComponent()
last = None
while True:
    text = document.Text.getString()
    if text != last:
        sys.stdout.write(json.dumps([text]) + "\n")
        sys.stdout.flush()
        last = text
    time.sleep(0.02)
)PY";

    const XSession& session_;
    Kind kind_;
    std::string title_;
    fs::path output_;
    ChildProcess process_;
    ChildProcess reader_;  // of the text, for the applications
    Window window_ = 0;
    std::string error_;
};

}  // namespace mosaiko::testing
