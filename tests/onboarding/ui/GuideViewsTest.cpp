// The guide and statistics windows as a user meets them: what each control does and what the
// windows show after it.
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gmock/gmock.h>

#include "onboarding/ui/GuideStyle.hpp"
#include "onboarding/ui/GuideUiFixture.hpp"
#include "onboarding/ui/StatsList.hpp"
#include "support/SchemeSwitch.hpp"

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
    EXPECT_EQ(find(view->page(), "checkFinding"), nullptr) << "nothing checked by Grant yet";

    trusted = true;
    find<QPushButton>(view->page(), "grantButton")->click();
    settle();
    EXPECT_EQ(textOf(view->page(), "statusBadge"), "GRANTED");
    EXPECT_EQ(find(view->page(), "untrustedReason"), nullptr);
    // Also a check that finds what the badge says already says so.
    find<QPushButton>(view->page(), "grantButton")->click();
    settle();
    EXPECT_THAT(textOf(view->page(), "checkFinding"),
                ::testing::MatchesRegex("Checked at [0-9:]{8}\\. Granted: .*"));
    EXPECT_EQ(view->trailingButton()->text(), QStringLiteral("Finish"));

    view->trailingButton()->click();
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(dismissals, 1);
}

// Whatever a check finds, Grant stays where it was: a second click where the first one went
// presses it again.
TEST_F(GuideViewTest, GrantStaysWhereItWasAfterEachCheck) {
    trusted = false;
    auto view = guide(Page::permissions);
    const auto grant = [&] { return find<QPushButton>(view->page(), "grantButton"); };
    const QPoint where = grant()->mapTo(view.get(), grant()->rect().center());
    int checks = 0;
    for (const bool found : {false, true, true, false}) {
        trusted = found;
        QWidget* under = view->childAt(where);
        ASSERT_EQ(under, grant()) << "after " << checks << " checks";
        QTest::mouseClick(under, Qt::LeftButton);
        settle();
        EXPECT_EQ(view->model().grantChecks(), ++checks);
    }
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

// A light/dark switch while the guide or the statistics window is open leaves it as it would be
// opened in the new scheme.
TEST_F(GuideViewTest, ASchemeSwitchWhileOpenRecoloursTheWholeWindow) {
    for (const char* text : {"🦊", "🦊", "¯\\_(ツ)_/¯", "see you\nsoon"}) usage.recordUsed(text);
    const std::vector<std::pair<const char*, std::function<std::unique_ptr<QWidget>()>>> windows = {
        {"guide", [this] { return guide(Page::permissions); }},
        {"statistics", [this] { return stats(); }},
    };
    const QPalette light = QApplication::palette();
    for (const auto& [name, open] : windows) {
        std::unique_ptr<QWidget> switched = open();
        QApplication::setPalette(darkDesktopPalette(light));
        settle();
        ASSERT_TRUE(DesktopAppearance::isDark());
        std::unique_ptr<QWidget> fresh = open();
        QApplication::setActiveWindow(nullptr);
        settle();
        const PixelDifference difference =
            pixelDifference(switched->grab().toImage(), fresh->grab().toImage());
        EXPECT_EQ(difference.pixels, 0)
            << name << " differs in " << difference.bounds.x() << "," << difference.bounds.y() << " "
            << difference.bounds.width() << "x" << difference.bounds.height();
        QApplication::setPalette(light);
        settle();
    }
}

class StatsViewTest : public GuideUiFixture {
  protected:
    // The texts of each row of the list, cell by cell.
    static std::vector<QStringList> rows(StatsView& view) {
        std::vector<QStringList> rows;
        if (auto* list = dynamic_cast<StatsList*>(view.list())) {
            for (const auto& row : list->rows())
                rows.push_back({row.texts[0], row.texts[1], row.texts[2], row.texts[3]});
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

// Ranks and counts in the secondary colour; a trend up in green, down in red, none in the primary.
TEST_F(StatsViewTest, RowsColourTheirCells) {
    for (const char* text : {"🦊", "🐢", "🐢", "🐢", "❤️"}) usage.recordUsed(text);
    clock.advance(8 * 86400);
    for (const char* text : {"🦊", "🦊", "🦊", "🐢", "❤️"}) usage.recordUsed(text);
    auto view = stats();
    view->rangeButton(StatsRange::days7)->click();
    settle();
    auto* list = dynamic_cast<StatsList*>(view->list());
    ASSERT_NE(list, nullptr);
    const auto colourOf = [&](const char* text, int cell) {
        for (std::size_t i = 0; i < list->rows().size(); ++i) {
            if (list->rows()[i].texts[StatsList::preview] == QString::fromUtf8(text))
                return list->colourOf(i, static_cast<StatsList::Cell>(cell));
        }
        return QColor();
    };
    for (const int cell : {0, 2})
        EXPECT_EQ(colourOf("🦊", cell), DesktopAppearance::secondaryText()) << cell;
    EXPECT_EQ(colourOf("🦊", 3), GuideStyle::named(GuideStyle::Named::green));
    EXPECT_EQ(colourOf("🐢", 3), GuideStyle::named(GuideStyle::Named::red));
    EXPECT_EQ(colourOf("❤️", 3), DesktopAppearance::primaryText());
}

// A long list has all its rows, in order, and a use recorded while it is open keeps it where the
// user scrolled it.
TEST_F(StatsViewTest, AUseRecordedWhileOpenKeepsTheListWhereItWasScrolled) {
    for (int i = 0; i < 40; ++i) usage.recordUsed("text " + std::to_string(i));
    auto view = stats();
    ASSERT_EQ(rows(*view).size(), 40u);
    settle();  // laid out
    const auto items = view->model().items();
    const auto shown = rows(*view);
    for (std::size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(shown[i].value(1).toStdString(), items[i].emoji) << i;
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

// The ink of `widget` as drawn: its bounding box in the widget.
QRect inkOf(QWidget* widget, const QColor& background, QRect area = {}) {
    const QImage image = widget->grab().toImage();
    if (area.isNull()) area = image.rect();
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.lightness() - background.lightness()) > 40 || pixel.saturation() > 60)
                ink |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}

TEST_F(StatsViewTest, PreviewsShowTheWholeTextAndTheChosenRangeStandsOut) {
    usage.recordUsed("😀😀");
    usage.recordUsed("see you\nsoon");
    auto view = stats();
    auto* list = dynamic_cast<StatsList*>(view->list());
    ASSERT_NE(list, nullptr);
    std::optional<std::size_t> pair;
    for (std::size_t i = 0; i < list->rows().size(); ++i)
        if (list->rows()[i].texts[StatsList::preview] == QStringLiteral("😀😀")) pair = i;
    ASSERT_TRUE(pair);
    const QRect frame = list->cellRect(*pair, StatsList::preview);
    ASSERT_EQ(frame.width(), 36);
    // Both characters, shrunk into the frame, rather than the middle of the pair at full size.
    const QRect ink = inkOf(list, view->palette().color(QPalette::Base), frame);
    EXPECT_LT(ink.height(), 20) << "at full size it is 25 pixels high";
    EXPECT_GT(ink.width(), ink.height() * 1.6);
    const auto shown = rows(*view);
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const QStringList& row) {
        return row.contains(QStringLiteral("see you\nsoon"));
    }));

    // The chosen range's button is plainly unlike the others, in both looks.
    for (const bool dark : {false, true}) {
        DesktopAppearance::overrideDark(dark);
        view->setPalette(QPalette());  // a palette change redraws the view in the new look
        settle();
        auto centre = [&](StatsRange range) {
            QAbstractButton* button = view->rangeButton(range);
            return button->grab().toImage().pixelColor(button->width() / 2, 3);
        };
        const QColor chosen = centre(StatsRange::allTime), other = centre(StatsRange::days7);
        const int distance = std::abs(chosen.red() - other.red()) + std::abs(chosen.green() - other.green()) +
                             std::abs(chosen.blue() - other.blue());
        EXPECT_GT(distance, 200) << (dark ? "dark" : "light");
    }
}

}  // namespace
}  // namespace mosaiko::testing
