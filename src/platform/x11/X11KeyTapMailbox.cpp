#include "platform/x11/X11KeyTapMailbox.hpp"

#include <QCoreApplication>
#include <QMetaObject>

#include <unistd.h>

namespace mosaiko {

namespace {

bool callGuarded(const X11KeyTapMailbox& shared, const KeyEvent& event) {
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

}  // namespace

void X11KeyTapMailbox::wake() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wakeFd, &one, sizeof one);
}

void X11KeyTapMailbox::deliver(std::uint64_t id, KeyEvent event, bool asks) {
    toMainThread([shared = shared_from_this(), id, event, asks]() mutable {
        if (!shared->alive) return;
        // A press that went on meanwhile (no answer in time) can no longer be dropped; one that is
        // taken up here waits for this answer.
        std::uint64_t expected = id;
        if (asks && !shared->waitingFor.compare_exchange_strong(expected, id | kTakenUp)) {
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

void X11KeyTapMailbox::ask(std::uint64_t id, const KeyEvent& event, bool asks) {
    if (asks) {
        waitingFor = id;
        handledBefore_ = handled.load();
    }
    deliver(id, event, asks);
}

KeyTapRules::Progress X11KeyTapMailbox::progress(std::uint64_t id, bool mayWait) {
    // Still working through the events that came before this press: it may wait on.
    const std::uint64_t handledNow = handled.load();
    if (mayWait && handledNow != handledBefore_) {
        handledBefore_ = handledNow;
        return KeyTapRules::Progress::catchingUp;
    }
    std::uint64_t expected = id;
    return waitingFor.compare_exchange_strong(expected, 0) ? KeyTapRules::Progress::idle
                                                           : KeyTapRules::Progress::deciding;
}

void X11KeyTapMailbox::sendMark(std::int64_t token) {
    KeyEvent notice;
    notice.type = KeyEvent::Type::mark;
    notice.userData = token;
    notice.held = false;
    deliver(0, notice, false);
}

void X11KeyTapMailbox::announceHeld() {
    std::vector<std::function<void()>> ready;
    {
        std::lock_guard lock(mutex);
        std::erase_if(whenHeld, [&](auto& waiting) {
            if (running && waiting.first > holdsApplied) return false;
            ready.push_back(std::move(waiting.second));
            return true;
        });
    }
    for (auto& then : ready) {
        toMainThread([shared = shared_from_this(), then = std::move(then)] {
            if (shared->alive) then();
        });
    }
}

}  // namespace mosaiko
