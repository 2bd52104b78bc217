#include "platform/x11/DesktopEntryIndex.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace mosaiko {
namespace {

namespace fs = std::filesystem;

class DesktopEntryIndexTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char path[] = "/tmp/mosaiko-entries-XXXXXX";
        ASSERT_NE(mkdtemp(path), nullptr);
        root = path;
    }
    void TearDown() override { fs::remove_all(root); }
    void write(const std::string& relative, const std::string& content) {
        const fs::path path = root / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << content;
    }

    fs::path root;
};

TEST_F(DesktopEntryIndexTest, FindsEntriesByIdAndWindowClassWithTheFirstFolderDeciding) {
    write("home/applications/editor.desktop", "[Desktop Entry]\nName=My Editor\nStartupWMClass=Ed\n");
    write("system/applications/editor.desktop", "[Desktop Entry]\nName=Editor\nStartupWMClass=Ed\n");
    write("system/applications/gone.desktop", "[Desktop Entry]\nName=Gone\nStartupWMClass=Gone\n");
    write("home/applications/gone.desktop", "[Desktop Entry]\nName=Gone\nHidden=true\n");
    write("system/applications/kde/viewer.desktop",
          "# comment\n[Desktop Entry]\nName = Image\\sViewer\r\nStartupWMClass=Viewer\n[Desktop Action "
          "x]\nName=No\n");
    write("system/applications/readme.txt", "[Desktop Entry]\nName=Not an entry\n");
    DesktopEntryIndex index(
        {(root / "home").string(), (root / "system").string(), (root / "missing").string()}, "C");

    EXPECT_EQ(index.entryWithId("editor"), (DesktopEntryIndex::Entry{"editor", "My Editor", "Ed"}));
    EXPECT_EQ(index.entryForWindowClass("Ed")->id, "editor");
    EXPECT_EQ(index.entryWithId("gone"), std::nullopt);  // hidden by the user's folder
    EXPECT_EQ(index.entryForWindowClass("Gone"), std::nullopt);
    EXPECT_EQ(index.entryWithId("kde-viewer"),
              (DesktopEntryIndex::Entry{"kde-viewer", "Image Viewer", "Viewer"}));
    EXPECT_EQ(index.entryWithId("readme"), std::nullopt);
    EXPECT_EQ(index.entryForWindowClass(""), std::nullopt);
    EXPECT_EQ(index.entryForWindowClass("ed"), std::nullopt);  // classes match exactly
}

TEST_F(DesktopEntryIndexTest, ReadsAChosenFileWithTheIdItHasBelowAnApplicationsFolder) {
    write("sys/applications/kde/viewer.desktop", "[Desktop Entry]\nName=Viewer\nName[de]=Betrachter\n");
    write("elsewhere/Tool.desktop", "[Desktop Entry]\nName=Tool\nStartupWMClass=tool\n");
    write("elsewhere/notes.desktop", "Name=No group\n");
    write("elsewhere/hidden.desktop", "[Desktop Entry]\nName=Hidden\nHidden=true\n");
    const DesktopEntryIndex index({(root / "home").string(), (root / "sys").string()}, "de_DE.UTF-8");

    EXPECT_EQ(index.entryAtPath((root / "sys/applications/./kde/viewer.desktop").string()),
              (DesktopEntryIndex::Entry{"kde-viewer", "Betrachter", ""}));
    EXPECT_EQ(index.entryAtPath((root / "elsewhere/Tool.desktop").string()),
              (DesktopEntryIndex::Entry{"Tool", "Tool", "tool"}));
    EXPECT_EQ(index.entryAtPath((root / "elsewhere/notes.desktop").string()), std::nullopt);
    EXPECT_EQ(index.entryAtPath((root / "elsewhere/hidden.desktop").string()), std::nullopt);
    EXPECT_EQ(index.entryAtPath((root / "elsewhere/missing.desktop").string()), std::nullopt);
    EXPECT_EQ(index.entryAtPath((root / "elsewhere").string()), std::nullopt);
}

TEST_F(DesktopEntryIndexTest, PicksTheNameOfTheLocale) {
    write("d/applications/a.desktop",
          "[Desktop Entry]\nName=Colour\nName[en_US]=Color\nName[sr]=Boja\nName[sr@latin]=Boja-L\n"
          "Name[sr_RS@latin]=Boja-RS\nName[de]=\n");
    auto nameIn = [&](const std::string& locale) {
        return DesktopEntryIndex({(root / "d").string()}, locale).entryWithId("a")->name;
    };
    EXPECT_EQ(nameIn("en_US.UTF-8"), "Color");
    EXPECT_EQ(nameIn("en_GB.UTF-8"), "Colour");
    EXPECT_EQ(nameIn("sr_RS.UTF-8@latin"), "Boja-RS");
    EXPECT_EQ(nameIn("sr_ME@latin"), "Boja-L");
    EXPECT_EQ(nameIn("sr_ME"), "Boja");
    EXPECT_EQ(nameIn("de_DE.UTF-8"), "Colour");  // an empty translation does not count
    EXPECT_EQ(nameIn(""), "Colour");
}

TEST_F(DesktopEntryIndexTest, NoticesNewlyInstalledEntries) {
    write("d/applications/a.desktop", "[Desktop Entry]\nName=A\n");
    DesktopEntryIndex index({(root / "d").string()}, "C");
    EXPECT_EQ(index.entryWithId("b"), std::nullopt);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a later modification time
    write("d/applications/b.desktop", "[Desktop Entry]\nName=B\nStartupWMClass=Bee\n");
    EXPECT_EQ(index.entryForWindowClass("Bee")->name, "B");
}

}  // namespace
}  // namespace mosaiko
