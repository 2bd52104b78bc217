#include "platform/linux/RemappedKeycodes.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/linux/AtomicFile.hpp"
#include "platform/linux/InstanceRegistry.hpp"

namespace mosaiko {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPrefix = "keycodes.";

std::string sanitized(std::string_view text) {
    std::string out;
    for (char c : text) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == ':';
        out += safe ? c : '_';
    }
    return out;
}

// Records are trusted only in a folder nobody else can write into.
bool isPrivateFolder(const fs::path& directory) {
    struct stat info {};
    if (::lstat(directory.c_str(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

std::string recordPrefix(const std::string& displayKey) {
    return std::string(kPrefix) + sanitized(displayKey) + ".";
}

std::string readUnixSockets() {
    std::ifstream in("/proc/net/unix");
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The process that wrote a record, from the end of the record's name: "<pid>.<start time>.…".
struct Run {
    long pid = 0;
    unsigned long long startTime = 0;  // clock ticks after boot

    static std::optional<Run> named(const std::string& text) {
        std::istringstream fields(text);
        Run run;
        char dot = 0;
        if (!(fields >> run.pid >> dot >> run.startTime) || dot != '.') return std::nullopt;
        return run;
    }
    bool hasEnded() const {
        const auto process = InstanceRegistry::describeProcess(pid);
        return !process || process->startTime != startTime;
    }
};

// Whether the record `item` of a display other than this one was left by an ended run whose X
// server is gone. `sockets` is read on first need.
bool leftForAGoneServer(const fs::directory_entry& item, std::optional<std::string>& sockets) {
    const std::string name = item.path().filename().string();
    // <prefix><display>.<run>; the display, sanitized, holds no dot
    const auto dot = name.find('.', kPrefix.size());
    if (dot == std::string::npos) return false;
    const auto run = Run::named(name.substr(dot + 1));
    if (!run || !run->hasEnded()) return false;
    std::error_code ec;
    const auto written = item.last_write_time(ec);
    if (ec) return false;
    if (!sockets) sockets = readUnixSockets();
    return !sockets->empty() && RemappedKeycodes::serverIsGone(
                                    name.substr(kPrefix.size(), dot - kPrefix.size()), written, *sockets);
}

// The number of a display on this host (":1", "unix:1"); none for another host's.
std::optional<std::string> localDisplayNumber(const std::string& displayKey) {
    std::string number;
    if (displayKey.starts_with(':')) {
        number = displayKey.substr(1);
    } else if (displayKey.starts_with("unix:")) {
        number = displayKey.substr(5);
    }
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    return number;
}

// Whether a server listens (flag __SO_ACCEPTCON) at `path`, or at the abstract name `path`.
bool isListenedOn(const std::string& path, const std::string& unixSockets) {
    std::istringstream lines(unixSockets);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string slot, references, protocol, flags, type, state, inode, name;
        if (!(fields >> slot >> references >> protocol >> flags >> type >> state >> inode >> name)) continue;
        const bool listening = (std::strtoul(flags.c_str(), nullptr, 16) & 0x10000) != 0;
        if (listening && (name == path || name == "@" + path)) return true;
    }
    return false;
}

}  // namespace

RemappedKeycodes::RemappedKeycodes(fs::path directory, std::string displayKey)
    : directory_(std::move(directory)) {
    if (directory_.empty()) return;
    static std::atomic<unsigned> sequence{0};
    const auto self = InstanceRegistry::describeProcess(static_cast<long>(::getpid()));
    const unsigned long long startTime = self ? self->startTime : 0;
    file_ = directory_ / (recordPrefix(displayKey) + std::to_string(::getpid()) + "." +
                          std::to_string(startTime) + "." + std::to_string(sequence++));
}

RemappedKeycodes::~RemappedKeycodes() {
    write({});
}

bool RemappedKeycodes::write(const std::vector<Entry>& entries) {
    if (file_.empty() || kept_) return false;
    if (entries.empty()) {
        if (written_) ::unlink(file_.c_str());
        written_ = false;
        return true;
    }
    ::mkdir(directory_.c_str(), 0700);
    if (!isPrivateFolder(directory_)) return false;
    std::ostringstream text;
    for (const Entry& entry : entries) text << entry.keycode << ' ' << entry.keysym << '\n';
    written_ = !atomicfile::write(file_, text.str(), 0600);
    return written_;
}

std::vector<RemappedKeycodes::Leftover> RemappedKeycodes::leftByEndedRuns(const fs::path& directory,
                                                                          const std::string& displayKey) {
    std::vector<Leftover> result;
    if (directory.empty() || !isPrivateFolder(directory)) return result;
    const std::string prefix = recordPrefix(displayKey);
    std::optional<std::string> sockets;
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(directory, ec)) {
        const std::string name = item.path().filename().string();
        if (!name.starts_with(prefix)) {
            if (name.starts_with(kPrefix) && leftForAGoneServer(item, sockets)) ::unlink(item.path().c_str());
            continue;
        }
        // <prefix><pid>.<start time>.<sequence>, with ".tmp-<random>" while it is being written; a
        // run still going is its own business
        const auto run = Run::named(name.substr(prefix.size()));
        if (!run || !run->hasEnded()) continue;
        // A write the kill cut short, before the keyboard changed: the record before it holds.
        if (name.find(".tmp-") != std::string::npos) {
            ::unlink(item.path().c_str());
            continue;
        }

        Leftover leftover{item.path(), {}};
        std::ifstream in(item.path());
        Entry entry;
        while (in >> entry.keycode >> entry.keysym) leftover.entries.push_back(entry);
        result.push_back(std::move(leftover));
    }
    return result;
}

bool RemappedKeycodes::serverIsGone(const std::string& displayKey, fs::file_time_type recordWritten,
                                    const std::string& unixSockets, const fs::path& socketFolder) {
    const auto number = localDisplayNumber(displayKey);
    if (!number) return false;  // another host's, or none: nothing here tells
    const fs::path socket = socketFolder / ("X" + *number);
    if (!isListenedOn(socket.string(), unixSockets)) return true;
    // The server made its socket as it started; a run wrote its record once connected to it. A
    // socket made after the record is another server's. (One with an abstract name only tells nothing.)
    std::error_code ec;
    const auto made = fs::last_write_time(socket, ec);
    return !ec && made > recordWritten;
}

}  // namespace mosaiko
