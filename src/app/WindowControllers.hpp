#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "onboarding/OnboardingPage.hpp"
#include "onboarding/OnboardingViewModel.hpp"
#include "onboarding/StatsViewModel.hpp"
#include "platform/KeyEvent.hpp"
#include "platform/Published.hpp"

class QAction;

namespace mosaiko {

class CustomContentStore;
class LibraryView;
class LibraryViewModel;
class EmojiUsageStore;
class OnboardingView;
class PreferencesStore;
class StatsView;

// Owns one top-level window of the program: builds it at its size and titled, with an empty
// content area that the window's view fills; before it is first shown, it is placed in the middle
// of the screen the user works on (ActiveScreen), smaller where that screen has no room for its
// usual size, the content then scrolling. Ctrl+W closes it.
class WindowController : public QObject {
    Q_OBJECT

  public:
    ~WindowController() override;

    QWidget* window() const { return window_.get(); }
    // Where the window's view goes.
    QWidget* contentHost() const { return contentHost_; }

    // Shows the window, in front and focused.
    void showWindow();
    void close();
    // Keeps the window above other programs' windows, as the floating library is, so that it can
    // come in front of the library; told to a shown window at once.
    void setKeptAbove(bool above);
    bool isKeptAbove() const;
    // Key equivalents of the application menu that work while this window has the focus.
    void addMenuActions(const QList<QAction*>& actions);

  protected:
    enum class Sizing { fixed, resizable };
    WindowController(std::unique_ptr<QWidget> window, QSize size, Sizing sizing, const QString& title);
    // Places the window before it is shown: the first time, and again when it opens on another
    // screen than the one it was on.
    void placeForShowing();
    // The window has to open at `size`, smaller than its usual size: content that can be smaller
    // than it usually may be is allowed to (what still does not fit scrolls).
    virtual void fitContent(QSize size);

  private:
    void letContentScroll();

    std::unique_ptr<QWidget> window_;
    QWidget* contentHost_ = nullptr;
    QSize usualSize_;
    Sizing sizing_;
    bool placed_ = false;
};

class PreferencesWindowController final : public WindowController {
    Q_OBJECT
  public:
    PreferencesWindowController();
};

class StatsWindowController final : public WindowController {
    Q_OBJECT
  public:
    // The window is rebuilt at each opening (a closed one gives its memory back), while the range
    // the user chose lives as long as the program: `keptRange` outlives the controller.
    StatsWindowController(EmojiUsageStore& usage, StatsRange& keptRange);
    StatsView* view() const { return view_; }

  private:
    StatsView* view_ = nullptr;
    Cancellable keepingRange_;
};

// The guide, on its start page; its Close and Finish close the window.
class OnboardingWindowController final : public WindowController {
    Q_OBJECT
  public:
    OnboardingWindowController(OnboardingPage startPage, PreferencesStore& prefs,
                               OnboardingViewModel::Dependencies dependencies);
    OnboardingPage startPage() const { return startPage_; }
    OnboardingView* view() const { return view_; }

  private:
    OnboardingPage startPage_;
    OnboardingView* view_ = nullptr;
};

// The library's floating panel: it stays above other windows, does not take the focus when it is
// shown (only when clicked), and sees key presses before the focused view does.
class LibraryWindow final : public QWidget {
    Q_OBJECT
  public:
    LibraryWindow();
    ~LibraryWindow() override;

    // Answers true when it handled the key; then the focused view does not see it.
    std::function<bool(const KeyEvent&)> onKeyDown;

    // True while a dialog is attached to this window (the library's sheets).
    bool hasAttachedSheet() const;

    // The key event the key handling understands, from a Qt key press.
    static KeyEvent keyEvent(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text);

  signals:
    // The panel was closed, ordered out or minimised.
    void hidden();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};

// The library panel with the library's view over `model`; its key handler hands Return and the
// arrows to the model and closes the panel on Escape.
class LibraryWindowController final : public WindowController {
    Q_OBJECT
  public:
    LibraryWindowController(LibraryViewModel& model, CustomContentStore& custom);
    LibraryWindow* libraryWindow() const { return static_cast<LibraryWindow*>(window()); }
    LibraryView* view() const { return view_; }
    // Brings the panel to the front without activating it.
    void orderFrontRegardless();
    void orderOut();

  private:
    void fitContent(QSize size) override;

    LibraryView* view_;
};

}  // namespace mosaiko
