#include "platform/AppBundle.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

namespace mosaiko {
namespace {

namespace fs = std::filesystem;

TEST(AppBundle, ResourcesBesideTheExecutableComeFirst) {
    const fs::path root = fs::temp_directory_path() / ("mosaiko-bundle-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "bin" / "resources");
    fs::create_directories(root / "share" / "mosaiko");
    std::ofstream(root / "share" / "mosaiko" / "MenuBarIcon.svg") << "<svg/>";
    std::ofstream(root / "share" / "mosaiko" / "emojis.json") << "{}";
    std::ofstream(root / "bin" / "resources" / "emojis.json") << "{}";
    fs::create_directories(root / "bin" / "resources" / "folder.svg");

    const auto dirs = AppBundle::standardResourceDirectories(root / "bin" / "mosaiko", "/usr/local/share");
    EXPECT_EQ(dirs, (std::vector<fs::path>{root / "bin" / "resources", root / "share" / "mosaiko",
                                           "/usr/local/share/mosaiko"}));
    const AppBundle bundle("io.example.App", "1.0", "100", dirs);
    EXPECT_EQ(bundle.resourcePath("emojis", "json"), root / "bin" / "resources" / "emojis.json");
    EXPECT_EQ(bundle.resourcePath("MenuBarIcon", "svg"), root / "share" / "mosaiko" / "MenuBarIcon.svg");
    EXPECT_EQ(bundle.resourcePath("missing", "svg"), std::nullopt);
    EXPECT_EQ(bundle.resourcePath("folder", "svg"), std::nullopt);  // a folder is no resource
    EXPECT_EQ(bundle.resourcePath("../share/mosaiko/emojis", "json"), std::nullopt);
    fs::remove_all(root);
}

TEST(AppBundle, TheInstallFolderIsNotListedTwice) {
    const auto dirs = AppBundle::standardResourceDirectories("/usr/bin/mosaiko", "/usr/share");
    EXPECT_EQ(dirs, (std::vector<fs::path>{"/usr/bin/resources", "/usr/share/mosaiko"}));
}

}  // namespace
}  // namespace mosaiko
