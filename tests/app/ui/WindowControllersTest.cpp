#include "app/WindowControllers.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "content/CollectionsStore.hpp"
#include "content/CustomContentStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/PreferencesStore.hpp"
#include "library/LibraryViewModel.hpp"
#include "library/ui/LibraryView.hpp"
#include "onboarding/ui/OnboardingView.hpp"
#include "onboarding/ui/StatsView.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/fake/FakeProcessLauncher.hpp"
#include "platform/fake/ManualMainLoop.hpp"
#include "support/MemoryStores.hpp"
#include "support/RenderForReview.hpp"

namespace mosaiko {
namespace {

// What a library window shows: a view model over stores in memory.
struct LibraryContent : testing::MemoryStores {
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

// One of each of the program's windows, the guide on `guidePage`.
struct ProgramWindows {
    explicit ProgramWindows(OnboardingPage guidePage)
        : guide(guidePage, services.prefs, services.dependencies()) {}

    GuideServices services;
    PreferencesWindowController settings;
    StatsRange range = StatsRange::allTime;
    StatsWindowController stats{services.usage, range};
    OnboardingWindowController guide;
    LibraryContent content;
    LibraryWindowController library{content.model, content.custom};
};

TEST(WindowControllers, EachWindowHasItsTitleAndSize) {
    ProgramWindows w(OnboardingPage::permissions);

    EXPECT_EQ(w.settings.window()->windowTitle(), QStringLiteral("Mosaiko Settings"));
    EXPECT_EQ(w.settings.window()->size(), QSize(900, 780));
    EXPECT_EQ(w.stats.window()->windowTitle(), QStringLiteral("Mosaiko Statistics"));
    EXPECT_EQ(w.stats.window()->size(), QSize(520, 720));
    EXPECT_EQ(w.guide.window()->windowTitle(), QStringLiteral("Mosaiko Guide"));
    EXPECT_EQ(w.guide.window()->size(), QSize(760, 620));
    EXPECT_EQ(w.guide.startPage(), OnboardingPage::permissions);
    EXPECT_EQ(w.library.window()->windowTitle(), QStringLiteral("Emoji Library"));
    EXPECT_EQ(w.library.window()->size(), QSize(1280, 780));
}

// On a screen without room for their usual height, Statistics and the guide open smaller with only
// their list or page scrolling: the header and the buttons whole in the window and outside anything
// that scrolls, and no scroll bar but the list's or the page's. ctest runs this on X at 1.5 and 2
// times on 1920 x 1080, where Statistics, and at 2 times the guide, must shrink.
TEST(WindowControllers, OnXWindowsThatMustShrinkScrollOnlyTheirLists) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs an X display";
    ProgramWindows w(OnboardingPage::welcome);
    for (int i = 0; i < 40; ++i) w.services.usage.recordUsed("text " + std::to_string(i));
    const auto settle = [] {
        for (int i = 0; i < 4; ++i) QCoreApplication::processEvents();
    };
    // What scrolls in `window`, after checking that `controls` do not.
    const auto scrolling = [](QWidget* window, std::initializer_list<QWidget*> controls) {
        for (QWidget* control : controls) {
            const QRect shown(control->mapTo(window, QPoint(0, 0)), control->size());
            EXPECT_TRUE(window->rect().contains(shown)) << control->objectName().toStdString();
            for (QWidget* up = control->parentWidget(); up != window; up = up->parentWidget())
                EXPECT_EQ(qobject_cast<QScrollArea*>(up), nullptr) << control->objectName().toStdString();
        }
        std::vector<QWidget*> contents;
        for (const QScrollArea* area : window->findChildren<QScrollArea*>())
            if (area->verticalScrollBar()->isVisible()) contents.push_back(area->widget());
        return contents;
    };
    const QString scale = QString::number(QGuiApplication::primaryScreen()->devicePixelRatio());

    w.stats.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.stats.window()));
    settle();
    if (w.stats.window()->height() == 720) GTEST_SKIP() << "the screen has room for Statistics";
    StatsView* stats = w.stats.view();
    testing::saveForReview(w.stats.window()->grab().toImage(), QStringLiteral("statistics-at-") + scale,
                           false);
    EXPECT_EQ(scrolling(w.stats.window(), {stats->resetButton(), stats->rangeButton(StatsRange::days7)}),
              std::vector<QWidget*>{stats->list()});

    w.guide.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.guide.window()));
    OnboardingView* guide = w.guide.view();
    for (const OnboardingPage page : onboarding_page::allCases) {
        guide->model().selectPage(page);
        settle();
        const QString name = QString::fromUtf8(onboarding_page::presentation(page).tabTitle).toLower();
        testing::saveForReview(w.guide.window()->grab().toImage(),
                               QStringLiteral("guide-%1-at-%2").arg(name, scale), false);
        for (QWidget* content :
             scrolling(w.guide.window(), {guide->tab(page), guide->headline(), guide->leadingButton(),
                                          guide->stepCounter(), guide->trailingButton()}))
            EXPECT_EQ(content, guide->page()) << onboarding_page::rawValue(page);
    }
}

TEST(WindowControllers, WindowButtonsMatchWhatEachWindowAllows) {
    ProgramWindows w(OnboardingPage::welcome);

    EXPECT_TRUE(w.settings.window()->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.settings.window()->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.guide.window()->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(w.guide.window()->windowFlags() & Qt::WindowMinimizeButtonHint);

    const auto flags = w.library.window()->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.library.window()->testAttribute(Qt::WA_ShowWithoutActivating));
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
    ProgramWindows w(OnboardingPage::welcome);
    for (WindowController* controller :
         std::initializer_list<WindowController*>{&w.settings, &w.stats, &w.guide, &w.library}) {
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
