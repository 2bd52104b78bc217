#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include "content/CollectionsStore.hpp"
#include "library/ui/PinAliasField.hpp"
#include "platform/MemoryDefaults.hpp"

namespace mosaiko {
namespace {

class PinAliasFieldTest : public ::testing::Test {
  protected:
    PinAliasFieldTest() {
        collections.togglePinned("party");
        collections.togglePinned("cake");
        auto* layout = new QVBoxLayout(&window);
        field = new PinAliasField(collections, "party", &window);
        other = new QLineEdit(&window);
        layout->addWidget(field);
        layout->addWidget(other);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        field->setFocus();
    }

    std::string storedAlias(const std::string& id) const {
        const auto& aliases = collections.pinAliasesByID();
        const auto it = aliases.find(id);
        return it == aliases.end() ? "<none>" : it->second;
    }

    MemoryDefaults defaults;
    CollectionsStore collections{defaults};
    QWidget window;
    PinAliasField* field = nullptr;
    QLineEdit* other = nullptr;
};

TEST_F(PinAliasFieldTest, TypingKeyByKeyKeepsTextAndFocusAndStoresTheTrimmedAlias) {
    const QString typed = QStringLiteral(" party hat ");
    for (int i = 0; i < typed.size(); ++i) {
        QTest::keyClick(field, typed.at(i).toLatin1());
        ASSERT_EQ(field->text(), typed.left(i + 1)) << "after key " << i;
        ASSERT_TRUE(field->hasFocus()) << "after key " << i;
    }
    EXPECT_EQ(storedAlias("party"), "party hat");

    other->setFocus();
    EXPECT_EQ(field->text(), QStringLiteral("party hat")) << "shows the stored alias once left";
}

TEST_F(PinAliasFieldTest, ClearingRemovesTheAlias) {
    QTest::keyClicks(field, "hat");
    EXPECT_EQ(storedAlias("party"), "hat");
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Space);
    EXPECT_EQ(storedAlias("party"), "<none>") << "a blank alias is removed";
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(storedAlias("party"), "<none>");
    EXPECT_EQ(storedAlias("cake"), "<none>");
}

TEST_F(PinAliasFieldTest, FollowsTheStoreOnlyWhileUnfocused) {
    QTest::keyClicks(field, "typing ");
    collections.setPinnedAlias("elsewhere", "party");
    EXPECT_EQ(field->text(), QStringLiteral("typing ")) << "a focused field keeps what is typed";

    other->setFocus();
    EXPECT_EQ(field->text(), QStringLiteral("elsewhere"));
    collections.setPinnedAlias("  again ", "party");
    EXPECT_EQ(field->text(), QStringLiteral("again"));
    collections.togglePinned("party");
    EXPECT_EQ(field->text(), QString()) << "unpinning drops the alias";
}

}  // namespace
}  // namespace mosaiko
