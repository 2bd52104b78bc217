#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mosaiko {

// What the program knows about itself: its identifier, its version texts and where its resources
// are. The values are fixed when the build is configured; resources are looked up in a list of
// folders, first match wins.
class AppBundle {
  public:
    AppBundle(std::optional<std::string> identifier, std::optional<std::string> shortVersion,
              std::string buildVersion, std::vector<std::filesystem::path> resourceDirectories);

    // This program: resources beside the executable (<dir>/resources), then in the share folder
    // next to it (<dir>/../share/mosaiko), then in the configured install prefix.
    static const AppBundle& main();
    static std::vector<std::filesystem::path> standardResourceDirectories(
        const std::filesystem::path& executable, const std::filesystem::path& installDataDirectory);

    const std::optional<std::string>& bundleIdentifier() const { return identifier_; }
    const std::optional<std::string>& shortVersionString() const { return shortVersion_; }
    const std::string& buildVersion() const { return buildVersion_; }
    const std::vector<std::filesystem::path>& resourceDirectories() const { return resourceDirectories_; }

    // The file "<name>.<extension>" in the first resource folder that has it; nothing when none does.
    std::optional<std::filesystem::path> resourcePath(std::string_view name,
                                                      std::string_view extension) const;

  private:
    std::optional<std::string> identifier_;
    std::optional<std::string> shortVersion_;
    std::string buildVersion_;
    std::vector<std::filesystem::path> resourceDirectories_;
};

}  // namespace mosaiko
