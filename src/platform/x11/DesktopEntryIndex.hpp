#pragma once

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace mosaiko {

// The installed applications' desktop entries (the `applications` folders of the XDG data
// directories): their ids, localized names and window classes. The folders are read on a thread
// of the index's own, so that a lookup (which may come while a key waits for its answer) never
// reads them: it answers from what was read last, and a lookup that finds a folder changed has
// them read again. Only regular files are read, without waiting on anything, and a folder reached
// twice (through links) is read once.
class DesktopEntryIndex {
  public:
    struct Entry {
        std::string id;  // the desktop-entry id: the file's path below `applications`, '/' as '-', no suffix
        std::string name;
        std::string startupWMClass;
        bool operator==(const Entry&) const = default;
    };

    // `dataDirectories` in order of precedence; `locale` as in LC_MESSAGES ("de_CH.UTF-8@euro").
    DesktopEntryIndex(std::vector<std::string> dataDirectories, std::string locale);
    ~DesktopEntryIndex();
    DesktopEntryIndex(const DesktopEntryIndex&) = delete;
    DesktopEntryIndex& operator=(const DesktopEntryIndex&) = delete;

    // $XDG_DATA_HOME, then $XDG_DATA_DIRS, with their defaults.
    static std::vector<std::string> defaultDataDirectories();
    // LC_ALL, LC_MESSAGES or LANG.
    static std::string defaultLocale();

    // Starts reading the folders now, ahead of the first lookup (which starts it otherwise).
    void prepare();
    // The first lookup waits this long at most for the folders to be read; it finds nothing
    // while they are not.
    static constexpr double kFirstReadWaitSeconds = 0.25;

    std::optional<Entry> entryWithId(const std::string& id);
    // The entry a chosen desktop file describes. Its id is the file's path below one of the
    // `applications` folders ('/' as '-'), or its file name for a file elsewhere; none when the file
    // is not a readable desktop entry (no regular file, no "[Desktop Entry]" group, or hidden).
    std::optional<Entry> entryAtPath(const std::string& path) const;
    // The `applications` folders of the data directories, in order of precedence.
    std::vector<std::string> applicationFolders() const;
    // The entry whose StartupWMClass equals `windowClass`.
    std::optional<Entry> entryForWindowClass(const std::string& windowClass);

  private:
    struct Contents {
        std::map<std::string, Entry> byId;
        std::vector<std::string> order;                       // ids of byId in order of precedence
        std::map<std::string, std::timespec> scannedFolders;  // with their modification times
    };
    struct Scan;

    // What was read last (nothing before the first read); asks for a new read when a folder changed.
    std::shared_ptr<const Contents> contents();
    void readerLoop();
    Contents read() const;
    void scan(Scan& scan, const std::string& directory, const std::string& idPrefix) const;
    std::optional<Entry> parse(const std::string& path, const std::string& id) const;

    std::vector<std::string> directories_;
    std::vector<std::string> localeKeys_;  // Name[...] keys, best first

    std::mutex mutex_;
    std::condition_variable changed_;
    std::shared_ptr<const Contents> contents_;
    bool readWanted_ = false;
    std::atomic<bool> stopping_{false};
    std::thread reader_;
};

}  // namespace mosaiko
