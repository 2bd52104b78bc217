#pragma once

#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace mosaiko {

// The installed applications' desktop entries (the `applications` folders of the XDG data
// directories): their ids, localized names and window classes. Rescans when a folder changes.
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
    // $XDG_DATA_HOME, then $XDG_DATA_DIRS, with their defaults.
    static std::vector<std::string> defaultDataDirectories();
    // LC_ALL, LC_MESSAGES or LANG.
    static std::string defaultLocale();

    std::optional<Entry> entryWithId(const std::string& id);
    // The entry a chosen desktop file describes. Its id is the file's path below one of the
    // `applications` folders ('/' as '-'), or its file name for a file elsewhere; none when the file
    // is not a readable desktop entry (no "[Desktop Entry]" group, or hidden).
    std::optional<Entry> entryAtPath(const std::string& path) const;
    // The `applications` folders of the data directories, in order of precedence.
    std::vector<std::string> applicationFolders() const;
    // The entry whose StartupWMClass equals `windowClass`.
    std::optional<Entry> entryForWindowClass(const std::string& windowClass);

  private:
    void refreshIfChanged();
    void rebuild();
    void scan(const std::string& root, const std::string& directory, const std::string& idPrefix);
    std::optional<Entry> parse(const std::string& path, const std::string& id) const;

    std::vector<std::string> directories_;
    std::vector<std::string> localeKeys_;  // Name[...] keys, best first
    std::map<std::string, std::timespec> scannedFolders_;
    std::map<std::string, Entry> byId_;
    std::vector<std::string> order_;  // ids of byId_ in order of precedence
    std::set<std::string> decided_;   // ids found so far, hidden ones included
    bool built_ = false;
};

}  // namespace mosaiko
