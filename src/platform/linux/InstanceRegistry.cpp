#include "platform/linux/InstanceRegistry.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <system_error>
#include <utility>

namespace mosaiko {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDeletedSuffix = " (deleted)";

std::string withoutDeletedSuffix(std::string path) {
    if (path.ends_with(kDeletedSuffix)) path.resize(path.size() - kDeletedSuffix.size());
    return path;
}

std::optional<unsigned long long> startTimeOf(long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return std::nullopt;
    // The command name (field 2) may hold spaces and parentheses: fields resume after the last ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream rest(line.substr(close + 1));
    std::string field;
    // Fields 3 to 21, then the start time as field 22.
    for (int i = 3; i <= 21; ++i) {
        if (!(rest >> field)) return std::nullopt;
    }
    unsigned long long start = 0;
    if (!(rest >> start)) return std::nullopt;
    return start;
}

std::string sanitized(std::string_view text) {
    std::string out;
    for (char c : text) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '.' || c == '-' || c == ':';
        out += safe ? c : '_';
    }
    return out;
}

bool isOlder(const RunningInstance& a, const RunningInstance& b) {
    if (a.startTime != b.startTime) return a.startTime < b.startTime;
    return a.processIdentifier < b.processIdentifier;
}

std::string firstLine(const char* path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// Where a process of this program runs: a pid and a start time name one process only on one
// machine, and there only until it restarts.
struct System {
    std::string machine;  // the machine id, else the host name
    std::string boot;
    std::string host;  // for people
};

const System& thisSystem() {
    static const System system = [] {
        System s;
        char host[256] = {};
        if (::gethostname(host, sizeof host - 1) == 0) s.host = host;
        s.machine = firstLine("/etc/machine-id");
        if (s.machine.empty()) s.machine = firstLine("/var/lib/dbus/machine-id");
        if (s.machine.empty()) s.machine = "host " + s.host;
        s.boot = firstLine("/proc/sys/kernel/random/boot_id");
        return s;
    }();
    return system;
}

// An entry as a copy wrote it: three lines (pid, start time, executable), then "name value" lines
// of where it runs, which entries written before machines were told apart lack.
struct Entry {
    RunningInstance instance;
    System system;

    bool onOtherMachine() const {
        return !system.machine.empty() && !thisSystem().machine.empty() &&
               system.machine != thisSystem().machine;
    }
    bool ofEarlierBoot() const {
        return !onOtherMachine() && !system.boot.empty() && !thisSystem().boot.empty() &&
               system.boot != thisSystem().boot;
    }
};

std::string entryText(const RunningInstance& self) {
    const System& here = thisSystem();
    return std::to_string(self.processIdentifier) + '\n' + std::to_string(self.startTime) + '\n' +
           self.executable + "\nmachine " + here.machine + "\nboot " + here.boot + "\nhost " + here.host +
           '\n';
}

std::optional<Entry> readEntry(const fs::path& path) {
    std::ifstream in(path);
    Entry entry;
    std::string pidLine;
    std::string startLine;
    if (!std::getline(in, pidLine) || !std::getline(in, startLine) ||
        !std::getline(in, entry.instance.executable))
        return std::nullopt;
    entry.instance.processIdentifier = std::strtol(pidLine.c_str(), nullptr, 10);
    entry.instance.startTime = std::strtoull(startLine.c_str(), nullptr, 10);
    for (std::string line; std::getline(in, line);) {
        const auto space = line.find(' ');
        const std::string name = line.substr(0, space);
        const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
        if (name == "machine") entry.system.machine = value;
        if (name == "boot") entry.system.boot = value;
        if (name == "host") entry.system.host = value;
    }
    return entry;
}

// The pid in a name "<prefix><pid><suffix>"; nothing for any other name.
std::optional<long> pidIn(const std::string& name, const std::string& prefix, std::string_view suffix) {
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) return std::nullopt;
    const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    return std::strtol(digits.c_str(), nullptr, 10);
}

// Whether the process `pid` of this machine holds the file `path` open.
bool holdsOpen(long pid, const fs::path& path) {
    struct stat file {};
    if (::lstat(path.c_str(), &file) != 0) return false;
    std::error_code ec;
    for (const auto& descriptor : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        struct stat open {};
        if (::stat(descriptor.path().c_str(), &open) == 0 && open.st_ino == file.st_ino &&
            open.st_dev == file.st_dev)
            return true;
    }
    return false;
}

// Why `folder` cannot hold the registry, once made when missing and made private when it is this
// user's own; nothing when it can.
std::optional<std::string> whyUnusable(const fs::path& folder) {
    ::mkdir(folder.c_str(), 0700);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat info {};
        if (::lstat(folder.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
            return S_ISLNK(info.st_mode) ? "it is a symbolic link" : "it is not a folder";
        return std::strerror(error);
    }
    std::optional<std::string> problem;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        problem = std::strerror(errno);
    } else if (info.st_uid != ::getuid()) {
        problem = "it belongs to another user";
    } else if ((info.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0) {
        problem =
            std::string("it is open to other users and cannot be made private: ") + std::strerror(errno);
    }
    ::close(fd);
    return problem;
}

int openPidfd(long pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
#else
    errno = ENOSYS;
    return -1;
#endif
}

int sendViaPidfd(int pidfd, int signalNumber) {
#ifdef SYS_pidfd_send_signal
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, signalNumber, nullptr, 0));
#else
    (void)pidfd;
    (void)signalNumber;
    errno = ENOSYS;
    return -1;
#endif
}

}  // namespace

InstanceRegistry::InstanceRegistry(fs::path directory, std::string key)
    : requested_(std::move(directory)), key_(std::move(key)) {
    if (auto self = describeProcess(static_cast<long>(::getpid()))) self_ = *self;
}

InstanceRegistry::InstanceRegistry(fs::path directory, std::string key, RunningInstance self)
    : requested_(std::move(directory)), key_(std::move(key)), self_(std::move(self)) {}

InstanceRegistry::~InstanceRegistry() {
    release();
}

void InstanceRegistry::release() {
    unregisterCurrentProcess();
    releaseLock();
}

fs::path InstanceRegistry::standardDirectory(const std::string& identifier) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') return fs::path(runtime) / identifier;
    return fs::temp_directory_path() / (identifier + "-" + std::to_string(::getuid()));
}

fs::path InstanceRegistry::configurationDirectory(const fs::path& folder) {
    return folder / "running";
}

std::string InstanceRegistry::displayKey(const char* display) {
    std::string key = display ? display : "";
    const auto colon = key.rfind(':');
    if (colon != std::string::npos) {
        const auto dot = key.find('.', colon);
        if (dot != std::string::npos) key.resize(dot);
    }
    return key.empty() ? "none" : key;
}

std::string InstanceRegistry::configurationKey(const fs::path& folder) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(folder, ec);
    if (ec) canonical = folder.lexically_normal();
    std::string text = canonical.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    // FNV-1a: a short name of fixed length for a path of any length.
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    char name[32];
    std::snprintf(name, sizeof name, "config-%016llx", static_cast<unsigned long long>(hash));
    return name;
}

std::optional<RunningInstance> InstanceRegistry::describeProcess(long processIdentifier) {
    if (processIdentifier <= 0) return std::nullopt;
    const auto start = startTimeOf(processIdentifier);
    if (!start) return std::nullopt;
    std::error_code ec;
    const auto exe = fs::read_symlink("/proc/" + std::to_string(processIdentifier) + "/exe", ec);
    if (ec) return std::nullopt;
    return RunningInstance{processIdentifier, *start, withoutDeletedSuffix(exe.string())};
}

const fs::path& InstanceRegistry::directory() const {
    if (directory_) return *directory_;
    std::error_code ec;
    fs::create_directories(requested_.parent_path(), ec);
    const auto problem = whyUnusable(requested_);
    if (!problem) return directory_.emplace(requested_);
    // A copy that went on without a usable folder would run beside another unnoticed, and the two
    // would write over each other's settings and counts.
    const fs::path fallback = requested_.string() + "-" + std::to_string(::getuid());
    const auto fallbackProblem = whyUnusable(fallback);
    if (!fallbackProblem) {
        std::cerr << "Mosaiko: " << requested_ << " cannot be used to keep to one running copy (" << *problem
                  << "); " << fallback << " is used instead\n";
        return directory_.emplace(fallback);
    }
    lockProblemSaid_ = true;
    std::cerr
        << "Mosaiko: neither " << requested_ << " (" << *problem << ") nor " << fallback << " ("
        << *fallbackProblem
        << ") can be used to keep to one running copy; another copy of Mosaiko may run beside this one\n";
    return directory_.emplace(requested_);
}

fs::path InstanceRegistry::entryPath(long processIdentifier) const {
    return directory() / (sanitized(key_) + "." + std::to_string(processIdentifier) + ".instance");
}

fs::path InstanceRegistry::lockPath() const {
    return directory() / (sanitized(key_) + ".lock");
}

bool InstanceRegistry::directoryIsPrivate() const {
    struct stat info {};
    if (::lstat(directory().c_str(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

bool InstanceRegistry::makeDirectory() const {
    std::error_code ec;
    fs::create_directories(directory().parent_path(), ec);
    return !whyUnusable(directory());
}

bool InstanceRegistry::registerCurrentProcess() {
    if (self_.processIdentifier == 0) return false;
    if (entryFd_ >= 0) return true;
    if (!makeDirectory()) return false;

    const fs::path target = entryPath(self_.processIdentifier);
    const fs::path temporary = target.string() + ".tmp";
    // Kept open from before the rename, so the entry is never seen without its holder.
    const int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    const std::string text = entryText(self_);
    if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
        ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return false;
    }
    entryFd_ = fd;
    removeLeftovers(liveEntries());  // clears away what killed copies left
    return true;
}

void InstanceRegistry::unregisterCurrentProcess() {
    if (entryFd_ < 0) return;
    std::error_code ec;
    fs::remove(entryPath(self_.processIdentifier), ec);
    ::close(entryFd_);
    entryFd_ = -1;
}

std::vector<RunningInstance> InstanceRegistry::olderInstances() const {
    std::vector<RunningInstance> result;
    for (const auto& recorded : liveEntries().here) {
        if (isCopyOfThisProgram(recorded) && isOlder(recorded, self_)) result.push_back(recorded);
    }
    std::sort(result.begin(), result.end(), isOlder);
    return result;
}

std::vector<std::string> InstanceRegistry::copiesOnOtherMachines() const {
    std::vector<std::string> hosts;
    for (const auto& remote : liveEntries().elsewhere) hosts.push_back(remote.host);
    return hosts;
}

InstanceRegistry::Entries InstanceRegistry::liveEntries() const {
    Entries result;
    if (!directoryIsPrivate()) return result;
    const std::string prefix = sanitized(key_) + ".";
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(directory(), ec)) {
        const std::string name = item.path().filename().string();
        if (!name.starts_with(prefix) || !name.ends_with(".instance")) continue;
        auto removeEntry = [&] {
            std::error_code removeError;
            fs::remove(item.path(), removeError);
        };

        const auto entry = readEntry(item.path());
        // The file must be the one this pid wrote: its name and its content agree. One that does
        // not read so is no entry of a running copy (a copy renames its entry in whole).
        if (!entry || item.path() != entryPath(entry->instance.processIdentifier)) {
            removeEntry();
            continue;
        }
        // This machine's /proc says nothing about another machine's processes: that machine judges
        // its own entries.
        if (entry->onOtherMachine()) {
            const auto& system = entry->system;
            result.elsewhere.push_back(
                {entry->instance.processIdentifier, system.host.empty() ? system.machine : system.host});
            continue;
        }
        // Written before this machine last started: its process is gone.
        if (entry->ofEarlierBoot()) {
            removeEntry();
            continue;
        }
        const RunningInstance& recorded = entry->instance;
        if (recorded.processIdentifier == self_.processIdentifier) continue;

        const auto now = describeProcess(recorded.processIdentifier);
        if (!now || *now != recorded) {
            removeEntry();
            continue;
        }
        result.here.push_back(recorded);
    }
    return result;
}

void InstanceRegistry::removeLeftovers(const Entries& live) const {
    const std::string prefix = sanitized(key_) + ".";
    auto listed = [&](long pid) {
        return pid == self_.processIdentifier ||
               std::any_of(live.here.begin(), live.here.end(),
                           [&](const RunningInstance& i) { return i.processIdentifier == pid; }) ||
               std::any_of(live.elsewhere.begin(), live.elsewhere.end(),
                           [&](const Elsewhere& e) { return e.processIdentifier == pid; });
    };
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(directory(), ec)) {
        const std::string name = item.path().filename().string();
        bool leftOver = false;
        if (const auto pid = pidIn(name, prefix, ".instance.tmp")) {
            // An entry being written now is held open by its writer; one of another machine is that
            // machine's to judge.
            const auto entry = readEntry(item.path());
            leftOver = !(entry && entry->onOtherMachine()) && !holdsOpen(*pid, item.path());
        } else if (const auto asked = pidIn(name, prefix, ".stop-typing")) {
            // A request is pending only while the copy it asks still runs (its asker waits for it).
            leftOver = !listed(*asked);
        }
        std::error_code removeError;
        if (leftOver) fs::remove(item.path(), removeError);
    }
}

InstanceRegistry::LockAttempt InstanceRegistry::tryLock() {
    if (lockFd_ >= 0) return LockAttempt::held;
    // A copy that cannot lock goes on: say so, once, rather than let two run unnoticed.
    auto unavailable = [this](const std::string& why) {
        if (!std::exchange(lockProblemSaid_, true))
            std::cerr << "Mosaiko: cannot lock " << lockPath() << " (" << why
                      << "); another copy of Mosaiko may run beside this one\n";
        return LockAttempt::unavailable;
    };
    if (!makeDirectory()) return unavailable("its folder cannot be used");
    const fs::path path = lockPath();
    // The holder before us removes the file as it lets go; a lock taken on a file that is no longer
    // the one in the folder counts for nothing, so take the new one.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) return unavailable(std::strerror(errno));
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            return error == EWOULDBLOCK ? LockAttempt::heldByAnother : unavailable(std::strerror(error));
        }
        struct stat locked {};
        struct stat named {};
        if (::fstat(fd, &locked) == 0 && ::lstat(path.c_str(), &named) == 0 &&
            locked.st_ino == named.st_ino && locked.st_dev == named.st_dev) {
            lockFd_ = fd;
            return LockAttempt::held;
        }
        ::close(fd);
    }
    return LockAttempt::heldByAnother;
}

void InstanceRegistry::releaseLock() {
    if (lockFd_ < 0) return;
    ::unlink(lockPath().c_str());  // while still held, so no one locks the file on its way out
    ::close(lockFd_);
    lockFd_ = -1;
}

bool InstanceRegistry::isCopyOfThisProgram(const RunningInstance& instance) const {
    const auto now = describeProcess(instance.processIdentifier);
    if (!now || *now != instance) return false;
    const std::string proc = "/proc/" + std::to_string(instance.processIdentifier);
    struct stat owner {};
    if (::stat(proc.c_str(), &owner) != 0 || owner.st_uid != ::getuid()) return false;
    // Whatever its path, a copy of this program holds its entry open; another process named in an
    // entry does not.
    return holdsOpen(instance.processIdentifier, entryPath(instance.processIdentifier));
}

bool InstanceRegistry::signal(const RunningInstance& instance, int signalNumber) const {
    if (instance.processIdentifier <= 0 || instance.processIdentifier == self_.processIdentifier)
        return false;
    const int pidfd = openPidfd(instance.processIdentifier);
    // With a pidfd the check below is about the very process we then signal; without one (old
    // kernels) a pid could in theory be reused between the check and kill().
    if (!isCopyOfThisProgram(instance)) {
        if (pidfd >= 0) ::close(pidfd);
        return false;
    }
    bool sent = false;
    if (pidfd >= 0) {
        sent = sendViaPidfd(pidfd, signalNumber) == 0;
        ::close(pidfd);
    } else {
        sent = ::kill(static_cast<pid_t>(instance.processIdentifier), signalNumber) == 0;
    }
    return sent;
}

bool InstanceRegistry::requestTermination(const RunningInstance& instance) const {
    return signal(instance, SIGTERM);
}

bool InstanceRegistry::forceTermination(const RunningInstance& instance) const {
    return signal(instance, SIGKILL);
}

fs::path InstanceRegistry::stopTypingPath(long processIdentifier) const {
    return directory() / (sanitized(key_) + "." + std::to_string(processIdentifier) + ".stop-typing");
}

bool InstanceRegistry::askToStopTyping(const RunningInstance& instance) const {
    const fs::path request = stopTypingPath(instance.processIdentifier);
    const int fd = ::open(request.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    ::close(fd);
    bool stopped = signal(instance, kStopTypingSignal);
    // The copy removes the request once it has stopped.
    for (int waited = 0; stopped && ::access(request.c_str(), F_OK) == 0; ++waited) {
        if (waited * 5 >= kStopTypingWaitSeconds * 1000) stopped = false;
        ::usleep(5000);
    }
    ::unlink(request.c_str());
    return stopped;
}

bool InstanceRegistry::isAskedToStopTyping() const {
    return ::access(stopTypingPath(self_.processIdentifier).c_str(), F_OK) == 0;
}

void InstanceRegistry::confirmTypingStopped() const {
    ::unlink(stopTypingPath(self_.processIdentifier).c_str());
}

}  // namespace mosaiko
