// The process entry: a Qt application with no main window that lives in the tray and on the
// keyboard until it is told to quit.
#include <QApplication>
#include <QDBusConnection>
#include <QTimer>
#include <cstdlib>
#include <future>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/AppDelegate.hpp"
#include "app/LiveShell.hpp"
#include "app/OrderlyEnd.hpp"
#include "app/TerminationSignals.hpp"
#include "app/logic/StartupCheck.hpp"
#include "platform/BuildInfo.hpp"
#include "platform/linux/EmojiFontSupport.hpp"
#include "platform/x11/X11Display.hpp"
#include "platform/x11/X11DisplaysAhead.hpp"

int main(int argc, char** argv) {
    using namespace mosaiko;
    surviveBrokenPipes();

    // Which emoji the font can draw is asked of fontconfig, whose first use reads its whole
    // configuration. Nothing needs it before the key tap listens, and done meanwhile on a thread of
    // its own it slowed the main thread's start (the two fault in and map memory at once): the shell
    // begins it once the tap listens, and the panel (through Qt's font database) and the emoji loader
    // wait for it rather than read the configuration a second time at once.
    const auto emojiSystemVersion = std::async(std::launch::deferred, detectEmojiSystemVersion).share();

    // The checking connection stays open until the toolkit has its own. Started as an X server's
    // only client (early in a session script), closing it would make the server reset and refuse
    // the toolkit's connection, and the toolkit aborts when it cannot connect.
    std::unique_ptr<X11Display> checkedDisplay;
    std::string checkedName;
    const auto problem = StartupCheck::displayProblem(std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"),
                                                      [&](const std::string& name) {
                                                          checkedDisplay = X11Display::open(name);
                                                          checkedName = name;
                                                          return checkedDisplay != nullptr;
                                                      });
    if (problem) {
        std::cerr << *problem << "\n";
        return 1;
    }
    // The checking connection goes on to serve the workspace; the key tap's and the event poster's
    // are opened while the toolkit starts.
    std::unique_ptr<X11DisplaysAhead> displays =
        checkedDisplay ? std::make_unique<X11DisplaysAhead>(checkedName, std::move(checkedDisplay), 2)
                       : std::make_unique<X11DisplaysAhead>();

    // The application name becomes the class of every window (WM_CLASS), which is how the key
    // path recognises the program's own windows.
    QApplication::setApplicationName(QString::fromLatin1(buildinfo::kAppIdentifier));
    QApplication::setApplicationVersion(QString::fromLatin1(buildinfo::kShortVersion));
    QApplication::setDesktopFileName(QString::fromLatin1(buildinfo::kAppIdentifier));
    // The whole desktop layer speaks X11: in a Wayland session Qt would pick its Wayland platform,
    // where the panel can be neither placed nor kept from taking the focus. Xwayland serves X11
    // clients there. A user's own choice (QT_QPA_PLATFORM, -platform) still wins.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // Connecting, the toolkit put in an X I/O error handler that ends the process on the thread that
    // notices a broken connection: the key tap's and the event poster's threads must stop instead.
    X11Display::takeBackErrorHandlers();
    // Entering the event loop connects the toolkit's accessibility bridge to the session bus, and
    // the loop waits for that (longer where the bus has to be started). Asked for here, on a thread
    // of its own, the connection is made while the program builds itself and launches.
    const auto sessionBus = std::async(std::launch::async, [] { QDBusConnection::sessionBus(); });

    const std::vector<std::string> arguments(argv, argv + argc);
    LiveShell shell(arguments, *displays, emojiSystemVersion);
    // However the run ends, the stores are saved before another copy may take over; when the
    // toolkit ends the process because the display went away, that happens on the way out.
    OrderlyEnd orderlyEnd([&shell] { shell.close(); });
    orderlyEnd.arm();
    AppDelegate delegate(shell.dependencies());

    // A signal is heard inside some event loop: the main one, or before it the launch's alert, whose
    // loop only exit() ends (quit() is ignored until the main loop runs); the launch then sees the
    // request and has the main loop quit as soon as it runs.
    bool mainLoopRuns = false;
    TerminationSignals terminationSignals(
        [&mainLoopRuns](int) {
            if (mainLoopRuns) {
                QCoreApplication::quit();
            } else {
                QCoreApplication::exit(0);
            }
        },
        [&shell] { shell.stopTyping(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });
    // Launched before the event loop's first turn, as the loop's start connects the toolkit's
    // accessibility bridge to the session bus, which takes milliseconds (longer when it has to start
    // a bus): the keyboard is listened to by then, and held keys wait for the loop as at any busy
    // moment. What the launch defers runs from the loop.
    delegate.applicationDidFinishLaunching();
    QTimer::singleShot(0, &app, [&mainLoopRuns] { mainLoopRuns = true; });
    app.exec();
    orderlyEnd.run();
    return 0;
}
