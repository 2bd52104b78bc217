// The guide and statistics windows as a user meets them: what each control does and what the
// windows show after it.
#include <QScrollArea>
#include <QScrollBar>

#include "onboarding/ui/GuideUiFixture.hpp"

namespace mosaiko::testing {
namespace {

using Page = OnboardingPage;

class GuideViewTest : public GuideUiFixture {};

TEST_F(GuideViewTest, TabsAndFooterWalkThePagesAndFinishCloses) {
    auto view = guide(Page::welcome);
    EXPECT_EQ(view->leadingButton()->text(), QStringLiteral("Close"));
    EXPECT_EQ(view->stepCounter()->text(), QStringLiteral("Step 1 of 3"));
    view->tab(Page::welcome)->click();  // the current page's tab stays marked
    EXPECT_TRUE(view->tab(Page::welcome)->isChecked());

    view->trailingButton()->click();
    settle();
    EXPECT_EQ(view->stepCounter()->text(), QStringLiteral("Step 2 of 3"));
    EXPECT_NE(find<QWidget>(view->page(), "exampleQuery"), nullptr);

    trusted = false;
    view->tab(Page::permissions)->click();
    settle();
    EXPECT_TRUE(view->tab(Page::permissions)->isChecked());
    EXPECT_EQ(view->trailingButton()->text(), QStringLiteral("Finish Anyway"));
    EXPECT_EQ(textOf(view->page(), "statusBadge"), "NOT GRANTED");
    // No settings pane to open here: the page says what stands in the way.
    EXPECT_EQ(textOf(view->page(), "untrustedReason"), reason);

    trusted = true;
    find<QPushButton>(view->page(), "grantButton")->click();
    settle();
    EXPECT_EQ(textOf(view->page(), "statusBadge"), "GRANTED");
    EXPECT_EQ(find(view->page(), "untrustedReason"), nullptr);
    EXPECT_EQ(view->trailingButton()->text(), QStringLiteral("Finish"));

    view->trailingButton()->click();
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(dismissals, 1);
}

TEST_F(GuideViewTest, PagesFollowTheTriggerAndTheInstantOpenSequenceWhileOpen) {
    auto view = guide(Page::welcome);
    EXPECT_EQ(textOf(view->page(), "welcomeHeadline"), "Type ;. Search. Hit enter. Keep moving.");
    EXPECT_EQ(find<QWidget>(view->page(), "insertChip")->findChild<QLabel*>()->text(),
              QStringLiteral("Enter"));
    prefs.setInlineTrigger("");
    settle();
    EXPECT_EQ(textOf(view->page(), "welcomeHeadline"),
              "Inline search is off. Use instant open and keep moving.");
    EXPECT_EQ(find<QWidget>(view->page(), "triggerChip")->findChild<QLabel*>()->text(),
              QStringLiteral("Off"));

    view->tab(Page::tipps)->click();
    prefs.setQuickOpenShortcut(QuickOpenShortcut::disabled);
    settle();
    auto* card = find<QWidget>(view->page(), "instantOpenCard");
    ASSERT_NE(card, nullptr);
    QStringList texts;
    for (auto* label : card->findChildren<QLabel*>()) texts << label->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("Off"))) << texts.join(u'|').toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("Instant open is currently disabled.")));
}

TEST_F(GuideViewTest, AResetShowsProgressThenTheFailuresInAnAlert) {
    auto view = guide(Page::permissions);
    EXPECT_EQ(textOf(view->page(), "statusBadge"), "GRANTED");
    find<QPushButton>(view->page(), "resetPermissionsButton")->click();
    settle();
    EXPECT_NE(find<QWidget>(view->page(), "resetProgress"), nullptr);
    EXPECT_FALSE(find<QPushButton>(view->page(), "refreshButton")->isEnabled());

    trusted = false;
    pendingReset({{}, {{"Accessibility", "This system keeps no Accessibility permission to reset."}}});
    settle();
    EXPECT_EQ(find<QWidget>(view->page(), "resetProgress"), nullptr);
    EXPECT_TRUE(find<QPushButton>(view->page(), "refreshButton")->isEnabled());
    EXPECT_EQ(textOf(view->page(), "statusBadge"), "NOT GRANTED");
    ASSERT_NE(view->errorAlert(), nullptr);
    EXPECT_EQ(view->errorAlert()->windowTitle(), QStringLiteral("Permission action failed"));
    EXPECT_EQ(view->errorAlert()->text(),
              QStringLiteral("Accessibility: This system keeps no Accessibility permission to reset."));
    EXPECT_TRUE(launcher.invocations.empty());

    view->errorAlert()->buttons().front()->click();
    settle();
    EXPECT_EQ(view->model().resetErrorMessage(), std::nullopt);
    EXPECT_EQ(view->errorAlert(), nullptr);
}

class StatsViewTest : public GuideUiFixture {
  protected:
    // The texts of each row of the list, cell by cell.
    static std::vector<QStringList> rows(StatsView& view) {
        std::vector<QStringList> rows;
        for (auto* row : view.list()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            QStringList cells;
            for (auto* label : row->findChildren<QLabel*>()) cells << label->text();
            if (!cells.isEmpty()) rows.push_back(cells);
        }
        return rows;
    }
};

TEST_F(StatsViewTest, ListsRanksCountsAndTrendsPerRange) {
    auto view = stats();
    EXPECT_FALSE(view->resetButton()->isEnabled());
    EXPECT_EQ(textOf(view->list(), "emptyText"), "No data yet. Insert a few emojis first.");

    usage.recordUsed("🦊");
    clock.advance(8 * 86400);
    for (const char* text : {"🦊", "🦊", ":-)", "🐢", "🐢"}) usage.recordUsed(text);
    settle();
    EXPECT_TRUE(view->resetButton()->isEnabled());
    EXPECT_EQ(rows(*view),
              (std::vector<QStringList>{
                  {"#1", "🦊", "3 uses", ""}, {"#2", "🐢", "2 uses", ""}, {"#3", ":-)", "1 use", ""}}));
    view->rangeButton(StatsRange::days7)->click();
    settle();
    EXPECT_EQ(rows(*view), (std::vector<QStringList>{{"#1", "🐢", "2 uses", "+2"},
                                                     {"#1", "🦊", "2 uses", "+1"},
                                                     {"#2", ":-)", "1 use", "+1"}}));
}

TEST_F(StatsViewTest, AUseRecordedWhileOpenKeepsTheListWhereItWasScrolled) {
    for (int i = 0; i < 40; ++i) usage.recordUsed("text " + std::to_string(i));
    auto view = stats();
    auto* scrollBar = view->findChild<QScrollArea*>()->verticalScrollBar();
    ASSERT_GT(scrollBar->maximum(), 200);
    scrollBar->setValue(200);
    usage.recordUsed("text 1");
    settle();
    EXPECT_EQ(scrollBar->value(), 200);
}

TEST_F(StatsViewTest, ResetAsksFirstAndCancelKeepsTheData) {
    usage.recordUsed("🦊");
    auto view = stats();
    view->resetButton()->click();
    ASSERT_NE(view->resetAlert(), nullptr);
    EXPECT_EQ(view->resetAlert()->windowTitle(), QStringLiteral("Reset Statistics?"));
    view->resetAlert()->escapeButton()->click();
    settle();
    EXPECT_EQ(usage.counts().size(), 1u);

    view->resetButton()->click();
    ASSERT_NE(view->resetAlert(), nullptr);
    for (auto* button : view->resetAlert()->buttons()) {
        if (button->text() == QStringLiteral("Reset")) button->click();
    }
    settle();
    EXPECT_TRUE(usage.counts().empty());
    EXPECT_FALSE(view->resetButton()->isEnabled());
    EXPECT_EQ(textOf(view->list(), "emptyText"), "No data yet. Insert a few emojis first.");
}

}  // namespace
}  // namespace mosaiko::testing
