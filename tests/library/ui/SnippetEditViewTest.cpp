#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <optional>

#include "library/ui/SnippetEditView.hpp"
#include "library/ui/TokenField.hpp"

namespace mosaiko::testing {
namespace {

using Tokens = std::vector<std::string>;

CustomSnippet stored() {
    return CustomSnippet{"s1", "Sign-off", "Best regards", {"bye", "regards"}, {}};
}

class SnippetEditViewTest : public ::testing::Test {
  protected:
    SnippetEditViewTest()
        : sheet(stored(), [this](const CustomSnippet& s) {
              saved = s;
              ++saves;
          }) {
        sheet.show();
        QApplication::setActiveWindow(&sheet);
    }

    // Types into a field key by key, as the user does, with the field focused.
    void type(QLineEdit* field, const QString& text) {
        field->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(field->hasFocus());
        QTest::keyClicks(field, text);
    }

    SnippetEditView sheet;
    std::optional<CustomSnippet> saved;
    int saves = 0;
};

TEST_F(SnippetEditViewTest, OpensWithTheTokensJoined) {
    EXPECT_EQ(sheet.shortcodesField()->text(), "bye, regards");
    EXPECT_EQ(sheet.keywordsField()->text(), "");
    EXPECT_TRUE(sheet.saveButton()->isEnabled());
}

// A comma or space typed into a token field stays where it was typed, so a second token can be
// entered key by key; the draft follows every key, and the field shows the normal form once it
// loses the focus.
TEST_F(SnippetEditViewTest, TokenFieldsTakeSeparatorsTypedKeyByKey) {
    sheet.shortcodesField()->clear();
    type(sheet.shortcodesField(), "Foo, bar;baz  FOO");
    EXPECT_EQ(sheet.shortcodesField()->text(), "Foo, bar;baz  FOO");
    EXPECT_EQ(sheet.draft().shortcodes, (Tokens{"foo", "bar", "baz"}));

    type(sheet.keywordsField(), "sign off");
    EXPECT_EQ(sheet.shortcodesField()->text(), "foo, bar, baz");
    EXPECT_EQ(sheet.keywordsField()->text(), "sign off");
    EXPECT_EQ(sheet.draft().keywords, (Tokens{"sign", "off"}));
}

TEST_F(SnippetEditViewTest, SaveNeedsANameATextAndAShortcode) {
    struct Case {
        const char* name;
        const char* insertText;
        Tokens shortcodes;
        bool canSave;
    };
    const Case cases[] = {
        {"Sign-off", "Best", {"bye"}, true},  {"   ", "Best", {"bye"}, false},
        {"Sign-off", "\n\n", {"bye"}, false}, {"Sign-off", "Best", {}, false},
        {" x ", " y ", {"z"}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SnippetEditView::canSave({"id", c.name, c.insertText, c.shortcodes, {}}), c.canSave)
            << c.name << "|" << c.insertText;
    }

    // The button follows the draft as it is typed.
    sheet.shortcodesField()->clear();
    type(sheet.shortcodesField(), ", ;");
    EXPECT_FALSE(sheet.saveButton()->isEnabled());
    type(sheet.shortcodesField(), "b");
    EXPECT_TRUE(sheet.saveButton()->isEnabled());
}

TEST_F(SnippetEditViewTest, OnlySaveHandsTheDraftBack) {
    type(sheet.nameField(), " ");
    QTest::keyClick(sheet.nameField(), Qt::Key_Return);
    EXPECT_EQ(saves, 0);
    EXPECT_TRUE(sheet.isVisible());

    sheet.saveButton()->click();
    ASSERT_EQ(saves, 1);
    EXPECT_EQ(saved->id, "s1");
    EXPECT_EQ(saved->name, "Sign-off ");
    EXPECT_EQ(saved->shortcodes, (Tokens{"bye", "regards"}));
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_FALSE(sheet.isVisible());

    SnippetEditView other(stored(), [this](const CustomSnippet&) { ++saves; });
    other.show();
    other.nameField()->setText("changed");
    other.cancelButton()->click();
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(other.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace mosaiko::testing
