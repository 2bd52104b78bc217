#pragma once

#include <QObject>
#include <functional>
#include <thread>

class QSocketNotifier;

namespace mosaiko {

// Turns SIGTERM, SIGINT and SIGHUP (the terminal it was started from went away) into a call on the
// main loop, so the program shuts down as it does from its menu: the handler only writes the signal
// number into a socket the loop watches. A newer copy's request to stop typing
// (InstanceRegistry::kStopTypingSignal), which ends nothing, comes to `onStopTyping` the same way,
// but on a thread of its own.
class TerminationSignals final : public QObject {
    Q_OBJECT
  public:
    explicit TerminationSignals(std::function<void(int signalNumber)> onSignal,
                                std::function<void()> onStopTyping = {});
    ~TerminationSignals() override;

    // Whether a termination signal has arrived, already from inside the handler: code that blocks
    // the main loop (a wait for another copy to quit) can see it before the loop gets to run.
    static bool received();

  private:
    std::function<void(int)> onSignal_;
    std::function<void()> onStopTyping_;
    QSocketNotifier* notifier_ = nullptr;
    std::thread stopTypingListener_;
};

// A write to a connection whose other end has gone (the X server of a display that went away)
// raises SIGPIPE, which ended the process on whichever thread wrote, before the stores were saved.
// With a handler that does nothing the write fails instead, and the connection is seen broken. A
// handler rather than SIG_IGN: the processes the program starts do not inherit it.
void surviveBrokenPipes();

}  // namespace mosaiko
