#include "platform/qt/DrawingThreads.hpp"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <algorithm>

namespace mosaiko {

QThreadPool* drawingThreads() {
    static QPointer<QThreadPool> pool;
    if (!pool && QCoreApplication::instance()) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(std::clamp(QThread::idealThreadCount() - 1, 1, 3));
        pool->setExpiryTimeout(10000);
    }
    return pool.data();
}

}  // namespace mosaiko
