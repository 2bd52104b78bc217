#pragma once

#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/X11Display.hpp"

namespace mosaiko {

// What a key meant when it was pressed, on a key whose mapping a client changes and changes back
// at once. Tools that type characters off the keyboard map a spare key for a moment, press it and
// give it back (or map it to the next character) within milliseconds; a mapping change is announced
// without its contents, so whoever reads the keys later, the key tap under load among them, asks the
// server and gets what the key means now. The server's RECORD extension reports every client's
// mapping requests with their contents and every key press, in the order the server took them, on
// a connection of the recorder's own: from that the recorder knows the mapping each press was typed
// under. It answers only for keys a client's request has remapped since it started.
// Presses are recorded only while asked for (recordPresses): the server then reports every key typed
// on the desktop, which makes each reach its application several times later. What a press meant
// matters once it may wait behind a held one, while the tap holds keys wholesale; otherwise the
// server handles it as it comes, under the mapping the tap reads with it. While presses are
// recorded, the recorder's thread does not wait on its connection: the server writes the report of
// a press before it hands the press to the application, and a thread it wakes there delays that
// (on a virtual machine, by tens of microseconds). The reports are read when a press is asked
// about, and once a second.
class X11KeymapRecorder {
  public:
    struct Typed {
        std::vector<unsigned long> keysyms;  // the key's keysyms, level by level, when it was pressed
        bool remappedSince = false;          // a later request changed them
    };

    // nullptr when the display cannot be opened twice or lacks RECORD.
    static std::unique_ptr<X11KeymapRecorder> start(const std::string& displayName);
    ~X11KeymapRecorder();
    X11KeymapRecorder(const X11KeymapRecorder&) = delete;
    X11KeymapRecorder& operator=(const X11KeymapRecorder&) = delete;

    // What the press of `keycode` at server time `time` (milliseconds) was typed under, on a key a
    // client has remapped, asked once for each press; none for any other key, or when the press
    // has not been seen within `waitSeconds` (its report comes on another connection, which may
    // lag).
    std::optional<Typed> typed(unsigned keycode, unsigned long time, double waitSeconds);

    // Starts or stops recording presses from `serverTime` (the latest the caller has seen, 0 when
    // none yet) on. Starting returns once the server records them; typed() answers at once, with
    // none, for a press typed while presses went unrecorded.
    void recordPresses(bool on, unsigned long serverTime);

  private:
    struct Press {
        unsigned keycode = 0;
        std::uint32_t time = 0;
        bool remapped = false;
        bool taken = false;                  // asked about already
        std::vector<unsigned long> keysyms;  // when remapped
    };

    X11KeymapRecorder(std::unique_ptr<X11Display> control, std::unique_ptr<X11Display> data);
    void run();
    void wake() const;
    // Takes in one recorded request or event, as the server sent it.
    void take(bool fromClient, bool swapped, const unsigned char* data, std::size_t length);
    void takeMapping(bool swapped, const unsigned char* request, std::size_t length);
    // Whether presses are recorded now: the last span is open. Called with the mutex held.
    bool recordingPresses() const;
    // Whether a press at server time `time` was typed while presses were recorded.
    bool recordedAt(std::uint32_t time) const;

    std::unique_ptr<X11Display> control_, data_;
    unsigned long context_ = 0;  // XRecordContext
    int xkbOpcode_ = -1;
    std::thread thread_;

    std::mutex mutex_;
    std::condition_variable seen_;
    std::vector<std::vector<unsigned long>> mapping_ = std::vector<std::vector<unsigned long>>(256);
    std::bitset<256> remapped_;  // keys a recorded request has mapped (and that no layout change reset)
    static constexpr std::size_t kPresses = 256;
    std::deque<Press> presses_;  // the last presses, in order
    // The last spans of server time in which presses were recorded (an open end while they are).
    struct Span {
        std::optional<std::uint32_t> from;  // none: before the first time the caller saw
        std::optional<std::uint32_t> to;
    };
    static constexpr std::size_t kSpans = 16;
    std::deque<Span> spans_;
    bool started_ = false, ended_ = false;
    bool stopping_ = false;
    int asking_ = 0;   // typed() calls waiting for a press to be read
    // Reads of the connection begun and done: an answer waits for one begun after the question, so
    // that it knows of every request the server recorded before it was asked.
    std::uint64_t readsBegun_ = 0, readsDone_ = 0;
    int wakeFd_ = -1;  // wakes the thread from waiting
};

}  // namespace mosaiko
