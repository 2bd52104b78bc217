#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "platform/BuildInfo.hpp"
#include "settings/ui/RunningAppsPickerView.hpp"

namespace mosaiko {
namespace {

using Snapshot = RunningAppsPickerView::Snapshot;

class RunningAppsPickerViewTest : public ::testing::Test {
  protected:
    std::vector<Snapshot> running = {{"Text Editor", "org.gnome.TextEditor"},
                                     {"Mosaiko", buildinfo::kAppIdentifier},
                                     {"Files", "org.gnome.Nautilus"},
                                     {"xterm", "XTerm"}};
    std::vector<std::vector<ExcludedApp>> added;
    RunningAppsPickerView sheet{[this](const std::vector<ExcludedApp>& apps) { added.push_back(apps); },
                                [this] { return running; }};

    RunningAppsPickerViewTest() { sheet.show(); }

    void select(const std::string& identifier) {
        for (int i = 0; i < sheet.list()->count(); ++i) {
            auto* item = sheet.list()->item(i);
            if (item->data(Qt::UserRole).toString().toStdString() == identifier) item->setSelected(true);
        }
    }
};

TEST_F(RunningAppsPickerViewTest, SelectionSurvivesSearchAndRefreshAndIsHandedOverWhole) {
    ASSERT_EQ(sheet.list()->count(), 3) << "this program is not listed";
    EXPECT_FALSE(sheet.addButton()->isEnabled());
    select("XTerm");
    select("org.gnome.Nautilus");
    EXPECT_TRUE(sheet.addButton()->isEnabled());

    sheet.searchField()->setText(" EDIT ");
    ASSERT_EQ(sheet.list()->count(), 1);
    select("org.gnome.TextEditor");
    EXPECT_EQ(sheet.selection().size(), 3u) << "hidden rows stay selected";

    running.erase(running.begin() + 2);  // Files quits
    sheet.refreshButton()->click();
    EXPECT_EQ(sheet.searchField()->text(), QStringLiteral(" EDIT "));
    EXPECT_TRUE(sheet.list()->item(0)->isSelected());

    sheet.addButton()->click();
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0],
              (std::vector<ExcludedApp>{{"Text Editor", "org.gnome.TextEditor"}, {"xterm", "XTerm"}}));
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
}

TEST_F(RunningAppsPickerViewTest, ReturnInTheSearchFieldNeitherAddsNorCloses) {
    select("XTerm");
    sheet.searchField()->setText(QStringLiteral("files"));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(sheet.searchField(), key);
    EXPECT_TRUE(added.empty());
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(sheet.searchField()->text(), QStringLiteral("files"));
}

TEST_F(RunningAppsPickerViewTest, CancelHandsOverNothing) {
    select("XTerm");
    sheet.cancelButton()->click();
    EXPECT_TRUE(added.empty());
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace mosaiko
