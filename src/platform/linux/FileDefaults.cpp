#include "platform/linux/FileDefaults.hpp"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <limits>
#include <sstream>

#include "platform/Base64.hpp"
#include "platform/Json.hpp"

namespace mosaiko {

namespace {

constexpr const char* kFormatKey = "mosaikoDefaults";
constexpr const char* kValuesKey = "values";
constexpr const char* kDataTag = "$data";
constexpr const char* kDictionaryTag = "$dict";
// JSON has no infinities or NaN (the library would write null, which makes the file unreadable).
constexpr const char* kDoubleTag = "$double";

Json encodeValue(const DefaultsValue& value);

Json encodeDictionary(const DefaultsValue::Dictionary& dictionary) {
    Json object = Json::object();
    for (const auto& [key, element] : dictionary) object[key] = encodeValue(element);
    return object;
}

Json encodeValue(const DefaultsValue& value) {
    return std::visit(
        [](const auto& v) -> Json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, DefaultsData>) {
                return Json{{kDataTag, base64::encode(v.bytes)}};
            } else if constexpr (std::is_same_v<T, DefaultsValue::Array>) {
                Json array = Json::array();
                for (const auto& element : v) array.push_back(encodeValue(element));
                return array;
            } else if constexpr (std::is_same_v<T, DefaultsValue::Dictionary>) {
                return Json{{kDictionaryTag, encodeDictionary(v)}};
            } else if constexpr (std::is_same_v<T, double>) {
                if (std::isnan(v)) return Json{{kDoubleTag, "nan"}};
                if (std::isinf(v)) return Json{{kDoubleTag, v > 0 ? "inf" : "-inf"}};
                return Json(v);
            } else {
                return Json(v);
            }
        },
        value.storage());
}

std::optional<DefaultsValue> decodeValue(const Json& json);

std::optional<DefaultsValue::Dictionary> decodeDictionary(const Json& json) {
    if (!json.is_object()) return std::nullopt;
    DefaultsValue::Dictionary result;
    for (const auto& [key, element] : json.items()) {
        auto value = decodeValue(element);
        if (!value) return std::nullopt;
        result.emplace(key, std::move(*value));
    }
    return result;
}

std::optional<DefaultsValue> decodeValue(const Json& json) {
    switch (json.type()) {
        case Json::value_t::boolean:
            return DefaultsValue(json.get<bool>());
        case Json::value_t::number_integer:
            return DefaultsValue(json.get<std::int64_t>());
        case Json::value_t::number_unsigned: {
            const auto u = json.get<std::uint64_t>();
            if (u > static_cast<std::uint64_t>(INT64_MAX)) return DefaultsValue(static_cast<double>(u));
            return DefaultsValue(static_cast<std::int64_t>(u));
        }
        case Json::value_t::number_float:
            return DefaultsValue(json.get<double>());
        case Json::value_t::string:
            return DefaultsValue(json.get<std::string>());
        case Json::value_t::array: {
            DefaultsValue::Array array;
            for (const auto& element : json) {
                auto value = decodeValue(element);
                if (!value) return std::nullopt;
                array.push_back(std::move(*value));
            }
            return DefaultsValue(std::move(array));
        }
        case Json::value_t::object: {
            if (json.size() != 1) return std::nullopt;
            if (auto it = json.find(kDataTag); it != json.end() && it->is_string()) {
                auto bytes = base64::decode(it->get<std::string>());
                if (!bytes) return std::nullopt;
                return DefaultsValue(DefaultsData{std::move(*bytes)});
            }
            if (auto it = json.find(kDictionaryTag); it != json.end()) {
                auto dictionary = decodeDictionary(*it);
                if (!dictionary) return std::nullopt;
                return DefaultsValue(std::move(*dictionary));
            }
            if (auto it = json.find(kDoubleTag); it != json.end() && it->is_string()) {
                const auto& name = it->get_ref<const std::string&>();
                if (name == "nan") return DefaultsValue(std::numeric_limits<double>::quiet_NaN());
                if (name == "inf") return DefaultsValue(std::numeric_limits<double>::infinity());
                if (name == "-inf") return DefaultsValue(-std::numeric_limits<double>::infinity());
                return std::nullopt;
            }
            return std::nullopt;
        }
        default:
            return std::nullopt;
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

bool writeAll(int fd, const std::string& bytes) {
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

void syncDirectory(const std::filesystem::path& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Holds an exclusive lock on the lock file beside the defaults file while alive.
class FileLock {
  public:
    explicit FileLock(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
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

}  // namespace

FileDefaults::FileDefaults(std::filesystem::path file, double saveDelaySeconds)
    : file_(std::move(file)), saveDelaySeconds_(saveDelaySeconds) {
    load();
    saver_ = std::thread([this] { saverLoop(); });
}

FileDefaults::~FileDefaults() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    saver_.join();
    flush();
}

std::filesystem::path FileDefaults::standardPath() {
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            if (const passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir;
        }
        base = std::filesystem::path(home ? home : "/tmp") / ".config";
    }
    return base / "mosaiko" / "defaults.json";
}

FileDefaults& FileDefaults::shared() {
    static FileDefaults defaults(standardPath());
    return defaults;
}

void FileDefaults::load() {
    std::error_code ec;
    if (!std::filesystem::exists(file_, ec)) return;

    std::ifstream in(file_, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::optional<DefaultsValue::Dictionary> loaded;
    if (in.good() || in.eof()) {
        if (auto json = json::parse(buffer.str()); json && json->is_object() && json->contains(kValuesKey)) {
            loaded = decodeDictionary((*json)[kValuesKey]);
        }
    }
    if (loaded) {
        values_ = std::move(*loaded);
        return;
    }

    // Never overwrite what we could not read: keep it under a new name and start from defaults.
    auto aside = file_;
    aside += ".unreadable-" + timestamp();
    std::filesystem::rename(file_, aside, ec);
    if (ec) {
        std::cerr << "mosaiko: cannot read or move aside " << file_ << " (" << ec.message()
                  << "); settings will not be saved this session\n";
        saveDisabled_ = true;  // never save over it
        return;
    }
    movedAside_ = aside;
    std::cerr << "mosaiko: " << file_ << " could not be read; it was kept as " << aside
              << " and default settings are used\n";
}

std::optional<DefaultsValue> FileDefaults::object(std::string_view key) const {
    std::lock_guard lock(mutex_);
    return MemoryDefaults::object(key);
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

void FileDefaults::markDirty() {
    {
        std::lock_guard lock(mutex_);
        dirty_ = true;
        ++generation_;
    }
    wake_.notify_all();
}

void FileDefaults::saverLoop() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return dirty_ || stopping_; });
        if (stopping_) return;
        // Let a burst of changes settle into one write.
        const auto delay = std::chrono::duration<double>(saveDelaySeconds_);
        wake_.wait_for(lock, delay, [this] { return stopping_; });
        if (stopping_) return;
        lock.unlock();
        flush();  // on failure the state stays dirty: tried again after the next delay or at exit
        lock.lock();
    }
}

bool FileDefaults::flush() {
    std::lock_guard saving(saveMutex_);
    DefaultsValue::Dictionary snapshot;
    {
        std::lock_guard lock(mutex_);
        if (!dirty_) return true;
        snapshot = values_;
        dirty_ = false;
    }
    if (save(snapshot)) return true;
    std::lock_guard lock(mutex_);
    dirty_ = true;
    return false;
}

bool FileDefaults::save(const DefaultsValue::Dictionary& snapshot) {
    if (saveDisabled_) return true;
    const Json document = {{kFormatKey, 1}, {kValuesKey, encodeDictionary(snapshot)}};
    const std::string text = json::dump(document) + "\n";

    std::error_code ec;
    const auto directory = file_.parent_path();
    std::filesystem::create_directories(directory, ec);

    auto lockPath = file_;
    lockPath += ".lock";
    FileLock lock(lockPath);

    auto temporary = file_;
    temporary += ".tmp-" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || ::rename(temporary.c_str(), file_.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    syncDirectory(directory);
    return true;
}

}  // namespace mosaiko
