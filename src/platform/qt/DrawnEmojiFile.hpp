#pragma once

#include <QImage>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace mosaiko {

// Colour emoji as drawn, kept in a file of the user's cache folder for later runs: drawing one
// (inflating the font's PNG bitmap and scaling it) takes about 120 us, and a search in the library
// shows a hundred at once that the process has not drawn yet; read back, one takes a few
// microseconds. A cache and nothing more: one file per state of the font file (its path, size and
// time), begun afresh when the font changes, bounded in size, and read a drawing at a time, never
// mapped, so that only an index stays in memory. A record that does not read back as written (a
// save cut short, another copy of the program writing) is a miss. Any thread may use it.
class DrawnEmojiFile {
  public:
    struct Drawn {
        QImage image;  // premultiplied ARGB, with its device pixel ratio
        double textWidth = 0;
        double lineHeight = 0;
    };

    // Beyond this, nothing more is added.
    static constexpr std::uint64_t kMaxBytes = 16 << 20;

    // The file of drawings made from the font file `fontFile`, in `folder` (made when missing); the
    // files there of other fonts, or other states of this one, are removed. Nothing is read or
    // written before the first look-up.
    DrawnEmojiFile(std::filesystem::path folder, std::filesystem::path fontFile);
    ~DrawnEmojiFile();
    DrawnEmojiFile(const DrawnEmojiFile&) = delete;
    DrawnEmojiFile& operator=(const DrawnEmojiFile&) = delete;

    std::optional<Drawn> find(std::string_view key);
    // Whether a drawing is kept under `key`, without reading it.
    bool contains(std::string_view key);
    // Keeps the drawing under `key` unless one is kept already. It is found at once, and written
    // with the others kept since by save(), or when the object goes: deflating and writing a
    // drawing takes about as long as drawing it, which a caller does while nothing waits.
    void keep(std::string_view key, const Drawn& drawn);
    // Writes what was kept and not written yet.
    void save();
    bool hasUnsaved();

    // $XDG_CACHE_HOME/mosaiko, else ~/.cache/mosaiko.
    static std::filesystem::path standardFolder();

  private:
    struct Place {
        std::uint64_t offset = 0;
        std::uint32_t length = 0;
    };

    // Opens the file and reads its index; false when the folder or the file cannot be used.
    bool open();
    void readIndex();

    std::filesystem::path folder_;
    std::filesystem::path fontFile_;
    std::mutex mutex_;
    bool opened_ = false;
    bool usable_ = false;  // open, and nothing failed that could hide records
    int fd_ = -1;          // set once, closed with the object
    std::string header_;
    std::uint64_t end_ = 0;                         // where the records read end
    std::unordered_map<std::size_t, Place> index_;  // by the key's hash
    struct Unsaved {
        std::size_t hash;
        std::string key;
        Drawn drawn;
    };
    std::vector<Unsaved> unsaved_;                            // not in the file yet, in the order kept
    std::unordered_map<std::size_t, std::size_t> unsavedAt_;  // where in it, by the key's hash
    std::uint64_t unsavedBytes_ = 0;
    std::mutex saving_;  // one save at a time
};

}  // namespace mosaiko
