#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "platform/x11/SpareKeyReaders.hpp"

typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

namespace mosaiko {

// How a poster learns that a client has read the keys it was sent, on the poster's connection,
// whenever that is: a sign, never a clock. A client that answers pings (_NET_WM_PING) has read
// every key sent before the ping it answers. One that answers none (xterm, many older clients) but
// runs on this machine shows it by waiting for input with nothing left to read (ProcessInputWait),
// seen twice with a round trip of the server between: by then the server has written everything it
// held for the client, which would have woken it. Of a client on another machine nothing can be
// told. A client whose window goes reads nothing more.
class X11ClientSigns {
  public:
    using Reader = SpareKeyReaders::Reader;

    // `listen` adds an event mask to those the poster selects on a window.
    X11ClientSigns(Display* display, std::function<void(unsigned long window, long mask)> listen);

    // The client that reads the keys typed into `focus`, by its window: the one that answers pings
    // (the focus may rest on a child of it), else the top-level one that names its process;
    // kUnknown when the focus is on no window.
    Reader readerOf(unsigned long focus);
    // Whether `reader` can show that it has read its keys.
    bool canTell(Reader reader) const;
    // Asks `reader` for a sign that it has read the keys typed so far, the `typed`-th the last: every
    // one of them must have reached it before.
    void ask(Reader reader, std::uint64_t typed);
    // Takes an event read on the connection: an answer to a ping, or a window destroyed. Whether it
    // was one of those.
    bool handle(const XEvent& event, SpareKeyReaders& readers);
    // Looks at the clients asked that answer no ping, and tells `readers` what they have read.
    void look(SpareKeyReaders& readers);
    // Whether `reader` has shown that it read all it was asked about: one that has not may not be
    // reading its keys at all now (it may be stopped), and nothing is gained by asking again.
    bool hasAnswered(Reader reader, const SpareKeyReaders& readers) const;
    // Whether `reader` runs on this machine where this program may look at its process.
    bool canSeeIdle(Reader reader) const;
    // Whether `reader`'s process has nothing left to do with what it was sent: seen waiting for
    // input with nothing unread twice, with two round trips of the server between. A client that
    // answered a ping has read its keys, but may still have work queued for them (Writer's GTK 3
    // backend applies BackSpaces after letters read behind them); that work keeps it from waiting.
    bool isIdle(Reader reader);
    // Whether a client that answers no ping was asked and has not shown its sign yet: only looking
    // tells that, no event.
    bool isLooking() const { return !looks_.empty(); }

  private:
    struct Client {
        bool pings = false;
        long pid = 0;  // a process of this machine's this program may look at
    };

    Display* display_;
    std::function<void(unsigned long, long)> listen_;
    unsigned long wmProtocols_ = 0, netWmPing_ = 0, netWmPid_ = 0;  // atoms
    std::string host_;
    std::map<Reader, Client> clients_;
    std::map<unsigned long, Reader> byFocus_;                 // the reader found for a focus window
    std::map<long, std::pair<Reader, std::uint64_t>> pings_;  // by token: to whom, through which key
    unsigned long lastToken_ = 0;
    std::map<Reader, std::uint64_t> askedThrough_;  // the last key a ping or a look asked about
    std::map<Reader, std::uint64_t> looks_;         // those to look at, through which key
};

}  // namespace mosaiko
