#include "XvfbSession.hpp"

#include <QCoreApplication>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace mosaiko::test {

namespace {

double seconds() {
    using namespace std::chrono;
    return duration_cast<duration<double>>(steady_clock::now().time_since_epoch()).count();
}

std::vector<std::string> environmentWith(const std::string& display) {
    std::vector<std::string> env;
    for (char** item = environ; *item; ++item) {
        const std::string entry = *item;
        if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0) continue;
        env.push_back(entry);
    }
    if (!display.empty()) env.push_back("DISPLAY=" + display);
    env.push_back("NO_AT_BRIDGE=1");
    env.push_back("GDK_BACKEND=x11");
    return env;
}

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            posix_spawn_file_actions_t* actions) {
    std::vector<char*> args, envp;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], actions, nullptr, args.data(), envp.data()) != 0) return -1;
    return pid;
}

bool windowManagerRunning(Display* display) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type, &format,
                       &count, &after, &data);
    if (data) XFree(data);
    return count == 1;
}

// Starting and stopping X servers one at a time across the test processes: servers that start
// while another one shuts down sometimes end up sharing a display number for a moment.
class ServerLock {
  public:
    ServerLock() : fd_(open("/tmp/mosaiko-xvfb-test.lock", O_CREAT | O_RDWR | O_CLOEXEC, 0666)) {
        if (fd_ >= 0) flock(fd_, LOCK_EX);
    }
    ~ServerLock() {
        if (fd_ >= 0) close(fd_);
    }

  private:
    int fd_;
};

}  // namespace

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      output_(std::exchange(other.output_, -1)),
      buffer_(std::move(other.buffer_)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        terminate();
        pid_ = std::exchange(other.pid_, -1);
        output_ = std::exchange(other.output_, -1);
        buffer_ = std::move(other.buffer_);
    }
    return *this;
}

ChildProcess::~ChildProcess() {
    terminate();
}

ChildProcess ChildProcess::adopt(int pid) {
    ChildProcess child;
    child.pid_ = pid;
    return child;
}

ChildProcess ChildProcess::start(const std::vector<std::string>& argv, const std::string& display,
                                 bool captureOutput) {
    ChildProcess child;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeFds[2] = {-1, -1};
    if (captureOutput && pipe2(pipeFds, O_CLOEXEC) == 0) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    child.pid_ = spawn(argv, environmentWith(display), &actions);
    posix_spawn_file_actions_destroy(&actions);
    if (pipeFds[1] >= 0) close(pipeFds[1]);
    child.output_ = pipeFds[0];
    return child;
}

std::string ChildProcess::readLine(double timeoutSeconds) {
    const double deadline = seconds() + timeoutSeconds;
    while (output_ >= 0) {
        if (auto newline = buffer_.find('\n'); newline != std::string::npos) {
            std::string line = buffer_.substr(0, newline);
            buffer_.erase(0, newline + 1);
            return line;
        }
        const double left = deadline - seconds();
        if (left <= 0) break;
        pollfd fd{output_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left * 1000) + 1) <= 0) continue;
        char chunk[256];
        const ssize_t n = read(output_, chunk, sizeof chunk);
        if (n <= 0) break;
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
    return {};
}

int ChildProcess::wait(double timeoutSeconds) {
    int status = 0;
    bool done = false;
    pumpUntil(
        [&] {
            done = waitpid(pid_, &status, WNOHANG) == pid_;
            return done;
        },
        timeoutSeconds);
    if (!done) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::terminate() {
    if (output_ >= 0) close(output_);
    output_ = -1;
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const double deadline = seconds() + 3;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (seconds() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
}

XvfbSession::XvfbSession(Options options) {
    char scratch[] = "/tmp/mosaiko-x11-test-XXXXXX";
    if (!mkdtemp(scratch)) {
        error_ = "cannot create a scratch directory";
        return;
    }
    scratch_ = scratch;

    // Xvfb picks a free display number itself and writes it to the descriptor we give it.
    ServerLock lock;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        error_ = "pipe failed";
        return;
    }
    constexpr int kChildFd = 63;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], kChildFd);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> argv = {"Xvfb",      "-displayfd", std::to_string(kChildFd),
                                     "-screen",   "0",          "1280x800x24",
                                     "-nolisten", "tcp",        "-noreset"};
    argv.insert(argv.end(), options.serverArguments.begin(), options.serverArguments.end());
    const pid_t pid = spawn(argv, environmentWith(""), &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (pid <= 0) {
        close(pipeFds[0]);
        error_ = "cannot start Xvfb";
        return;
    }
    server_ = ChildProcess::adopt(pid);
    std::string number;
    const double deadline = seconds() + 15;
    while (seconds() < deadline && number.find('\n') == std::string::npos) {
        pollfd fd{pipeFds[0], POLLIN, 0};
        if (poll(&fd, 1, 100) <= 0) continue;
        char chunk[16];
        const ssize_t n = read(pipeFds[0], chunk, sizeof chunk);
        if (n <= 0) break;
        number.append(chunk, static_cast<std::size_t>(n));
    }
    close(pipeFds[0]);
    if (number.find('\n') == std::string::npos) {
        error_ = "Xvfb did not start";
        return;
    }
    display_ = ":" + number.substr(0, number.find('\n'));

    if (options.windowManager) {
        const std::string config = scratch_ + "/rc.xml";
        std::ofstream(config) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                              << "<openbox_config xmlns=\"http://openbox.org/3.4/rc\">\n"
                              << "<focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>\n"
                              << "<keyboard>" << options.openboxKeybindings << "</keyboard>\n"
                              << "</openbox_config>\n";
        windowManager_ = start({"openbox", "--sm-disable", "--config-file", config});
        Display* display = XOpenDisplay(display_.c_str());
        bool running = false;
        const double wmDeadline = seconds() + 15;
        while (display && !(running = windowManagerRunning(display)) && seconds() < wmDeadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (display) XCloseDisplay(display);
        if (!running) error_ = "openbox did not start";
    }
}

XvfbSession::~XvfbSession() {
    windowManager_.terminate();
    ServerLock lock;
    server_.terminate();
    if (!scratch_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(scratch_, ignored);
    }
}

ChildProcess XvfbSession::start(const std::vector<std::string>& argv, bool captureOutput) const {
    return ChildProcess::start(argv, display_, captureOutput);
}

int XvfbSession::run(const std::vector<std::string>& argv, double timeoutSeconds) const {
    ChildProcess child = start(argv);
    return child.wait(timeoutSeconds);
}

int XvfbSession::xdotool(const std::vector<std::string>& arguments) const {
    std::vector<std::string> argv = {"xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return run(argv);
}

TextClient::TextClient(const XvfbSession& session, const std::string& name, const std::string& windowClass)
    : session_(session) {
    file_ = session.scratchDirectory() + "/" + name + ".txt";
    std::vector<std::string> argv = {"/usr/bin/python3",
                                     std::string(MOSAIKO_SOURCE_DIR) + "/tests/platform/x11/text_client.py",
                                     file_, name};
    if (!windowClass.empty()) argv.push_back(windowClass);
    process_ = session.start(argv, true);
    const std::string line = process_.readLine(20);
    window_ = line.empty() ? 0 : std::strtoul(line.c_str(), nullptr, 10);
}

std::string TextClient::text() const {
    std::ifstream in(file_);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

bool TextClient::waitForText(const std::string& expected, double timeoutSeconds) const {
    return pumpUntil([&] { return text() == expected; }, timeoutSeconds);
}

bool TextClient::focus() const {
    Display* display = XOpenDisplay(session_.display().c_str());
    const bool managed = display && windowManagerRunning(display);
    if (display) XCloseDisplay(display);
    return session_.xdotool(
               {managed ? "windowactivate" : "windowfocus", "--sync", std::to_string(window_)}) == 0;
}

bool pumpUntil(const std::function<bool()>& condition, double timeoutSeconds) {
    const double deadline = seconds() + timeoutSeconds;
    while (true) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (condition()) return true;
        if (seconds() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void pumpFor(double secondsToRun) {
    pumpUntil([] { return false; }, secondsToRun);
}

}  // namespace mosaiko::test
