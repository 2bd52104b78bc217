#include "platform/qt/QtMainLoop.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <stdexcept>
#include <thread>

namespace mosaiko {
namespace {

void pumpUntil(const std::function<bool()>& condition, int timeoutMs = 2000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

TEST(QtMainLoopTest, RunsPostedTasksInOrderAfterTheCurrentWork) {
    QtMainLoop loop;
    std::vector<int> order;
    loop.post([&] {
        order.push_back(1);
        loop.post([&] { order.push_back(3); });
    });
    loop.post([&] { throw std::runtime_error("a failing task ends only itself"); });
    loop.post([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    pumpUntil([&] { return order.size() == 3; });
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(QtMainLoopTest, TasksGivingWayRunAfterThoseThatCameLaterButInTheirOwnOrder) {
    QtMainLoop loop;
    std::vector<int> order;
    loop.postGivingWay([&] { order.push_back(3); });
    loop.postGivingWay([&] { throw std::runtime_error("a failing task ends only itself"); });
    loop.postGivingWay([&] {
        order.push_back(4);
        loop.post([&] { order.push_back(5); });
    });
    std::thread([&] { loop.post([&] { order.push_back(1); }); }).join();
    loop.post([&] { order.push_back(2); });
    pumpUntil([&] { return order.size() == 5; });
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(QtMainLoopTest, TasksPostedFromAnotherThreadRunOnTheMainThread) {
    QtMainLoop loop;
    std::thread::id ranOn;
    std::thread worker([&] { loop.post([&] { ranOn = std::this_thread::get_id(); }); });
    worker.join();
    pumpUntil([&] { return ranOn != std::thread::id(); });
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(QtMainLoopTest, TimersFireOnceInOrderOfTheirDelaysUnlessCancelled) {
    QtMainLoop loop;
    std::vector<std::string> fired;
    Cancellable late = loop.scheduleTimer(0.06, [&] { fired.push_back("late"); });
    Cancellable early = loop.scheduleTimer(0.02, [&] { fired.push_back("early"); });
    Cancellable cancelled = loop.scheduleTimer(0.01, [&] { fired.push_back("cancelled"); });
    Cancellable dropped = loop.scheduleTimer(0.01, [&] { fired.push_back("dropped"); });
    loop.postDelayed(0.04, [&] { fired.push_back("delayed"); });
    cancelled.cancel();
    dropped = Cancellable();
    EXPECT_FALSE(cancelled.isActive());
    pumpUntil([&] { return fired.size() == 3; });
    pumpUntil([] { return false; }, 50);
    EXPECT_EQ(fired, (std::vector<std::string>{"early", "delayed", "late"}));
    early.cancel();  // after it fired: harmless
}

TEST(QtMainLoopTest, NothingRunsOnceTheLoopIsGone) {
    bool ran = false;
    Cancellable timer;
    {
        QtMainLoop loop;
        loop.post([&] { ran = true; });
        loop.postGivingWay([&] { ran = true; });
        loop.postDelayed(0, [&] { ran = true; });
        timer = loop.scheduleTimer(0, [&] { ran = true; });
    }
    pumpUntil([] { return false; }, 50);
    EXPECT_FALSE(ran);
    timer.cancel();
}

}  // namespace
}  // namespace mosaiko
