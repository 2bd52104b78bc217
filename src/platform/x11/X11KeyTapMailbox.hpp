#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/KeyHolds.hpp"
#include "platform/KeyTapPort.hpp"
#include "platform/KeyTapRules.hpp"

namespace mosaiko {

// State shared by the tap, its thread and the tasks it posts to the main thread; the tasks hold it
// so that they stay harmless after the tap is gone. The main thread hands its answers, holds,
// marks and switches to the tap's thread here; the tap's thread hands the events, and what waited
// for holds in place, to the main thread through it.
class X11KeyTapMailbox : public std::enable_shared_from_this<X11KeyTapMailbox> {
  public:
    KeyTapPort::Callback callback;
    std::atomic<bool> alive{true};
    // The held press the thread waits for an answer on, with kTakenUp once the main thread is
    // deciding it; 0 when none.
    std::atomic<std::uint64_t> waitingFor{0};
    static constexpr std::uint64_t kTakenUp = std::uint64_t{1} << 63;
    // How many events the main thread has handled: whether it is making progress.
    std::atomic<std::uint64_t> handled{0};
    int wakeFd = -1;

    // What the main thread hands to the tap's thread.
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<std::uint64_t, bool>> answers;
    KeyHolds holds;
    std::uint64_t holdsVersion = 0, holdsApplied = 0;
    std::vector<std::pair<std::int64_t, std::uint64_t>> marks;  // with the holds' version then
    // What waits for holds to be in place, by the version it waits for.
    std::vector<std::pair<std::uint64_t, std::function<void()>>> whenHeld;
    std::optional<bool> enable;
    bool stopping = false;
    bool running = false;

    void wake() const;

    // The rest runs on the tap's thread.

    // Hands an event to the callback on the main thread; for a held press, sends the answer back.
    void deliver(std::uint64_t id, KeyEvent event, bool asks);
    // Hands an event to the callback for the rules: a press asked about is the one waited on.
    void ask(std::uint64_t id, const KeyEvent& event, bool asks);
    // Where the main thread stands with press `id` once its time is up; withdraws the question
    // when it has not moved since.
    KeyTapRules::Progress progress(std::uint64_t id, bool mayWait);
    // Reports a mark to the callback.
    void sendMark(std::int64_t token);
    // Hands what waited for the holds in place (for anything, once the tap has stopped) to the main
    // thread.
    void announceHeld();

  private:
    std::uint64_t handledBefore_ = 0;  // the main thread's count when it was last looked at
};

}  // namespace mosaiko
