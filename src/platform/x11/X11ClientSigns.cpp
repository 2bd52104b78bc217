#include "platform/x11/X11ClientSigns.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>

#include "platform/linux/ProcessInputWait.hpp"
#include "platform/x11/X11Display.hpp"

namespace mosaiko {

namespace {

std::string hostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) return {};
    return name.data();
}

bool answersPings(Display* display, Window window, Atom ping) {
    Atom* protocols = nullptr;
    int count = 0;
    if (!XGetWMProtocols(display, window, &protocols, &count)) return false;
    const bool pings = std::find(protocols, protocols + count, ping) != protocols + count;
    XFree(protocols);
    return pings;
}

// The process a window names as its own, where it runs on `host` and this program may look at it;
// 0 otherwise.
long localProcessOf(Display* display, Window window, Atom pidAtom, const std::string& host) {
    XTextProperty machine{};
    if (!XGetWMClientMachine(display, window, &machine)) return 0;
    const bool here = machine.value && host == reinterpret_cast<const char*>(machine.value);
    if (machine.value) XFree(machine.value);
    if (!here) return 0;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = 0;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data && format == 32 && count == 1)
        pid = *reinterpret_cast<const long*>(data);
    if (data) XFree(data);
    // Only one this program may look at tells anything.
    return pid > 0 && ProcessInputWait::of(pid) ? pid : 0;
}

// Whether process `pid` still waits for input with nothing unread, not woken since `before`.
bool stillWaiting(long pid, const ProcessInputWait& before) {
    const auto after = ProcessInputWait::of(pid);
    return after && after->waiting && after->switches == before.switches;
}

Window parentOf(Display* display, Window window) {
    Window root = None, parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return None;
    if (children) XFree(children);
    return parent;
}

}  // namespace

X11ClientSigns::X11ClientSigns(Display* display, std::function<void(unsigned long, long)> listen)
    : display_(display), listen_(std::move(listen)), host_(hostName()) {
    wmProtocols_ = XInternAtom(display, "WM_PROTOCOLS", False);
    netWmPing_ = XInternAtom(display, "_NET_WM_PING", False);
    netWmPid_ = XInternAtom(display, "_NET_WM_PID", False);
    // Clients answer a ping on the root window, some to those that follow its children (GTK),
    // others to those that follow the root itself (Qt).
    listen_(DefaultRootWindow(display), SubstructureNotifyMask | StructureNotifyMask);
}

X11ClientSigns::Reader X11ClientSigns::readerOf(unsigned long focus) {
    const Window root = DefaultRootWindow(display_);
    if (focus == None || focus == PointerRoot || focus == root) return SpareKeyReaders::kUnknown;
    if (const auto known = byFocus_.find(focus); known != byFocus_.end()) return known->second;
    X11ErrorTrap trap;  // the window may go at any moment
    Window window = focus, topLevel = focus, named = None;
    long pid = 0;
    bool pings = false;
    for (int depth = 0; window != None && window != root && depth < 32; ++depth) {
        if (answersPings(display_, window, netWmPing_)) {
            named = window;
            pings = true;
            // Its process too: whether it has done what it was sent (see isIdle()).
            pid = localProcessOf(display_, window, netWmPid_, host_);
            break;
        }
        if (named == None) {
            if (const long local = localProcessOf(display_, window, netWmPid_, host_)) {
                named = window;
                pid = local;
            }
        }
        topLevel = window;
        window = parentOf(display_, window);
    }
    const Reader reader = named != None ? named : topLevel;
    if (!clients_.count(reader)) {
        clients_[reader] = {pings, pid};
        listen_(reader, StructureNotifyMask);  // to hear of its end
    }
    byFocus_[focus] = reader;
    return reader;
}

bool X11ClientSigns::canTell(Reader reader) const {
    const auto it = clients_.find(reader);
    return it != clients_.end() && (it->second.pings || it->second.pid > 0);
}

void X11ClientSigns::ask(Reader reader, std::uint64_t typed) {
    const auto it = clients_.find(reader);
    if (it == clients_.end() || askedThrough_[reader] >= typed) return;
    askedThrough_[reader] = typed;
    if (!it->second.pings) {
        if (it->second.pid > 0) looks_[reader] = typed;
        return;
    }
    const long token = static_cast<long>(++lastToken_);
    pings_[token] = {reader, typed};
    XEvent ping{};
    ping.xclient.type = ClientMessage;
    ping.xclient.window = reader;
    ping.xclient.message_type = wmProtocols_;
    ping.xclient.format = 32;
    ping.xclient.data.l[0] = static_cast<long>(netWmPing_);
    ping.xclient.data.l[1] = token;
    ping.xclient.data.l[2] = static_cast<long>(reader);
    X11ErrorTrap trap;
    XSendEvent(display_, reader, False, NoEventMask, &ping);
    XFlush(display_);
}

bool X11ClientSigns::hasAnswered(Reader reader, const SpareKeyReaders& readers) const {
    const auto it = askedThrough_.find(reader);
    return it == askedThrough_.end() || readers.readThrough(reader) >= it->second;
}

bool X11ClientSigns::handle(const XEvent& event, SpareKeyReaders& readers) {
    if (event.type == ClientMessage && event.xclient.message_type == wmProtocols_ &&
        static_cast<Atom>(event.xclient.data.l[0]) == netWmPing_) {
        const auto answered = pings_.find(event.xclient.data.l[1]);
        if (answered == pings_.end()) return true;
        const auto [reader, typed] = answered->second;
        // A client answers in order: the pings sent to it before are answered too.
        std::erase_if(pings_, [&](const auto& ping) {
            return ping.second.first == reader && ping.first <= answered->first;
        });
        readers.read(reader, typed);
        return true;
    }
    if (event.type == DestroyNotify && clients_.count(event.xdestroywindow.window)) {
        const Reader reader = event.xdestroywindow.window;
        readers.gone(reader);
        clients_.erase(reader);
        std::erase_if(byFocus_, [&](const auto& known) { return known.second == reader; });
        askedThrough_.erase(reader);
        looks_.erase(reader);
        std::erase_if(pings_, [&](const auto& ping) { return ping.second.first == reader; });
        return true;
    }
    return false;
}

void X11ClientSigns::look(SpareKeyReaders& readers) {
    std::map<Reader, ProcessInputWait> waiting;
    for (auto it = looks_.begin(); it != looks_.end();) {
        const long pid = clients_[it->first].pid;
        const auto wait = ProcessInputWait::of(pid);
        if (!wait && !std::filesystem::exists("/proc/" + std::to_string(pid))) {
            readers.gone(it->first);  // the process has ended: it reads nothing more
            it = looks_.erase(it);
            continue;
        }
        if (wait && wait->waiting) waiting[it->first] = *wait;
        ++it;
    }
    if (waiting.empty()) return;
    // The server goes round its loop twice for this: what it still held for a client it writes at the
    // start of a round, all of it before it reads the next request, and the client then wakes. (The
    // answer of one round trip may be written just before the client's share of the same pass.)
    XSync(display_, False);
    XSync(display_, False);
    for (const auto& [reader, before] : waiting) {
        if (!stillWaiting(clients_[reader].pid, before)) continue;
        readers.read(reader, looks_[reader]);
        looks_.erase(reader);
    }
}

bool X11ClientSigns::canSeeIdle(Reader reader) const {
    const auto it = clients_.find(reader);
    return it != clients_.end() && it->second.pid > 0;
}

bool X11ClientSigns::isIdle(Reader reader) {
    const auto it = clients_.find(reader);
    if (it == clients_.end() || it->second.pid <= 0) return false;
    const auto before = ProcessInputWait::of(it->second.pid);
    if (!before || !before->waiting) return false;
    // As look(): the server's round trips give it time to write what it held for the client.
    XSync(display_, False);
    XSync(display_, False);
    return stillWaiting(it->second.pid, *before);
}

}  // namespace mosaiko
