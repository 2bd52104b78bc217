#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "content/EmoticonCatalog.hpp"
#include "content/PreferencesStore.hpp"
#include "platform/MemoryDefaults.hpp"
#include "settings/ui/EmoticonEditorView.hpp"
#include "settings/ui/ExcludedAppsTab.hpp"

namespace mosaiko {
namespace {

namespace fs = std::filesystem;
using Apps = std::vector<ExcludedApp>;

class SettingsTabsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char path[] = "/tmp/mosaiko-tabs-XXXXXX";
        ASSERT_NE(mkdtemp(path), nullptr);
        root = path;
    }
    void TearDown() override { fs::remove_all(root); }
    std::string write(const std::string& relative, const std::string& content) {
        const fs::path path = root / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << content;
        return path.string();
    }
    static void settle() { QCoreApplication::processEvents(); }

    fs::path root;
    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
};

TEST_F(SettingsTabsTest, AddAppTakesNameAndIdFromTheChosenDesktopEntries) {
    prefs.setExcludedApps({});
    std::vector<std::string> chosen = {
        write("data/applications/org.example.Notes.desktop",
              "[Desktop Entry]\nName=Notes\nName[de]=Notizen\n"),
        write("elsewhere/tool.desktop", "[Desktop Entry]\nName=  \n"),  // no name: the file's
        write("elsewhere/readme.desktop", "just text\n"),               // no entry: a name only
    };
    std::vector<std::string> offeredFolders;
    bool askedForRunningApps = false;
    ExcludedAppsTab tab(prefs,
                        {[&] { askedForRunningApps = true; },
                         [&](QWidget*, const std::vector<std::string>& folders) {
                             offeredFolders = folders;
                             return chosen;
                         }},
                        {(root / "data").string()});

    tab.addAppButton()->click();
    EXPECT_EQ(offeredFolders, (std::vector<std::string>{(root / "data/applications").string()}));
    EXPECT_EQ(prefs.excludedApps(),
              (Apps{{"Notes", "org.example.Notes"}, {"readme", std::nullopt}, {"tool", "tool"}}));

    chosen.clear();  // the dialog was cancelled
    tab.addAppButton()->click();
    EXPECT_EQ(prefs.excludedApps().size(), 3u);
    tab.addRunningAppButton()->click();
    EXPECT_TRUE(askedForRunningApps);
    tab.resetButton()->click();
    EXPECT_EQ(prefs.excludedApps(), PreferencesStore::defaultExcludedApps());
}

// The user's and the system's folders of applications share their name: the chooser's places
// say which is which.
TEST_F(SettingsTabsTest, TheChoosersPlacesNameTheFolderEachLiesIn) {
    for (const auto& [path, name] :
         {std::pair{"/home/ann/.local/share/applications", "applications (~/.local/share)"},
          {"/usr/share/applications/", "applications (/usr/share)"},
          {"/home/anna/applications", "applications (/home/anna)"}})
        EXPECT_EQ(ExcludedAppsTab::placeName(QString::fromUtf8(path), QStringLiteral("/home/ann")),
                  QString::fromUtf8(name));

    const std::string folder = (root / "applications").string();
    fs::create_directories(folder);
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        auto* places = dialog->findChild<QAbstractItemView*>(QStringLiteral("sidebar"));
        ASSERT_TRUE(places && places->model()->rowCount() == 1);
        auto* names = dynamic_cast<ExcludedAppsTab::PlaceNames*>(places->itemDelegate());
        ASSERT_TRUE(names);
        shown = names->textFor(places->model()->index(0, 0));
        dialog->reject();
    });
    ExcludedAppsTab::askForDesktopFiles(nullptr, {folder});
    EXPECT_EQ(shown, QStringLiteral("applications (") + QString::fromStdString(root.string()) + u')');
}

TEST_F(SettingsTabsTest, EmoticonRowsHideAndMoveInPlace) {
    EmoticonEditorView view(prefs);
    const auto total = static_cast<int>(EmoticonCatalog::allEntries().size());
    EXPECT_EQ(view.visibleCountLabel()->text(), QString::number(total));
    EXPECT_EQ(view.hiddenCountLabel()->text(), QStringLiteral("0"));

    EmoticonEditorRowView* second = view.rows()[1];
    const std::string id = second->row().entry.id;
    second->toggleHiddenButton()->click();
    settle();
    EXPECT_TRUE(second->row().isHidden);
    EXPECT_FALSE(second->hiddenBadge()->isHidden());
    EXPECT_EQ(second->toggleHiddenButton()->text(), QStringLiteral("Show"));
    EXPECT_EQ(view.hiddenCountLabel()->text(), QStringLiteral("1"));
    EXPECT_EQ(view.visibleCountLabel()->text(), QString::number(total - 1));

    second->moveUpButton()->click();
    settle();
    EXPECT_EQ(view.rows()[0], second) << "the same row, moved";
    EXPECT_EQ(second->row().rank, 1);
    EXPECT_FALSE(second->moveUpButton()->isEnabled());

    view.resetButton()->click();
    settle();
    EXPECT_EQ(view.rows()[1], second);
    EXPECT_FALSE(second->row().isHidden);
    EXPECT_EQ(prefs.emoticonOrder(), EmoticonCatalog::defaultOrder());
}

}  // namespace
}  // namespace mosaiko
