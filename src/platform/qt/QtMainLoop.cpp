#include "platform/qt/QtMainLoop.hpp"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <cmath>
#include <utility>

namespace mosaiko {

namespace {

void runGuarded(const std::function<void()>& task) {
    try {
        task();
    } catch (...) {
        // A failing task must not unwind through Qt's event loop.
    }
}

int milliseconds(double seconds) {
    if (!(seconds > 0)) return 0;
    const double ms = std::ceil(seconds * 1000.0);
    return ms > 2'000'000'000.0 ? 2'000'000'000 : static_cast<int>(ms);
}

}  // namespace

QtMainLoop::QtMainLoop() : context_(std::make_unique<QObject>()) {}

QtMainLoop::~QtMainLoop() = default;

void QtMainLoop::post(std::function<void()> task) {
    QMetaObject::invokeMethod(
        context_.get(), [task = std::move(task)] { runGuarded(task); }, Qt::QueuedConnection);
}

Cancellable QtMainLoop::scheduleTimer(double delaySeconds, std::function<void()> task) {
    auto* timer = new QTimer(context_.get());
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, task = std::move(task)] {
        timer->deleteLater();
        runGuarded(task);
    });
    timer->start(milliseconds(delaySeconds));
    return Cancellable([guard = QPointer<QTimer>(timer)] {
        if (guard) {
            guard->stop();
            guard->deleteLater();
        }
    });
}

void QtMainLoop::postDelayed(double delaySeconds, std::function<void()> task) {
    QTimer::singleShot(milliseconds(delaySeconds), Qt::PreciseTimer, context_.get(),
                       [task = std::move(task)] { runGuarded(task); });
}

}  // namespace mosaiko
