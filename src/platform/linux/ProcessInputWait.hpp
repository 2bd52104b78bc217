#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace mosaiko {

// What /proc tells of a process at a moment: whether it waits for input in its event loop with
// nothing left to read (its main thread asleep in a select or epoll wait, or a poll on more than one
// descriptor, or on one that is no socket, and none of its Unix sockets holding unread bytes), and
// how often its main thread has been switched out so far, which changes as soon as it wakes. A poll
// on one socket alone is how Xlib and XCB wait for the answer to a request, in the middle of their
// work: that is no sign. A poll on one descriptor that is no socket is how Qt's and GLib's main loop
// wait where another thread reads the X connection: on their wake-up descriptor alone. Seen twice,
// with nothing between, it shows that a client has handled everything its X server had sent it by
// the first look. Needs to read the process's system call (/proc/PID/syscall) and, for a poll on one
// descriptor, its memory, which some systems allow only for a program's own children.
struct ProcessInputWait {
    bool waiting = false;
    std::uint64_t switches = 0;

    // Nothing when there is no such process, or it is not ours to look at.
    static std::optional<ProcessInputWait> of(long pid);

    // How a thread's system call as /proc tells it ("270 0x5 0x7ff…", "running") waits: in the wait
    // of an event loop, in a poll on one descriptor (whose pollfd lies at `pollAddress` in the
    // thread's memory), or not for input.
    struct Call {
        enum Kind { other, eventLoop, onePoll } kind = other;
        std::uint64_t pollAddress = 0;
        bool operator==(const Call&) const = default;
    };
    static Call waitIn(std::string_view systemCall);
    // The context switches, voluntary and not, that a /proc status text counts; nothing when it
    // names neither.
    static std::optional<std::uint64_t> switchesIn(std::string_view status);
};

}  // namespace mosaiko
