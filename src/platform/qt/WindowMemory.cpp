#include "platform/qt/WindowMemory.hpp"

#include <QEvent>
#include <QFont>
#include <QPixmapCache>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "platform/linux/FreeMemory.hpp"
#include "platform/qt/EmojiGlyphCache.hpp"

namespace mosaiko {

namespace {

class OnClose final : public QObject {
  public:
    OnClose(QWidget* window, std::function<void()> closed)
        : QObject(window), window_(window), closed_(std::move(closed)) {
        window->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A spontaneous hide is the window system's (minimising); a closing hides from within.
        if (watched == window_ && event->type() == QEvent::Hide && !event->spontaneous()) {
            QPointer<QWidget> window = window_;
            QTimer::singleShot(0, window_, [window, closed = closed_] {
                if (window && !window->isVisible()) closed();
            });
        }
        return false;
    }

  private:
    QWidget* window_;
    std::function<void()> closed_;
};

// A closed top-level widget's native window and backing store (its picture, in memory shared with
// the X server) go, the widget and its contents stay; showing it again creates them anew. Qt keeps
// QWidget::destroy() for subclasses: its address, taken in one, calls it on any widget.
struct NativeWindowRelease : QWidget {
    static void release(QWidget& window) {
        if (!window.windowHandle() || window.isVisible()) return;
        const QPoint position = window.pos();  // of its frame
        void (QWidget::*destroy)(bool, bool) = &NativeWindowRelease::destroy;
        (window.*destroy)(true, true);
        window.move(position);
    }
};

// Qt's font engines keep every glyph they drew, at every size, as long as the engine lives: tens of
// MiB once a few hundred colour emoji were drawn. The views draw texts through the glyph image
// cache, which keeps them within its budget, so the engines can go; they are loaded again at the
// next use.
void releaseFontEngines() {
    QFont::cleanup();
}

}  // namespace

void WindowMemory::whenClosed(QWidget* window, std::function<void()> closed) {
    if (window) new OnClose(window, std::move(closed));
}

void WindowMemory::releaseWhenClosed(QWidget* window) {
    QPointer<QWidget> closed = window;
    whenClosed(window, [closed] {
        if (closed) NativeWindowRelease::release(*closed);
        releaseShared();
    });
}

void WindowMemory::releaseShared() {
    EmojiGlyphCache::release(kRestingCacheBytes);
    QPixmapCache::clear();
    releaseFontEngines();
    releaseFreeMemory();
}

void WindowMemory::releaseAfterSession() {
    releaseFontEngines();
    releaseFreeMemory();
}

}  // namespace mosaiko
