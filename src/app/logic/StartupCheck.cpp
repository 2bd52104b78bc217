#include "app/logic/StartupCheck.hpp"

#include <string_view>

namespace mosaiko {

namespace {

constexpr const char* kWhereItRuns = " Mosaiko runs in an X11 session (or under Xwayland).";

}  // namespace

std::optional<std::string> StartupCheck::displayProblem(
    const char* qtPlatform, const char* display, const std::function<bool(const std::string&)>& canConnect) {
    const std::string_view platform = qtPlatform ? qtPlatform : "";
    if (!platform.empty() && !platform.starts_with("xcb")) return std::nullopt;
    if (!display || !*display)
        return std::string("Mosaiko cannot start: there is no X display to run on (DISPLAY is not set).") +
               kWhereItRuns;
    if (!canConnect(display))
        return "Mosaiko cannot start: the X display \"" + std::string(display) +
               "\" named by DISPLAY cannot be reached." + kWhereItRuns;
    return std::nullopt;
}

}  // namespace mosaiko
