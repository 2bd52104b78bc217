#include "platform/x11/X11KeyTap.hpp"

// Qt's headers come before Xlib's, whose macros (Bool, Status, None) clash with them.
#include <QCoreApplication>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "platform/KeyTapRules.hpp"
#include "platform/MainLoop.hpp"
#include "platform/x11/X11Display.hpp"
#include "platform/x11/X11KeyTapHolds.hpp"
#include "platform/x11/X11KeyTapMailbox.hpp"
#include "platform/x11/X11KeyTapMappings.hpp"
#include "platform/x11/X11KeyTapModifiers.hpp"
#include "platform/x11/X11KeyTapPresses.hpp"
#include "platform/x11/X11KeyTranslator.hpp"
#include "platform/x11/X11KeymapRecorder.hpp"

namespace mosaiko {

namespace {

double now() {
    return SystemClock::shared().uptime();
}

// A server time (milliseconds) in seconds.
double seconds(Time time) {
    return static_cast<double>(time) / 1000.0;
}

// The tap's connection as its thread uses it: what it observes, the grabs it holds, and the
// server's side of the rules.
class TapConnection final : public KeyTapRules::Server {
  public:
    TapConnection(X11Display& display, std::shared_ptr<X11KeyTapMailbox> shared,
                  const X11KeyTap::Options& options)
        : display_(display),
          d_(display.get()),
          shared_(std::move(shared)),
          ledger_(options.ledger),
          translator_(d_),
          modifiers_(d_, translator_),
          mappings_(d_, translator_, *ledger_),
          presses_(*ledger_),
          holds_(d_, translator_, *ledger_, modifiers_, presses_, options.answerDelaySeconds),
          rules_(
              *this, ownKeys(options.ledger),
              [this](std::uint64_t id, const KeyEvent& event, bool asks) { shared_->ask(id, event, asks); },
              options.answerTimeoutSeconds,
              [this](std::uint64_t id, bool mayWait) { return shared_->progress(id, mayWait); }) {
        int event = 0, error = 0;
        XQueryExtension(d_, "XInputExtension", &xiOpcode_, &event, &error);
        unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(mask, XI_RawKeyPress);
        XISetMask(mask, XI_RawKeyRelease);  // which keys are down, for their repeats
        // The keyboards' own presses and releases too, which come as they are typed (see
        // typedState and noteTypedDown).
        unsigned char pressMask[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(pressMask, XI_RawKeyPress);
        XISetMask(pressMask, XI_RawKeyRelease);
        XIEventMask events[] = {{XIAllMasterDevices, sizeof mask, mask},
                                {XIAllDevices, sizeof pressMask, pressMask}};
        XISelectEvents(d_, DefaultRootWindow(d_), events, 2);
        presses_.findPosterKeyboards(d_);
        // Which window is the active one, and since when (a window manager names it).
        activeWindowAtom_ = XInternAtom(d_, "_NET_ACTIVE_WINDOW", False);
        XSelectInput(d_, DefaultRootWindow(d_), PropertyChangeMask);

        modifiers_.observe();
        // Nothing is known to be down yet: what an earlier tap saw may have gone up since.
        ledger_->setUserKeysDown({});
        XSync(d_, False);
    }

    KeyTapRules& rules() { return rules_; }

    // Reads and handles every event that has arrived. With a mark, reports it before the first
    // event the server sent once it had handled request `mark->second` or later.
    void readEvents(std::optional<std::pair<std::int64_t, unsigned long>> mark = std::nullopt) {
        while (display_.isConnected() && XPending(d_) > 0) {
            if (XEventsQueued(d_, QueuedAlready) > 1) mappings_.readAnnounced();
            XEvent event;
            XNextEvent(d_, &event);
            lastReadSerial_ = std::max(lastReadSerial_, event.xany.serial);
            if (mark && event.xany.serial >= mark->second) {
                shared_->sendMark(mark->first);
                mark.reset();
            }
            handle(event);
        }
        if (mark) shared_->sendMark(mark->first);
        if (dropBefore_ && !holds_.frozen() && rules_.waitingPress() == 0) endDroppingBefore();
    }

    // Holds of `version` are placed from the next request on.
    void placingHolds(std::uint64_t version) { latestHolds_ = {version, NextRequest(d_)}; }

    // Reports a mark asked for after holds of `version`. Once every key the server handled before
    // they took effect has been reported: those come before the answer to a round trip, and a key it
    // handled after them comes after the mark, even when it is in before that answer. That holds
    // while nothing the server sent after them has been read yet, however much later the mark was
    // asked for; otherwise the mark comes after what has come in.
    void reportMark(std::int64_t token, std::uint64_t version) {
        unsigned long after = ULONG_MAX;
        if (latestHolds_ && latestHolds_->first == version && lastReadSerial_ < latestHolds_->second)
            after = latestHolds_->second;
        XSync(d_, False);
        readEvents(std::make_pair(token, after));
    }

    // Lets every press go on and gives up every grab.
    void shutDown() {
        rules_.stop();
        if (!display_.isConnected()) return;
        X11ErrorTrap trap;
        holds_.releaseAll();
        // Nothing typed while detached is reported once attached again.
        unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
        XIEventMask events[] = {{XIAllMasterDevices, sizeof mask, mask}, {XIAllDevices, sizeof mask, mask}};
        XISelectEvents(d_, DefaultRootWindow(d_), events, 2);
        modifiers_.stopObserving();
        XSync(d_, False);
        while (XPending(d_) > 0) {
            XEvent event;
            XNextEvent(d_, &event);
            if (event.type == GenericEvent && event.xcookie.extension == xiOpcode_) {
                rawEvent(event, [](unsigned, Time) {});
            } else if (event.type == KeyPress) {
                if (presses_.isRepeatAfterRelease(event.xkey.keycode, event.xkey.time)) {
                    holds_.letUp(event.xkey.keycode);
                } else {
                    XAllowEvents(d_, ReplayKeyboard, CurrentTime);
                }
            }
        }
        XSync(d_, False);
    }

    // KeyTapRules::Server
    void replay() override {
        shared_->waitingFor = 0;
        holds_.letGo(true);
    }
    void drop() override {
        shared_->waitingFor = 0;
        holds_.letGo(false);
    }
    void dropTypedForAnotherWindow() override {
        // The presses typed before the change wait behind this one: every key is grabbed before
        // the keyboard goes on, so that they come here, to be dropped too, whatever the holds.
        dropBefore_ = windowChangedAt_;
        placeGrabs();
        drop();
    }
    // Takes in the recorder, made meanwhile (none without RECORD), for the holds in place and after.
    void takeRecorder(std::unique_ptr<X11KeymapRecorder> recorder) {
        mappings_.takeRecorder(std::move(recorder), holds_.current(), lastRawTime_);
    }

    void hold(const KeyHolds& holds) override {
        holds_.set(holds);
        // Before the grabs that may keep presses waiting: what a tool typed on a key it remapped
        // for the moment may come out of the wait under another mapping.
        mappings_.recordPresses(holds, lastRawTime_);
        placeGrabs();
        holds_.placeRepeatGrabs();
    }

  private:
    KeyTapRules::OwnKeys ownKeys(std::shared_ptr<PostedKeyLedger> ledger) {
        return {[this, ledger](unsigned keycode, double at) {
                    const bool lost = std::exchange(pressLost_, false);
                    const auto modifiers = std::exchange(pressModifiers_, std::nullopt);
                    const auto typedAt = std::exchange(pressTime_, std::nullopt);
                    auto own =
                        presses_.posterMayHaveTyped()
                            ? ledger->claim(keycode, at, lost, modifiers, mappings_.heldNow(keycode), typedAt)
                            : std::nullopt;
                    claimed_ = own.has_value();
                    return own;
                },
                [ledger](double at) { return ledger->isTyping(at); },
                [this](unsigned keycode, unsigned state) { return retypeLater(keycode, state); }};
    }

    // The press typed again after the program's text, with the modifiers it was typed with, what
    // it typed when it came (its key may mean something else by then), and the window it went to.
    // Of the modifiers that keys hold, only those the user holds count: a Shift in the state may be
    // the program's own, pressed for a capital of its text, and the press then typed what it would
    // not have typed for the user.
    bool retypeLater(unsigned keycode, unsigned state) {
        constexpr unsigned kHeld = ShiftMask | ControlMask | Mod1Mask | Mod3Mask | Mod4Mask | Mod5Mask;
        const unsigned users =
            (state & ~kHeld) | (state & kHeld & translator_.modifiersOf(presses_.userKeysDown()));
        const std::string characters =
            users == state ? presses_.typed(keycode) : translator_.press(keycode, users).characters;
        return ledger_->retypeLater(keycode, users, characters, pressWindow_);
    }

    // The window a grabbed press goes to: the child of the grab's window that holds the focus (the
    // focused window itself, or the top-level around it for a grab on the root).
    static unsigned long typedInto(const XKeyEvent& key) {
        return key.subwindow != None ? key.subwindow : key.window;
    }

    void handle(XEvent& event) {
        if (event.type == MappingNotify) {
            mappings_.takeAnnounced(event.xmapping.request, event.xmapping.first_keycode,
                                    event.xmapping.count);
            // The server announces a change once for every keyboard device: read once for all.
            XEvent next;
            while (XEventsQueued(d_, QueuedAlready) > 0 && XPeekEvent(d_, &next) &&
                   next.type == MappingNotify &&
                   next.xmapping.first_keycode == event.xmapping.first_keycode &&
                   next.xmapping.count == event.xmapping.count &&
                   next.xmapping.request == event.xmapping.request) {
                XNextEvent(d_, &next);
                mappings_.takeAnnounced(next.xmapping.request, next.xmapping.first_keycode,
                                        next.xmapping.count);
            }
            XRefreshKeyboardMapping(&event.xmapping);
            translator_.refresh();
            holds_.refreshMapping();
            placeGrabs();  // the keys that type a held character may have moved
            return;
        }
        if (event.type == modifiers_.eventBase()) {
            handleXkb(*reinterpret_cast<const XkbEvent*>(&event));
            return;
        }
        if (event.type == GenericEvent && event.xcookie.extension == xiOpcode_) {
            rawEvent(event, [this](unsigned keycode, Time time) { rawPress(keycode, time); });
            ledger_->letGo();  // a press of ours held here has been let go by now
            return;
        }
        if (event.type == PropertyNotify && event.xproperty.atom == activeWindowAtom_) {
            rules_.activeWindowChanged();
            windowChangedAt_ = event.xproperty.time;
            return;
        }
        if (event.type == KeyPress) {
            strayHeldPress(event.xkey);
            ledger_->letGo();
        }
    }

    // A raw key event: recorded, then a press goes to `press`; a release ends the key's repeats.
    template <class Press>
    void rawEvent(XEvent& event, Press&& press) {
        if (!XGetEventData(d_, &event.xcookie)) return;
        const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
        const unsigned keycode = static_cast<unsigned>(raw->detail) & 0xFF;
        const bool isPress = event.xcookie.evtype == XI_RawKeyPress;
        const Time time = raw->time;
        const bool ofKeyboard = raw->deviceid == raw->sourceid;  // not the core keyboard's
        presses_.noteSource(raw->sourceid);
        XFreeEventData(d_, &event.xcookie);
        lastRawTime_ = time;
        if (ofKeyboard) {
            if (isPress) {
                modifiers_.noteTyped(keycode, time);
                ledger_->noteTyped(time);
            }
            presses_.noteTypedDown(keycode, isPress);
            return;
        }
        presses_.noteRaw(keycode, time, isPress);
        if (isPress) {
            claimed_ = false;
            press(keycode, time);
            presses_.notePressed(keycode, claimed_);
        } else {
            presses_.noteReleased(keycode);
            holds_.keyUp(keycode);
        }
    }

    void handleXkb(const XkbEvent& xkb) {
        if (xkb.any.xkb_type != XkbStateNotify) return;
        modifiers_.take(xkb.state.mods, xkb.state.group, xkb.state.req_major != 0);
        if (holds_.everyKeyByModifiersChanged()) placeGrabs();
        holds_.placeRepeatGrabs();  // a repeat carries the modifiers in effect
        if (xkb.state.event_type == KeyRelease && translator_.isModifierKeycode(xkb.state.keycode)) {
            // A lock key changes the flags when pressed, though the server applies it on release.
            KeyEvent release = translator_.modifierRelease(xkb.state.keycode, xkb.state.mods);
            release.held = false;
            if (release.modifierFlags != lastFlags_) rules_.modifiersChanged(release);
            lastFlags_ = release.modifierFlags;
        }
    }

    // A press as the server saw it before anybody's grab. When one of our grabs took it, the grab's
    // own press follows at once (the server sends both while handling the key), and the keyboard
    // waits for our answer. A grab that took effect while the key was typed again at once may hold
    // the next press of the key and not this one: the grab's press is this one only at its time.
    void rawPress(unsigned keycode, Time time) {
        std::optional<XEvent> grabbed;
        if (holds_.grabs(keycode)) {
            grabbed = takeGrabbedPress(keycode, time);
            if (!grabbed) {
                XSync(d_, False);  // what the server sent while handling this key is here now
                grabbed = takeGrabbedPress(keycode, time);
            }
        }
        if (grabbed) holds_.holdKeyGrabbed(keycode, grabbed->xkey.time);
        pressWindow_ = grabbed ? typedInto(grabbed->xkey) : None;
        if (grabbed && droppedAsTypedBefore(grabbed->xkey.time)) {
            claimed_ = false;
            presses_.noteObservedDown(keycode);
            return;
        }
        const auto [state, inRequestedGroup] =
            modifiers_.typedState(keycode, time, grabbed ? grabbed->xkey.state : modifiers_.mods());
        KeyEvent event = translator_.press(keycode, state);
        event.serverTime = seconds(time);
        // Typed in a group switched back since, the press would type something else in the
        // application: it is typed again as what it was typed for, like a key given back.
        const auto recorded = mappings_.typedAsRecorded(keycode, time, state, event);
        const bool gone = (recorded ? *recorded : mappings_.fillInCharacters(keycode, event)) ||
                          static_cast<int>(state >> 13) != modifiers_.group();
        modifiers_.composeDeadKeys(keycode, state, event);
        presses_.setTyped(keycode, event.characters);
        event.held = grabbed.has_value();
        lastFlags_ = event.modifierFlags;
        if (event.type == KeyEvent::Type::flagsChanged) {
            if (event.held && (event.modifierFlags & holds_.current().everyKeyWith) != 0) {
                // Alt or Super going down while every key with it is to be held: those grabs are in
                // place before the keyboard goes on to a key pressed with it, however soon.
                modifiers_.notePressed(event.modifierFlags);
                if (holds_.everyKeyByModifiersChanged()) placeGrabs();
            }
            if (event.held) replay();  // never asked for, yet never left frozen
            claimed_ = presses_.posterMayHaveTyped() &&
                       ledger_->claim(keycode, now()).has_value();  // the poster's Shift
            rules_.modifiersChanged(event);
            return;
        }
        // A press the grabs should have held that came while its key was down: the server dropped
        // it, and nothing of it reaches the application. The program's, when the user held the
        // key; the user's, when it came between the program's press of the key and the release,
        // and it is then typed again after the program's text, like a press held.
        const bool dropped = !grabbed && holds_.grabs(keycode);
        pressLost_ = dropped && presses_.userDown(keycode);
        const bool lostToOurs = dropped && presses_.ownDown(keycode);
        pressModifiers_ = grabbed ? std::optional<unsigned>(grabbed->xkey.state & 0xFF) : std::nullopt;
        pressTime_ = time;
        if (!event.held) {
            // Should a grab take it when the keyboard goes on, it goes on as reported. Typed in a
            // group a tool set for it, it would meet the group the tool has switched back to by
            // then: it is typed again as what it typed.
            presses_.notePassedUnheld(keycode, time, gone || inRequestedGroup);
        }
        rules_.press(keycode, event, now(), state, false, gone);
        if (lostToOurs && !claimed_) retypeLater(keycode, state);
        presses_.noteObservedDown(keycode);
        holds_.placeRepeatGrabs();
    }

    // The grab's press of a key typed at `time`: it comes before the next key the server handles
    // (whose raw event follows), and has that time. A press of the key that waited behind a held
    // one may come later, and one typed again in the same millisecond after the grab took effect.
    std::optional<XEvent> takeGrabbedPress(unsigned keycode, Time time) {
        struct Wanted {
            unsigned keycode;
            Time time;
            int xiOpcode;
            bool passed = false;  // the next key's raw event
        } wanted{keycode, time, xiOpcode_};
        auto matches = [](Display*, XEvent* e, XPointer arg) -> int {
            auto& w = *reinterpret_cast<Wanted*>(arg);
            if (e->type == GenericEvent && e->xcookie.extension == w.xiOpcode &&
                (e->xcookie.evtype == XI_RawKeyPress || e->xcookie.evtype == XI_RawKeyRelease))
                w.passed = true;
            return !w.passed && e->type == KeyPress && e->xkey.keycode == w.keycode && e->xkey.time == w.time;
        };
        XEvent event;
        if (XCheckIfEvent(d_, &event, matches, reinterpret_cast<XPointer>(&wanted))) return event;
        return std::nullopt;
    }

    // A grabbed press whose observation came earlier on its own: it was reported as not held, so it
    // goes on as it was reported. A repeat the server made after the key's release is dropped. Any
    // other (a repeat of a key held down) is asked about like any held press.
    void strayHeldPress(const XKeyEvent& key) {
        // The press let go last, taken again by a grab on a window inside the one that let it go
        // (the holds moved to the focused window meanwhile): it goes on as it was decided.
        const bool replayedAgain = holds_.replayedLast(key.keycode, key.time);
        holds_.holdKeyGrabbed(key.keycode, key.time);
        if (replayedAgain) {
            holds_.letGo(true);
            return;
        }
        pressWindow_ = typedInto(key);
        if (droppedAsTypedBefore(key.time)) return;
        if (const auto typedOtherwise = presses_.takePassedUnheld(key.keycode, key.time)) {
            // Typed while the keyboard waited for the press that made the program type: it comes
            // after the program's text, as the handler, which heard of it afterwards, expects. A
            // key another program mapped for a moment and has given back by now would type
            // nothing in the application, and one typed in a layout group switched back since
            // something else: its character is typed instead, before the keys after it.
            const unsigned keycode = key.keycode & 0xFF;
            const bool gone = *typedOtherwise || (!presses_.typed(keycode).empty() &&
                                                  translator_.press(keycode, 0).characters.empty());
            const bool retype = (gone || ledger_->isTyping(now())) &&
                                retypeLater(key.keycode, modifiers_.withGroup(key.state));
            if (retype) rules_.tick(now());  // every key held while it is typed
            holds_.letGo(!retype);
            return;
        }
        if (presses_.isRepeatAfterRelease(key.keycode, key.time)) {
            holds_.letUp(key.keycode);
            return;
        }
        KeyEvent event = translator_.press(key.keycode, modifiers_.withGroup(key.state));
        event.serverTime = seconds(key.time);
        mappings_.fillInCharacters(key.keycode, event);
        modifiers_.composeDeadKeys(key.keycode, modifiers_.withGroup(key.state), event);
        presses_.setTyped(key.keycode, event.characters);
        if (event.type == KeyEvent::Type::flagsChanged) {
            holds_.letGo(true);
            return;
        }
        pressTime_ = key.time;
        rules_.press(key.keycode, event, now(), modifiers_.withGroup(key.state), true);
    }

    // Drops a grabbed press typed before the window change for which dropTypedForAnotherWindow()
    // dropped the one it waited behind; the first press typed after it ends that.
    bool droppedAsTypedBefore(Time time) {
        if (!dropBefore_) return false;
        if (static_cast<std::int32_t>(static_cast<std::uint32_t>(time - *dropBefore_)) < 0) {
            holds_.letGo(false);
            return true;
        }
        endDroppingBefore();
        return false;
    }

    // Once every press that waited has come (the keyboard waits for nothing and the server has
    // sent what it had), or one typed after the change has, the holds are what they were.
    void endDroppingBefore() {
        if (holds_.frozen() == std::nullopt && rules_.waitingPress() == 0) {
            XSync(d_, False);
            if (XPending(d_) > 0) return;  // read first
        }
        dropBefore_.reset();
        placeGrabs();
    }

    // The grabs for the holds; every key while a modifier they name is in effect.
    void placeGrabs() {
        holds_.place(dropBefore_.has_value());
        mappings_.readAnnounced();  // placing them took a while
        // Placing may have replaced a key's grabs, ours for its repeats among them.
        holds_.regrabRepeats();
    }

    X11Display& display_;
    Display* d_;
    std::shared_ptr<X11KeyTapMailbox> shared_;
    std::shared_ptr<PostedKeyLedger> ledger_;
    X11KeyTranslator translator_;
    X11KeyTapModifiers modifiers_;
    X11KeyTapMappings mappings_;
    X11KeyTapPresses presses_;
    X11KeyTapHolds holds_;
    KeyTapRules rules_;
    int xiOpcode_ = -1;
    std::uint64_t lastFlags_ = 0;
    unsigned long lastReadSerial_ = 0;  // of the latest event read
    Time lastRawTime_ = 0;              // server time of the latest raw key event
    std::optional<std::pair<std::uint64_t, unsigned long>> latestHolds_;  // version, first request
    unsigned long pressWindow_ = None;        // the window the press being handled went to, if held
    bool pressLost_ = false;                  // the press being handled was dropped by the server
    std::optional<unsigned> pressModifiers_;  // and the modifiers it came in, when held
    std::optional<Time> pressTime_;           // and the server time it was typed at
    bool claimed_ = false;                    // the press seen last is the program's own
    // When the active window last changed (server time), and while presses typed before a change
    // are dropped, that change's time.
    Atom activeWindowAtom_ = None;
    Time windowChangedAt_ = 0;
    std::optional<Time> dropBefore_;
};

bool hasRawKeyEvents(Display* display) {
    int opcode = 0, event = 0, error = 0;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) return false;
    // 2.1 or later delivers raw events whatever grabs are active.
    int major = 2, minor = 2;
    return XIQueryVersion(display, &major, &minor) == Success && (major > 2 || (major == 2 && minor >= 1));
}

}  // namespace

std::unique_ptr<X11KeyTap> X11KeyTap::create(Callback callback, Options options,
                                             std::unique_ptr<X11Display> display) {
    if (!QCoreApplication::instance()) return nullptr;
    if (!display) display = X11Display::open(options.displayName);
    if (!display || !hasRawKeyEvents(display->get())) return nullptr;
    if (!options.ledger) options.ledger = PostedKeyLedger::shared();
    auto shared = std::make_shared<X11KeyTapMailbox>();
    shared->callback = std::move(callback);
    return std::unique_ptr<X11KeyTap>(
        new X11KeyTap(std::move(display), std::move(shared), std::move(options)));
}

X11KeyTap::X11KeyTap(std::unique_ptr<X11Display> display, std::shared_ptr<X11KeyTapMailbox> shared,
                     Options options)
    : display_(std::move(display)), shared_(std::move(shared)), options_(std::move(options)) {
    shared_->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

X11KeyTap::~X11KeyTap() {
    detachFromMainLoop();
    shared_->alive = false;
    if (shared_->wakeFd >= 0) close(shared_->wakeFd);
}

void X11KeyTap::attachToMainLoop() {
    if (thread_.joinable() || !display_->isConnected()) return;
    // Typing the program starts outside a held key (the library's insertion) holds keys too.
    options_.ledger->setTypingListener(this, [shared = shared_] { shared->wake(); });
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = false;
        shared_->running = false;
        shared_->answers.clear();
        shared_->holdsApplied = 0;
    }
    thread_ = std::thread([this] { run(); });
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait(lock, [&] { return shared_->running; });
}

void X11KeyTap::detachFromMainLoop() {
    if (!thread_.joinable()) return;
    options_.ledger->removeTypingListener(this);
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
    }
    shared_->wake();
    thread_.join();
}

void X11KeyTap::setEnabled(bool enabled) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->enable = enabled;
    }
    shared_->wake();
}

void X11KeyTap::hold(const KeyHolds& holds) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->holds = holds;
        ++shared_->holdsVersion;
        if (!shared_->running) return;
    }
    shared_->wake();
}

void X11KeyTap::mark(std::int64_t token) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->marks.emplace_back(token, shared_->holdsVersion);
    }
    shared_->wake();
}

void X11KeyTap::whenHeld(std::function<void()> then) {
    {
        std::lock_guard lock(shared_->mutex);
        // Not attached: nothing is held, nor will be until it is.
        if (shared_->running && shared_->holdsApplied < shared_->holdsVersion) {
            shared_->whenHeld.emplace_back(shared_->holdsVersion, std::move(then));
            return;
        }
    }
    then();
}

void X11KeyTap::run() {
    pthread_setname_np(pthread_self(), "key tap");  // for whoever looks at a stuck program
    // The recorder opens two connections of its own and waits on several answers of the server: made
    // on a thread of its own, it keeps neither the tap's setup nor its grabs waiting.
    auto recorder = std::async(std::launch::async, [name = std::string(DisplayString(display_->get()))] {
        return X11KeymapRecorder::start(name);
    });
    TapConnection connection(*display_, shared_, options_);
    KeyTapRules& rules = connection.rules();

    // Takes in what the main thread handed over; false once the tap is to stop.
    auto takeInbox = [&]() {
        std::vector<std::pair<std::uint64_t, bool>> answers;
        std::optional<KeyHolds> holds;
        std::optional<bool> enable;
        std::vector<std::pair<std::int64_t, std::uint64_t>> marks;
        std::uint64_t version = 0;
        bool stopping = false;
        {
            std::lock_guard lock(shared_->mutex);
            answers.swap(shared_->answers);
            marks.swap(shared_->marks);
            version = shared_->holdsVersion;
            if (shared_->holdsApplied != version) holds = shared_->holds;
            enable = std::exchange(shared_->enable, std::nullopt);
            stopping = shared_->stopping;
        }
        if (enable) rules.setEnabled(*enable);
        if (holds) {
            connection.placingHolds(version);
            rules.setHolds(*holds, now());
        }
        for (const auto& [id, drop] : answers) rules.answer(id, drop, now());
        if (holds) {
            std::lock_guard lock(shared_->mutex);
            shared_->holdsApplied = version;
        }
        // After the holds asked for before them.
        for (const auto& [token, holdsVersion] : marks) connection.reportMark(token, holdsVersion);
        return !stopping;
    };

    takeInbox();
    // The grabs hold keys from here on; what they hold is read once the recorder is in, as at any
    // busy moment.
    XFlush(display_->get());
    connection.takeRecorder(recorder.get());
    {
        std::lock_guard lock(shared_->mutex);
        shared_->running = true;
    }
    shared_->changed.notify_all();

    // Marks asked for once their holds are in place, before anything more is read: a key the holds
    // held may be in already.
    auto takeMarksOfHoldsInPlace = [&]() {
        std::vector<std::pair<std::int64_t, std::uint64_t>> marks;
        {
            std::lock_guard lock(shared_->mutex);
            if (shared_->holdsApplied != shared_->holdsVersion) return;  // with the holds, later
            marks.swap(shared_->marks);
        }
        for (const auto& [token, holdsVersion] : marks) connection.reportMark(token, holdsVersion);
    };

    // Told to stop while the program types (a quit in the middle of a text), the tap asks nothing
    // more and holds the keys until the program's typing is over, so that the keys typed meanwhile
    // come after it in order, each typed again; a poster that does not finish is not waited for long.
    constexpr double kWindDownSeconds = 1.0;
    std::optional<double> windingDownUntil;
    while (display_->isConnected()) {
        takeMarksOfHoldsInPlace();
        // What the server sent first: an answer or an overdue press lets the keyboard go on, and
        // a window activated before that must be known by then, or the keys it was to get go to
        // the window the user left.
        connection.readEvents();
        if (!takeInbox() && !windingDownUntil) {
            rules.windDown(now());
            windingDownUntil = now() + kWindDownSeconds;
        }
        if (windingDownUntil && (now() >= *windingDownUntil || !options_.ledger->isTyping(now()))) break;
        rules.tick(now());
        // After the keys typed before the grabs took effect, which reach the main thread first.
        shared_->announceHeld();
        if (XPending(display_->get()) > 0) continue;
        int timeoutMs = -1;
        if (const auto deadline = rules.nextDeadline()) {
            timeoutMs = std::max(0, static_cast<int>(std::ceil((*deadline - now()) * 1000)));
        }
        pollfd fds[2] = {{display_->fileDescriptor(), POLLIN, 0}, {shared_->wakeFd, POLLIN, 0}};
        poll(fds, 2, timeoutMs);
        if (fds[1].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto got = read(shared_->wakeFd, &count, sizeof count);
        }
    }
    connection.shutDown();
    {
        std::lock_guard lock(shared_->mutex);
        shared_->running = false;
    }
    shared_->announceHeld();
    shared_->changed.notify_all();
}

std::unique_ptr<KeyTapPort> createX11KeyTapPort(KeyTapPort::Callback callback,
                                                std::unique_ptr<X11Display> display) {
    return X11KeyTap::create(std::move(callback), {}, std::move(display));
}

}  // namespace mosaiko
