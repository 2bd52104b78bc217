// Entry point of the widget and desktop test binaries: a QApplication on the offscreen platform
// unless the test run chose another (the end-to-end tests start their own X server). Tests that
// wait for an X session keep this application's event loop running meanwhile.
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "support/XSession.hpp"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    mosaiko::testing::idleWhileWaiting() = [] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
