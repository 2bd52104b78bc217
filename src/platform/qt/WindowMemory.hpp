#pragma once

#include <functional>

class QWidget;

namespace mosaiko {

// Gives back what the program's drawing keeps once a window is closed: the glyph and tile images
// beyond a resting share, the threads that drew them and the fonts they loaded, the font engines'
// own glyph copies, Qt's pixmap cache, and the memory the allocator holds free. A window that is
// only minimised keeps everything.
class WindowMemory {
  public:
    static void releaseWhenClosed(QWidget* window);
    // Runs `closed` once control is back in the event loop after `window` was closed (and not
    // shown again meanwhile).
    static void whenClosed(QWidget* window, std::function<void()> closed);

    // What the drawing caches keep while no window needs them.
    static constexpr unsigned long kRestingCacheBytes = 2 * 1024 * 1024;
    // Gives back what the drawing keeps for all windows (the caches down to their resting share).
    static void releaseShared();

    // After a session of the picker: the font engines' own copies of every glyph they drew (the
    // glyph image cache keeps what the next session shows) and the allocator's free memory.
    static constexpr double kSessionReleaseDelaySeconds = 1.0;
    static void releaseAfterSession();
};

}  // namespace mosaiko
