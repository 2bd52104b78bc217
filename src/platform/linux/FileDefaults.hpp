#pragma once

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/MemoryDefaults.hpp"

namespace mosaiko {

// The per-user defaults database: one JSON file under $XDG_CONFIG_HOME/mosaiko/ (else
// ~/.config/mosaiko/). Reads and writes work on memory, so every change is visible at once and a
// write never waits for the disk; a background thread saves the file within a second of a change
// and the destructor saves what is left. Saving writes a temporary file, syncs it and renames it
// over the old one, so a crash leaves either the old or the new file; when the file is a symbolic
// link, the file it names is replaced and the link stays. A lock file keeps two processes from
// saving at once.
//
// A file that cannot be read in full is moved aside under a name of its own, never overwritten;
// every key whose value still reads is kept. A value a store cannot read as what its key holds is
// kept in the file under a name of its own (preserveUndecodable()); either is said on stderr. A
// file that cannot be read at all (no permission) is left where it is and nothing is saved this
// session. Something that is not a regular file in its place (a
// FIFO, a folder) is left alone: the program starts from defaults and saves nothing there. A save
// that fails is said once on stderr and to the problem handler, then retried at growing intervals
// until it works again.
class FileDefaults final : public MemoryDefaults {
  public:
    // Told when saving starts failing (the reason) and when it works again (no value). Called on the
    // thread that saved, never with a lock held.
    using SaveProblemHandler = std::function<void(const std::optional<std::string>& problem)>;

    explicit FileDefaults(std::filesystem::path file, double saveDelaySeconds = 0.5);
    ~FileDefaults() override;
    FileDefaults(const FileDefaults&) = delete;
    FileDefaults& operator=(const FileDefaults&) = delete;

    // The standard database of this user.
    static FileDefaults& shared();
    static std::filesystem::path standardPath();

    // The longest wait between two attempts of a save that keeps failing.
    static constexpr double kMaxRetrySeconds = 5.0;
    // The wait before the next attempt after `failedSaves` failed ones in a row.
    static double retryDelay(double saveDelaySeconds, int failedSaves);

    std::optional<DefaultsValue> object(std::string_view key) const override;
    bool contains(std::string_view key) const override;
    // The saving thread waits meanwhile.
    bool readData(std::string_view key, const std::function<void(std::string_view)>& read) const override;
    void set(std::string_view key, DefaultsValue value) override;
    void remove(std::string_view key) override;
    std::vector<std::string> keys() const override;

    // Writes pending changes now (waiting for a save in progress); false when the file could not
    // be written.
    bool flush();
    // Saves what is pending and saves nothing after that: once another copy of the program may take
    // the file over, a late save of this one would write over it. Values still change in memory.
    // Whether the last save worked.
    bool close();
    const std::filesystem::path& path() const { return file_; }
    // Where an unreadable file found at start was moved, if one was.
    const std::optional<std::filesystem::path>& movedAsideFile() const { return movedAside_; }
    // Why the last save failed, while saving fails; also why nothing is saved when the file could
    // not be read at all.
    std::optional<std::string> saveProblem() const;
    // Whether a file was there that could not be read at all (it is left as it is, and nothing is
    // saved over it): the user's settings are not known this session.
    bool leftUnread() const { return leftUnread_; }
    void setSaveProblemHandler(SaveProblemHandler handler);

  private:
    void didKeepUndecodable(std::string_view key, std::string_view keptAs) override;
    void load();
    void keepAside(const std::filesystem::path& target, std::size_t salvagedKeys);
    void markDirty();
    void saverLoop();
    std::optional<std::string> save(const DefaultsValue::Dictionary& snapshot);
    void noteSaveResult(const std::optional<std::string>& error);

    std::filesystem::path file_;
    double saveDelaySeconds_;
    std::optional<std::filesystem::path> movedAside_;
    bool saveDisabled_ = false;  // set once at load, before the saver thread starts
    bool leftUnread_ = false;    // likewise

    // Held from taking a snapshot until it is on disk, so snapshots land in the order they were
    // taken and flush() returns only once the newest state is saved. Taken before mutex_.
    std::mutex saveMutex_;
    mutable std::mutex mutex_;  // guards values_ (read by the saver thread) and the state below
    std::condition_variable wake_;
    bool dirty_ = false;
    bool stopping_ = false;
    bool closed_ = false;  // set under saveMutex_ by close()
    std::uint64_t generation_ = 0;
    int failedSaves_ = 0;
    std::optional<std::string> saveProblem_;
    SaveProblemHandler problemHandler_;
    std::thread saver_;
};

}  // namespace mosaiko
