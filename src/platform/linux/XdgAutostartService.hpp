#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/LoginItemService.hpp"

namespace mosaiko {

// Launch at login through an XDG autostart entry: registering writes
// <autostart directory>/<application id>.desktop (atomically: temporary file, sync, rename), and
// unregistering removes it. The session starts every entry found there when the user logs in.
// Only an installed program registers: one started from its build folder would have the session
// start that build at every login.
class XdgAutostartService final : public LoginItemService {
  public:
    XdgAutostartService(std::filesystem::path autostartDirectory, std::string applicationId,
                        std::string displayName, std::filesystem::path executable);

    // $XDG_CONFIG_HOME/autostart, else ~/.config/autostart.
    static std::filesystem::path standardDirectory();
    // The entry for this program as it runs now.
    static XdgAutostartService& shared();

    std::optional<std::string> registerLoginItem() override;
    std::optional<std::string> unregisterLoginItem() override;
    std::optional<std::string> unavailableReason() const override;

    std::filesystem::path entryPath() const;
    // The text of the desktop entry; nothing when the executable's path cannot be written in one.
    std::optional<std::string> entryText() const;

    // The Exec value that runs `executable` with no arguments: quoted, with the characters the
    // desktop-entry format reserves escaped; nothing for a path with a line break or no path.
    static std::optional<std::string> execValue(const std::string& executable);

    // Whether `executable` lies at the top of a CMake build folder, where a build puts the program.
    static bool isInBuildFolder(const std::filesystem::path& executable);

  private:
    std::filesystem::path directory_;
    std::string applicationId_;
    std::string displayName_;
    std::filesystem::path executable_;
    bool toldWhyNotRegistered_ = false;
};

}  // namespace mosaiko
