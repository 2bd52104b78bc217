#include "platform/linux/XdgAutostartService.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace mosaiko {
namespace {

namespace fs = std::filesystem;

class XdgAutostartServiceTest : public testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("mosaiko-autostart-" + std::to_string(::getpid()) + "-" +
                                             testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root_, ec);
    }

    static std::string read(const fs::path& p) {
        std::ifstream in(p);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path root_;
};

TEST_F(XdgAutostartServiceTest, RegisterWritesTheEntryAndUnregisterRemovesIt) {
    XdgAutostartService service(root_ / "autostart", "io.example.App", "Example", "/opt/example/bin/example");
    EXPECT_EQ(service.registerLoginItem(), std::nullopt);
    const auto entry = root_ / "autostart" / "io.example.App.desktop";
    ASSERT_TRUE(fs::exists(entry));
    const std::string text = read(entry);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(text.find("\nName=Example\n"), std::string::npos);
    EXPECT_NE(text.find("\nExec=\"/opt/example/bin/example\"\n"), std::string::npos);

    // Registering again replaces the entry and leaves no temporary file behind.
    EXPECT_EQ(service.registerLoginItem(), std::nullopt);
    EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "autostart"), fs::directory_iterator()), 1);

    EXPECT_EQ(service.unregisterLoginItem(), std::nullopt);
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_EQ(service.unregisterLoginItem(), std::nullopt);  // nothing to remove is fine
}

TEST_F(XdgAutostartServiceTest, AProgramInItsBuildFolderNeverRegistersAndTakesBackItsOldEntry) {
    fs::create_directories(root_ / "build");
    std::ofstream(root_ / "build" / "CMakeCache.txt") << "# a build folder\n";
    const auto autostart = root_ / "autostart";
    XdgAutostartService installed(autostart, "io.example.App", "Example", "/usr/bin/example");
    XdgAutostartService built(autostart, "io.example.App", "Example", root_ / "build" / "example");
    const auto entry = autostart / "io.example.App.desktop";

    // The installed program's entry stays; the one the build wrote before goes. Why is said once,
    // and asked for, it is the reason given.
    EXPECT_EQ(installed.unavailableReason(), std::nullopt);
    ASSERT_NE(built.unavailableReason(), std::nullopt);
    EXPECT_NE(built.unavailableReason()->find((root_ / "build").string()), std::string::npos);
    ASSERT_EQ(installed.registerLoginItem(), std::nullopt);
    testing::internal::CaptureStderr();
    EXPECT_NE(built.registerLoginItem(), std::nullopt);
    EXPECT_NE(read(entry).find("/usr/bin/example"), std::string::npos);
    std::ofstream(entry) << *built.entryText();
    EXPECT_NE(built.registerLoginItem(), std::nullopt);
    EXPECT_FALSE(fs::exists(entry));
    const std::string said = testing::internal::GetCapturedStderr();
    const auto why = said.find("does not start at login");
    EXPECT_TRUE(why != std::string::npos &&
                said.find("does not start at login", why + 1) == std::string::npos)
        << said;

    // Nothing is written where no autostart folder was.
    XdgAutostartService fresh(root_ / "fresh", "io.example.App", "Example", root_ / "build" / "example");
    EXPECT_NE(fresh.registerLoginItem(), std::nullopt);
    EXPECT_FALSE(fs::exists(root_ / "fresh"));
}

TEST_F(XdgAutostartServiceTest, ExecValueQuotesAndEscapesReservedCharacters) {
    EXPECT_EQ(XdgAutostartService::execValue("/usr/bin/mosaiko"), "\"/usr/bin/mosaiko\"");
    EXPECT_EQ(XdgAutostartService::execValue("/home/a b/bin"), "\"/home/a b/bin\"");
    // In the quoted argument: \" \` \$ \\ ; then every backslash of the value doubled, % doubled.
    EXPECT_EQ(XdgAutostartService::execValue("/x/\"q\""), "\"/x/\\\\\"q\\\\\"\"");
    EXPECT_EQ(XdgAutostartService::execValue("/x/$HOME`id`"), "\"/x/\\\\$HOME\\\\`id\\\\`\"");
    EXPECT_EQ(XdgAutostartService::execValue("/x/back\\slash"), "\"/x/back\\\\\\\\slash\"");
    EXPECT_EQ(XdgAutostartService::execValue("/x/100%"), "\"/x/100%%\"");
    EXPECT_EQ(XdgAutostartService::execValue("/x/line\nbreak"), std::nullopt);
    EXPECT_EQ(XdgAutostartService::execValue(""), std::nullopt);
}

TEST_F(XdgAutostartServiceTest, AnUnwritableFolderIsReportedAndLeavesTheOldEntry) {
    XdgAutostartService service(root_, "io.example.App", "Example", "/bin/true");
    ASSERT_EQ(service.registerLoginItem(), std::nullopt);
    if (::geteuid() == 0) {
        // Root writes into any folder; an entry path taken by a folder still makes the write fail.
        fs::remove(root_ / "io.example.App.desktop");
        fs::create_directories(root_ / "io.example.App.desktop" / "occupied");
        EXPECT_TRUE(service.registerLoginItem().has_value());
        for (const auto& file : fs::directory_iterator(root_)) {
            EXPECT_EQ(file.path().filename(), "io.example.App.desktop") << "a temporary file was left behind";
        }
        return;
    }
    fs::permissions(root_, fs::perms::owner_write, fs::perm_options::remove);
    XdgAutostartService moved(root_, "io.example.App", "Example", "/new/place");
    EXPECT_TRUE(moved.registerLoginItem().has_value());
    EXPECT_NE(read(root_ / "io.example.App.desktop").find("/bin/true"), std::string::npos);
    EXPECT_TRUE(moved.unregisterLoginItem().has_value());
}

TEST_F(XdgAutostartServiceTest, StandardDirectoryFollowsXdgConfigHome) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string savedValue = saved ? saved : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(XdgAutostartService::standardDirectory(), fs::path("/tmp/cfg/autostart"));
    ::setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
    EXPECT_EQ(XdgAutostartService::standardDirectory().filename(), "autostart");
    EXPECT_EQ(XdgAutostartService::standardDirectory().parent_path().filename(), ".config");
    if (saved) {
        ::setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

}  // namespace
}  // namespace mosaiko
