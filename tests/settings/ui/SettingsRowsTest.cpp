// The lists of the settings window with long, marked-up and right-to-left names: every row's
// buttons stay in view, names end in "…" and their tooltips show the user's text as it is.
#include <QAbstractButton>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "library/ui/LibraryTextLabel.hpp"
#include "settings/ui/CollectionsManageView.hpp"
#include "settings/ui/CollectionsPinRow.hpp"
#include "settings/ui/ExcludedAppsTab.hpp"
#include "settings/ui/RunningAppsPickerView.hpp"
#include "settings/ui/SettingsStyle.hpp"
#include "settings/ui/SettingsUiFixture.hpp"
#include "settings/ui/SnippetsManageView.hpp"
#include "support/ShownToolTip.hpp"

namespace mosaiko::testing {
namespace {

using Tab = SettingsView::Tab;

const std::string kLong = "Quarterly report for the regional office, " + std::string(240, 'x');
const std::string kRightToLeft =
    "\u05DE\u05D7\u05E9\u05D1\u05D5\u05DF \u05DE\u05D3\u05E2\u05D9 "
    "\u05E2\u05DD \u05E9\u05DD \u05D0\u05E8\u05D5\u05DA " +
    std::string(200, 'y');

struct SettingsRowsTest : SettingsStoresFixture {
    QWidget* showTab(Tab tab) {
        view->tabWidget()->setCurrentIndex(static_cast<int>(tab));
        settle();
        return view->tabContent(tab);
    }

    // The button lies inside the window and inside the visible part of the list that holds it.
    static void expectInView(const QWidget* button, const std::string& row) {
        ASSERT_TRUE(button);
        const QWidget* viewport = button->parentWidget();
        while (viewport && !qobject_cast<const QScrollArea*>(viewport->parentWidget()))
            viewport = viewport->parentWidget();
        ASSERT_TRUE(viewport) << row;
        const QRect shown(viewport->mapToGlobal(QPoint(0, 0)), viewport->size());
        const QRect place(button->mapToGlobal(QPoint(0, 0)), button->size());
        EXPECT_TRUE(shown.contains(place.topRight()) && shown.contains(place.topLeft()))
            << row << ": button at x " << place.left() << ".." << place.right() << ", list shows "
            << shown.left() << ".." << shown.right();
    }
};

TEST_F(SettingsRowsTest, LongNamesEndInAnEllipsisAndEveryRowKeepsItsButtons) {
    custom.addSnippet("Short", "hi", {"hi"}, {});
    custom.addSnippet(kLong, "<b>Hello</b> <img src=x>\n  second line", {kLong}, {});
    custom.addSnippet(kRightToLeft, "text", {"rtl"}, {});
    prefs.setExcludedApps({{"Files", "org.gnome.Nautilus"},
                           {kLong, "org.example." + std::string(120, 'z')},
                           {kRightToLeft, std::nullopt}});
    for (const std::string& id : {std::string("grinning"), kLong, kRightToLeft}) collections.togglePinned(id);
    openWithStores();

    auto* snippets = static_cast<SnippetsManageView*>(showTab(Tab::shortcodes));
    ASSERT_EQ(snippets->editButtons().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        expectInView(snippets->editButtons()[i], "snippet " + std::to_string(i));
        expectInView(snippets->deleteButtons()[i], "snippet " + std::to_string(i));
    }
    // (Without a meta-object of their own these are found by their C++ type.)
    std::vector<ElidedLabel*> names;
    for (QLabel* label : snippets->findChildren<QLabel*>())
        if (auto* name = dynamic_cast<ElidedLabel*>(label)) names.push_back(name);
    const auto named = [&](const std::string& text) -> ElidedLabel* {
        for (ElidedLabel* label : names)
            if (label->fullText().toStdString() == text) return label;
        return nullptr;
    };
    for (const std::string& name : {kLong, kRightToLeft}) {
        ElidedLabel* label = named(name);
        ASSERT_TRUE(label);
        EXPECT_TRUE(label->isElided());
        EXPECT_EQ(shownToolTip(label->toolTip()).toStdString(), name);
    }
    EXPECT_FALSE(named("Short")->isElided());
    EXPECT_TRUE(named("Short")->toolTip().isEmpty());
    bool insertTextTip = false;
    for (QLabel* label : snippets->findChildren<QLabel*>()) {
        if (!label->toolTip().isEmpty() &&
            shownToolTip(label->toolTip()) == QStringLiteral("<b>Hello</b> <img src=x>\n  second line"))
            insertTextTip = true;
    }
    EXPECT_TRUE(insertTextTip) << "the snippet's text as it is";

    QWidget* excluded = showTab(Tab::excludedApps);
    std::vector<ExcludedAppRowView*> rows;
    for (QWidget* widget : excluded->findChildren<QWidget*>())
        if (auto* row = dynamic_cast<ExcludedAppRowView*>(widget)) rows.push_back(row);
    ASSERT_EQ(rows.size(), 3u);
    for (ExcludedAppRowView* row : rows) {
        expectInView(row->removeButton(), row->app().name);
        EXPECT_EQ(row->nameLabel()->isElided(), row->app().name != "Files") << row->app().name;
    }

    auto* pins = static_cast<CollectionsManageView*>(showTab(Tab::pins));
    for (CollectionsPinRow* row : pins->rows()) {
        for (QWidget* button : {row->moveUpButton(), row->moveDownButton(), row->unpinButton()})
            expectInView(button, row->state().itemID);
        EXPECT_EQ(row->nameLabel()->isElided(), row->state().itemID != "grinning") << row->state().itemID;
    }
}

// A pinned text (a snippet, an emoticon) in the narrow symbol column shrinks, and what still does
// not fit ends in "…" with the whole text in its tooltip; an emoji shows whole.
TEST_F(SettingsRowsTest, PinnedTextsEndInAnEllipsisInTheSymbolColumn) {
    for (const auto& [symbol, cut] : {std::pair{std::string("Best regards, Alex"), true},
                                      {"\u05E9\u05DC\u05D5\u05DD \u05E2\u05DC\u05D9\u05DB\u05DD", true},
                                      {"(\u256F\u00B0\u25A1\u00B0)\u256F\uFE35 \u253B\u2501\u253B", true},
                                      {"\U0001F600", false}}) {
        CollectionsPinRow row(collections, {"id", symbol, "name", "", 0, 1}, {});
        row.resize(700, 40);
        row.show();
        settle();
        LibraryTextLabel* label = row.symbolLabel();
        EXPECT_EQ(label->isTruncated(), cut) << symbol;
        EXPECT_EQ(label->toolTip().isEmpty(), !cut) << symbol;
    }
}

// The management tabs fit the window (only their lists scroll, no empty scroll bar beside them),
// and a snippet added by the form leaves the form in view, ready for the next one.
TEST_F(SettingsRowsTest, ManagementTabsFitTheWindowAndAddingKeepsTheFormInView) {
    for (int i = 0; i < 6; ++i)
        custom.addSnippet("Snippet " + std::to_string(i), "text", {"s" + std::to_string(i)}, {});
    openWithStores();
    const auto outerScroll = [](QWidget* tab) {
        return tab->findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly)->verticalScrollBar();
    };
    for (Tab tab : {Tab::pins, Tab::shortcodes}) {
        const QScrollBar* outer = outerScroll(showTab(tab));
        EXPECT_EQ(outer->maximum(), 0) << static_cast<int>(tab);
        EXPECT_FALSE(outer->isVisible()) << static_cast<int>(tab);
    }
    auto* snippets = static_cast<SnippetsManageView*>(showTab(Tab::shortcodes));

    for (int added = 0; added < 3; ++added) {
        snippets->nameField()->setFocus();
        QTest::keyClicks(snippets->nameField(), QStringLiteral("Added"));
        QTest::keyClicks(snippets->shortcodesField(), QStringLiteral("added") + QString::number(added));
        QTest::keyClicks(snippets->insertTextField(), QStringLiteral("text"));
        snippets->addButton()->setFocus();
        QTest::keyClick(snippets->addButton(), Qt::Key_Space);
        settle();
        EXPECT_EQ(outerScroll(snippets)->value(), 0) << "after Add " << added;
        EXPECT_TRUE(snippets->nameField()->hasFocus()) << "after Add " << added;
    }
    EXPECT_EQ(snippets->editButtons().size(), 9u);
}

TEST_F(SettingsRowsTest, RunningAppNamesAreTheirTooltipsAsTheyAre) {
    workspace.running = {{"org.example.Tags", "<img src=x> <b>Tags</b>", 11, ""}};
    openWithStores();
    showTab(Tab::excludedApps);
    view->state().setRunningAppsSheetShown(true);
    settle();
    auto* sheet = qobject_cast<RunningAppsPickerView*>(view->runningAppsSheet());
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet->list()->count(), 1);
    EXPECT_EQ(shownToolTip(sheet->list()->item(0)->toolTip()), QStringLiteral("<img src=x> <b>Tags</b>"));
}

}  // namespace
}  // namespace mosaiko::testing
