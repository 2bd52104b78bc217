#include "app/TerminationSignals.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

#include "platform/linux/InstanceRegistry.hpp"

namespace mosaiko {

namespace {

int signalSockets[2] = {-1, -1};
int stopTypingSockets[2] = {-1, -1};
volatile sig_atomic_t signalReceived = 0;

void forwardSignal(int signalNumber) {
    const bool stopTyping = signalNumber == InstanceRegistry::kStopTypingSignal;
    if (!stopTyping) signalReceived = 1;
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written =
        ::write((stopTyping ? stopTypingSockets : signalSockets)[0], &byte, 1);
    errno = savedErrno;
}

void install(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    ::sigaction(InstanceRegistry::kStopTypingSignal, &action, nullptr);
}

void ignoreSignal(int) {}

}  // namespace

void surviveBrokenPipes() {
    struct sigaction action {};
    action.sa_handler = ignoreSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGPIPE, &action, nullptr);
}

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal, std::function<void()> onStopTyping)
    : onSignal_(std::move(onSignal)), onStopTyping_(std::move(onStopTyping)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalSockets) != 0) return;
    notifier_ = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(signalSockets[1], &byte, 1) == 1) {
            if (onSignal_) onSignal_(byte);
        }
    });
    // The main loop may be busy with the very keys being typed: a thread of its own hears the
    // request to stop typing at once. It ends when the sending end is closed.
    if (onStopTyping_ && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stopTypingSockets) == 0) {
        stopTypingListener_ = std::thread([this] {
            unsigned char byte = 0;
            while (true) {
                const ssize_t n = ::read(stopTypingSockets[1], &byte, 1);
                if (n == 1) {
                    onStopTyping_();
                } else if (n == 0 || errno != EINTR) {
                    break;
                }
            }
        });
    }
    install(forwardSignal);
}

bool TerminationSignals::received() {
    return signalReceived != 0;
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_) return;
    install(SIG_DFL);
    // A late request to stop typing must not end the process in the middle of its last steps.
    ::signal(InstanceRegistry::kStopTypingSignal, SIG_IGN);
    delete notifier_;
    ::close(signalSockets[0]);
    ::close(signalSockets[1]);
    signalSockets[0] = signalSockets[1] = -1;
    if (stopTypingListener_.joinable()) {
        ::shutdown(stopTypingSockets[0], SHUT_WR);
        stopTypingListener_.join();
        ::close(stopTypingSockets[0]);
        ::close(stopTypingSockets[1]);
        stopTypingSockets[0] = stopTypingSockets[1] = -1;
    }
}

}  // namespace mosaiko
