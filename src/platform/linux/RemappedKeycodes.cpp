#include "platform/linux/RemappedKeycodes.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
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
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(directory, ec)) {
        const std::string name = item.path().filename().string();
        if (!name.starts_with(prefix)) continue;
        // <prefix><pid>.<start time>.<sequence>, with ".tmp-<random>" while it is being written
        std::istringstream fields(name.substr(prefix.size()));
        long pid = 0;
        unsigned long long startTime = 0;
        char dot = 0;
        if (!(fields >> pid >> dot >> startTime) || dot != '.') continue;
        const auto process = InstanceRegistry::describeProcess(pid);
        if (process && process->startTime == startTime) continue;  // still running: its own business
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

}  // namespace mosaiko
