#include "platform/x11/X11KeyTap.hpp"

// Qt's headers come before Xlib's, whose macros (Bool, Status, None) clash with them.
#include <QCoreApplication>
#include <QMetaObject>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/MainLoop.hpp"
#include "platform/x11/X11Display.hpp"
#include "platform/x11/X11KeyTranslator.hpp"

namespace mosaiko {

// State shared by the tap, its thread and the tasks it posts to the main thread; the tasks hold it
// so that they stay harmless after the tap is gone.
struct X11KeyTap::Shared {
    Callback callback;
    std::atomic<bool> alive{true};
    std::atomic<bool> enabled{true};

    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t waitingFor = 0;  // the press the thread waits on; 0 when none
    std::optional<bool> answer;
    bool stopping = false;
    bool ready = false;
};

namespace {

using Shared = X11KeyTap::Shared;

bool callGuarded(const Shared& shared, const KeyEvent& event) {
    try {
        return shared.callback ? shared.callback(event) : false;
    } catch (...) {
        return false;  // a failing callback lets the key through
    }
}

void toMainThread(std::function<void()> task) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
    }
}

// The callback's answer for press `sequence`, unless the thread stopped waiting for it.
void deliverPress(const std::shared_ptr<Shared>& shared, std::uint64_t sequence, const KeyEvent& event) {
    if (!shared->alive) return;
    {
        std::lock_guard lock(shared->mutex);
        if (shared->waitingFor != sequence) return;  // it already passed
    }
    const bool drop = callGuarded(*shared, event);
    std::lock_guard lock(shared->mutex);
    if (shared->waitingFor == sequence) {
        shared->answer = drop;
        shared->changed.notify_all();
    }
}

// An event the callback learns of after the fact; its answer does not matter.
void deliverNotice(const std::shared_ptr<Shared>& shared, const KeyEvent& event) {
    if (shared->alive) callGuarded(*shared, event);
}

}  // namespace

std::unique_ptr<X11KeyTap> X11KeyTap::create(Callback callback, Options options) {
    if (!QCoreApplication::instance()) return nullptr;
    auto display = X11Display::open(options.displayName);
    if (!display) return nullptr;
    if (!options.ledger) options.ledger = PostedKeyLedger::shared();
    auto shared = std::make_shared<Shared>();
    shared->callback = std::move(callback);
    return std::unique_ptr<X11KeyTap>(
        new X11KeyTap(std::move(display), std::move(shared), std::move(options)));
}

X11KeyTap::X11KeyTap(std::unique_ptr<X11Display> display, std::shared_ptr<Shared> shared, Options options)
    : display_(std::move(display)),
      shared_(std::move(shared)),
      options_(std::move(options)),
      wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

X11KeyTap::~X11KeyTap() {
    detachFromMainLoop();
    shared_->alive = false;
    if (wakeFd_ >= 0) close(wakeFd_);
}

void X11KeyTap::attachToMainLoop() {
    if (thread_.joinable() || !display_->isConnected()) return;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = false;
        shared_->ready = false;
    }
    thread_ = std::thread([this] { run(); });
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait(lock, [&] { return shared_->ready; });
}

void X11KeyTap::detachFromMainLoop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
        shared_->changed.notify_all();
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wakeFd_, &one, sizeof one);
    thread_.join();
}

void X11KeyTap::setEnabled(bool enabled) {
    shared_->enabled = enabled;
}

namespace {

// Grabs every keycode with any modifiers; where another client already holds a combination of a
// key, grabs that key's other combinations one by one and leaves the held ones to their owner.
void placeGrabs(Display* display) {
    int minKeycode = 0, maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    const Window root = DefaultRootWindow(display);
    X11ErrorTrap trap;
    std::vector<std::pair<unsigned long, int>> requests;
    for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
        requests.emplace_back(NextRequest(display), keycode);
        XGrabKey(display, keycode, AnyModifier, root, False, GrabModeAsync, GrabModeSync);
    }
    XSync(display, False);
    std::vector<int> contested;
    for (const auto& error : trap.errors()) {
        for (const auto& [serial, keycode] : requests) {
            if (serial == error.serial) contested.push_back(keycode);
        }
    }
    trap.clear();
    for (int keycode : contested) {
        for (unsigned modifiers = 0; modifiers < 256; ++modifiers) {
            XGrabKey(display, keycode, modifiers, root, False, GrabModeAsync, GrabModeSync);
        }
    }
    XSync(display, False);
}

// Removes our grabs and lets every press caught before that through.
void removeGrabs(Display* display) {
    X11ErrorTrap trap;
    XUngrabKey(display, AnyKey, AnyModifier, DefaultRootWindow(display));
    XSync(display, False);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == KeyPress) XAllowEvents(display, ReplayKeyboard, CurrentTime);
    }
    XSync(display, False);
}

}  // namespace

void X11KeyTap::run() {
    Display* display = display_->get();
    X11KeyTranslator translator(display);
    int xkbOpcode = 0, xkbEventBase = 0, xkbErrorBase = 0, xkbMajor = XkbMajorVersion,
        xkbMinor = XkbMinorVersion;
    const bool hasXkb =
        XkbQueryExtension(display, &xkbOpcode, &xkbEventBase, &xkbErrorBase, &xkbMajor, &xkbMinor);
    if (hasXkb) {
        XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbModifierStateMask,
                              XkbModifierStateMask);
    }
    placeGrabs(display);
    {
        std::lock_guard lock(shared_->mutex);
        shared_->ready = true;
        shared_->changed.notify_all();
    }

    const auto timeout = std::chrono::duration<double>(options_.answerTimeoutSeconds);
    std::uint64_t sequence = 0;
    std::uint64_t lastFlags = 0;  // of the last key or modifier event
    auto stopping = [&] {
        std::lock_guard lock(shared_->mutex);
        return shared_->stopping;
    };
    auto now = [] { return SystemClock::shared().uptime(); };

    while (!stopping() && display_->isConnected()) {
        if (XPending(display) == 0) {
            pollfd fds[2] = {{display_->fileDescriptor(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
            poll(fds, 2, -1);
            if (fds[1].revents & POLLIN) {
                std::uint64_t count = 0;
                [[maybe_unused]] const auto got = read(wakeFd_, &count, sizeof count);
            }
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);

        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            translator.refresh();
            continue;
        }
        if (hasXkb && event.type == xkbEventBase) {
            const auto* xkb = reinterpret_cast<const XkbEvent*>(&event);
            if (xkb->any.xkb_type == XkbStateNotify && xkb->state.event_type == KeyRelease &&
                translator.isModifierKeycode(xkb->state.keycode)) {
                // A lock key changes the flags when pressed, though the server applies it on release.
                KeyEvent release = translator.modifierRelease(xkb->state.keycode, xkb->state.mods);
                if (release.modifierFlags != lastFlags && shared_->enabled) {
                    toMainThread([shared = shared_, release] { deliverNotice(shared, release); });
                }
                lastFlags = release.modifierFlags;
            }
            continue;
        }
        if (event.type != KeyPress) continue;

        KeyEvent keyEvent = translator.press(event.xkey.keycode, event.xkey.state);
        lastFlags = keyEvent.modifierFlags;
        const auto claimed = options_.ledger->claim(event.xkey.keycode, now());
        if (claimed && *claimed == PostedKeyLedger::retypedUserData) {
            // The handler has had this press already.
            XAllowEvents(display, ReplayKeyboard, CurrentTime);
            XFlush(display);
            continue;
        }
        if (claimed) keyEvent.userData = *claimed;

        if (!shared_->enabled || (claimed && *claimed == kEventMarker)) {
            XAllowEvents(display, ReplayKeyboard, CurrentTime);
            XFlush(display);
            if (shared_->enabled) {
                toMainThread([shared = shared_, keyEvent] { deliverNotice(shared, keyEvent); });
            }
            continue;
        }

        // A key typed while the program types would overtake its text: if it passes, the poster
        // types it again after the text.
        const bool overtakes = keyEvent.type == KeyEvent::Type::keyDown && options_.ledger->isTyping(now());
        const std::uint64_t press = ++sequence;
        {
            std::lock_guard lock(shared_->mutex);
            shared_->waitingFor = press;
            shared_->answer.reset();
        }
        toMainThread([shared = shared_, press, keyEvent] { deliverPress(shared, press, keyEvent); });
        std::optional<bool> answer;
        {
            std::unique_lock lock(shared_->mutex);
            shared_->changed.wait_for(lock, timeout,
                                      [&] { return shared_->answer.has_value() || shared_->stopping; });
            answer = shared_->answer;
            shared_->waitingFor = 0;
        }
        const bool drop = answer.value_or(false);
        if (drop || (overtakes && options_.ledger->retypeLater(event.xkey.keycode))) {
            // Dropped. Ending the grab now, rather than when the key goes up, lets the release
            // and whatever we post next reach the application instead of us.
            XUngrabKeyboard(display, CurrentTime);
        } else {
            XAllowEvents(display, ReplayKeyboard, CurrentTime);
        }
        XFlush(display);
        if (!answer && !stopping() && shared_->enabled.exchange(false)) {
            KeyEvent notice;
            notice.type = KeyEvent::Type::tapDisabledByTimeout;
            toMainThread([shared = shared_, notice] { deliverNotice(shared, notice); });
        }
    }
    if (display_->isConnected()) removeGrabs(display);
}

std::unique_ptr<KeyTapPort> createX11KeyTapPort(KeyTapPort::Callback callback) {
    return X11KeyTap::create(std::move(callback), {});
}

}  // namespace mosaiko
