#include "platform/x11/DesktopEntryIndex.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
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

    // Whether `condition` holds within `seconds`, asked again and again.
    template <class Condition>
    static bool eventually(Condition condition, double seconds = 10) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
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

// Noticed by a lookup, read again on the index's thread: the lookup answers from what it had.
TEST_F(DesktopEntryIndexTest, NoticesNewlyInstalledEntries) {
    write("d/applications/a.desktop", "[Desktop Entry]\nName=A\n");
    DesktopEntryIndex index({(root / "d").string()}, "C");
    EXPECT_EQ(index.entryWithId("b"), std::nullopt);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a later modification time
    write("d/applications/b.desktop", "[Desktop Entry]\nName=B\nStartupWMClass=Bee\n");
    EXPECT_TRUE(eventually([&] { return index.entryForWindowClass("Bee").has_value(); }));
    EXPECT_EQ(index.entryForWindowClass("Bee")->name, "B");
}

// A FIFO named *.desktop hung the main thread in open() for good, the picker with it.
TEST_F(DesktopEntryIndexTest, AFifoInPlaceOfAnEntryIsNeverOpened) {
    write("d/applications/a.desktop", "[Desktop Entry]\nName=A\n");
    const fs::path fifo = root / "d/applications/b.desktop";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> done{false};
    bool readerWaited = false;
    // A reader stuck in open() lets a writer open without waiting (and is let go by it).
    std::thread writer([&] {
        while (!done && !readerWaited) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                readerWaited = true;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    DesktopEntryIndex index({(root / "d").string()}, "C");
    EXPECT_TRUE(eventually([&] { return index.entryWithId("a").has_value(); }));
    EXPECT_EQ(index.entryAtPath(fifo.string()), std::nullopt);
    done = true;
    writer.join();
    EXPECT_FALSE(readerWaited);
}

// Two links that lead into folders above them made the scan go on without end (each link doubles
// the paths below it).
TEST_F(DesktopEntryIndexTest, AFolderReachedAgainThroughLinksIsReadOnce) {
    write("d/applications/a.desktop", "[Desktop Entry]\nName=A\n");
    write("d/applications/x/b.desktop", "[Desktop Entry]\nName=B\n");
    fs::create_directory_symlink("..", root / "d/applications/x/up");
    fs::create_directory_symlink("../x", root / "d/applications/x/again");
    DesktopEntryIndex index({(root / "d").string()}, "C");
    EXPECT_TRUE(eventually([&] { return index.entryWithId("a").has_value(); }, 30));
    EXPECT_TRUE(index.entryWithId("x-b"));
    EXPECT_FALSE(index.entryWithId("x-up-a"));  // the folder was read already, under its own name
}

}  // namespace
}  // namespace mosaiko
