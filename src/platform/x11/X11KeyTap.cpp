#include "platform/x11/X11KeyTap.hpp"

// Qt's headers come before Xlib's, whose macros (Bool, Status, None) clash with them.
#include <QCoreApplication>
#include <QMetaObject>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bitset>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/KeyTapRules.hpp"
#include "platform/MainLoop.hpp"
#include "platform/x11/X11Display.hpp"
#include "platform/x11/X11KeyTapGrabs.hpp"
#include "platform/x11/X11KeyTranslator.hpp"
#include "platform/x11/X11KeymapRecorder.hpp"

namespace mosaiko {

// State shared by the tap, its thread and the tasks it posts to the main thread; the tasks hold it
// so that they stay harmless after the tap is gone.
struct X11KeyTap::Shared {
    Callback callback;
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

    void wake() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = write(wakeFd, &one, sizeof one);
    }
};

namespace {

using Shared = X11KeyTap::Shared;

double now() {
    return SystemClock::shared().uptime();
}

// The virtual keyboards of the XTEST extension, which the poster (and any tool) types through: a
// press of any other keyboard is the user's, whatever the program is about to type.
std::set<int> xtestKeyboards(Display* display) {
    std::set<int> ids;
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
    for (int i = 0; i < count; ++i) {
        const std::string_view name = devices[i].name;
        if (devices[i].use == XISlaveKeyboard && name.ends_with("XTEST keyboard"))
            ids.insert(devices[i].deviceid);
    }
    if (devices) XIFreeDeviceInfo(devices);
    return ids;
}

// A server time (milliseconds) in seconds.
double seconds(Time time) {
    return static_cast<double>(time) / 1000.0;
}

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

// Hands an event to the callback on the main thread; for a held press, sends the answer back.
void deliver(const std::shared_ptr<Shared>& shared, std::uint64_t id, KeyEvent event, bool asks) {
    toMainThread([shared, id, event, asks]() mutable {
        if (!shared->alive) return;
        // A press that went on meanwhile (no answer in time) can no longer be dropped; one that is
        // taken up here waits for this answer.
        std::uint64_t expected = id;
        if (asks && !shared->waitingFor.compare_exchange_strong(expected, id | Shared::kTakenUp)) {
            event.held = false;
        }
        const bool drop = callGuarded(*shared, event);
        ++shared->handled;
        if (!asks || !event.held) return;
        {
            std::lock_guard lock(shared->mutex);
            shared->answers.emplace_back(id, drop);
        }
        shared->wake();
    });
}

// The tap's connection as its thread uses it: what it observes, the grabs it holds, and the
// server's side of the rules.
class TapConnection final : public KeyTapRules::Server {
  public:
    TapConnection(X11Display& display, std::shared_ptr<Shared> shared, const X11KeyTap::Options& options)
        : display_(display),
          d_(display.get()),
          shared_(std::move(shared)),
          ledger_(options.ledger),
          answerDelay_(options.answerDelaySeconds),
          translator_(d_),
          grabs_(d_, translator_),
          rules_(
              *this, ownKeys(options.ledger),
              [this](std::uint64_t id, const KeyEvent& event, bool asks) {
                  if (asks) {
                      shared_->waitingFor = id;
                      handledBefore_ = shared_->handled.load();
                  }
                  deliver(shared_, id, event, asks);
              },
              options.answerTimeoutSeconds,
              [this](std::uint64_t id, bool mayWait) {
                  // Still working through the events that came before this press: it may wait on.
                  const std::uint64_t handled = shared_->handled.load();
                  if (mayWait && handled != handledBefore_) {
                      handledBefore_ = handled;
                      return KeyTapRules::Progress::catchingUp;
                  }
                  std::uint64_t expected = id;
                  return shared_->waitingFor.compare_exchange_strong(expected, 0)
                             ? KeyTapRules::Progress::idle
                             : KeyTapRules::Progress::deciding;
              }) {
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
        posterKeyboards_ = xtestKeyboards(d_);
        // Which window is the active one, and since when (a window manager names it).
        activeWindowAtom_ = XInternAtom(d_, "_NET_ACTIVE_WINDOW", False);
        XSelectInput(d_, DefaultRootWindow(d_), PropertyChangeMask);

        int xkbOpcode = 0, xkbError = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
        if (XkbQueryExtension(d_, &xkbOpcode, &xkbEventBase_, &xkbError, &major, &minor)) {
            const unsigned details = XkbModifierStateMask | XkbGroupStateMask;
            XkbSelectEventDetails(d_, XkbUseCoreKbd, XkbStateNotify, details, details);
            XkbStateRec state{};
            if (XkbGetState(d_, XkbUseCoreKbd, &state) == Success) {
                mods_ = state.mods;
                group_ = state.group;
            }
        } else {
            xkbEventBase_ = -1;
        }
        // Nothing is known to be down yet: what an earlier tap saw may have gone up since.
        ledger_->setUserKeysDown({});
        XSync(d_, False);
    }

    KeyTapRules& rules() { return rules_; }

    // Reads and handles every event that has arrived. With a mark, reports it before the first
    // event the server sent once it had handled request `mark->second` or later.
    void readEvents(std::optional<std::pair<std::int64_t, unsigned long>> mark = std::nullopt) {
        while (display_.isConnected() && XPending(d_) > 0) {
            if (XEventsQueued(d_, QueuedAlready) > 1) readAnnouncedMappings();
            XEvent event;
            XNextEvent(d_, &event);
            lastReadSerial_ = std::max(lastReadSerial_, event.xany.serial);
            if (mark && event.xany.serial >= mark->second) {
                sendMark(mark->first);
                mark.reset();
            }
            handle(event);
        }
        if (mark) sendMark(mark->first);
        if (dropBefore_ && !frozen_ && rules_.waitingPress() == 0) endDroppingBefore();
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

    void sendMark(std::int64_t token) {
        KeyEvent notice;
        notice.type = KeyEvent::Type::mark;
        notice.userData = token;
        notice.held = false;
        deliver(shared_, 0, notice, false);
    }

    // Lets every press go on and gives up every grab.
    void shutDown() {
        rules_.stop();
        if (!display_.isConnected()) return;
        X11ErrorTrap trap;
        grabs_.releaseAll();
        // Nothing typed while detached is reported once attached again.
        unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
        XIEventMask events[] = {{XIAllMasterDevices, sizeof mask, mask}, {XIAllDevices, sizeof mask, mask}};
        XISelectEvents(d_, DefaultRootWindow(d_), events, 2);
        if (xkbEventBase_ >= 0) XkbSelectEvents(d_, XkbUseCoreKbd, XkbAllEventsMask, 0);
        XSync(d_, False);
        while (XPending(d_) > 0) {
            XEvent event;
            XNextEvent(d_, &event);
            if (event.type == GenericEvent && event.xcookie.extension == xiOpcode_) {
                rawEvent(event, [](unsigned, Time) {});
            } else if (event.type == KeyPress) {
                if (isRepeatAfterRelease(event.xkey)) {
                    letUp(event.xkey.keycode);
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
        letGo(true);
    }
    void drop() override {
        shared_->waitingFor = 0;
        letGo(false);
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
        recorder_ = std::move(recorder);
        if (recorder_) recorder_->recordPresses(makesKeysWait(holds_), lastRawTime_);
    }

    void hold(const KeyHolds& holds) override {
        holds_ = holds;
        // Before the grabs that may keep presses waiting: what a tool typed on a key it remapped
        // for the moment may come out of the wait under another mapping.
        if (recorder_) recorder_->recordPresses(makesKeysWait(holds), lastRawTime_);
        placeGrabs();
        placeRepeatGrabs();
    }

  private:
    // Whether the holds keep keys typed in the normal course waiting (every key, or one in every
    // modifier state: the panel's keys while it shows), rather than rare combinations.
    static bool makesKeysWait(const KeyHolds& holds) {
        return holds.everyKey || std::any_of(holds.keys.begin(), holds.keys.end(), [](const KeyHold& hold) {
                   return !hold.modifiers && hold.after.empty();
               });
    }

    KeyTapRules::OwnKeys ownKeys(std::shared_ptr<PostedKeyLedger> ledger) {
        return {[this, ledger](unsigned keycode, double at) {
                    const bool lost = std::exchange(pressLost_, false);
                    const auto modifiers = std::exchange(pressModifiers_, std::nullopt);
                    auto own = posterMayHaveTyped_
                                   ? ledger->claim(keycode, at, lost, modifiers, heldNow(keycode))
                                   : std::nullopt;
                    claimed_ = own.has_value();
                    return own;
                },
                [ledger](double at) { return ledger->isTyping(at); },
                [this](unsigned keycode, unsigned state) { return retypeLater(keycode, state); }};
    }

    // What the keycode held when the press came, in the server's order, where a change of its
    // mapping has been seen since the start: a new keymap may have taken a spare keycode's character
    // off it just before a press of the program's text.
    std::optional<unsigned long> heldNow(unsigned keycode) const {
        if (!announced_.test(keycode & 0xFF)) return std::nullopt;
        return announcedKeysyms_[keycode & 0xFF];
    }

    // The press typed again after the program's text, with the modifiers it was typed with, what
    // it typed when it came (its key may mean something else by then), and the window it went to.
    // Of the modifiers that keys hold, only those the user holds count: a Shift in the state may be
    // the program's own, pressed for a capital of its text, and the press then typed what it would
    // not have typed for the user.
    bool retypeLater(unsigned keycode, unsigned state) {
        constexpr unsigned kHeld = ShiftMask | ControlMask | Mod1Mask | Mod3Mask | Mod4Mask | Mod5Mask;
        const unsigned users =
            (state & ~kHeld) | (state & kHeld & translator_.modifiersOf(userDown_ | typedDown_));
        const std::string characters =
            users == state ? typed_[keycode & 0xFF] : translator_.press(keycode, users).characters;
        return ledger_->retypeLater(keycode, users, characters, pressWindow_);
    }

    // The window a grabbed press goes to: the child of the grab's window that holds the focus (the
    // focused window itself, or the top-level around it for a grab on the root).
    static unsigned long typedInto(const XKeyEvent& key) {
        return key.subwindow != None ? key.subwindow : key.window;
    }

    // A keyboard's press, as it was typed: the core keyboard's comes when the server handles it,
    // later while the keyboard waits for a held press.
    void noteTyped(unsigned keycode, Time time) {
        typedKeys_.push_back({keycode, time, group_, groupRequests_, groupByRequest_});
        if (typedKeys_.size() > kTypedKeys) typedKeys_.pop_front();
    }

    // The modifiers of `mods` in the layout group a press of the core keyboard was typed in. That
    // is the group the server announced on this connection before the press, unless a client set
    // the group by a request since the press was typed: a tool that switches to the group that
    // has a character, types it and switches back does so while the press waits behind a held
    // one, and the server then handles it in the group switched back to.
    struct Typing {
        unsigned state = 0;
        bool inRequestedGroup = false;  // a group a client set by a request
    };
    Typing typedState(unsigned keycode, Time time, unsigned mods) {
        Typing typing{withGroup(mods), groupByRequest_};
        while (!typedKeys_.empty()) {
            const TypedKey typed = typedKeys_.front();
            typedKeys_.pop_front();  // those before it were handled, or never will be
            if (typed.keycode != keycode || typed.time != time) continue;
            if (typed.groupRequests != groupRequests_)
                typing.state = (mods & 0xFF) | (static_cast<unsigned>(typed.group) << 13);
            typing.inRequestedGroup = typed.byRequest;
            break;
        }
        return typing;
    }

    unsigned withGroup(unsigned state) const {
        return (state & 0xFF) | (static_cast<unsigned>(group_) << 13);
    }

    void handle(XEvent& event) {
        if (event.type == MappingNotify) {
            takeAnnouncedMapping(event.xmapping);
            // The server announces a change once for every keyboard device: read once for all.
            XEvent next;
            while (XEventsQueued(d_, QueuedAlready) > 0 && XPeekEvent(d_, &next) &&
                   next.type == MappingNotify &&
                   next.xmapping.first_keycode == event.xmapping.first_keycode &&
                   next.xmapping.count == event.xmapping.count &&
                   next.xmapping.request == event.xmapping.request) {
                XNextEvent(d_, &next);
                takeAnnouncedMapping(next.xmapping);
            }
            XRefreshKeyboardMapping(&event.xmapping);
            translator_.refresh();
            grabs_.refreshMapping();
            placeGrabs();  // the keys that type a held character may have moved
            return;
        }
        if (event.type == xkbEventBase_) {
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
        posterMayHaveTyped_ = posterKeyboards_.empty() || posterKeyboards_.count(raw->sourceid) > 0;
        XFreeEventData(d_, &event.xcookie);
        lastRawTime_ = time;
        if (ofKeyboard) {
            if (isPress) noteTyped(keycode, time);
            noteTypedDown(keycode, isPress);
            return;
        }
        std::deque<std::pair<Time, bool>>& history = rawHistory_[keycode];
        history.emplace_back(time, isPress);
        if (history.size() > kRawHistory) history.pop_front();
        if (isPress) {
            claimed_ = false;
            press(keycode, time);
            noteDown(keycode, claimed_);
            ownDown_.set(keycode, claimed_);
        } else {
            ownDown_.reset(keycode);
            down_.erase(keycode);
            noteDown(keycode, std::nullopt);
            if (keptUntilUp_ == keycode && frozen_ != keycode) stopKeeping();
            placeRepeatGrabs();
        }
    }

    // Which keys the user holds, told from the program's own by the ledger in the server's order
    // (`own`; none for a release), for the poster.
    void noteDown(unsigned keycode, std::optional<bool> own) {
        const bool userBefore = userDown_.test(keycode);
        userDown_.set(keycode, own && !*own);
        if (userDown_.test(keycode) != userBefore) publishUserKeysDown();
    }

    void publishUserKeysDown() { ledger_->setUserKeysDown(userDown_ | typedDown_); }

    // Which keys the user holds as typed, before the server handles them: the server handles
    // every key in the order typed, so a press of the program's typed after one of the user's on
    // the same key, before its release, meets that key down and is lost; and the program's keys
    // typed while the user holds Shift are shifted. While the keyboard waits for a held press, the
    // server's order comes to the tap many keys late.
    void noteTypedDown(unsigned keycode, bool isPress) {
        if (isPress && posterMayHaveTyped_ && ledger_->claimTyped(keycode, now()))
            return;  // the program's own
        if (typedDown_.test(keycode) == isPress) return;
        typedDown_.set(keycode, isPress);
        publishUserKeysDown();
    }

    void handleXkb(const XkbEvent& xkb) {
        if (xkb.any.xkb_type != XkbStateNotify) return;
        pressedModifierFlags_ = 0;  // the server's state has come
        // Set by a client's request rather than by a key.
        if (xkb.state.group != group_) {
            groupByRequest_ = xkb.state.req_major != 0;
            if (groupByRequest_) ++groupRequests_;
        }
        mods_ = xkb.state.mods;
        group_ = xkb.state.group;
        if (everyKeyByModifiers() != everyKeyByModifiersPlaced_) placeGrabs();
        placeRepeatGrabs();  // a repeat carries the modifiers in effect
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
        if (grabs_.grabs(keycode)) {
            grabbed = takeGrabbedPress(keycode, time);
            if (!grabbed) {
                XSync(d_, False);  // what the server sent while handling this key is here now
                grabbed = takeGrabbedPress(keycode, time);
            }
        }
        if (grabbed) holdKeyGrabbed(keycode, grabbed->xkey.time);
        pressWindow_ = grabbed ? typedInto(grabbed->xkey) : None;
        if (grabbed && droppedAsTypedBefore(grabbed->xkey.time)) {
            claimed_ = false;
            down_.insert(keycode);
            return;
        }
        const auto [state, inRequestedGroup] =
            typedState(keycode, time, grabbed ? grabbed->xkey.state : mods_);
        KeyEvent event = translator_.press(keycode, state);
        event.serverTime = seconds(time);
        // Typed in a group switched back since, the press would type something else in the
        // application: it is typed again as what it was typed for, like a key given back.
        const auto recorded = typedAsRecorded(keycode, time, state, event);
        const bool gone = (recorded ? *recorded : fillInCharacters(keycode, event)) ||
                          static_cast<int>(state >> 13) != group_;
        composeDeadKeys(keycode, state, event);
        typed_[keycode] = event.characters;
        event.held = grabbed.has_value();
        lastFlags_ = event.modifierFlags;
        if (event.type == KeyEvent::Type::flagsChanged) {
            if (event.held && (event.modifierFlags & holds_.everyKeyWith) != 0) {
                // Alt or Super going down while every key with it is to be held: those grabs are in
                // place before the keyboard goes on to a key pressed with it, however soon.
                pressedModifierFlags_ = event.modifierFlags;
                if (everyKeyByModifiers() != everyKeyByModifiersPlaced_) placeGrabs();
            }
            if (event.held) replay();  // never asked for, yet never left frozen
            claimed_ =
                posterMayHaveTyped_ && ledger_->claim(keycode, now()).has_value();  // the poster's Shift
            rules_.modifiersChanged(event);
            return;
        }
        // A press the grabs should have held that came while its key was down: the server dropped
        // it, and nothing of it reaches the application. The program's, when the user held the
        // key; the user's, when it came between the program's press of the key and the release,
        // and it is then typed again after the program's text, like a press held.
        const bool dropped = !grabbed && grabs_.grabs(keycode);
        pressLost_ = dropped && userDown_.test(keycode);
        const bool lostToOurs = dropped && ownDown_.test(keycode);
        pressModifiers_ = grabbed ? std::optional<unsigned>(grabbed->xkey.state & 0xFF) : std::nullopt;
        if (!event.held) {
            // Should a grab take it when the keyboard goes on, it goes on as reported. Typed in a
            // group a tool set for it, it would meet the group the tool has switched back to by
            // then: it is typed again as what it typed.
            std::vector<std::pair<Time, bool>>& unheld = passedUnheld_[keycode];
            unheld.emplace_back(time, gone || inRequestedGroup);
            if (unheld.size() > kRawHistory) unheld.erase(unheld.begin());
        }
        rules_.press(keycode, event, now(), state, false, gone);
        if (lostToOurs && !claimed_) retypeLater(keycode, state);
        down_.insert(keycode);
        placeRepeatGrabs();
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
        const bool replayedAgain = replayed_ == std::pair<unsigned, Time>(key.keycode, key.time);
        holdKeyGrabbed(key.keycode, key.time);
        if (replayedAgain) {
            letGo(true);
            return;
        }
        pressWindow_ = typedInto(key);
        if (droppedAsTypedBefore(key.time)) return;
        std::vector<std::pair<Time, bool>>& unheld = passedUnheld_[key.keycode & 0xFF];
        // The same press, by its time; a later one of a key still down is one of its repeats.
        const auto it =
            std::find_if(unheld.begin(), unheld.end(), [&](auto& p) { return p.first == key.time; });
        if (it != unheld.end()) {
            const bool typedOtherwise = it->second;  // as reported (see rawPress)
            unheld.erase(it);
            // Typed while the keyboard waited for the press that made the program type: it comes
            // after the program's text, as the handler, which heard of it afterwards, expects. A
            // key another program mapped for a moment and has given back by now would type
            // nothing in the application, and one typed in a layout group switched back since
            // something else: its character is typed instead, before the keys after it.
            const unsigned keycode = key.keycode & 0xFF;
            const bool gone = typedOtherwise ||
                              (!typed_[keycode].empty() && translator_.press(keycode, 0).characters.empty());
            const bool retype =
                (gone || ledger_->isTyping(now())) && retypeLater(key.keycode, withGroup(key.state));
            if (retype) rules_.tick(now());  // every key held while it is typed
            letGo(!retype);
            return;
        }
        if (isRepeatAfterRelease(key)) {
            letUp(key.keycode);
            return;
        }
        KeyEvent event = translator_.press(key.keycode, withGroup(key.state));
        event.serverTime = seconds(key.time);
        fillInCharacters(key.keycode, event);
        composeDeadKeys(key.keycode, withGroup(key.state), event);
        typed_[key.keycode & 0xFF] = event.characters;
        if (event.type == KeyEvent::Type::flagsChanged) {
            letGo(true);
            return;
        }
        rules_.press(key.keycode, event, now(), withGroup(key.state), true);
    }

    // The keyboard waits for a grabbed press of this key. The server started repeating it when it
    // took the press; its release may already wait behind it (typed while the keyboard waited for
    // an earlier press). Should the press be let go only after the server's repeat delay, a repeat
    // comes after that release: the key stays grabbed in every state until the press goes on, so
    // that such a repeat comes here (and is dropped) whatever the holds become meanwhile. A key
    // still down then stays so until it goes up: giving that grab back and grabbing the key again
    // for its repeats takes a round trip, during which a repeat would reach the application unseen.
    void holdKeyGrabbed(unsigned keycode, Time time) {
        frozen_ = keycode;
        frozenAt_ = time;
        replayed_.reset();
        if (translator_.isModifierKeycode(keycode)) return;  // modifiers never repeat
        grabs_.keep(keycode);
        keptUntilUp_ = keycode;
    }

    // The key kept grabbed in every state goes back to the grabs the holds want.
    void stopKeeping() {
        const auto key = std::exchange(keptUntilUp_, std::nullopt);
        grabs_.keep(std::nullopt);
        if (!key) return;
        if (const auto it = repeatGrabs_.find(*key); it != repeatGrabs_.end()) grabRepeats(*key, it->second);
    }

    // Lets the press the keyboard waits for go on to the application (`replayIt`) or drops it.
    void letGo(bool replayIt) {
        if (answerDelay_ > 0 && frozen_)
            std::this_thread::sleep_for(std::chrono::duration<double>(answerDelay_));
        if (replayIt) {
            XAllowEvents(d_, ReplayKeyboard, CurrentTime);
            if (frozen_) replayed_.emplace(*frozen_, frozenAt_);
        } else {
            // Ending the grab now, rather than when the key goes up, lets the release and whatever
            // we post next reach the application instead of us.
            XUngrabKeyboard(d_, CurrentTime);
        }
        // The server replays what waited behind the press before it reads the next request: a
        // repeat after the key's release has met the kept grab by then.
        if (const auto key = std::exchange(frozen_, std::nullopt)) {
            if (keptUntilUp_ == *key && !down_.count(*key)) stopKeeping();
            placeRepeatGrabs();
        }
        XFlush(d_);
    }

    // Whether a grabbed press that no press of the user's observed is the server's repeat of a key
    // already let up: its last raw event at the press's time was a release.
    bool isRepeatAfterRelease(const XKeyEvent& key) const {
        const auto& history = rawHistory_[key.keycode & 0xFF];
        for (auto it = history.rbegin(); it != history.rend(); ++it) {
            // Server times wrap around: compared by their difference.
            if (static_cast<std::int32_t>(static_cast<std::uint32_t>(key.time - it->first)) >= 0)
                return !it->second;
        }
        return false;
    }

    // Drops the repeat of a key let up, which the application must never get (a press without a
    // release, which the server would repeat without end), and lets the key up in the server.
    void letUp(unsigned keycode) {
        letGo(false);
        XTestFakeKeyEvent(d_, keycode, False, CurrentTime);
        XFlush(d_);
    }

    // The grabs for the holds; every key while a modifier they name is in effect.
    // A tool that maps a spare key for a moment (auto-type tools do) gives it back soon after
    // typing on it, maybe before the tap has come to the press; by then the server's mapping says
    // nothing of what the press typed. So the keys a mapping change names are read as soon as its
    // announcement is seen, and taken in when the announcement's turn comes, before the keys that
    // came after it.
    void readAnnouncedMappings() {
        auto collect = [](Display*, XEvent* e, XPointer arg) -> int {
            auto& queued = *reinterpret_cast<std::vector<XMappingEvent>*>(arg);
            if (isKeyboardMapping(*e)) queued.push_back(e->xmapping);
            return False;
        };
        std::vector<XMappingEvent> queued;  // every announcement queued now, in order
        XEvent ignored;
        XCheckIfEvent(d_, &ignored, collect, reinterpret_cast<XPointer>(&queued));
        // The first of them are those read before.
        for (std::size_t i = announcedMappings_.size(); i < queued.size(); ++i) {
            const XMappingEvent& mapping = queued[i];
            const bool sameAsBefore = i > 0 && queued[i - 1].first_keycode == mapping.first_keycode &&
                                      queued[i - 1].count == mapping.count;
            announcedMappings_.push_back(sameAsBefore ? announcedMappings_.back()
                                                      : mappedKeysyms(mapping.first_keycode, mapping.count));
        }
    }

    static bool isKeyboardMapping(const XEvent& event) {
        return event.type == MappingNotify && event.xmapping.request == MappingKeyboard;
    }

    std::vector<KeySym> mappedKeysyms(int first, int count) {
        std::vector<KeySym> keysyms(static_cast<std::size_t>(std::max(count, 0)), NoSymbol);
        int perKeycode = 0;
        if (count <= 0) return keysyms;
        if (KeySym* map = XGetKeyboardMapping(d_, static_cast<::KeyCode>(first), count, &perKeycode)) {
            for (int i = 0; i < count && perKeycode > 0; ++i)
                keysyms[static_cast<std::size_t>(i)] = map[i * perKeycode];
            XFree(map);
        }
        return keysyms;
    }

    // What the keys of a mapping change were mapped to when its announcement was first seen.
    void takeAnnouncedMapping(const XMappingEvent& mapping) {
        if (mapping.request != MappingKeyboard) return;
        std::vector<KeySym> keysyms;
        if (announcedMappings_.empty()) {
            keysyms = mappedKeysyms(mapping.first_keycode, mapping.count);
        } else {
            keysyms = std::move(announcedMappings_.front());
            announcedMappings_.pop_front();
        }
        // A tool remaps a key or a few; a new layout names the whole keyboard.
        int minKeycode = 0, maxKeycode = 0;
        XDisplayKeycodes(d_, &minKeycode, &maxKeycode);
        const bool wholeKeyboard =
            mapping.first_keycode <= minKeycode && mapping.first_keycode + mapping.count > maxKeycode;
        for (std::size_t i = 0; i < keysyms.size(); ++i) {
            const std::size_t keycode = static_cast<std::size_t>(mapping.first_keycode) + i;
            if (keycode >= announcedKeysyms_.size()) continue;
            if (!wholeKeyboard) remappedByTools_.set(keycode);
            announced_.set(keycode);
            const KeySym before = std::exchange(announcedKeysyms_[keycode], keysyms[i]);
            // Announced once for every keyboard device: the first announcement tells what went.
            if (keysyms[i] != NoSymbol) {
                givenBack_[keycode] = {};
            } else if (before != NoSymbol) {
                givenBack_[keycode] = {before, now()};
            }
        }
    }

    // A dead key types nothing until the next key, with which the application composes; pressed
    // right after another dead key, it types an accent on its own there.
    void composeDeadKeys(unsigned keycode, unsigned state, KeyEvent& event) {
        if (event.type != KeyEvent::Type::keyDown) return;
        const std::string accent = X11KeyMapping::deadKeyAccent(translator_.keysymAt(keycode, state));
        const bool afterDeadKey = std::exchange(afterDeadKey_, !accent.empty() && !afterDeadKey_);
        if (accent.empty() || !afterDeadKey) return;
        event.characters = accent;
        event.charactersIgnoringModifiers = accent;
    }

    // A press on a key a client remapped: the characters of the mapping it was typed under go into
    // `event` where the key means something else now. Returns whether it does (the press would
    // type something else in the application, or nothing), or none where the recorder cannot tell.
    std::optional<bool> typedAsRecorded(unsigned keycode, Time time, unsigned state, KeyEvent& event) {
        if (!recorder_ || event.type != KeyEvent::Type::keyDown || !remappedByTools_.test(keycode & 0xFF))
            return std::nullopt;
        if (ledger_->ownKeycodes().count(keycode)) return std::nullopt;  // the poster's spare keys
        const auto typed = recorder_->typed(keycode, time, kRecorderWaitSeconds);
        if (!typed) return std::nullopt;
        const KeySym pressedAs = typed->keysyms.empty() ? NoSymbol : typed->keysyms[0];
        if (pressedAs == translator_.keysymAt(keycode, 0)) return typed->remappedSince;
        const bool shifted =
            (state & ShiftMask) != 0 && typed->keysyms.size() > 1 && typed->keysyms[1] != NoSymbol;
        event.characters = X11KeyMapping::characters(shifted ? typed->keysyms[1] : pressedAs, false);
        event.charactersIgnoringModifiers = X11KeyMapping::characters(pressedAs, false);
        return true;
    }

    // A press whose key the server's mapping no longer names types what the key was mapped to.
    // Returns whether the mapping was given back before the press came: the application too has
    // been told of that first, and the press types nothing there.
    bool fillInCharacters(unsigned keycode, KeyEvent& event) const {
        if (event.type != KeyEvent::Type::keyDown || !event.characters.empty()) return false;
        KeySym keysym = announcedKeysyms_[keycode & 0xFF];
        // A key pressed while the keyboard waited for a held press comes when it goes on, after
        // whatever changed the mapping meanwhile: a tool that typed on a key of its own and gave it
        // back at once (it waited for nothing).
        const GivenBack& givenBack = givenBack_[keycode & 0xFF];
        const bool gone =
            keysym == NoSymbol && givenBack.keysym != NoSymbol && now() - givenBack.at < kGivenBackLifetime;
        if (gone) keysym = givenBack.keysym;
        if (keysym == NoSymbol) return false;
        event.characters = X11KeyMapping::characters(keysym, false);
        event.charactersIgnoringModifiers = event.characters;
        return gone;
    }

    // Drops a grabbed press typed before the window change for which dropTypedForAnotherWindow()
    // dropped the one it waited behind; the first press typed after it ends that.
    bool droppedAsTypedBefore(Time time) {
        if (!dropBefore_) return false;
        if (static_cast<std::int32_t>(static_cast<std::uint32_t>(time - *dropBefore_)) < 0) {
            letGo(false);
            return true;
        }
        endDroppingBefore();
        return false;
    }

    // Once every press that waited has come (the keyboard waits for nothing and the server has
    // sent what it had), or one typed after the change has, the holds are what they were.
    void endDroppingBefore() {
        if (frozen_ == std::nullopt && rules_.waitingPress() == 0) {
            XSync(d_, False);
            if (XPending(d_) > 0) return;  // read first
        }
        dropBefore_.reset();
        placeGrabs();
    }

    void placeGrabs() {
        KeyHolds holds = holds_;
        everyKeyByModifiersPlaced_ = everyKeyByModifiers();
        holds.everyKey |= everyKeyByModifiersPlaced_ || dropBefore_.has_value();
        grabs_.place(holds);
        readAnnouncedMappings();  // placing them took a while
        // Placing may have replaced a key's grabs, ours for its repeats among them.
        for (const auto& [keycode, state] : repeatGrabs_) grabRepeats(keycode, state);
    }

    bool everyKeyByModifiers() const {
        const std::uint64_t flags =
            X11KeyMapping::modifierFlags(mods_, translator_.masks()) | pressedModifierFlags_;
        return (flags & holds_.everyKeyWith) != 0;
    }

    // The server repeats a key held down without any raw event, so while the holds ask for repeats
    // each key that is down (and not held anyway) is grabbed with the modifiers in effect: its
    // repeats then come here as held presses. No round trip: a combination another client holds
    // stays with it, and its repeats go there, not to the application.
    void placeRepeatGrabs() {
        std::map<unsigned, unsigned> wanted;
        if (holds_.repeats) {
            const unsigned state = mods_ & 0xFF;
            const std::set<unsigned> own = down_.empty() ? std::set<unsigned>{} : ledger_->ownKeycodes();
            for (unsigned keycode : down_) {
                if (own.count(keycode) || translator_.isModifierKeycode(keycode)) continue;
                if (!grabs_.grabs(keycode, state)) wanted[keycode] = state;
            }
        }
        if (wanted == repeatGrabs_) return;
        const Window root = DefaultRootWindow(d_);
        for (const auto& [keycode, state] : repeatGrabs_) {
            const auto will = wanted.find(keycode);
            if (will != wanted.end() && will->second == state) continue;
            if (!grabs_.grabs(keycode, state)) XUngrabKey(d_, static_cast<int>(keycode), state, root);
        }
        for (const auto& [keycode, state] : wanted) {
            const auto was = repeatGrabs_.find(keycode);
            if (was == repeatGrabs_.end() || was->second != state) grabRepeats(keycode, state);
        }
        repeatGrabs_ = std::move(wanted);
        XFlush(d_);
    }

    void grabRepeats(unsigned keycode, unsigned state) {
        if (grabs_.grabs(keycode, state)) return;
        XGrabKey(d_, static_cast<int>(keycode), state, DefaultRootWindow(d_), False, GrabModeAsync,
                 GrabModeSync);
    }

    X11Display& display_;
    Display* d_;
    std::shared_ptr<Shared> shared_;
    std::shared_ptr<PostedKeyLedger> ledger_;
    double answerDelay_ = 0;
    X11KeyTranslator translator_;
    X11KeyTapGrabs grabs_;
    // What presses on keys that tools remap for a moment were typed as; none without RECORD, and
    // none until takeRecorder().
    std::unique_ptr<X11KeymapRecorder> recorder_;
    // How long a press waits for the recorder's report of it, which comes on its own connection.
    static constexpr double kRecorderWaitSeconds = 0.25;
    std::bitset<256> remappedByTools_;  // keys a change of part of the keyboard named since the start
    KeyTapRules rules_;
    int xiOpcode_ = -1;
    int xkbEventBase_ = -1;
    unsigned mods_ = 0;
    int group_ = 0;
    std::uint64_t lastFlags_ = 0;
    KeyHolds holds_;
    static constexpr std::size_t kRawHistory = 8;
    // By keycode: the server times of presses reported as not held, with whether each would type
    // otherwise in the application, and the last raw events.
    std::array<std::vector<std::pair<Time, bool>>, 256> passedUnheld_;
    std::array<std::deque<std::pair<Time, bool>>, 256> rawHistory_;
    std::array<std::string, 256> typed_;  // what each key's last press typed
    // The keyboards' presses the core keyboard has not reported yet, with the group in force and
    // the count of groups set by request when each was typed.
    struct TypedKey {
        unsigned keycode = 0;
        Time time = 0;
        int group = 0;
        std::uint64_t groupRequests = 0;
        bool byRequest = false;
    };
    static constexpr std::size_t kTypedKeys = 256;
    std::deque<TypedKey> typedKeys_;
    std::uint64_t groupRequests_ = 0;
    bool groupByRequest_ = false;  // the group in force was set by a client's request, not a key
    // Keysyms read for announced mapping changes not taken in yet, in order, and for each keycode
    // what the last change taken in mapped it to.
    std::deque<std::vector<KeySym>> announcedMappings_;  // of the keyboard announcements queued
    std::array<KeySym, 256> announcedKeysyms_{};
    std::bitset<256> announced_;  // the keycodes a change taken in named
    // For each keycode, what a mapping given back last took off it, and when; what a press that
    // waited behind a held one typed. Long enough for the longest wait of a held press.
    struct GivenBack {
        KeySym keysym = NoSymbol;
        double at = 0;
    };
    static constexpr double kGivenBackLifetime = 2.0;
    std::array<GivenBack, 256> givenBack_{};
    // The time of the grabbed press the keyboard waits for (frozen_ is its key), and the grabbed
    // press let go to the application last, until another is grabbed.
    Time frozenAt_ = 0;
    std::optional<std::pair<unsigned, Time>> replayed_;
    bool afterDeadKey_ = false;            // the last press was a dead key waiting for the next
    std::optional<unsigned> frozen_;       // the key whose grabbed press the keyboard waits for
    std::optional<unsigned> keptUntilUp_;  // the key grabbed in every state until it goes up
    std::set<unsigned> down_;              // keys down now, as observed
    unsigned long lastReadSerial_ = 0;     // of the latest event read
    Time lastRawTime_ = 0;                 // server time of the latest raw key event
    std::optional<std::pair<std::uint64_t, unsigned long>> latestHolds_;  // version, first request
    std::bitset<256> userDown_;                                           // those of them the user holds
    std::bitset<256> ownDown_;                  // those the program pressed last, until released
    unsigned long pressWindow_ = None;          // the window the press being handled went to, if held
    bool pressLost_ = false;                    // the press being handled was dropped by the server
    std::optional<unsigned> pressModifiers_;    // and the modifiers it came in, when held
    std::bitset<256> typedDown_;                // keys the user holds as typed (noteTypedDown)
    bool claimed_ = false;                      // the press seen last is the program's own
    std::set<int> posterKeyboards_;             // the devices the program's presses come from
    bool posterMayHaveTyped_ = true;            // the raw event being handled came from one of them
    std::map<unsigned, unsigned> repeatGrabs_;  // keycode: modifier state
    bool everyKeyByModifiersPlaced_ = false;
    // The flags of a modifier press the server's state does not show yet.
    std::uint64_t pressedModifierFlags_ = 0;
    // When the active window last changed (server time), and while presses typed before a change
    // are dropped, that change's time.
    Atom activeWindowAtom_ = None;
    Time windowChangedAt_ = 0;
    std::optional<Time> dropBefore_;
    std::uint64_t handledBefore_ = 0;  // the main thread's count when it was last looked at
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
    auto shared = std::make_shared<Shared>();
    shared->callback = std::move(callback);
    return std::unique_ptr<X11KeyTap>(
        new X11KeyTap(std::move(display), std::move(shared), std::move(options)));
}

X11KeyTap::X11KeyTap(std::unique_ptr<X11Display> display, std::shared_ptr<Shared> shared, Options options)
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

namespace {

// Hands what waited for the holds in place (for anything, once the tap has stopped) to the main
// thread.
void announceHeld(const std::shared_ptr<X11KeyTap::Shared>& shared) {
    std::vector<std::function<void()>> ready;
    {
        std::lock_guard lock(shared->mutex);
        std::erase_if(shared->whenHeld, [&](auto& waiting) {
            if (shared->running && waiting.first > shared->holdsApplied) return false;
            ready.push_back(std::move(waiting.second));
            return true;
        });
    }
    for (auto& then : ready) {
        toMainThread([shared, then = std::move(then)] {
            if (shared->alive) then();
        });
    }
}

}  // namespace

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

    while (display_->isConnected()) {
        takeMarksOfHoldsInPlace();
        // What the server sent first: an answer or an overdue press lets the keyboard go on, and
        // a window activated before that must be known by then, or the keys it was to get go to
        // the window the user left.
        connection.readEvents();
        if (!takeInbox()) break;
        rules.tick(now());
        // After the keys typed before the grabs took effect, which reach the main thread first.
        announceHeld(shared_);
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
    announceHeld(shared_);
    shared_->changed.notify_all();
}

std::unique_ptr<KeyTapPort> createX11KeyTapPort(KeyTapPort::Callback callback,
                                                std::unique_ptr<X11Display> display) {
    return X11KeyTap::create(std::move(callback), {}, std::move(display));
}

}  // namespace mosaiko
