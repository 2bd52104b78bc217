#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace mosaiko {

// What /proc tells of a process at a moment: whether it waits for input with nothing left to read
// (its main thread asleep in a poll, select or epoll wait, and none of its Unix sockets holding
// unread bytes), and how often its main thread has been switched out so far, which changes as soon
// as it wakes. Seen twice, with nothing between, it shows that a single-threaded client has
// handled everything its X server had sent it by the first look.
struct ProcessInputWait {
    bool waiting = false;
    std::uint64_t switches = 0;

    // Nothing when there is no such process, or it is not ours to look at.
    static std::optional<ProcessInputWait> of(long pid);

    // Whether a kernel wait channel (/proc/PID/wchan) is a wait for input: poll, select or epoll.
    static bool waitsForInput(std::string_view waitChannel);
    // The context switches, voluntary and not, that a /proc status text counts; nothing when it
    // names neither.
    static std::optional<std::uint64_t> switchesIn(std::string_view status);
};

}  // namespace mosaiko
