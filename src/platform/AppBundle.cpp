#include "platform/AppBundle.hpp"

#include <iostream>
#include <string>
#include <system_error>

#include "platform/BuildInfo.hpp"

namespace mosaiko {

namespace fs = std::filesystem;

AppBundle::AppBundle(std::optional<fs::path> resourceDirectory)
    : resourceDirectory_(std::move(resourceDirectory)) {}

std::vector<fs::path> AppBundle::candidateResourceDirectories() {
    std::vector<fs::path> candidates;
    std::error_code error;
    const auto executable = fs::read_symlink("/proc/self/exe", error);
    if (!error && executable.has_parent_path()) candidates.push_back(executable.parent_path() / "resources");
    candidates.push_back(fs::path(buildinfo::kInstallDataDir) / "mosaiko");
    return candidates;
}

AppBundle AppBundle::locate(const std::vector<fs::path>& candidates) {
    for (const auto& candidate : candidates) {
        std::error_code error;
        if (fs::is_directory(candidate, error)) return AppBundle(candidate);
    }
    return AppBundle(std::nullopt);
}

const AppBundle& AppBundle::main() {
    static const AppBundle bundle = [] {
        const auto candidates = candidateResourceDirectories();
        auto found = locate(candidates);
        if (!found.resourceDirectory()) {
            std::string places;
            for (const auto& candidate : candidates) {
                if (!places.empty()) places += ", ";
                places += candidate.string();
            }
            std::cerr << "mosaiko: resources folder not found (looked in " << places
                      << "); carrying on without it, with only three built-in emoji\n";
        }
        return found;
    }();
    return bundle;
}

std::optional<fs::path> AppBundle::resourcePath(std::string_view name, std::string_view extension) const {
    if (!resourceDirectory_) return std::nullopt;
    auto path = *resourceDirectory_ / (std::string(name) + "." + std::string(extension));
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return std::nullopt;
    return path;
}

}  // namespace mosaiko
