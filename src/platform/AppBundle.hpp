#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace mosaiko {

// Where the program's resources (the emoji data file, icons) live. The installed program finds them
// in a "resources" folder beside its executable, else in the install prefix's share folder; tests
// name the folder themselves.
class AppBundle {
  public:
    // A bundle over the given resources folder; none means the program has no resources.
    explicit AppBundle(std::optional<std::filesystem::path> resourceDirectory);

    // The running program's bundle, looked up once per process. When no resources folder exists,
    // says so once on stderr; the program carries on without resources.
    static const AppBundle& main();

    // The folders main() tries, in order: "resources" beside the executable, then the installed
    // share folder of the program.
    static std::vector<std::filesystem::path> candidateResourceDirectories();
    // The bundle over the first candidate that is an existing directory; no folder when none is.
    static AppBundle locate(const std::vector<std::filesystem::path>& candidates);

    const std::optional<std::filesystem::path>& resourceDirectory() const { return resourceDirectory_; }

    // The resource "name.extension" when it exists in the resources folder (as a file or a link to
    // one); none otherwise.
    std::optional<std::filesystem::path> resourcePath(std::string_view name,
                                                      std::string_view extension) const;

  private:
    std::optional<std::filesystem::path> resourceDirectory_;
};

}  // namespace mosaiko
