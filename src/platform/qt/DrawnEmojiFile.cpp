#include "platform/qt/DrawnEmojiFile.hpp"

#include <fcntl.h>
#include <libdeflate.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace mosaiko {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPrefix = "drawn-emoji-";
constexpr std::string_view kSuffix = ".cache";
constexpr int kLargestSide = 4096;
// How much of the file the index is read in at a time.
constexpr std::uint64_t kIndexPiece = 256 << 10;

// What precedes a record's key and its image's deflated pixels.
struct RecordHead {
    std::uint32_t checksum = 0;  // of everything after it, the key and the pixels included
    std::uint32_t keyLength = 0;
    std::uint32_t dataLength = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t unused = 0;
    double scale = 1;
    double textWidth = 0;
    double lineHeight = 0;
};
static_assert(sizeof(RecordHead) == 48);

std::uint32_t checksumOf(const RecordHead& head, std::string_view rest) {
    const auto* fields = reinterpret_cast<const char*>(&head) + sizeof head.checksum;
    const auto crc = libdeflate_crc32(0, fields, sizeof head - sizeof head.checksum);
    return libdeflate_crc32(crc, rest.data(), rest.size());
}

std::size_t hashOf(std::string_view key) {
    return std::hash<std::string_view>{}(key);
}

// Holds the file against other copies of the program while alive (threads share the descriptor).
class FileLock {
  public:
    explicit FileLock(int fd) : fd_(fd) {
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FileLock() { ::flock(fd_, LOCK_UN); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    int fd_;
};

bool readAt(int fd, char* out, std::size_t length, std::uint64_t offset) {
    for (std::size_t done = 0; done < length;) {
        const ssize_t got = ::pread(fd, out + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool writeAt(int fd, std::string_view bytes, std::uint64_t offset) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t put =
            ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

std::uint64_t sizeOf(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

// Each thread's own, kept while it lives: making one costs more than using it on an emoji.
libdeflate_decompressor* inflater() {
    thread_local std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> own(
        libdeflate_alloc_decompressor(), &libdeflate_free_decompressor);
    return own.get();
}

}  // namespace

DrawnEmojiFile::DrawnEmojiFile(fs::path folder, fs::path fontFile)
    : folder_(std::move(folder)), fontFile_(std::move(fontFile)) {}

DrawnEmojiFile::~DrawnEmojiFile() {
    save();
    if (fd_ >= 0) ::close(fd_);
}

fs::path DrawnEmojiFile::standardFolder() {
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') return fs::path(xdg) / "mosaiko";
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        if (const passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir;
    }
    return fs::path(home ? home : "/tmp") / ".cache" / "mosaiko";
}

bool DrawnEmojiFile::open() {
    if (opened_) return usable_;
    opened_ = true;
    struct stat font {};
    if (::stat(fontFile_.c_str(), &font) != 0) return false;
    // Drawings are the font's, at its state, as this version of the toolkit draws them.
    header_ = "mosaiko drawn emoji 1\n" + fontFile_.string() + "\n" + std::to_string(font.st_size) + " " +
              std::to_string(font.st_mtim.tv_sec) + "." + std::to_string(font.st_mtim.tv_nsec) + "\n" +
              qVersion() + "\n";
    char name[64];
    std::snprintf(name, sizeof name, "%s%08x%s", kPrefix.data(),
                  libdeflate_crc32(0, header_.data(), header_.size()), kSuffix.data());
    std::error_code error;
    fs::create_directories(folder_, error);
    for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
        const std::string other = it->path().filename().string();
        if (other != name && other.starts_with(kPrefix) && other.ends_with(kSuffix)) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
    fd_ = ::open((folder_ / name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return false;
    usable_ = true;
    readIndex();
    return usable_;
}

void DrawnEmojiFile::readIndex() {
    const FileLock lock(fd_);
    const std::uint64_t size = sizeOf(fd_);
    std::string header(header_.size(), '\0');
    if (size < header_.size() || !readAt(fd_, header.data(), header.size(), 0) || header != header_) {
        // New, or not the file this expects: begun afresh.
        usable_ = ::ftruncate(fd_, 0) == 0 && writeAt(fd_, header_, 0);
        end_ = header_.size();
        return;
    }
    // Read a piece at a time, so that only the index stays in memory. Records are checked as they
    // are read back; here only that each lies whole in the file.
    std::string piece;
    std::uint64_t pieceStart = 0;
    // Whether [at, at + length) of the file is in `piece`, read when it is not.
    auto have = [&](std::uint64_t at, std::uint64_t length) {
        if (at >= pieceStart && at + length <= pieceStart + piece.size()) return true;
        if (length > size - at) return false;
        pieceStart = at;
        piece.resize(std::min(std::max(length, kIndexPiece), size - at));
        return readAt(fd_, piece.data(), piece.size(), at);
    };
    std::uint64_t at = header_.size();
    while (size - at >= sizeof(RecordHead) && have(at, sizeof(RecordHead))) {
        RecordHead head;
        std::memcpy(&head, piece.data() + (at - pieceStart), sizeof head);
        const std::uint64_t length = sizeof head + std::uint64_t(head.keyLength) + head.dataLength;
        if (length > size - at || !have(at, sizeof head + head.keyLength)) break;
        const std::string_view key(piece.data() + (at - pieceStart) + sizeof head, head.keyLength);
        index_.emplace(hashOf(key), Place{at, static_cast<std::uint32_t>(length)});
        at += length;
    }
    // A record cut short (a save that did not end) goes, so that those added after it are found.
    if (at < size) usable_ = ::ftruncate(fd_, static_cast<off_t>(at)) == 0;
    end_ = at;
}

std::optional<DrawnEmojiFile::Drawn> DrawnEmojiFile::find(std::string_view key) {
    Place place;
    int fd = -1;
    {
        const std::lock_guard lock(mutex_);
        if (!open()) return std::nullopt;
        if (const auto at = unsavedAt_.find(hashOf(key)); at != unsavedAt_.end()) {
            const Unsaved& unsaved = unsaved_[at->second];
            return unsaved.key == key ? std::optional(unsaved.drawn) : std::nullopt;
        }
        const auto found = index_.find(hashOf(key));
        if (found == index_.end()) return std::nullopt;
        place = found->second;
        fd = fd_;
    }
    std::string record(place.length, '\0');
    if (place.length < sizeof(RecordHead) || !readAt(fd, record.data(), record.size(), place.offset))
        return std::nullopt;
    RecordHead head;
    std::memcpy(&head, record.data(), sizeof head);
    const std::string_view rest = std::string_view(record).substr(sizeof head);
    if (sizeof head + std::uint64_t(head.keyLength) + head.dataLength != place.length ||
        checksumOf(head, rest) != head.checksum || rest.substr(0, head.keyLength) != key)
        return std::nullopt;
    if (head.width == 0 || head.height == 0 || head.width > kLargestSide || head.height > kLargestSide ||
        !(head.scale > 0))
        return std::nullopt;
    Drawn drawn{QImage(int(head.width), int(head.height), QImage::Format_ARGB32_Premultiplied),
                head.textWidth, head.lineHeight};
    if (drawn.image.isNull()) return std::nullopt;
    const auto pixels = static_cast<std::size_t>(drawn.image.sizeInBytes());
    std::size_t produced = 0;
    const std::string_view data = rest.substr(head.keyLength);
    if (libdeflate_deflate_decompress(inflater(), data.data(), data.size(), drawn.image.bits(), pixels,
                                      &produced) != LIBDEFLATE_SUCCESS ||
        produced != pixels)
        return std::nullopt;
    drawn.image.setDevicePixelRatio(head.scale);
    return drawn;
}

void DrawnEmojiFile::keep(std::string_view key, const Drawn& drawn) {
    Drawn kept{drawn.image.convertToFormat(QImage::Format_ARGB32_Premultiplied), drawn.textWidth,
               drawn.lineHeight};
    const QImage& image = kept.image;
    if (image.isNull() || image.width() > kLargestSide || image.height() > kLargestSide) return;
    const std::size_t hash = hashOf(key);
    const auto bytes = static_cast<std::uint64_t>(image.sizeInBytes());
    const std::lock_guard lock(mutex_);
    if (!open() || index_.contains(hash) || unsavedAt_.contains(hash) || end_ >= kMaxBytes ||
        unsavedBytes_ + bytes > kMaxBytes)
        return;
    unsavedAt_.emplace(hash, unsaved_.size());
    unsaved_.push_back(Unsaved{hash, std::string(key), std::move(kept)});
    unsavedBytes_ += bytes;
}

bool DrawnEmojiFile::contains(std::string_view key) {
    const std::size_t hash = hashOf(key);
    const std::lock_guard lock(mutex_);
    return open() && (index_.contains(hash) || unsavedAt_.contains(hash));
}

bool DrawnEmojiFile::hasUnsaved() {
    const std::lock_guard lock(mutex_);
    return !unsaved_.empty();
}

void DrawnEmojiFile::save() {
    const std::lock_guard one(saving_);
    // Taken as they are now; what is kept meanwhile waits for the next save. They stay found
    // while they are deflated.
    std::vector<Unsaved> taken;
    {
        const std::lock_guard lock(mutex_);
        taken = unsaved_;
    }
    if (taken.empty()) return;
    // A save's own: the last one may run as the program ends, after its threads' objects went.
    const std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> deflater(
        libdeflate_alloc_compressor(1), &libdeflate_free_compressor);
    if (!deflater) return;
    std::string records;
    std::vector<std::pair<std::size_t, Place>> places;  // offsets within `records`
    for (const Unsaved& unsaved : taken) {
        const QImage& image = unsaved.drawn.image;
        RecordHead head;
        head.keyLength = static_cast<std::uint32_t>(unsaved.key.size());
        head.width = static_cast<std::uint32_t>(image.width());
        head.height = static_cast<std::uint32_t>(image.height());
        head.scale = image.devicePixelRatio();
        head.textWidth = unsaved.drawn.textWidth;
        head.lineHeight = unsaved.drawn.lineHeight;
        const auto pixels = static_cast<std::size_t>(image.sizeInBytes());
        const std::size_t bound = libdeflate_deflate_compress_bound(deflater.get(), pixels);
        const std::size_t start = records.size();
        records.resize(start + sizeof head + unsaved.key.size() + bound);
        char* record = records.data() + start;
        std::memcpy(record + sizeof head, unsaved.key.data(), unsaved.key.size());
        head.dataLength = static_cast<std::uint32_t>(libdeflate_deflate_compress(
            deflater.get(), image.constBits(), pixels, record + sizeof head + unsaved.key.size(), bound));
        if (head.dataLength == 0) {
            records.resize(start);
            continue;
        }
        const std::size_t length = sizeof head + unsaved.key.size() + head.dataLength;
        records.resize(start + length);
        record = records.data() + start;
        head.checksum = checksumOf(head, std::string_view(record + sizeof head, length - sizeof head));
        std::memcpy(record, &head, sizeof head);
        places.emplace_back(unsaved.hash, Place{start, static_cast<std::uint32_t>(length)});
    }

    const std::lock_guard lock(mutex_);
    // Those kept meanwhile came after them.
    for (const Unsaved& unsaved : taken)
        unsavedBytes_ -= static_cast<std::uint64_t>(unsaved.drawn.image.sizeInBytes());
    unsaved_.erase(unsaved_.begin(), unsaved_.begin() + static_cast<std::ptrdiff_t>(taken.size()));
    unsavedAt_.clear();
    for (std::size_t i = 0; i < unsaved_.size(); ++i) unsavedAt_.emplace(unsaved_[i].hash, i);
    if (unsaved_.empty()) {
        // Their room goes too.
        unsaved_ = {};
        unsavedAt_ = {};
    }
    if (!usable_ || records.empty()) return;
    const FileLock fileLock(fd_);
    // At the file's end, wherever another copy of the program left it.
    const std::uint64_t offset = sizeOf(fd_);
    end_ = offset;
    if (offset < header_.size() || offset >= kMaxBytes) return;
    if (!writeAt(fd_, records, offset)) {
        // A part written would hide what comes after it.
        usable_ = ::ftruncate(fd_, static_cast<off_t>(offset)) == 0;
        return;
    }
    for (const auto& [hash, place] : places) index_.emplace(hash, Place{offset + place.offset, place.length});
    end_ = offset + records.size();
}

}  // namespace mosaiko
