#include "platform/linux/FileAppendLog.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "platform/linux/AtomicFile.hpp"

namespace mosaiko {

namespace fs = std::filesystem;

std::optional<std::string> FileAppendLog::read() {
    if (!leftoversRemoved_) {
        // The copies of a replace() that a kill cut short; read at start, while this copy is the
        // only writer.
        atomicfile::removeLeftovers(file_);
        leftoversRemoved_ = true;
    }
    const int fd = ::open(file_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno != ENOENT) {
            leftAlone_ = true;  // never write over what we cannot read
            std::cerr << "Mosaiko: cannot read " << file_ << " (" << std::strerror(errno)
                      << "); the usage history is not saved this session\n";
        }
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        leftAlone_ = true;
        std::cerr << "Mosaiko: " << file_ << " is not a regular file; the usage history is not saved there\n";
        return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return content;
}

bool FileAppendLog::append(std::string_view bytes) {
    if (leftAlone_ || closed_) return false;
    if (fd_ < 0) {
        std::error_code ec;
        fs::create_directories(file_.parent_path(), ec);
        fd_ = ::open(file_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
        if (fd_ < 0) return note(false, std::strerror(errno));
        struct stat info {};
        if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
            closeDescriptor();
            leftAlone_ = true;
            return note(false, "not a regular file");
        }
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const std::string problem = std::strerror(errno);
            closeDescriptor();
            return note(false, problem);
        }
        written += static_cast<std::size_t>(n);
    }
    return note(true, {});
}

bool FileAppendLog::replace(std::string_view bytes) {
    if (leftAlone_ || closed_) return false;
    closeDescriptor();  // the file is about to be another one
    const auto error = atomicfile::write(file_, bytes, 0600);
    return note(!error, error.value_or(""));
}

std::optional<std::string> FileAppendLog::keepAside() {
    if (leftAlone_ || closed_) return std::nullopt;
    // A second name, not a move: until what could be read is written back, the log stays in place.
    const auto aside = atomicfile::linkAside(file_, ".unreadable-");
    if (!aside) return std::nullopt;
    return aside->string();
}

void FileAppendLog::remove() {
    if (closed_) return;
    closeDescriptor();
    std::error_code ec;
    const auto target = atomicfile::resolveLinks(file_);  // a link stays, as when replacing
    if (target && fs::is_regular_file(fs::symlink_status(*target, ec))) fs::remove(*target, ec);
}

void FileAppendLog::close() {
    closeDescriptor();
    closed_ = true;
}

void FileAppendLog::closeDescriptor() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool FileAppendLog::note(bool worked, const std::string& problem) {
    if (!worked && !failing_)
        std::cerr << "Mosaiko: cannot save the usage history in " << file_ << ": " << problem << "\n";
    failing_ = !worked;
    return worked;
}

}  // namespace mosaiko
