#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "content/CustomContentStore.hpp"
#include "content/PreferencesStore.hpp"
#include "library/ui/SnippetEditView.hpp"
#include "platform/MemoryDefaults.hpp"
#include "settings/ui/SnippetsManageView.hpp"

namespace mosaiko {
namespace {

class SnippetsManageViewTest : public ::testing::Test {
  protected:
    SnippetsManageViewTest() {
        view.resize(860, 700);
        view.show();
    }

    static void settle() { QCoreApplication::processEvents(); }

    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    CustomContentStore custom{defaults};
    SnippetsManageView view{true, custom, prefs};
};

TEST_F(SnippetsManageViewTest, AddIsEnabledByAValidFormAndClearsItAfterAdding) {
    EXPECT_FALSE(view.emptyLabel()->isHidden());
    QTest::keyClicks(view.nameField(), "Sign-off");
    QTest::keyClicks(view.insertTextField(), "Best regards");
    EXPECT_FALSE(view.addButton()->isEnabled()) << "no shortcode yet";
    QTest::keyClicks(view.shortcodesField(), ", ;");
    EXPECT_FALSE(view.addButton()->isEnabled()) << "separators only";
    QTest::keyClicks(view.shortcodesField(), "Sig bye");
    QTest::keyClicks(view.keywordsField(), "mail");
    ASSERT_TRUE(view.addButton()->isEnabled());

    view.addButton()->click();
    ASSERT_EQ(custom.snippets().size(), 1u);
    EXPECT_EQ(custom.snippets()[0].shortcodes, (std::vector<std::string>{"sig", "bye"}));
    EXPECT_EQ(custom.snippets()[0].keywords, (std::vector<std::string>{"mail"}));
    for (QLineEdit* field :
         {view.nameField(), view.shortcodesField(), view.insertTextField(), view.keywordsField()})
        EXPECT_TRUE(field->text().isEmpty());
    EXPECT_FALSE(view.addButton()->isEnabled());
    settle();
    EXPECT_TRUE(view.emptyLabel()->isHidden());
    EXPECT_EQ(view.editButtons().size(), 1u);
}

TEST_F(SnippetsManageViewTest, EditsInTheLibrarySheetAndDeletesOnlyAfterConfirming) {
    custom.addSnippet("Shrug", "¯\\_(ツ)_/¯", {"shrug"}, {});
    custom.addSnippet("Sig", "Best regards", {"sig"}, {});
    settle();
    ASSERT_EQ(view.editButtons().size(), 2u);

    view.editButtons()[1]->click();
    SnippetEditView* sheet = view.editSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->draft().name, "Shrug");
    sheet->nameField()->clear();
    QTest::keyClicks(sheet->nameField(), "Shrugging");
    sheet->saveButton()->click();
    EXPECT_EQ(custom.snippets()[1].name, "Shrugging");
    settle();
    EXPECT_EQ(view.editSheet(), nullptr) << "saving closes the sheet";

    view.deleteButtons()[0]->click();
    ASSERT_NE(view.deleteAlert(), nullptr);
    view.deleteAlert()->button(QMessageBox::Cancel)->click();
    settle();
    EXPECT_EQ(custom.snippets().size(), 2u);
    EXPECT_EQ(view.deleteAlert(), nullptr);

    const std::string kept = custom.snippets()[1].id;
    view.deleteButtons()[0]->click();
    QMessageBox* alert = view.deleteAlert();
    ASSERT_NE(alert, nullptr);
    QAbstractButton* remove = nullptr;
    for (QAbstractButton* button : alert->buttons())
        if (alert->buttonRole(button) == QMessageBox::DestructiveRole) remove = button;
    ASSERT_NE(remove, nullptr);
    EXPECT_EQ(remove->text(), QStringLiteral("Delete"));
    remove->click();
    settle();
    ASSERT_EQ(custom.snippets().size(), 1u);
    EXPECT_EQ(custom.snippets()[0].id, kept);
    EXPECT_EQ(view.deleteSnippetID(), std::nullopt);
    EXPECT_EQ(CustomContentStore(defaults).snippets(), custom.snippets()) << "written through";
}

}  // namespace
}  // namespace mosaiko
