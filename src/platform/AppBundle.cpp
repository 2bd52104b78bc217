#include "platform/AppBundle.hpp"

#include <algorithm>
#include <system_error>

#include "platform/BuildInfo.hpp"
#include "platform/linux/ExecutablePath.hpp"

namespace mosaiko {

namespace fs = std::filesystem;

AppBundle::AppBundle(std::optional<std::string> identifier, std::optional<std::string> shortVersion,
                     std::string buildVersion, std::vector<fs::path> resourceDirectories)
    : identifier_(std::move(identifier)),
      shortVersion_(std::move(shortVersion)),
      buildVersion_(std::move(buildVersion)),
      resourceDirectories_(std::move(resourceDirectories)) {}

const AppBundle& AppBundle::main() {
    static const AppBundle bundle(
        buildinfo::kAppIdentifier, buildinfo::kShortVersion, buildinfo::kBuildVersion,
        standardResourceDirectories(currentExecutablePath(), buildinfo::kInstallDataDir));
    return bundle;
}

std::vector<fs::path> AppBundle::standardResourceDirectories(const fs::path& executable,
                                                             const fs::path& installDataDirectory) {
    std::vector<fs::path> directories;
    if (!executable.empty()) {
        const fs::path dir = executable.parent_path();
        directories.push_back(dir / "resources");
        directories.push_back((dir / ".." / "share" / "mosaiko").lexically_normal());
    }
    if (!installDataDirectory.empty()) {
        const fs::path installed = installDataDirectory / "mosaiko";
        if (std::find(directories.begin(), directories.end(), installed) == directories.end()) {
            directories.push_back(installed);
        }
    }
    return directories;
}

std::optional<fs::path> AppBundle::resourcePath(std::string_view name, std::string_view extension) const {
    if (name.empty() || name.find('/') != std::string_view::npos) return std::nullopt;
    std::string fileName(name);
    if (!extension.empty()) fileName += "." + std::string(extension);
    for (const auto& directory : resourceDirectories_) {
        std::error_code ec;
        const fs::path candidate = directory / fileName;
        if (fs::is_regular_file(candidate, ec)) return candidate;
    }
    return std::nullopt;
}

}  // namespace mosaiko
