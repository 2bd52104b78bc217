#include <QApplication>
#include <QGuiApplication>
#include <QBackingStore>
#include <QImage>
#include <QPaintEvent>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "picker/ui/PickerPanel.hpp"
#include "picker/ui/PickerUiFixture.hpp"

// After Qt's headers: Xlib's macros clash with them.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace mosaiko::testing {
namespace {

using PanelTest = PickerUiFixture;

TEST_F(PanelTest, IsAFramelessToolWindowThatNeverTakesFocus) {
    const QWidget& window = panel->panel();
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(window.isWindow());
    EXPECT_TRUE(flags.testFlag(Qt::Tool));
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(flags.testFlag(Qt::X11BypassWindowManagerHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(window.focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(window.size(), QSize(640, 170));
    EXPECT_TRUE(window.testAttribute(Qt::WA_AlwaysShowToolTips));
}

// Without a compositor the transparent corners would show black: the panel and the matrix popover
// are cut to their drawn shapes, and only then.
TEST_F(PanelTest, WithoutACompositorThePanelAndTheMatrixAreCutToTheirShapes) {
    DesktopAppearance::overrideTranslucentWindowsBlend(false);
    open("handshake");
    model->focusMixButton(PickerViewModel::SelectionOrigin::keyboard);
    model->activateVariantSelection(false);
    settle();
    const QRegion panelShape = panel->panel().mask();
    for (const QPoint corner : {QPoint(1, 1), QPoint(638, 1), QPoint(1, 168), QPoint(638, 168)})
        EXPECT_FALSE(panelShape.contains(corner)) << corner.x() << "," << corner.y();
    for (const QPoint inside : {QPoint(320, 0), QPoint(0, 85), QPoint(639, 85), QPoint(320, 169)})
        EXPECT_TRUE(panelShape.contains(inside)) << inside.x() << "," << inside.y();

    QWidget* popover = view().variantsRow()->popover();
    ASSERT_TRUE(popover->isVisible());
    const QRegion popoverShape = popover->mask();
    const QRect body = popover->rect().adjusted(0, 8, 0, 0);  // the arrow points up at the button
    EXPECT_FALSE(popoverShape.contains(body.topLeft() + QPoint(1, 1)));
    EXPECT_TRUE(popoverShape.contains(body.center()));
    EXPECT_LT(popoverShape.boundingRect().top(), body.top()) << "the arrow is part of the shape";

    DesktopAppearance::overrideTranslucentWindowsBlend(true);
    panel->hide();
    panel->show(screens.pointer);
    EXPECT_TRUE(panel->panel().mask().isEmpty());
}

// A compositing manager may start or stop while the program runs (its client may also just go
// away): the panel's next show follows it, though the display server is not asked on every show.
TEST_F(PanelTest, OnXTheShapeFollowsACompositorStartingAndStopping) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs an X display";
    open("smi");
    Display* compositor = XOpenDisplay(nullptr);
    ASSERT_TRUE(compositor);
    const Window owner = XCreateSimpleWindow(compositor, DefaultRootWindow(compositor), 0, 0, 1, 1, 0, 0, 0);
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(compositor));
    const Atom selection = XInternAtom(compositor, name.c_str(), False);
    auto showsBlended = [&](bool blended) {
        const bool followed =
            QTest::qWaitFor([&] { return DesktopAppearance::translucentWindowsBlend() == blended; }, 5000);
        panel->hide();
        panel->show(screens.pointer);
        return followed && panel->panel().mask().isEmpty() == blended;
    };
    EXPECT_TRUE(showsBlended(false)) << "the test's X server runs no compositor";
    for (const bool running : {true, false, true}) {
        XSetSelectionOwner(compositor, selection, running ? owner : None, CurrentTime);
        XSync(compositor, False);
        EXPECT_TRUE(showsBlended(running)) << "compositor running: " << running;
    }
    XCloseDisplay(compositor);
    EXPECT_TRUE(showsBlended(false)) << "the compositor's client gone";
}

// Counts the paints of a widget that cover all of it.
class WholePaints : public QObject {
  public:
    explicit WholePaints(QWidget& widget) : widget_(widget) { widget.installEventFilter(this); }
    int count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            count += static_cast<QPaintEvent*>(event)->region().contains(widget_.rect());
        return false;
    }

  private:
    QWidget& widget_;
};

// What the X server shows of the panel after each show is what the panel drew, drawn whole once:
// shown first, shown with another search, shown again unchanged. As in a search, the query changes
// right before the show.
TEST_F(PanelTest, OnXEachShowPutsThePanelOnTheScreenAsDrawn) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs an X display";
    Display* display = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display();
    QWidget& window = panel->panel();
    WholePaints paints(view());
    for (const char* query : {"smi", "thumbs", "thumbs"}) {
        panel->hide();
        settle();
        paints.count = 0;
        model->updateQuery(query);
        panel->show(screens.pointer);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window)) << query;
        settle();
        EXPECT_EQ(paints.count, 1) << query;
        const auto* drawn = dynamic_cast<const QImage*>(window.backingStore()->paintDevice());
        ASSERT_TRUE(drawn && drawn->format() == QImage::Format_ARGB32_Premultiplied) << "an opaque window";
        // Asked on the panel's own connection: after everything it sent.
        XImage* screen = XGetImage(display, window.winId(), 0, 0, static_cast<unsigned>(drawn->width()),
                                   static_cast<unsigned>(drawn->height()), AllPlanes, ZPixmap);
        ASSERT_TRUE(screen);
        const QRegion shape = window.mask().isEmpty() ? QRegion(window.rect()) : window.mask();
        int differing = 0;
        for (int y = 0; y < drawn->height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(drawn->constScanLine(y));
            for (int x = 0; x < drawn->width(); ++x)
                differing += shape.contains(QPoint(x, y)) && XGetPixel(screen, x, y) != row[x];
        }
        XDestroyImage(screen);
        EXPECT_EQ(differing, 0) << query;
    }
}

// The widgets are built at their first use, which may come after a session has begun; what their
// fonts need is waited for just before, and only then.
TEST_F(PanelTest, WidgetsBuiltLateShowTheSessionAlreadyUnderWay) {
    panel = std::make_unique<PickerPanelController>(*model, prefs, collections, screens);
    int waits = 0;
    panel->beforeBuilding = [&] { ++waits; };
    panel->hide();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(waits, 0);
    model->resetForNewSession("smi");
    panel->show(screens.pointer);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(view().searchLineText().contains(QStringLiteral("smi")))
        << view().searchLineText().toStdString();
    panel->prepare();
    panel->show(screens.pointer);
    EXPECT_EQ(waits, 1);
}

TEST_F(PanelTest, ShowsAtThePlacementNearThePointerAndMarksTheModel) {
    model->resetForNewSession("smi");
    pointer = {1000, 500};
    panel->show(pointer);
    EXPECT_EQ(panel->lastFrame(), (PanelPlacement::Rect{680, 312, 640, 170}));
    // Converted to Qt's top-left origin on a 900 pt high screen.
    EXPECT_EQ(panel->panel().pos(), QPoint(680, 900 - 482));
    EXPECT_TRUE(model->isVisible());
    EXPECT_FALSE(model->acceptsMouseHoverSelection());

    // Showing again while visible moves the panel to the new pointer and locks hover again.
    model->unlockHoverSelection();
    pointer = {1430, 500};
    panel->show(pointer);
    EXPECT_EQ(panel->panel().pos().x(), 788);
    EXPECT_FALSE(model->acceptsMouseHoverSelection());

    panel->hide();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(model->isVisible());
}

TEST_F(PanelTest, HoverStaysLockedUntilThePointerMovesOnePoint) {
    open("smi");
    ASSERT_GE(model->results().size(), 3u);
    MainRowView* row = view().mainRow();
    ASSERT_GE(row->cellCount(), 3);
    auto hoverThird = [row] { hover(row->viewport(), row->cellRect(2).center()); };

    // The pointer rests where the panel appeared: hovering a cell changes nothing.
    hoverThird();
    settle();
    EXPECT_EQ(model->selectedIndex(), 0);
    EXPECT_TRUE(panel->hoverUnlockOrigin().has_value());

    pointer.x += 0.5;
    hoverThird();
    settle();
    EXPECT_FALSE(model->acceptsMouseHoverSelection());
    EXPECT_EQ(model->selectedIndex(), 0);

    // One point from where it was at show time (d² = 1): unlocked before the cell sees the move.
    pointer = {700, 501};
    hoverThird();
    settle();
    EXPECT_TRUE(model->acceptsMouseHoverSelection());
    EXPECT_FALSE(panel->hoverUnlockOrigin().has_value());
    EXPECT_EQ(model->selectedIndex(), 2);

    // Hiding keeps the lock state; the next show locks again.
    panel->hide();
    EXPECT_TRUE(model->acceptsMouseHoverSelection());
    panel->show(pointer);
    EXPECT_FALSE(model->acceptsMouseHoverSelection());
}

TEST_F(PanelTest, DraggingTheSearchRowMovesThePanel) {
    open("smi");
    QWidget* row = view().searchRow();
    const QPoint start = panel->panel().pos();
    const QPoint at = row->rect().center();
    QMouseEvent press(QEvent::MouseButtonPress, at, row->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(row, &press);
    const QPoint to = at + QPoint(30, 20);
    QMouseEvent drag(QEvent::MouseMove, to, row->mapToGlobal(at) + QPoint(30, 20), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(row, &drag);
    EXPECT_EQ(panel->panel().pos(), start + QPoint(30, 20));
}

// Each change redraws only part of the window: after a run of them (the top row switching between
// chips and variants, the selection moving, letters added and erased) what the window holds must
// equal a drawing of the whole panel from scratch. Only a translucent window's own pixels can be
// compared: run on X (ctest does so under Xvfb), not on the offscreen platform, whose windows are
// opaque.
TEST_F(PanelTest, PartialRedrawsLeaveTheWindowAsAFreshDrawingWould) {
    open("s");
    QWidget& window = panel->panel();
    // On X the window is mapped and given its backing store a moment after it is shown.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto* shown = dynamic_cast<const QImage*>(window.backingStore()->paintDevice());
    if (!shown || !shown->hasAlphaChannel()) {
        if (std::getenv("MOSAIKO_EXPECT_TRANSLUCENT_WINDOWS")) FAIL() << "the window is not translucent";
        GTEST_SKIP() << "the platform's windows are opaque";
    }
    const auto changes = std::vector<std::function<void()>>{
        [&] { model->updateQuery("sm"); },
        [&] { model->updateQuery("smi"); },
        [&] { model->moveSelection(1); },
        [&] { model->updateQuery("thumbs"); },
        [&] { model->updateQuery("thumbs u"); },
        [&] { model->moveSelection(2); },
        [&] { model->updateQuery("thumb"); },
        [&] { model->updateQuery("smiling face"); },
        [&] { model->setScope(PickerViewModel::Scope::glyphs); },
        [&] { model->updateQuery("arrow"); },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        changes[i]();
        settle();
        // The backing store's image is made anew when the window's size in device pixels changes.
        shown = dynamic_cast<const QImage*>(window.backingStore()->paintDevice());
        ASSERT_TRUE(shown);
        const QImage fresh = window.grab().toImage().convertToFormat(shown->format());
        ASSERT_EQ(fresh.size(), shown->size());
        int differing = 0;
        for (int y = 0; y < fresh.height(); ++y)
            for (int x = 0; x < fresh.width(); ++x) differing += fresh.pixel(x, y) != shown->pixel(x, y);
        EXPECT_EQ(differing, 0) << "after change " << i;
    }
}

// An opaque window (no compositing) shows nothing through the panel: where a tile is gone only
// the background is left, with no faint trace of the tile.
TEST_F(PanelTest, AnOpaqueWindowKeepsNoTraceOfATileGone) {
    open("smiling");
    QWidget& window = panel->panel();
    const auto* shown = dynamic_cast<const QImage*>(window.backingStore()->paintDevice());
    if (!shown || shown->hasAlphaChannel()) GTEST_SKIP() << "the platform's windows are translucent";
    MainRowView* row = view().mainRow();
    ASSERT_GE(row->cellCount(), 3);
    const QPoint tile = row->viewport()->mapTo(&window, row->cellRect(2).center());
    const QPoint above(tile.x(), row->viewport()->mapTo(&window, QPoint(0, 2)).y());
    ASSERT_NE(shown->pixel(tile), shown->pixel(above));
    model->updateQuery("thumbs up");
    settle();
    ASSERT_LT(row->cellCount(), 3);
    EXPECT_EQ(shown->pixel(tile), shown->pixel(above));
}

}  // namespace
}  // namespace mosaiko::testing
