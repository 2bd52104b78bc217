#pragma once

#include <functional>
#include <optional>
#include <string>

namespace mosaiko {

// What the program checks before it starts its windowing: it lives on an X display, and without
// one the toolkit would abort with advice about reinstalling. Told in the program's own words.
class StartupCheck {
  public:
    // Why the program cannot start, or nothing when it can. `qtPlatform` and `display` are the
    // values of QT_QPA_PLATFORM and DISPLAY (null when unset); `canConnect` tries a display name.
    // Only the X11 platform needs a display: another one chosen on purpose (offscreen) is let be.
    static std::optional<std::string> displayProblem(
        const char* qtPlatform, const char* display,
        const std::function<bool(const std::string&)>& canConnect);
};

}  // namespace mosaiko
