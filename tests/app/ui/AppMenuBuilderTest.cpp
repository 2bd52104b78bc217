#include "app/AppMenuBuilder.hpp"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <memory>

namespace mosaiko {
namespace {

TEST(AppMenuBuilder, StatusMenuFollowsItsTable) {
    std::vector<MenuAction> dispatched;
    std::unique_ptr<QMenu> menu(AppMenuBuilder::makeStatusMenu(
        false, "Quit Mosaiko 0.1.0", [&](MenuAction a) { dispatched.push_back(a); }));
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 10);
    EXPECT_EQ(actions[0]->text(), QString::fromUtf8("Quick Find"));
    EXPECT_EQ(actions[1]->text(), QString::fromUtf8("Library\u2026"));
    EXPECT_TRUE(actions[2]->isSeparator());
    // Shortcuts would be shown where they cannot act.
    for (QAction* action : actions) EXPECT_TRUE(action->shortcut().isEmpty()) << action->text().toStdString();
    EXPECT_EQ(actions[7]->text(), QString::fromUtf8("Check for Updates\u2026"));
    EXPECT_FALSE(actions[7]->isEnabled());
    EXPECT_TRUE(actions[8]->isSeparator());
    EXPECT_EQ(actions[9]->text(), QStringLiteral("Quit Mosaiko 0.1.0"));

    actions[5]->trigger();
    actions[6]->trigger();
    actions[9]->trigger();
    EXPECT_EQ(dispatched,
              (std::vector<MenuAction>{MenuAction::openTipps, MenuAction::openOnboarding, MenuAction::quit}));
}

TEST(AppMenuBuilder, MainMenuHasTheCommandsAndAnEditMenu) {
    std::vector<MenuAction> dispatched;
    std::unique_ptr<QMenuBar> bar(AppMenuBuilder::makeAppMainMenu(
        true, "Quit Mosaiko", [&](MenuAction a) { dispatched.push_back(a); }));
    const auto top = bar->actions();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0]->text(), QStringLiteral("Mosaiko"));
    EXPECT_EQ(top[1]->text(), QStringLiteral("Edit"));

    const auto commands = top[0]->menu()->actions();
    ASSERT_EQ(commands.size(), 9);
    EXPECT_EQ(commands[0]->text(), QString::fromUtf8("Quick Find\u2026"));
    EXPECT_EQ(commands[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));  // in the program's windows
    EXPECT_EQ(commands[2]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_TRUE(commands[6]->isEnabled());
    commands[2]->trigger();
    EXPECT_EQ(dispatched, std::vector<MenuAction>{MenuAction::openSettings});

    QStringList edit;
    for (QAction* a : top[1]->menu()->actions()) edit << a->text();
    EXPECT_EQ(edit, (QStringList{"Cut", "Copy", "Paste", "Select All"}));
}

TEST(AppMenuBuilder, EditCommandsActOnTheFocusedTextField) {
    std::unique_ptr<QMenuBar> bar(AppMenuBuilder::makeAppMainMenu(true, "Quit Mosaiko", [](MenuAction) {}));
    QLineEdit field;
    field.setText(QStringLiteral("hello"));
    field.show();
    QApplication::setActiveWindow(&field);
    field.setFocus();
    if (QApplication::focusWidget() != &field) GTEST_SKIP() << "this platform gives no keyboard focus";
    bar->actions()[1]->menu()->actions()[3]->trigger();  // Select All
    EXPECT_EQ(field.selectedText(), QStringLiteral("hello"));
}

}  // namespace
}  // namespace mosaiko
