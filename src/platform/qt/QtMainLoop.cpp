#include "platform/qt/QtMainLoop.hpp"

#include <QCoreApplication>
#include <QEvent>
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

// A task carried by an event, so that it can be posted at a priority of its own.
class TaskEvent final : public QEvent {
  public:
    explicit TaskEvent(std::function<void()> task) : QEvent(type()), task_(std::move(task)) {}
    static QEvent::Type type() {
        static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
        return registered;
    }
    void run() const { runGuarded(task_); }

  private:
    std::function<void()> task_;
};

class Context final : public QObject {
  protected:
    void customEvent(QEvent* event) override {
        if (event->type() == TaskEvent::type()) static_cast<TaskEvent*>(event)->run();
    }
};

}  // namespace

QtMainLoop::QtMainLoop() : context_(std::make_unique<Context>()) {}

QtMainLoop::~QtMainLoop() = default;

void QtMainLoop::post(std::function<void()> task) {
    QMetaObject::invokeMethod(
        context_.get(), [task = std::move(task)] { runGuarded(task); }, Qt::QueuedConnection);
}

void QtMainLoop::postGivingWay(std::function<void()> task) {
    // Qt delivers posted events by priority: those of normal priority posted later go first.
    QCoreApplication::postEvent(context_.get(), new TaskEvent(std::move(task)), Qt::LowEventPriority);
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
