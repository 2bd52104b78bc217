#include "app/WindowControllers.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include "content/CollectionsStore.hpp"
#include "content/CustomContentStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/PreferencesStore.hpp"
#include "library/LibraryViewModel.hpp"
#include "library/ui/LibraryView.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/fake/FakeProcessLauncher.hpp"
#include "platform/fake/ManualMainLoop.hpp"

namespace mosaiko {
namespace {

// What a library window shows: a view model over stores in memory.
struct LibraryContent {
    ManualMainLoop loop;
    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    CollectionsStore collections{defaults};
    EmojiUsageStore usage{defaults, loop};
    CustomContentStore custom{defaults};
    EmojiDatabase db{{}, {}, OperatingSystemVersion{99, 0, 0}};
    LibraryViewModel model{db, prefs, usage, collections, loop};
};

// What a guide window needs, answering as a trusted desktop would.
struct GuideServices {
    OnboardingViewModel::Dependencies dependencies() {
        OnboardingViewModel::Dependencies d;
        d.trustChecker = [](bool) { return true; };
        d.resetRequiredPermissions = [](std::function<void(PermissionResetSummary)>) {};
        d.recordCompletion = [] {};
        d.launcher = &launcher;
        d.terminate = [] {};
        return d;
    }
    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    ManualMainLoop clock;
    EmojiUsageStore usage{defaults, clock};
    FakeProcessLauncher launcher;
};

TEST(WindowControllers, EachWindowHasItsTitleAndSize) {
    GuideServices services;
    PreferencesWindowController settings;
    StatsRange range = StatsRange::allTime;
    StatsWindowController stats(services.usage, range);
    OnboardingWindowController guide(OnboardingPage::permissions, services.prefs, services.dependencies());
    LibraryContent content;
    LibraryWindowController library(content.model, content.custom);

    EXPECT_EQ(settings.window()->windowTitle(), QStringLiteral("Mosaiko Settings"));
    EXPECT_EQ(settings.window()->size(), QSize(900, 780));
    EXPECT_EQ(stats.window()->windowTitle(), QStringLiteral("Mosaiko Statistics"));
    EXPECT_EQ(stats.window()->size(), QSize(520, 720));
    EXPECT_EQ(guide.window()->windowTitle(), QStringLiteral("Mosaiko Guide"));
    EXPECT_EQ(guide.window()->size(), QSize(760, 620));
    EXPECT_EQ(guide.startPage(), OnboardingPage::permissions);
    EXPECT_EQ(library.window()->windowTitle(), QStringLiteral("Emoji Library"));
    EXPECT_EQ(library.window()->size(), QSize(1280, 780));
}

TEST(WindowControllers, WindowButtonsMatchWhatEachWindowAllows) {
    GuideServices services;
    PreferencesWindowController settings;
    OnboardingWindowController guide(OnboardingPage::welcome, services.prefs, services.dependencies());
    LibraryContent content;
    LibraryWindowController library(content.model, content.custom);

    EXPECT_TRUE(settings.window()->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(settings.window()->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(guide.window()->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(guide.window()->windowFlags() & Qt::WindowMinimizeButtonHint);

    const auto flags = library.window()->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(library.window()->testAttribute(Qt::WA_ShowWithoutActivating));
}

TEST(WindowControllers, ClosingOnlyHidesTheWindow) {
    LibraryContent content;
    LibraryWindowController library(content.model, content.custom);
    library.orderFrontRegardless();
    EXPECT_TRUE(library.window()->isVisible());
    // The library's content cannot be made smaller than it needs.
    library.window()->resize(700, 500);
    EXPECT_EQ(library.window()->size(), QSize(1160, 720));
    library.window()->resize(1300, 800);
    library.close();
    EXPECT_FALSE(library.window()->isVisible());
    library.orderFrontRegardless();
    EXPECT_EQ(library.window()->size(), QSize(1300, 800));
}

TEST(WindowControllers, AMinimisedWindowComesBackWhenOpenedAgain) {
    PreferencesWindowController settings;
    LibraryContent content;
    LibraryWindowController library(content.model, content.custom);
    settings.showWindow();
    library.orderFrontRegardless();
    for (WindowController* controller :
         {static_cast<WindowController*>(&settings), static_cast<WindowController*>(&library)}) {
        controller->window()->showMinimized();
        ASSERT_TRUE(controller->window()->isMinimized());
    }
    settings.showWindow();
    library.orderFrontRegardless();
    EXPECT_FALSE(settings.window()->isMinimized());
    EXPECT_FALSE(library.window()->isMinimized());
    EXPECT_TRUE(settings.window()->isVisible() && library.window()->isVisible());
}

TEST(WindowControllers, LibraryWindowSeesKeysBeforeTheFocusedViewAndOnlyOnce) {
    LibraryContent content;
    LibraryWindowController library(content.model, content.custom);
    QLineEdit* field = library.view()->searchField();
    int calls = 0;
    bool handle = true;
    library.libraryWindow()->onKeyDown = [&](const KeyEvent& event) {
        ++calls;
        return handle && event.keyCode == KeyCode::escape;
    };
    library.showWindow();
    QApplication::setActiveWindow(library.window());
    field->setFocus();
    QWidget* target = QApplication::focusWidget() == field ? static_cast<QWidget*>(field) : library.window();

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(target, &escape);
    EXPECT_EQ(calls, 1);

    // Not handled: the press reaches the focused view, and the window's handler is not asked again
    // as it travels up to the window.
    if (target == field) {
        QKeyEvent letter(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(field, &letter);
        EXPECT_EQ(calls, 2);
        EXPECT_EQ(field->text(), QStringLiteral("x"));
        QKeyEvent unhandledEscape(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
        QApplication::sendEvent(field, &unhandledEscape);
        EXPECT_EQ(calls, 3);
    }
}

// Ctrl+W closes whichever of the program's windows has the keyboard.
TEST(WindowControllers, CtrlWClosesEachWindow) {
    GuideServices services;
    PreferencesWindowController settings;
    StatsRange range = StatsRange::allTime;
    StatsWindowController stats(services.usage, range);
    OnboardingWindowController guide(OnboardingPage::welcome, services.prefs, services.dependencies());
    LibraryContent content;
    LibraryWindowController library(content.model, content.custom);
    for (WindowController* controller :
         {static_cast<WindowController*>(&settings), static_cast<WindowController*>(&stats),
          static_cast<WindowController*>(&guide), static_cast<WindowController*>(&library)}) {
        QWidget* window = controller->window();
        controller->showWindow();
        QApplication::setActiveWindow(window);
        if (QApplication::activeWindow() != window) GTEST_SKIP() << "this platform activates no window";
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_W,
                        Qt::ControlModifier);
        EXPECT_FALSE(window->isVisible()) << window->windowTitle().toStdString();
    }
}

}  // namespace
}  // namespace mosaiko
