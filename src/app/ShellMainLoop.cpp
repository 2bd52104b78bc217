#include "app/ShellMainLoop.hpp"

#include <QPointer>
#include <QTimer>
#include <cmath>

namespace mosaiko {

namespace {

int milliseconds(double seconds) {
    return static_cast<int>(std::lround(std::max(0.0, seconds) * 1000.0));
}

}  // namespace

ShellMainLoop::ShellMainLoop() = default;
ShellMainLoop::~ShellMainLoop() = default;

void ShellMainLoop::post(std::function<void()> task) {
    QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

Cancellable ShellMainLoop::scheduleTimer(double delaySeconds, std::function<void()> task) {
    auto* timer = new QTimer(&context_);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, task = std::move(task)] {
        timer->deleteLater();
        task();
    });
    timer->start(milliseconds(delaySeconds));
    QPointer<QTimer> guard(timer);
    return Cancellable([guard] {
        if (guard) {
            guard->stop();
            guard->deleteLater();
        }
    });
}

void ShellMainLoop::postDelayed(double delaySeconds, std::function<void()> task) {
    QTimer::singleShot(milliseconds(delaySeconds), &context_, std::move(task));
}

}  // namespace mosaiko
