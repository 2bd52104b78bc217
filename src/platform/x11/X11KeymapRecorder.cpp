#include "platform/x11/X11KeymapRecorder.hpp"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace mosaiko {

namespace {

// XKB's request that replaces keys' symbols (a layout change): the recorder does not read it.
constexpr unsigned char kXkbSetMap = 9;

// How long the reports of presses may wait unread when nobody asks about one: a second of typing
// is little to hold for the server.
constexpr int kUnreadMs = 1000;

std::uint32_t card32(const unsigned char* p, bool swapped) {
    const std::uint32_t value = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                static_cast<std::uint32_t>(p[2]) << 16 |
                                static_cast<std::uint32_t>(p[3]) << 24;
    const bool bigEndianHost = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;
    if (bigEndianHost == swapped) return value;  // the data is little-endian
    return (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
}

// Server times wrap around: compared by their difference.
bool later(std::uint32_t a, std::uint32_t b) {
    return static_cast<std::int32_t>(a - b) > 0;
}

// Every client's mapping requests, and with `presses` every key press.
void fillRange(XRecordRange& range, int xkbOpcode, bool presses) {
    range.core_requests.first = range.core_requests.last = X_ChangeKeyboardMapping;
    if (presses) range.device_events.first = range.device_events.last = KeyPress;
    if (xkbOpcode > 0) {
        range.ext_requests.ext_major.first = range.ext_requests.ext_major.last =
            static_cast<unsigned char>(xkbOpcode);
        range.ext_requests.ext_minor.first = range.ext_requests.ext_minor.last = kXkbSetMap;
    }
}

}  // namespace

std::unique_ptr<X11KeymapRecorder> X11KeymapRecorder::start(const std::string& displayName) {
    auto control = X11Display::open(displayName);
    auto data = control ? X11Display::open(displayName) : nullptr;
    if (!data) return nullptr;
    int major = 0, minor = 0;
    if (!XRecordQueryVersion(control->get(), &major, &minor)) return nullptr;
    std::unique_ptr<X11KeymapRecorder> recorder(new X11KeymapRecorder(std::move(control), std::move(data)));
    return recorder->context_ != 0 ? std::move(recorder) : nullptr;
}

X11KeymapRecorder::X11KeymapRecorder(std::unique_ptr<X11Display> control, std::unique_ptr<X11Display> data)
    : control_(std::move(control)), data_(std::move(data)), wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    Display* display = control_->get();
    int event = 0, error = 0;
    XQueryExtension(display, "XKEYBOARD", &xkbOpcode_, &event, &error);
    XRecordRange* range = XRecordAllocRange();
    if (!range) return;
    fillRange(*range, xkbOpcode_, false);
    XRecordClientSpec clients = XRecordAllClients;
    X11ErrorTrap trap;
    context_ = XRecordCreateContext(display, 0, &clients, 1, &range, 1);
    XFree(range);
    XSync(display, False);  // the context exists before the other connection enables it
    if (!trap.empty()) context_ = 0;
    if (context_ == 0) return;
    // The recording starts before this returns: no request or press after it is missed.
    thread_ = std::thread([this] { run(); });
    std::unique_lock lock(mutex_);
    seen_.wait(lock, [this] { return started_ || ended_; });
}

X11KeymapRecorder::~X11KeymapRecorder() {
    if (thread_.joinable()) {
        if (control_->isConnected()) {
            XRecordDisableContext(control_->get(), context_);
            XSync(control_->get(), False);
        }
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;  // the end of the recording is read at once
        }
        wake();
        thread_.join();
        if (control_->isConnected()) {
            XRecordFreeContext(control_->get(), context_);
            XSync(control_->get(), False);
        }
    }
    if (wakeFd_ >= 0) close(wakeFd_);
}

void X11KeymapRecorder::wake() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wakeFd_, &one, sizeof one);
}

void X11KeymapRecorder::run() {
    auto intercept = [](XPointer closure, XRecordInterceptData* recorded) {
        auto* self = reinterpret_cast<X11KeymapRecorder*>(closure);
        if (recorded->category == XRecordStartOfData) {
            std::lock_guard lock(self->mutex_);
            self->started_ = true;
            self->seen_.notify_all();
        } else if (recorded->category == XRecordFromClient || recorded->category == XRecordFromServer) {
            self->take(recorded->category == XRecordFromClient, recorded->client_swapped != 0, recorded->data,
                       static_cast<std::size_t>(recorded->data_len) * 4);
        } else if (recorded->category == XRecordEndOfData) {
            std::lock_guard lock(self->mutex_);
            self->ended_ = true;
        }
        XRecordFreeData(recorded);
    };
    Display* display = data_->get();
    if (wakeFd_ >= 0 &&
        XRecordEnableContextAsync(display, context_, intercept, reinterpret_cast<XPointer>(this))) {
        XFlush(display);
        while (data_->isConnected()) {
            {
                std::lock_guard lock(mutex_);
                ++readsBegun_;
            }
            XRecordProcessReplies(display);  // whatever has come in, without waiting
            bool unattended = false;
            {
                std::lock_guard lock(mutex_);
                ++readsDone_;
                seen_.notify_all();
                if (ended_) break;
                unattended = started_ && recordingPresses() && asking_ == 0 && !stopping_;
            }
            // Unattended, the connection is not waited on: whatever comes stays unread for a while.
            pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {data_->fileDescriptor(), POLLIN, 0}};
            poll(fds, unattended ? 1 : 2, unattended ? kUnreadMs : -1);
            if (fds[0].revents & POLLIN) {
                std::uint64_t count = 0;
                [[maybe_unused]] const auto got = read(wakeFd_, &count, sizeof count);
            }
        }
    } else if (wakeFd_ < 0) {
        XRecordEnableContext(display, context_, intercept, reinterpret_cast<XPointer>(this));
    }
    std::lock_guard lock(mutex_);
    ended_ = true;
    seen_.notify_all();
}

void X11KeymapRecorder::take(bool fromClient, bool swapped, const unsigned char* data, std::size_t length) {
    if (length < 8) return;
    std::lock_guard lock(mutex_);
    if (fromClient) {
        if (data[0] == X_ChangeKeyboardMapping) {
            takeMapping(swapped, data, length);
        } else if (static_cast<int>(data[0]) == xkbOpcode_ && data[1] == kXkbSetMap) {
            // A new layout: what the requests mapped before may be gone, and this one is not read.
            remapped_.reset();
        }
        return;
    }
    // A key press as the server took it in (an xEvent: type, detail, sequence, time).
    if ((data[0] & 0x7F) != KeyPress) return;
    Press press;
    press.keycode = data[1];
    press.time = card32(data + 4, false);
    press.remapped = remapped_.test(press.keycode);
    if (press.remapped) press.keysyms = mapping_[press.keycode];
    presses_.push_back(std::move(press));
    if (presses_.size() > kPresses) presses_.pop_front();
}

void X11KeymapRecorder::takeMapping(bool swapped, const unsigned char* request, std::size_t length) {
    // ChangeKeyboardMapping: opcode, key count, length, first key, keysyms per key, pad, keysyms.
    const std::size_t keys = request[1], first = request[4], perKey = request[5];
    if (length < 8 + keys * perKey * 4) return;
    for (std::size_t i = 0; i < keys && first + i < mapping_.size(); ++i) {
        std::vector<unsigned long> keysyms;
        for (std::size_t level = 0; level < perKey; ++level)
            keysyms.push_back(card32(request + 8 + (i * perKey + level) * 4, swapped));
        while (!keysyms.empty() && keysyms.back() == NoSymbol) keysyms.pop_back();
        mapping_[first + i] = std::move(keysyms);
        remapped_.set(first + i);
    }
}

void X11KeymapRecorder::recordPresses(bool on, unsigned long serverTime) {
    const auto time = static_cast<std::uint32_t>(serverTime);
    {
        std::lock_guard lock(mutex_);
        if (on == recordingPresses() || ended_) return;
        if (on) {
            spans_.push_back({time != 0 ? std::optional(time) : std::nullopt, std::nullopt});
            if (spans_.size() > kSpans) spans_.pop_front();
        } else {
            spans_.back().to = time;
        }
    }
    wake();  // stops or starts waiting on the connection before the first press comes
    Display* display = control_->get();
    XRecordRange* range = XRecordAllocRange();
    if (!range) return;
    fillRange(*range, xkbOpcode_, on);
    // Registering the clients again replaces what the context records of them, at once: no mapping
    // request goes unrecorded in between.
    XRecordClientSpec clients = XRecordAllClients;
    XRecordRegisterClients(display, context_, 0, &clients, 1, &range, 1);
    XFree(range);
    if (on) {
        XSync(display, False);
    } else {
        XFlush(display);
    }
}

bool X11KeymapRecorder::recordingPresses() const {
    return !spans_.empty() && !spans_.back().to;
}

bool X11KeymapRecorder::recordedAt(std::uint32_t time) const {
    return std::any_of(spans_.begin(), spans_.end(), [&](const Span& span) {
        return (!span.from || !later(*span.from, time)) && (!span.to || !later(time, *span.to));
    });
}

std::optional<X11KeymapRecorder::Typed> X11KeymapRecorder::typed(unsigned keycode, unsigned long time,
                                                                 double waitSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(waitSeconds);
    const auto at = static_cast<std::uint32_t>(time);
    std::unique_lock lock(mutex_);
    if (!recordedAt(at)) return std::nullopt;
    // The press's report may wait unread: the thread reads the connection while anybody asks.
    ++asking_;
    wake();
    struct Asked {
        int& asking;
        ~Asked() { --asking; }
    } asked{asking_};
    // A mapping request the server took in after the press, before this question, tells that the
    // press typed something else than the key types now; the answer waits for a whole read begun
    // after the question, which has it.
    const std::uint64_t read = readsBegun_ + 1;
    if (!seen_.wait_until(lock, deadline, [&] { return readsDone_ >= read || ended_; })) return std::nullopt;
    while (true) {
        // A tool may press the same key twice in one millisecond, under two mappings: each press
        // asked about takes the first one not taken yet.
        for (auto it = presses_.begin(); it != presses_.end(); ++it) {
            if (it->keycode != keycode || it->time != at || it->taken) continue;
            it->taken = true;
            if (!it->remapped) return std::nullopt;
            return Typed{it->keysyms, mapping_[keycode] != it->keysyms || !remapped_.test(keycode)};
        }
        // Presses come in the server's order: one after it means this one went by unrecorded.
        if (ended_ || (!presses_.empty() && later(presses_.back().time, at))) return std::nullopt;
        if (seen_.wait_until(lock, deadline) == std::cv_status::timeout) return std::nullopt;
    }
}

}  // namespace mosaiko
