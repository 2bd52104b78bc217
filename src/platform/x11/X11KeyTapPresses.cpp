#include "platform/x11/X11KeyTapPresses.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "platform/MainLoop.hpp"
#include "platform/x11/PostedKeyLedger.hpp"

namespace mosaiko {

namespace {

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

}  // namespace

X11KeyTapPresses::X11KeyTapPresses(PostedKeyLedger& ledger) : ledger_(ledger) {}

void X11KeyTapPresses::findPosterKeyboards(Display* display) {
    posterKeyboards_ = xtestKeyboards(display);
}

void X11KeyTapPresses::noteSource(int sourceId) {
    posterMayHaveTyped_ = posterKeyboards_.empty() || posterKeyboards_.count(sourceId) > 0;
}

void X11KeyTapPresses::noteRaw(unsigned keycode, unsigned long time, bool isPress) {
    std::deque<std::pair<unsigned long, bool>>& history = rawHistory_[keycode];
    history.emplace_back(time, isPress);
    if (history.size() > kRawHistory) history.pop_front();
}

bool X11KeyTapPresses::isRepeatAfterRelease(unsigned keycode, unsigned long time) const {
    const auto& history = rawHistory_[keycode & 0xFF];
    for (auto it = history.rbegin(); it != history.rend(); ++it) {
        // Server times wrap around: compared by their difference.
        if (static_cast<std::int32_t>(static_cast<std::uint32_t>(time - it->first)) >= 0) return !it->second;
    }
    return false;
}

void X11KeyTapPresses::notePassedUnheld(unsigned keycode, unsigned long time, bool typedOtherwise) {
    std::vector<std::pair<unsigned long, bool>>& unheld = passedUnheld_[keycode];
    unheld.emplace_back(time, typedOtherwise);
    if (unheld.size() > kRawHistory) unheld.erase(unheld.begin());
}

std::optional<bool> X11KeyTapPresses::takePassedUnheld(unsigned keycode, unsigned long time) {
    std::vector<std::pair<unsigned long, bool>>& unheld = passedUnheld_[keycode & 0xFF];
    // The same press, by its time; a later one of a key still down is one of its repeats.
    const auto it = std::find_if(unheld.begin(), unheld.end(), [&](auto& p) { return p.first == time; });
    if (it == unheld.end()) return std::nullopt;
    const bool typedOtherwise = it->second;  // as reported (see TapConnection::rawPress)
    unheld.erase(it);
    return typedOtherwise;
}

void X11KeyTapPresses::notePressed(unsigned keycode, bool own) {
    noteDown(keycode, own);
    ownDown_.set(keycode, own);
}

void X11KeyTapPresses::noteReleased(unsigned keycode) {
    ownDown_.reset(keycode);
    down_.erase(keycode);
    noteDown(keycode, std::nullopt);
}

void X11KeyTapPresses::noteDown(unsigned keycode, std::optional<bool> own) {
    const bool userBefore = userDown_.test(keycode);
    userDown_.set(keycode, own && !*own);
    if (userDown_.test(keycode) != userBefore) publishUserKeysDown();
}

void X11KeyTapPresses::publishUserKeysDown() {
    ledger_.setUserKeysDown(userDown_ | typedDown_);
}

void X11KeyTapPresses::noteTypedDown(unsigned keycode, bool isPress) {
    if (isPress && posterMayHaveTyped_ && ledger_.claimTyped(keycode, now())) return;  // the program's own
    if (typedDown_.test(keycode) == isPress) return;
    typedDown_.set(keycode, isPress);
    publishUserKeysDown();
}

}  // namespace mosaiko
