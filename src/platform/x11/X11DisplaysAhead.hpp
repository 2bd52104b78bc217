#pragma once

#include <cstddef>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/X11Display.hpp"

namespace mosaiko {

// Connections to one display, opened ahead of need on a thread of their own: opening one mostly
// waits on the server, and the program's own start-up goes on meanwhile. A connection already open
// (the one that checked the display) can be handed in to be given out first.
class X11DisplaysAhead {
  public:
    // Starts opening `count` connections to `name` ($DISPLAY when empty).
    X11DisplaysAhead(std::string name, std::unique_ptr<X11Display> first, std::size_t count);
    // Opens nothing ahead: every take() opens its connection then.
    X11DisplaysAhead() = default;
    ~X11DisplaysAhead();
    X11DisplaysAhead(const X11DisplaysAhead&) = delete;
    X11DisplaysAhead& operator=(const X11DisplaysAhead&) = delete;

    // The next connection opened ahead, waited for when it is not open yet; once all are taken, one
    // opened now. nullptr when the display cannot be reached.
    std::unique_ptr<X11Display> take();

  private:
    std::string name_;
    std::mutex mutex_;
    std::unique_ptr<X11Display> first_;
    std::vector<std::future<std::unique_ptr<X11Display>>> pending_;
    std::size_t next_ = 0;
    std::thread opener_;
};

}  // namespace mosaiko
