#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mosaiko::test {

// A child process, ended (SIGTERM, then SIGKILL) when the object goes.
class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ~ChildProcess();

    // Starts `argv` with `DISPLAY` set to `display`; with `captureOutput` its stdout comes to us.
    static ChildProcess start(const std::vector<std::string>& argv, const std::string& display,
                              bool captureOutput = false);
    // Takes charge of a child started otherwise.
    static ChildProcess adopt(int pid);

    bool started() const { return pid_ > 0; }
    int pid() const { return pid_; }
    // The next line of the child's output, or "" when none came within the timeout.
    std::string readLine(double timeoutSeconds);
    // Waits for the child to exit while the Qt event loop keeps running; its exit status, or -1.
    int wait(double timeoutSeconds);
    void terminate();

  private:
    int pid_ = -1;
    int output_ = -1;
    std::string buffer_;
};

// An X server of the test's own (Xvfb on a display number it picks), optionally with a window
// manager, torn down with everything started on it.
class XvfbSession {
  public:
    struct Options {
        bool windowManager = false;
        std::string openboxKeybindings;  // <keybind> elements for the window manager's configuration
        std::vector<std::string> serverArguments;
    };

    explicit XvfbSession(Options options);
    XvfbSession() : XvfbSession(Options{}) {}
    ~XvfbSession();

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& display() const { return display_; }
    const std::string& scratchDirectory() const { return scratch_; }

    ChildProcess start(const std::vector<std::string>& argv, bool captureOutput = false) const;
    // Runs a command to completion while the Qt event loop keeps running; its exit status.
    int run(const std::vector<std::string>& argv, double timeoutSeconds = 20) const;
    int xdotool(const std::vector<std::string>& arguments) const;

  private:
    std::string error_;
    std::string display_;
    std::string scratch_;
    ChildProcess server_;
    ChildProcess windowManager_;
};

// A GTK window with a multi-line text view that writes its whole text to a file on every change.
class TextClient {
  public:
    TextClient(const XvfbSession& session, const std::string& name = "client",
               const std::string& windowClass = "");

    bool ok() const { return window_ != 0; }
    unsigned long window() const { return window_; }
    int pid() const { return process_.pid(); }
    std::string text() const;
    // Waits (keeping the Qt event loop running) until the text equals `expected`.
    bool waitForText(const std::string& expected, double timeoutSeconds = 10) const;
    // Gives the window the keyboard focus (through the window manager when one runs).
    bool focus() const;

  private:
    const XvfbSession& session_;
    std::string file_;
    ChildProcess process_;
    unsigned long window_ = 0;
};

// Runs the Qt event loop until `condition` holds or the time is up; whether it holds.
bool pumpUntil(const std::function<bool()>& condition, double timeoutSeconds);
void pumpFor(double seconds);

}  // namespace mosaiko::test
