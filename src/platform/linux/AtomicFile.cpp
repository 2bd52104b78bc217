#include "platform/linux/AtomicFile.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>

namespace mosaiko::atomicfile {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxLinks = 40;  // as the kernel allows when it resolves a path

std::string temporaryPrefix(const fs::path& target) {
    return target.filename().string() + ".tmp-";
}

std::string errorText(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

bool writeAll(int fd, std::string_view bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

void syncDirectory(const fs::path& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string timestamp() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y%m%dT%H%M%SZ", &tm);
    return buffer;
}

// A name beside `file` that starts with its name and `suffix` and is that very file (a link made
// before, which nothing replaced since).
std::optional<fs::path> existingLinkAside(const fs::path& file, std::string_view suffix) {
    struct stat target {};
    if (::lstat(file.c_str(), &target) != 0 || target.st_nlink < 2) return std::nullopt;
    const std::string prefix = file.filename().string() + std::string(suffix);
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(file.parent_path(), ec)) {
        struct stat other {};
        if (item.path().filename().string().starts_with(prefix) &&
            ::lstat(item.path().c_str(), &other) == 0 && other.st_ino == target.st_ino &&
            other.st_dev == target.st_dev)
            return item.path();
    }
    return std::nullopt;
}

}  // namespace

std::optional<fs::path> resolveLinks(const fs::path& path) {
    fs::path current = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(current, ec))) return current;
        const fs::path link = fs::read_symlink(current, ec);
        if (ec) return current;
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
    return std::nullopt;
}

std::optional<std::string> write(const fs::path& path, std::string_view bytes, mode_t mode) {
    const auto target = resolveLinks(path);
    if (!target) return errorText("Cannot write " + path.string(), ELOOP);
    const fs::path directory = target->parent_path();
    std::error_code ec;
    if (*target == path) {
        fs::create_directories(directory, ec);
        if (ec) return "Cannot create " + directory.string() + ": " + ec.message();
    } else if (!fs::is_directory(directory, ec)) {
        // A link is written through only into a folder that exists: a dangling one must not make
        // folders wherever it points.
        return errorText("Cannot write " + target->string() + ", where " + path.string() + " points", ENOENT);
    }
    // A file made read-only is not replaced behind its owner's back (the rename would not ask). Why
    // it cannot be written is said as it is (a read-only file system is no missing permission).
    struct stat existing {};
    if (::stat(target->c_str(), &existing) == 0) {
        if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return "Cannot write " + target->string() + ": the file is read-only";
        if (::access(target->c_str(), W_OK) != 0) return errorText("Cannot write " + target->string(), errno);
    }

    std::string temporary = (directory / (temporaryPrefix(*target) + "XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return errorText("Cannot write into " + directory.string(), errno);
    ::fchmod(fd, mode);
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    ::close(fd);
    if (!written) {
        ::unlink(temporary.c_str());
        return errorText("Cannot write " + target->string(), writeError);
    }
    if (::rename(temporary.c_str(), target->c_str()) != 0) {
        const int renameError = errno;
        ::unlink(temporary.c_str());
        return errorText("Cannot write " + target->string(), renameError);
    }
    syncDirectory(directory);
    return std::nullopt;
}

void removeLeftovers(const fs::path& path) {
    const auto target = resolveLinks(path);
    if (!target) return;
    const std::string prefix = temporaryPrefix(*target);
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(target->parent_path(), ec)) {
        const std::string name = item.path().filename().string();
        std::error_code typeError;
        if (name.starts_with(prefix) && item.is_regular_file(typeError)) fs::remove(item.path(), typeError);
    }
}

std::optional<fs::path> linkAside(const fs::path& file, std::string_view suffix) {
    // A file kept aside before and never written back since (a full disk) is kept once, not once more
    // at every start.
    if (auto kept = existingLinkAside(file, suffix)) return kept;
    const std::string base = file.string() + std::string(suffix) + timestamp();
    for (int n = 1; n < 10000; ++n) {
        const fs::path candidate = n == 1 ? fs::path(base) : fs::path(base + "-" + std::to_string(n));
        if (::link(file.c_str(), candidate.c_str()) == 0) {
            syncDirectory(candidate.parent_path());
            return candidate;
        }
        if (errno != EEXIST) return std::nullopt;
    }
    errno = EEXIST;
    return std::nullopt;
}

std::optional<fs::path> moveAside(const fs::path& file, std::string_view suffix) {
    const std::string base = file.string() + std::string(suffix) + timestamp();
    for (int n = 1; n < 10000; ++n) {
        const fs::path candidate = n == 1 ? fs::path(base) : fs::path(base + "-" + std::to_string(n));
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) == 0)
            return candidate;
        if (errno == EEXIST) continue;
        if (errno != EINVAL && errno != ENOSYS) return std::nullopt;
        // A file system without no-replace renames: a hard link fails just as surely on a taken name.
        if (::link(file.c_str(), candidate.c_str()) == 0) {
            ::unlink(file.c_str());
            return candidate;
        }
        if (errno != EEXIST) return std::nullopt;
    }
    errno = EEXIST;
    return std::nullopt;
}

}  // namespace mosaiko::atomicfile
