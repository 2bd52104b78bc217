#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include "content/CollectionsStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/PreferencesStore.hpp"
#include "library/ui/PinAliasField.hpp"
#include "platform/MemoryDefaults.hpp"
#include "settings/ui/CollectionsManageView.hpp"
#include "settings/ui/CollectionsPinRow.hpp"
#include "support/TestEntries.hpp"

namespace mosaiko {
namespace {

using testing::entry;

class CollectionsManageViewTest : public ::testing::Test {
  protected:
    CollectionsManageViewTest() {
        for (const char* id : {"a", "b", "c"}) collections.togglePinned(id);
        collections.setPinnedAlias("bee", "b");
        view.resize(860, 700);
        view.show();
        view.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&view));
    }

    std::vector<std::string> rowIDs() const {
        std::vector<std::string> ids;
        for (const auto* row : view.rows()) ids.push_back(row->state().itemID);
        return ids;
    }

    static void settle() { QCoreApplication::processEvents(); }

    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    CollectionsStore collections{defaults};
    EmojiDatabase db{
        {entry("a", "😀", "grinning"), entry("b", "🐝", "honeybee")}, {}, OperatingSystemVersion{99, 0, 0}};
    CollectionsManageView view{true, collections, db, prefs};
};

TEST_F(CollectionsManageViewTest, RowsMoveUnpinAndKeepTheirIdentity) {
    ASSERT_EQ(rowIDs(), (std::vector<std::string>{"a", "b", "c"}));
    CollectionsPinRow* a = view.row("a");
    EXPECT_FALSE(a->moveUpButton()->isEnabled());
    EXPECT_FALSE(view.row("c")->moveDownButton()->isEnabled());
    EXPECT_EQ(view.row("c")->state().emoji, "•") << "no entry carries c";

    a->moveDownButton()->click();
    settle();
    EXPECT_EQ(rowIDs(), (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(view.row("a"), a) << "the row moved, it was not rebuilt";
    EXPECT_TRUE(a->moveUpButton()->isEnabled());

    view.row("a")->unpinButton()->click();
    settle();
    EXPECT_EQ(collections.pinnedIDs(), (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(rowIDs(), (std::vector<std::string>{"b", "c"}));
    a = nullptr;

    view.row("b")->unpinButton()->click();
    view.row("b")->unpinButton()->click();  // a second click before the rows follow
    view.row("c")->unpinButton()->click();
    settle();
    EXPECT_TRUE(collections.pinnedIDs().empty()) << "a stale unpin does not pin again";
    EXPECT_TRUE(collections.pinAliasesByID().empty());
    EXPECT_TRUE(view.rows().empty());
    EXPECT_FALSE(view.emptyLabel()->isHidden());

    view.showPinsFirstToggle()->click();
    EXPECT_FALSE(prefs.showPinsFirstInSearchResults());
}

TEST_F(CollectionsManageViewTest, AliasWithAnInnerSpaceIsTypedKeyByKeyWhileTheScreenFollowsTheStore) {
    PinAliasField* field = view.row("b")->aliasField();
    EXPECT_EQ(field->text(), QStringLiteral("bee"));
    field->setFocus();
    field->clear();
    const QString typed = QStringLiteral("party hat");
    for (int i = 0; i < typed.size(); ++i) {
        QTest::keyClick(field, typed.at(i).toLatin1());
        settle();  // the screen's own refresh after the store changed
        ASSERT_EQ(field->text(), typed.left(i + 1));
        ASSERT_TRUE(field->hasFocus());
        ASSERT_EQ(view.row("b")->aliasField(), field);
    }
    EXPECT_EQ(collections.pinAliasesByID().at("b"), "party hat");
}

}  // namespace
}  // namespace mosaiko
