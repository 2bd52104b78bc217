#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace mosaiko {

// The keycodes one poster has remapped for typing, kept in a small file in the program's private
// runtime folder and rewritten before every remapping, so a run that is killed leaves a record of
// what it changed for the next start to restore. Each poster has a file of its own, named after its
// process (pid and start time) and display, so the record of a process that still runs is never
// taken for a leftover.
class RemappedKeycodes {
  public:
    // A keycode is listed twice while it changes from one keysym to another: either is ours.
    struct Entry {
        unsigned keycode = 0;
        unsigned long keysym = 0;  // what the keycode was given
        bool operator==(const Entry&) const = default;
    };
    struct Leftover {
        std::filesystem::path file;
        std::vector<Entry> entries;
    };

    // Keeps no record when `directory` is empty.
    RemappedKeycodes(std::filesystem::path directory, std::string displayKey);
    // Removes the record (whatever it held has been restored by then), unless it is kept.
    ~RemappedKeycodes();
    RemappedKeycodes(const RemappedKeycodes&) = delete;
    RemappedKeycodes& operator=(const RemappedKeycodes&) = delete;

    // Replaces the record with `entries`; an empty list removes it. False when it cannot be written.
    bool write(const std::vector<Entry>& entries);
    // Leaves the record as it is from now on, for the next start: what it lists could not be given
    // back (the display went away before).
    void keep() { kept_ = true; }
    const std::filesystem::path& file() const { return file_; }

    // The records that processes which have ended left for this display. The caller restores what
    // still holds the recorded keysyms, then removes the files. Temporary files of their cut-short
    // writes are removed here, and so are the records ended runs left for a local display whose server
    // is gone: their keycodes went with it, and no start would ever remove them.
    static std::vector<Leftover> leftByEndedRuns(const std::filesystem::path& directory,
                                                 const std::string& displayKey);

    // Whether the X server of the local display `displayKey` (":1", "unix:1") that a record written
    // at `recordWritten` was for is gone: none listens for that display any more (`unixSockets`, the
    // text of /proc/net/unix, says), or the one that does made its socket in `socketFolder` after
    // the record was written. False for a display on another host, or when it cannot be told.
    static bool serverIsGone(const std::string& displayKey, std::filesystem::file_time_type recordWritten,
                             const std::string& unixSockets,
                             const std::filesystem::path& socketFolder = "/tmp/.X11-unix");

  private:
    std::filesystem::path directory_;
    std::filesystem::path file_;
    bool written_ = false;
    bool kept_ = false;
};

}  // namespace mosaiko
