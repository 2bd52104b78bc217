#include "platform/linux/XdgAutostartService.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <system_error>

#include "platform/BuildInfo.hpp"
#include "platform/linux/AtomicFile.hpp"
#include "platform/linux/ExecutablePath.hpp"

namespace mosaiko {

namespace fs = std::filesystem;

namespace {

std::string errnoText(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

XdgAutostartService::XdgAutostartService(fs::path autostartDirectory, std::string applicationId,
                                         std::string displayName, fs::path executable)
    : directory_(std::move(autostartDirectory)),
      applicationId_(std::move(applicationId)),
      displayName_(std::move(displayName)),
      executable_(std::move(executable)) {}

fs::path XdgAutostartService::standardDirectory() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome && configHome[0] == '/') return fs::path(configHome) / "autostart";
    const char* home = std::getenv("HOME");
    return fs::path(home && home[0] ? home : "/") / ".config" / "autostart";
}

XdgAutostartService& XdgAutostartService::shared() {
    static XdgAutostartService service(standardDirectory(), buildinfo::kAppIdentifier, "Mosaiko",
                                       currentExecutablePath());
    return service;
}

fs::path XdgAutostartService::entryPath() const {
    return directory_ / (applicationId_ + ".desktop");
}

std::optional<std::string> XdgAutostartService::execValue(const std::string& executable) {
    if (executable.empty() || executable.find_first_of("\n\r") != std::string::npos) return std::nullopt;
    // Inside a quoted argument, `"`, `` ` ``, `$` and `\` take a backslash; then the value as a whole
    // escapes every backslash once more, and `%` (a field code) is doubled.
    std::string quoted = "\"";
    for (char c : executable) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (char c : quoted) {
        if (c == '\\') {
            value += "\\\\";
        } else if (c == '%') {
            value += "%%";
        } else {
            value += c;
        }
    }
    return value;
}

std::optional<std::string> XdgAutostartService::entryText() const {
    const auto exec = execValue(executable_.string());
    if (!exec) return std::nullopt;
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" +
           displayName_ +
           "\n"
           "Exec=" +
           *exec +
           "\n"
           "Icon=" +
           applicationId_ +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool XdgAutostartService::isInBuildFolder(const fs::path& executable) {
    std::error_code ec;
    return !executable.empty() && fs::exists(executable.parent_path() / "CMakeCache.txt", ec);
}

std::optional<std::string> XdgAutostartService::unavailableReason() const {
    if (!isInBuildFolder(executable_)) return std::nullopt;
    return "Mosaiko runs from its build folder (" + executable_.parent_path().string() +
           "), so it does not start at login; an installed Mosaiko (cmake --install) does.";
}

std::optional<std::string> XdgAutostartService::registerLoginItem() {
    const auto text = entryText();
    if (!text) return "The program's path cannot be written into an autostart entry.";
    if (const auto why = unavailableReason()) {
        // An entry this very build wrote before it knew better goes too.
        std::error_code ec;
        if (fs::is_regular_file(entryPath(), ec) && readFile(entryPath()) == *text)
            ::unlink(entryPath().c_str());
        if (!toldWhyNotRegistered_) std::cerr << *why << "\n";
        toldWhyNotRegistered_ = true;
        return why;
    }

    return atomicfile::write(entryPath(), *text, 0644);
}

std::optional<std::string> XdgAutostartService::unregisterLoginItem() {
    if (::unlink(entryPath().c_str()) != 0 && errno != ENOENT) {
        return errnoText("Cannot remove " + entryPath().string(), errno);
    }
    return std::nullopt;
}

}  // namespace mosaiko
