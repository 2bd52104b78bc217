#include "platform/linux/FileDefaults.hpp"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>

#include "platform/linux/AtomicFile.hpp"
#include "platform/linux/DefaultsFileFormat.hpp"

namespace mosaiko {

namespace fs = std::filesystem;

namespace {

// Holds an exclusive lock on the lock file beside the defaults file while alive.
class FileLock {
  public:
    explicit FileLock(const fs::path& path) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    int fd_;
};

fs::path lockPath(const fs::path& file) {
    auto path = file;
    path += ".lock";
    return path;
}

// The whole content of a regular file; no value (errno set) when it cannot be read. Opened without
// blocking, and checked once open, so nothing that took the file's place in between can hang us.
std::optional<std::string> readRegularFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return std::nullopt;
    }
    // Room for the whole file at once: a user's snippets make it megabytes, which grown a piece at
    // a time were copied and their fresh memory touched twice over.
    std::string text;
    text.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return std::nullopt;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

}  // namespace

FileDefaults::FileDefaults(fs::path file, double saveDelaySeconds)
    : file_(std::move(file)), saveDelaySeconds_(saveDelaySeconds) {
    load();
    saver_ = std::thread([this] { saverLoop(); });
}

FileDefaults::~FileDefaults() {
    close();
}

bool FileDefaults::close() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (saver_.joinable()) saver_.join();
    const bool saved = flush();
    std::lock_guard saving(saveMutex_);
    closed_ = true;
    return saved;
}

fs::path FileDefaults::standardPath() {
    fs::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            if (const passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir;
        }
        base = fs::path(home ? home : "/tmp") / ".config";
    }
    return base / "mosaiko" / "defaults.json";
}

FileDefaults& FileDefaults::shared() {
    static FileDefaults defaults(standardPath());
    return defaults;
}

void FileDefaults::load() {
    const auto target = atomicfile::resolveLinks(file_);
    if (!target) {
        std::cerr << "Mosaiko: " << file_ << " is a loop of symbolic links; default settings are used and "
                  << "nothing is saved there\n";
        saveDisabled_ = true;
        return;
    }
    {
        // No other copy saves while the temporary files of killed saves are cleared away.
        FileLock lock(lockPath(file_));
        atomicfile::removeLeftovers(file_);
    }
    struct stat info {};
    if (::stat(target->c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return;  // a first start, or a link to a file not made yet
        std::cerr << "Mosaiko: cannot read " << *target << " (" << std::strerror(errno)
                  << "); default settings are used and nothing is saved there\n";
        saveDisabled_ = true;
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        // Opening a FIFO would wait for a writer; a device could be anything. Leave it alone.
        std::cerr << "Mosaiko: " << *target << " is not a regular file; it is left alone, default settings "
                  << "are used and nothing is saved there\n";
        saveDisabled_ = true;
        return;
    }
    const auto text = readRegularFile(*target);
    if (!text) {
        // Unreadable as a whole (no permission, another owner, an I/O error) says nothing about
        // what the file holds: it stays as it is, and nothing is saved over it.
        const std::string reason = std::strerror(errno);
        std::cerr << "Mosaiko: cannot read " << *target << " (" << reason
                  << "); it is left as it is, default settings are used and nothing is saved this session\n";
        saveDisabled_ = true;
        leftUnread_ = true;
        saveProblem_ = "cannot read " + target->string() + " (" + reason + "); it is left as it is";
        return;
    }
    auto decoded = DefaultsFileFormat::decode(*text);
    values_ = std::move(decoded.values);
    if (decoded.complete) return;
    keepAside(*target, values_.size());
}

void FileDefaults::keepAside(const fs::path& target, std::size_t salvagedKeys) {
    // Never overwrite what we could not read in full: keep it under a new name.
    const auto aside = atomicfile::moveAside(target, ".unreadable-");
    if (!aside) {
        std::cerr << "Mosaiko: cannot read " << target << " in full nor move it aside ("
                  << std::strerror(errno) << "); settings will not be saved this session\n";
        saveDisabled_ = true;  // never save over it
        return;
    }
    movedAside_ = aside;
    std::cerr << "Mosaiko: " << target << " could not be read in full; it was kept as " << *aside << ". ";
    if (salvagedKeys == 0) {
        std::cerr << "Default settings are used.\n";
        return;
    }
    std::cerr << salvagedKeys << " settings were read from it; anything else starts from its default.\n";
    dirty_ = true;  // what was read goes back under the usual name
}

void FileDefaults::didKeepUndecodable(std::string_view key, std::string_view keptAs) {
    std::cerr << "Mosaiko: the value of \"" << key << "\" in " << file_
              << " could not be read; it was kept in the same file as \"" << keptAs << "\"\n";
}

std::optional<DefaultsValue> FileDefaults::object(std::string_view key) const {
    std::lock_guard lock(mutex_);
    return MemoryDefaults::object(key);
}

bool FileDefaults::contains(std::string_view key) const {
    std::lock_guard lock(mutex_);
    return MemoryDefaults::contains(key);
}

bool FileDefaults::readData(std::string_view key, const std::function<void(std::string_view)>& read) const {
    std::lock_guard lock(mutex_);
    return MemoryDefaults::readData(key, read);
}

void FileDefaults::set(std::string_view key, DefaultsValue value) {
    {
        std::lock_guard lock(mutex_);
        MemoryDefaults::set(key, std::move(value));
    }
    markDirty();
}

void FileDefaults::remove(std::string_view key) {
    {
        std::lock_guard lock(mutex_);
        MemoryDefaults::remove(key);
    }
    markDirty();
}

std::vector<std::string> FileDefaults::keys() const {
    std::lock_guard lock(mutex_);
    return MemoryDefaults::keys();
}

std::optional<std::string> FileDefaults::saveProblem() const {
    std::lock_guard lock(mutex_);
    return saveProblem_;
}

void FileDefaults::setSaveProblemHandler(SaveProblemHandler handler) {
    std::lock_guard lock(mutex_);
    problemHandler_ = std::move(handler);
}

void FileDefaults::markDirty() {
    {
        std::lock_guard lock(mutex_);
        dirty_ = true;
        ++generation_;
    }
    wake_.notify_all();
}

double FileDefaults::retryDelay(double saveDelaySeconds, int failedSaves) {
    // Doubling from the usual delay, so a disk that stays full is not hammered, yet a save that
    // works again lands within a few seconds.
    double delay = std::max(saveDelaySeconds, 0.05);
    for (int i = 0; i < failedSaves && delay < kMaxRetrySeconds; ++i) delay *= 2;
    return std::min(delay, kMaxRetrySeconds);
}

void FileDefaults::saverLoop() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return dirty_ || stopping_; });
        if (stopping_) return;
        // Let a burst of changes settle into one write; after a failure, wait longer each time.
        const double seconds =
            failedSaves_ == 0 ? saveDelaySeconds_ : retryDelay(saveDelaySeconds_, failedSaves_);
        wake_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return stopping_; });
        if (stopping_) return;
        lock.unlock();
        flush();  // on failure the state stays dirty and is tried again
        lock.lock();
    }
}

bool FileDefaults::flush() {
    std::lock_guard saving(saveMutex_);
    if (closed_) return true;
    DefaultsValue::Dictionary snapshot;
    {
        std::lock_guard lock(mutex_);
        if (!dirty_) return true;
        dirty_ = false;
        // Nothing is written where the file could not be used at load; why stays said.
        if (saveDisabled_) return !leftUnread_;
        snapshot = values_;
    }
    const auto error = save(snapshot);
    if (error) {
        std::lock_guard lock(mutex_);
        dirty_ = true;
    }
    noteSaveResult(error);
    return !error;
}

void FileDefaults::noteSaveResult(const std::optional<std::string>& error) {
    SaveProblemHandler handler;
    {
        std::lock_guard lock(mutex_);
        failedSaves_ = error ? failedSaves_ + 1 : 0;
        // Said when saving starts failing and when it works again, not at every attempt.
        if (error.has_value() == saveProblem_.has_value()) return;
        saveProblem_ = error;
        handler = problemHandler_;
    }
    if (error) {
        std::cerr << "Mosaiko: cannot save settings (" << *error
                  << "); changes are kept while Mosaiko runs and saving is tried again\n";
    } else {
        std::cerr << "Mosaiko: settings are saved again to " << file_ << "\n";
    }
    if (handler) handler(error);
}

std::optional<std::string> FileDefaults::save(const DefaultsValue::Dictionary& snapshot) {
    std::error_code ec;
    fs::create_directories(file_.parent_path(), ec);
    FileLock lock(lockPath(file_));
    return atomicfile::write(file_, DefaultsFileFormat::encode(snapshot), 0600);
}

}  // namespace mosaiko
