#include "app/WindowControllers.hpp"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>
#include <utility>

#include "app/logic/LibraryKeyHandler.hpp"
#include "library/LibraryViewModel.hpp"
#include "library/ui/LibraryView.hpp"
#include "onboarding/ui/OnboardingView.hpp"
#include "onboarding/ui/StatsView.hpp"
#include "platform/WindowPlacement.hpp"
#include "platform/qt/ActiveScreen.hpp"
#include "platform/qt/WindowMemory.hpp"

namespace mosaiko {

// ---------------------------------------------------------------- WindowController

WindowController::WindowController(std::unique_ptr<QWidget> window, QSize size, Sizing sizing,
                                   const QString& title)
    : window_(std::move(window)), usualSize_(size), sizing_(sizing) {
    if (sizing_ == Sizing::fixed) {
        window_->setFixedSize(size);
    } else {
        window_->resize(size);
    }
    window_->setWindowTitle(title);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        window_->move(available.center() - QPoint(size.width() / 2, size.height() / 2));
    }
    auto* layout = new QVBoxLayout(window_.get());
    layout->setContentsMargins(0, 0, 0, 0);
    contentHost_ = new QWidget(window_.get());
    layout->addWidget(contentHost_);
    // The desktop's key for closing a window (Ctrl+W), as the title bar's close button does.
    auto* closing = new QAction(QStringLiteral("Close Window"), window_.get());
    closing->setShortcuts(QKeySequence::Close);
    connect(closing, &QAction::triggered, this, [this] { close(); });
    window_->addAction(closing);
    WindowMemory::releaseWhenClosed(window_.get());
}

WindowController::~WindowController() = default;

namespace {

// A minimised window is unmapped: show() leaves it so, and the platform defers activating it until
// it is mapped again, which never happens by itself.
void restoreIfMinimized(QWidget& window) {
    if (window.isMinimized()) window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
}

}  // namespace

void WindowController::placeForShowing() {
    if (window_->isVisible()) return;
    QScreen* screen = ActiveScreen::screen();
    // Shown again, a window opens where it was, unless the user now works on another screen.
    if (placed_ && (!screen || QGuiApplication::screenAt(window_->frameGeometry().center()) == screen))
        return;
    // A resizable window keeps the size the user gave it, as far as the screen has room for it.
    const QSize usual = placed_ && sizing_ == Sizing::resizable ? window_->size() : usualSize_;
    placed_ = true;
    if (!screen) return;
    const QMargins frame = ActiveScreen::frameMargins();
    const QRect area = screen->availableGeometry();
    // Whole pixels in, whole pixels out.
    const auto place = [frame = QMarginsF(frame), area = QRectF(area)](QSize usual) {
        const QSizeF size(usual);
        const WindowPlacement::Rect r = WindowPlacement::place(
            {size.width(), size.height()}, {frame.left(), frame.top(), frame.right(), frame.bottom()},
            {area.x(), area.y(), area.width(), area.height()});
        return QRectF(r.x, r.y, r.width, r.height).toRect();
    };
    QRect placed = place(usual);
    QSize size = placed.size();
    if (size != usual) {
        fitContent(size);
        // Content that cannot be made as small scrolls; a vertical scroll bar takes width, which
        // the window gets where there is room.
        const QSize least = contentHost_->minimumSizeHint();
        if (least.width() > size.width() || least.height() > size.height()) {
            if (least.height() > size.height()) {
                placed = place(usual + QSize(window_->style()->pixelMetric(QStyle::PM_ScrollBarExtent), 0));
                size = placed.size();
            }
            letContentScroll();
        }
    }
    window_->setScreen(screen);
    if (sizing_ == Sizing::fixed) {
        window_->setFixedSize(size);
    } else {
        window_->resize(size);
    }
    window_->move(placed.x() - frame.left(), placed.y() - frame.top());
}

void WindowController::fitContent(QSize) {}

void WindowController::letContentScroll() {
    if (contentHost_->parentWidget() != window_.get()) return;  // it scrolls already
    auto* layout = static_cast<QVBoxLayout*>(window_->layout());
    layout->removeWidget(contentHost_);
    auto* area = new QScrollArea(window_.get());
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(contentHost_);
    layout->addWidget(area);
}

void WindowController::showWindow() {
    placeForShowing();
    restoreIfMinimized(*window_);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void WindowController::close() {
    window_->close();
}

void WindowController::setKeptAbove(bool above) {
    if (isKeptAbove() == above) return;
    const Qt::WindowFlags flags = window_->windowFlags() ^ Qt::WindowStaysOnTopHint;
    // setWindowFlags would hide a shown window and build it anew; the window system takes the
    // change of this one flag as it is.
    window_->overrideWindowFlags(flags);
    if (QWindow* handle = window_->windowHandle()) handle->setFlags(flags);
}

bool WindowController::isKeptAbove() const {
    return window_->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void WindowController::addMenuActions(const QList<QAction*>& actions) {
    for (QAction* action : actions) {
        if (!action->isSeparator() && !action->shortcut().isEmpty()) window_->addAction(action);
    }
}

// ---------------------------------------------------------------- settings, statistics, guide

namespace {

std::unique_ptr<QWidget> plainWindow(Qt::WindowFlags buttons) {
    auto window = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::WindowTitleHint | buttons);
    return window;
}

// Puts `view` in `host`, filling it.
void fill(QWidget* host, QWidget* view) {
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
}

}  // namespace

PreferencesWindowController::PreferencesWindowController()
    : WindowController(plainWindow(Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint), {900, 780},
                       Sizing::fixed, QStringLiteral("Mosaiko Settings")) {}

StatsWindowController::StatsWindowController(EmojiUsageStore& usage, StatsRange& keptRange)
    : WindowController(plainWindow(Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint), {520, 720},
                       Sizing::fixed, QStringLiteral("Mosaiko Statistics")) {
    view_ = new StatsView(usage, contentHost());
    view_->model().setRange(keptRange);
    keepingRange_ = view_->model().range.subscribe([&keptRange](StatsRange range) { keptRange = range; });
    fill(contentHost(), view_);
}

OnboardingWindowController::OnboardingWindowController(OnboardingPage startPage, PreferencesStore& prefs,
                                                       OnboardingViewModel::Dependencies dependencies)
    : WindowController(plainWindow(Qt::WindowCloseButtonHint), {760, 620}, Sizing::fixed,
                       QStringLiteral("Mosaiko Guide")),
      startPage_(startPage) {
    dependencies.dismiss = [this] { close(); };
    view_ = new OnboardingView(startPage, prefs, std::move(dependencies), contentHost());
    fill(contentHost(), view_);
}

// ---------------------------------------------------------------- library

LibraryWindow::LibraryWindow()
    : QWidget(nullptr, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::WindowMinMaxButtonsHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    // The panel shows over other programs without being their active window: its tooltips must
    // not wait for a first click into it.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    qApp->installEventFilter(this);
}

LibraryWindow::~LibraryWindow() {
    qApp->removeEventFilter(this);
}

bool LibraryWindow::hasAttachedSheet() const {
    for (const QDialog* dialog : findChildren<QDialog*>()) {
        if (dialog->isVisible()) return true;
    }
    return false;
}

KeyEvent LibraryWindow::keyEvent(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text) {
    KeyEvent event;
    event.type = KeyEvent::Type::keyDown;
    switch (qtKey) {
        case Qt::Key_Return:
            event.keyCode = KeyCode::returnKey;
            break;
        case Qt::Key_Enter:
            event.keyCode = KeyCode::keypadEnter;
            break;
        case Qt::Key_Escape:
            event.keyCode = KeyCode::escape;
            break;
        case Qt::Key_Left:
            event.keyCode = KeyCode::leftArrow;
            break;
        case Qt::Key_Right:
            event.keyCode = KeyCode::rightArrow;
            break;
        case Qt::Key_Down:
            event.keyCode = KeyCode::downArrow;
            break;
        case Qt::Key_Up:
            event.keyCode = KeyCode::upArrow;
            break;
        case Qt::Key_Tab:
            event.keyCode = KeyCode::tab;
            break;
        case Qt::Key_Backspace:
            event.keyCode = KeyCode::deleteKey;
            break;
        default:
            // Keys the library does not act on: a code no handled key uses.
            event.keyCode = 0xFFFF;
            break;
    }
    if (modifiers & Qt::ShiftModifier) event.modifierFlags |= ModifierFlag::shift;
    if (modifiers & Qt::ControlModifier) event.modifierFlags |= ModifierFlag::control;
    if (modifiers & Qt::AltModifier) event.modifierFlags |= ModifierFlag::option;
    if (modifiers & Qt::MetaModifier) event.modifierFlags |= ModifierFlag::command;
    event.characters = text.toStdString();
    event.charactersIgnoringModifiers = event.characters;
    return event;
}

void LibraryWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    emit hidden();
}

bool LibraryWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !onKeyDown) return false;
    // A press is delivered to the focused view first and then, unhandled, to its parents: act at
    // the first delivery only, and only for presses meant for this window.
    QWidget* first = QApplication::focusWidget();
    if (!first || first->window() != this) first = this;
    if (watched != first) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    return onKeyDown(keyEvent(key->key(), key->modifiers(), key->text()));
}

LibraryWindowController::LibraryWindowController(LibraryViewModel& model, CustomContentStore& custom)
    : WindowController(std::make_unique<LibraryWindow>(), {1280, 780}, Sizing::resizable,
                       QStringLiteral("Emoji Library")),
      view_(new LibraryView(model, custom, contentHost())) {
    contentHost()->setLayout(new QVBoxLayout);
    contentHost()->layout()->setContentsMargins(0, 0, 0, 0);
    contentHost()->layout()->addWidget(view_);
    LibraryWindow* window = libraryWindow();
    QPointer<LibraryWindow> weakWindow(window);
    LibraryViewModel* target = &model;
    window->onKeyDown = [weakWindow, target](const KeyEvent& event) {
        if (!weakWindow) return false;
        using Direction = LibraryKeyHandler::Direction;
        using Move = LibraryViewModel::KeyboardNavigationDirection;
        LibraryKeyHandler::Target keys;
        keys.hasAttachedSheet = [weakWindow] { return weakWindow->hasAttachedSheet(); };
        keys.isShowingPins = [target] {
            return target->contentFilter() == LibraryViewModel::ContentFilter::pins;
        };
        keys.insertSelectionFromKeyboard = [target] { return target->insertSelectionFromKeyboard(); };
        keys.moveSelection = [target](Direction direction) {
            switch (direction) {
                case Direction::left:
                    return target->moveSelection(Move::left);
                case Direction::right:
                    return target->moveSelection(Move::right);
                case Direction::down:
                    return target->moveSelection(Move::down);
                case Direction::up:
                    return target->moveSelection(Move::up);
            }
            return false;
        };
        keys.performClose = [weakWindow] { weakWindow->close(); };
        return LibraryKeyHandler::handleKeyDown(event, keys);
    };
}

void LibraryWindowController::fitContent(QSize size) {
    // The library's panes share what there is: its usual minimum gives way to the screen's.
    view_->setMinimumSize(view_->minimumSize().boundedTo(size));
}

void LibraryWindowController::orderFrontRegardless() {
    placeForShowing();
    restoreIfMinimized(*window());
    window()->show();
    window()->raise();
}

void LibraryWindowController::orderOut() {
    window()->hide();
}

}  // namespace mosaiko
