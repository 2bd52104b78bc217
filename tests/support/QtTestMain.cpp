// Entry point of the widget and desktop test binaries: a QApplication on the offscreen platform
// unless the test run chose another (the end-to-end tests start their own X server). Tests that
// wait for an X session keep this application's event loop running meanwhile. What the views keep
// in a cache folder goes to one of the run's own, not to the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "support/XSession.hpp"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char cache[] = "/tmp/mosaiko-test-cache-XXXXXX";
    if (mkdtemp(cache)) setenv("XDG_CACHE_HOME", cache, 1);
    QApplication app(argc, argv);
    mosaiko::testing::idleWhileWaiting() = [] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(cache, ignored);
    return result;
}
