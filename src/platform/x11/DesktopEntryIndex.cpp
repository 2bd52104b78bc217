#include "platform/x11/DesktopEntryIndex.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace mosaiko {

namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(separator, start), text.size());
        if (end > start) parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string unescape(const std::string& value) {
    std::string result;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            switch (next) {
                case 's':
                    result += ' ';
                    break;
                case 'n':
                    result += '\n';
                    break;
                case 't':
                    result += '\t';
                    break;
                case 'r':
                    result += '\r';
                    break;
                default:
                    result += next;
                    break;
            }
        } else {
            result += value[i];
        }
    }
    return result;
}

std::optional<std::timespec> modificationTime(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
    return info.st_mtim;
}

bool sameTime(const std::timespec& a, const std::timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The text of a regular file, read without waiting on anything (a FIFO or a device in its place is
// not even opened for reading), at most `limit` bytes; none when it is no readable regular file.
std::optional<std::string> readRegularFile(const std::string& path, std::size_t limit) {
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) return std::nullopt;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    std::optional<std::string> text;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        text.emplace();
        char buffer[16384];
        while (text->size() < limit) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            text->append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return text;
}

// Desktop entries are a few kilobytes; a larger file is read this far.
constexpr std::size_t kEntrySizeLimit = 1 << 20;

}  // namespace

// One reading of the folders.
struct DesktopEntryIndex::Scan {
    Contents contents;
    std::set<std::string> decided;                  // ids found so far, hidden ones included
    std::set<std::pair<dev_t, ino_t>> seenFolders;  // every folder is read once
};

DesktopEntryIndex::DesktopEntryIndex(std::vector<std::string> dataDirectories, std::string locale)
    : directories_(std::move(dataDirectories)) {
    // lang_COUNTRY.ENCODING@MODIFIER: the keys to try, most specific first.
    std::string modifier;
    if (auto at = locale.find('@'); at != std::string::npos) {
        modifier = locale.substr(at + 1);
        locale.erase(at);
    }
    if (auto dot = locale.find('.'); dot != std::string::npos) locale.erase(dot);
    std::string lang = locale, country;
    if (auto underscore = locale.find('_'); underscore != std::string::npos) {
        lang = locale.substr(0, underscore);
        country = locale.substr(underscore + 1);
    }
    if (lang.empty() || lang == "C" || lang == "POSIX") return;
    if (!country.empty() && !modifier.empty()) localeKeys_.push_back(lang + "_" + country + "@" + modifier);
    if (!country.empty()) localeKeys_.push_back(lang + "_" + country);
    if (!modifier.empty()) localeKeys_.push_back(lang + "@" + modifier);
    localeKeys_.push_back(lang);
}

std::vector<std::string> DesktopEntryIndex::defaultDataDirectories() {
    std::vector<std::string> directories;
    std::string home = env("XDG_DATA_HOME");
    if (home.empty() && !env("HOME").empty()) home = env("HOME") + "/.local/share";
    if (!home.empty()) directories.push_back(home);
    std::string dirs = env("XDG_DATA_DIRS");
    if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
    for (const auto& dir : split(dirs, ':')) directories.push_back(dir);
    return directories;
}

std::string DesktopEntryIndex::defaultLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (!env(name).empty()) return env(name);
    }
    return {};
}

DesktopEntryIndex::~DesktopEntryIndex() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (reader_.joinable()) reader_.join();
}

void DesktopEntryIndex::prepare() {
    std::lock_guard lock(mutex_);
    if (reader_.joinable()) return;
    readWanted_ = true;
    reader_ = std::thread([this] { readerLoop(); });
}

std::optional<DesktopEntryIndex::Entry> DesktopEntryIndex::entryWithId(const std::string& id) {
    const auto read = contents();
    if (!read) return std::nullopt;
    auto it = read->byId.find(id);
    if (it == read->byId.end()) return std::nullopt;
    return it->second;
}

std::optional<DesktopEntryIndex::Entry> DesktopEntryIndex::entryForWindowClass(
    const std::string& windowClass) {
    if (windowClass.empty()) return std::nullopt;
    const auto read = contents();
    if (!read) return std::nullopt;
    for (const auto& id : read->order) {
        const Entry& entry = read->byId.at(id);
        if (entry.startupWMClass == windowClass) return entry;
    }
    return std::nullopt;
}

std::optional<DesktopEntryIndex::Entry> DesktopEntryIndex::entryAtPath(const std::string& path) const {
    const std::string suffix = ".desktop";
    const std::filesystem::path file = std::filesystem::path(path).lexically_normal();
    std::string id = file.filename().string();
    for (const auto& folder : applicationFolders()) {
        const std::string relative =
            file.lexically_relative(std::filesystem::path(folder).lexically_normal()).string();
        if (relative.empty() || relative.starts_with("..") || relative == ".") continue;
        id = relative;
        std::replace(id.begin(), id.end(), '/', '-');
        break;
    }
    if (id.size() > suffix.size() && id.ends_with(suffix)) id.erase(id.size() - suffix.size());
    return parse(file.string(), id);
}

std::vector<std::string> DesktopEntryIndex::applicationFolders() const {
    std::vector<std::string> folders;
    for (const auto& directory : directories_) folders.push_back(directory + "/applications");
    return folders;
}

std::shared_ptr<const DesktopEntryIndex::Contents> DesktopEntryIndex::contents() {
    prepare();
    std::shared_ptr<const Contents> read;
    {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::duration<double>(kFirstReadWaitSeconds),
                          [&] { return contents_ != nullptr; });
        read = contents_;
        if (!read || readWanted_) return read;
    }
    bool changed = false;
    for (auto it = read->scannedFolders.begin(); !changed && it != read->scannedFolders.end(); ++it) {
        const auto time = modificationTime(it->first);
        changed = time ? !sameTime(*time, it->second) : it->second.tv_sec != -1;
    }
    if (changed) {
        {
            std::lock_guard lock(mutex_);
            readWanted_ = true;
        }
        changed_.notify_all();
    }
    return read;
}

void DesktopEntryIndex::readerLoop() {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [&] { return readWanted_ || stopping_; });
        if (stopping_) return;
        readWanted_ = false;
        lock.unlock();
        auto read = std::make_shared<const Contents>(this->read());
        lock.lock();
        if (stopping_) return;
        contents_ = std::move(read);
        changed_.notify_all();
    }
}

DesktopEntryIndex::Contents DesktopEntryIndex::read() const {
    Scan scan;
    for (const auto& root : applicationFolders()) this->scan(scan, root, "");
    return std::move(scan.contents);
}

void DesktopEntryIndex::scan(Scan& scan, const std::string& directory, const std::string& idPrefix) const {
    if (stopping_) return;
    const auto time = modificationTime(directory);
    scan.contents.scannedFolders[directory] = time.value_or(std::timespec{-1, 0});
    if (!time) return;
    struct stat info {};
    // A folder reached again (a link to a folder above, two links to each other) is read once.
    if (::stat(directory.c_str(), &info) != 0 || !scan.seenFolders.emplace(info.st_dev, info.st_ino).second)
        return;
    DIR* dir = opendir(directory.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (const dirent* item = readdir(dir)) {
        const std::string name = item->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        const std::string path = directory + "/" + name;
        if (modificationTime(path)) {
            this->scan(scan, path, idPrefix + name + "-");
            continue;
        }
        const std::string suffix = ".desktop";
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        const std::string id = idPrefix + name.substr(0, name.size() - suffix.size());
        // The first folder that has an id decides it; a hidden entry deletes the application.
        if (!scan.decided.insert(id).second) continue;
        auto entry = parse(path, id);
        if (!entry) continue;
        scan.contents.byId[id] = *entry;
        scan.contents.order.push_back(id);
    }
}

std::optional<DesktopEntryIndex::Entry> DesktopEntryIndex::parse(const std::string& path,
                                                                 const std::string& id) const {
    const auto text = readRegularFile(path, kEntrySizeLimit);
    if (!text) return std::nullopt;
    std::istringstream file(*text);
    std::string line;
    bool inMainGroup = false;
    bool hasMainGroup = false;
    std::map<std::string, std::string> values;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inMainGroup = line == "[Desktop Entry]";
            hasMainGroup = hasMainGroup || inMainGroup;
            continue;
        }
        if (!inMainGroup) continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        values.emplace(trim(line.substr(0, equals)), unescape(trim(line.substr(equals + 1))));
    }
    if (!hasMainGroup || values["Hidden"] == "true") return std::nullopt;
    Entry entry{id, values["Name"], values["StartupWMClass"]};
    for (const auto& key : localeKeys_) {
        if (auto it = values.find("Name[" + key + "]"); it != values.end() && !it->second.empty()) {
            entry.name = it->second;
            break;
        }
    }
    return entry;
}

}  // namespace mosaiko
