#pragma once

#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace mosaiko {

// One running copy of the program, as it registered itself.
struct RunningInstance {
    long processIdentifier = 0;
    // The process's start time in clock ticks after boot (field 22 of /proc/<pid>/stat): together
    // with the process identifier it names one process for the whole uptime, recycled pids included.
    unsigned long long startTime = 0;
    std::string executable;

    bool operator==(const RunningInstance&) const = default;
};

// The running copies of the program for one user and one configuration folder (on any display,
// from any path: two copies writing one configuration would write over each other's changes). Each
// copy writes one small file (pid, start time, executable) into a private folder and keeps it open
// for its whole life; a listed entry counts only while a process with that pid, start time and
// executable still exists, run by the same user, and holds that very file open: so neither a
// recycled pid nor an entry written for another process is taken for one of ours. Signals go
// through a pidfd opened and checked first, so they cannot reach a process that took the pid over
// in between.
//
// Which copy is the running one is decided by a lock in the same folder, which the running copy
// holds for its whole life: of copies started together exactly one can hold it, and the kernel
// lets go of it however the holder ends.
//
// The folder must be private to the user: one of the user's own that others were let into is made
// private again. Where it cannot be used (a file in its place, another owner's folder), the copies
// register in a fallback folder beside it instead ("<folder>-<uid>"), and a copy says so on stderr;
// where neither can be used it says that another copy may run beside it.
//
// A configuration folder may be shared by machines (a home folder on NFS). An entry records the
// machine and the boot it was written on, and is judged by /proc only there: entries of other
// machines are left to them, those of an earlier boot of this one are removed.
class InstanceRegistry {
  public:
    // `key` names what the copies share (configurationKey()).
    InstanceRegistry(std::filesystem::path directory, std::string key);
    // Acting for `self` instead of this process (tests).
    InstanceRegistry(std::filesystem::path directory, std::string key, RunningInstance self);
    ~InstanceRegistry();
    InstanceRegistry(const InstanceRegistry&) = delete;
    InstanceRegistry& operator=(const InstanceRegistry&) = delete;

    // $XDG_RUNTIME_DIR/<identifier>, else /tmp/<identifier>-<uid>: this session's own folder.
    static std::filesystem::path standardDirectory(const std::string& identifier);
    // The private folder inside the configuration folder `folder` where the copies that use it
    // register. Every copy that reads and writes that configuration finds the others there, whatever
    // its runtime folder, display or session: a folder of the session would hide them from each other.
    static std::filesystem::path configurationDirectory(const std::filesystem::path& folder);
    // The X display of $DISPLAY without its screen number (":0.0" and ":0" are one display).
    static std::string displayKey(const char* display);
    // A key for the configuration folder `folder`: the same for every spelling of its path.
    static std::string configurationKey(const std::filesystem::path& folder);

    // Adds this process and removes the entries of processes that are gone, with what copies that
    // were killed left behind (a half-written entry, a request to stop typing that nobody waits
    // for); false when no folder can be used.
    bool registerCurrentProcess();
    // Removes this process's entry (also done by the destructor).
    void unregisterCurrentProcess();
    // Gives up this copy's place, its entry and then its lock (also done by the destructor): a copy
    // waiting for the lock goes on from here, so everything it reads must be saved before.
    void release();

    // The registered instances of this key that started before this process (the newest one
    // wins), in start order. Entries of processes that are gone are removed.
    std::vector<RunningInstance> olderInstances() const;
    // The host names of the copies of this key registered on other machines, which this one can
    // neither judge nor end.
    std::vector<std::string> copiesOnOtherMachines() const;

    enum class LockAttempt { held, heldByAnother, unavailable };
    // Takes the running copy's lock without waiting and keeps it until this object ends (its file is
    // removed then). `unavailable` when the folder cannot be used.
    LockAttempt tryLock();

    // SIGTERM and SIGKILL, each only after the process was checked to be the registered one.
    bool requestTermination(const RunningInstance& instance) const;
    bool forceTermination(const RunningInstance& instance) const;
    // The signal that asks a copy to stop what it is typing (it goes on running), sent as the two
    // above are. A copy handles it, or ignores it, from before it registers.
    static constexpr int kStopTypingSignal = SIGUSR1;
    static constexpr double kStopTypingWaitSeconds = 0.5;
    // Asks the copy to stop typing and waits until it says it has (confirmTypingStopped()), for
    // kStopTypingWaitSeconds at most: whether it did.
    bool askToStopTyping(const RunningInstance& instance) const;
    // Says that this copy has stopped typing: every key it typed has reached the X server.
    void confirmTypingStopped() const;
    // Whether a copy has asked this one to stop typing (its request is there): the signal alone may
    // come from any process.
    bool isAskedToStopTyping() const;

    // What /proc says about a process now; nothing when there is no such process.
    static std::optional<RunningInstance> describeProcess(long processIdentifier);

    const RunningInstance& currentProcess() const { return self_; }
    // The folder the copies register in: the one given, or the fallback beside it (see above).
    const std::filesystem::path& directory() const;

  private:
    struct Elsewhere {
        long processIdentifier = 0;
        std::string host;
    };
    struct Entries {
        std::vector<RunningInstance> here;  // other processes of this machine that run as recorded
        std::vector<Elsewhere> elsewhere;   // entries of other machines, as they are
    };
    // Reads the entries of this key; those of processes that are gone are removed.
    Entries liveEntries() const;
    // Removes what killed copies left beside the entries `live` of running copies.
    void removeLeftovers(const Entries& live) const;
    bool signal(const RunningInstance& instance, int signalNumber) const;
    // Still running as recorded, run by this user, and holding its entry open.
    bool isCopyOfThisProgram(const RunningInstance& instance) const;
    std::filesystem::path entryPath(long processIdentifier) const;
    std::filesystem::path lockPath() const;
    // Present while a newer copy waits for the copy `processIdentifier` to stop typing.
    std::filesystem::path stopTypingPath(long processIdentifier) const;
    bool directoryIsPrivate() const;
    // Makes the folder (and the folders it lies in) when missing; whether it is private.
    bool makeDirectory() const;
    void releaseLock();

    std::filesystem::path requested_;
    std::string key_;
    RunningInstance self_;
    // Chosen at the first use, once for the copy's life: its entry and its lock stay together.
    mutable std::optional<std::filesystem::path> directory_;
    int entryFd_ = -1;  // this copy's entry, open while registered
    int lockFd_ = -1;
    mutable bool lockProblemSaid_ = false;  // that another copy may run beside this one
};

}  // namespace mosaiko
