#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

#include "platform/AppBundle.hpp"
#include "platform/BuildInfo.hpp"

namespace mosaiko {
namespace {

namespace fs = std::filesystem;

class AppBundleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("mosaiko-bundle-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "first");
        fs::create_directories(root / "second");
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path root;
};

TEST_F(AppBundleTest, TheFirstExistingFolderHoldsTheResources) {
    std::ofstream(root / "second/emojis.json") << "{}";
    fs::create_directories(root / "second/folder.json");
    const auto bundle =
        AppBundle::locate({root / "missing", root / "second/emojis.json", root / "second", root / "first"});
    ASSERT_TRUE(bundle.resourceDirectory());
    EXPECT_EQ(*bundle.resourceDirectory(), root / "second");
    EXPECT_EQ(bundle.resourcePath("emojis", "json"), root / "second/emojis.json");
    EXPECT_FALSE(bundle.resourcePath("folder", "json"));
    EXPECT_FALSE(bundle.resourcePath("missing", "json"));

    EXPECT_FALSE(AppBundle::locate({root / "missing"}).resourceDirectory());
    EXPECT_FALSE(AppBundle(std::nullopt).resourcePath("emojis", "json"));
}

TEST_F(AppBundleTest, TheProgramLooksBesideItsExecutableThenInTheInstalledShareFolder) {
    const auto candidates = AppBundle::candidateResourceDirectories();
    ASSERT_EQ(candidates.size(), 2u);
    EXPECT_EQ(candidates[0], fs::read_symlink("/proc/self/exe").parent_path() / "resources");
    EXPECT_EQ(candidates[1], fs::path(buildinfo::kInstallDataDir) / "mosaiko");
}

}  // namespace
}  // namespace mosaiko
