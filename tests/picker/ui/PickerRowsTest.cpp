#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <variant>

#include "picker/PickerShellServices.hpp"
#include "picker/ui/PickerUiFixture.hpp"

namespace mosaiko::testing {
namespace {

using Scope = PickerViewModel::Scope;
using Action = PickerViewModel::UIAction;

EmojiEntry entry(std::string id, std::string category, std::string name = "name") {
    EmojiEntry e;
    e.id = std::move(id);
    e.emoji = "x";
    e.name = std::move(name);
    e.category = std::move(category);
    return e;
}

TEST(PickerViewTextTest, DetailsNameTheEntryAndItsCategory) {
    EXPECT_EQ(PickerView::searchDetails(nullptr), "No matches");
    const EmojiEntry grinning = entry("grinning", "Smileys & Emotion", "grinning face");
    const EmojiEntry blank = entry("a", "  ", "blank");
    const EmojiEntry padded = entry("a", "\n People \t", "trimmed");
    EXPECT_EQ(PickerView::searchDetails(&grinning), "grinning face \u00B7 Smileys & Emotion");
    EXPECT_EQ(PickerView::searchDetails(&blank), "blank");
    EXPECT_EQ(PickerView::searchDetails(&padded), "trimmed \u00B7 People");
}

TEST(PickerViewTextTest, TextEntriesAreKnownByCategoryOrGlyphID) {
    EXPECT_TRUE(PickerView::isTextBasedEntry(entry("x", " Emoticons ")));
    EXPECT_TRUE(PickerView::isTextBasedEntry(entry("x", "SNIPPETS")));
    EXPECT_TRUE(PickerView::isTextBasedEntry(entry("x", "glyphs")));
    EXPECT_TRUE(PickerView::isTextBasedEntry(entry("x", "  Pack: Kaomoji")));
    EXPECT_TRUE(PickerView::isTextBasedEntry(entry("glyph-arrow", "Symbols")));
    EXPECT_FALSE(PickerView::isTextBasedEntry(entry("Glyph-arrow", "Symbols")));
    EXPECT_FALSE(PickerView::isTextBasedEntry(entry("smile", "Smileys & Emotion")));
    EXPECT_FALSE(PickerView::isTextBasedEntry(entry("x", "package")));
    EXPECT_FALSE(PickerView::isTextBasedEntry(entry("x", "Glyphs and more")));
    // Unicode's white space and letter cases count as well.
    EXPECT_TRUE(PickerView::isTextBasedEntry(entry("x", "\u00A0Glyphs\u2003")));
    EXPECT_TRUE(PickerView::isTextBasedEntry(entry("x", "PAC\u212A: Kaomoji")));
    EXPECT_FALSE(PickerView::isTextBasedEntry(entry("x", "\u00C9moticons")));
}

using PickerViewTest = PickerUiFixture;

TEST_F(PickerViewTest, TopRowShowsVariantsOnlyForEntriesWithOptions) {
    open("thumbs");
    ASSERT_EQ(model->activeEntry()->id, "thumbsup");
    EXPECT_TRUE(view().showsVariantsRow());

    // A result without tones brings the chips back, and one with tones the variants again.
    model->updateQuery("smile");
    settle();
    ASSERT_FALSE(model->activeEntry()->variants);
    EXPECT_FALSE(view().showsVariantsRow());
    model->updateQuery("wave");
    settle();
    ASSERT_EQ(model->activeEntry()->id, "wave");
    EXPECT_TRUE(view().showsVariantsRow());

    model->updateQuery("zzzzqqq");
    settle();
    EXPECT_EQ(model->activeEntry(), nullptr);
    EXPECT_FALSE(view().showsVariantsRow());
    EXPECT_TRUE(view().searchLineText().endsWith(QStringLiteral("No matches")));
}

TEST_F(PickerViewTest, SearchLineShowsTheTriggerAlsoForAnEmptyQuery) {
    prefs.setInlineTrigger("::");
    open("");
    EXPECT_TRUE(view().searchLineText().startsWith(QStringLiteral("::  ")));
    model->updateQuery("smi");
    settle();
    EXPECT_TRUE(view().searchLineText().startsWith(QStringLiteral("::smi")));
}

using MainRowTest = PickerUiFixture;

TEST_F(MainRowTest, CellsFollowTheEntryKindPinsAndSelection) {
    prefs.setDefaultSkinTone(SkinTone::dark);
    collections.togglePinned("thumbsup");
    collections.togglePinned("glyph-arrow-right");
    open("thumbs");
    const int thumbs = indexOf("thumbsup");
    ASSERT_GE(thumbs, 0);
    auto content = MainRowView::cellContent(model->results()[thumbs], thumbs, *model, prefs, collections);
    EXPECT_EQ(content.emoji, "👍🏿");  // the default skin tone
    EXPECT_TRUE(content.showsVariantsIndicator);
    EXPECT_TRUE(content.isPinned);
    EXPECT_EQ(content.isSelected, thumbs == model->selectedIndex());
    EXPECT_FALSE(content.isTextEntry);

    const auto& db = sharedTestDatabase();
    const auto zwsp = db.entryForID("glyph-zero-width-space");
    const auto nbsp = db.entryForID("glyph-non-breaking-space");
    const auto arrow = db.entryForID("glyph-arrow-right");
    const auto shrug = db.entryForID("emoticon-shrug");
    ASSERT_TRUE(zwsp && nbsp && arrow && shrug);
    EXPECT_EQ(MainRowView::cellContent(*zwsp, 99, *model, prefs, collections).emoji, "ZWSP");
    EXPECT_EQ(MainRowView::cellContent(*nbsp, 99, *model, prefs, collections).emoji, "NBSP");
    const auto glyph = MainRowView::cellContent(*arrow, 99, *model, prefs, collections);
    EXPECT_TRUE(glyph.isTextEntry && glyph.isCompactTextEntry && glyph.isPinned);
    const auto emoticon = MainRowView::cellContent(*shrug, 99, *model, prefs, collections);
    EXPECT_TRUE(emoticon.isTextEntry);
    EXPECT_FALSE(emoticon.isCompactTextEntry);
    EXPECT_EQ(emoticon.emoji, shrug->emoji);

    // With the keyboard on the variants row no tile is drawn selected and the row is dimmed.
    MainRowView* row = view().mainRow();
    auto selectedTiles = [row] {
        row->viewport()->repaint();
        std::vector<int> selected;
        for (const auto& [index, shown] : row->paintedCells())
            if (shown.isSelected) selected.push_back(index);
        return selected;
    };
    model->moveVariantVertically(-1);
    settle();
    EXPECT_TRUE(selectedTiles().empty());
    EXPECT_DOUBLE_EQ(row->rowOpacity(), 0.7);
    model->moveVariantVertically(1);
    settle();
    EXPECT_EQ(selectedTiles(), std::vector<int>{model->selectedIndex()});
    EXPECT_DOUBLE_EQ(row->rowOpacity(), 1.0);
}

TEST_F(MainRowTest, TileWidthsGrowWithTheirTextBetweenTheirLimits) {
    using Content = EmojiCell::Content;
    EXPECT_EQ(EmojiCell::widthFor(Content{"🧑🏻‍🤝‍🧑🏿", true, false, false, false, false}),
              54)
        << "emoji tiles are squares whatever they show";
    auto text = [](std::string s) { return Content{std::move(s), false, false, false, true, false}; };
    auto glyph = [](std::string s) { return Content{std::move(s), false, false, false, true, true}; };
    struct Case {
        Content narrow, middle, wide;
        double minimum, maximum;
    };
    const Case cases[] = {{text(":)"), text(std::string(12, 'w')), text(std::string(200, 'w')), 96, 320},
                          {glyph("→"), glyph("NBS"), glyph("NBSPNBSP"), 62, 92}};
    for (const auto& c : cases) {
        EXPECT_EQ(EmojiCell::widthFor(c.narrow), c.minimum);
        EXPECT_EQ(EmojiCell::widthFor(c.wide), c.maximum);
        EXPECT_GT(EmojiCell::widthFor(c.middle), c.minimum) << c.middle.emoji;
        EXPECT_LT(EmojiCell::widthFor(c.middle), c.maximum) << c.middle.emoji;
    }
}

TEST_F(MainRowTest, ClicksInsertAndShiftKeepsOpenOnlyWithThePreference) {
    open("smi");
    MainRowView* row = view().mainRow();
    ASSERT_GE(row->cellCount(), 3);
    auto clickCell = [row](int index, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        click(row->viewport(), modifiers, row->cellRect(index).center());
    };

    clickCell(2);
    EXPECT_EQ(model->selectedIndex(), 2);
    clickCell(1, Qt::ShiftModifier);
    clickCell(1, Qt::AltModifier | Qt::ControlModifier);
    prefs.setKeepOpenOnShiftEnter(false);
    clickCell(0, Qt::ShiftModifier);
    ASSERT_EQ(actions.size(), 4u);
    EXPECT_EQ(actions[0], Action(Action::InsertMain{2, false}));
    EXPECT_EQ(actions[1], Action(Action::InsertMain{1, true}));
    EXPECT_EQ(actions[2], Action(Action::InsertMain{1, false}));
    EXPECT_EQ(actions[3], Action(Action::InsertMain{0, false}));

    // A press that is released elsewhere (on the next tile, or between two) is no click.
    QWidget* viewport = row->viewport();
    for (const QPoint released : {row->cellRect(3).center(), row->cellRect(3).topLeft() - QPoint(4, 0)}) {
        const QPoint at = row->cellRect(2).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, released, viewport->mapToGlobal(released),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &release);
    }
    EXPECT_EQ(actions.size(), 4u);
}

TEST_F(MainRowTest, ContextMenuItemPinsAndUnpins) {
    open("smi");
    MainRowView* row = view().mainRow();
    const std::string id = model->results()[1].id;
    EXPECT_EQ(row->pinActionTitle(1), QStringLiteral("Pin"));
    row->togglePinned(1);
    settle();
    EXPECT_EQ(collections.pinnedIDs().back(), id);
    const int pinnedAt = indexOf(id);
    EXPECT_EQ(row->pinActionTitle(pinnedAt), QStringLiteral("Unpin"));
    row->viewport()->repaint();
    const auto& painted = row->paintedCells();
    const auto shown = std::find_if(painted.begin(), painted.end(),
                                    [pinnedAt](const auto& cell) { return cell.first == pinnedAt; });
    ASSERT_NE(shown, painted.end());
    EXPECT_TRUE(shown->second.isPinned);
    row->togglePinned(pinnedAt);
    settle();
    EXPECT_TRUE(collections.pinnedIDs().empty());
    EXPECT_EQ(row->pinActionTitle(999), QString());
}

TEST_F(MainRowTest, TheContextMenuPinsTheEntryItWasOpenedOn) {
    open("smi");
    MainRowView* row = view().mainRow();
    const std::string id = model->results()[3].id;
    const QPoint at = row->cellRect(3).center();
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, row->viewport()->mapToGlobal(at));
    QApplication::sendEvent(row->viewport(), &request);
    auto* menu = row->findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().front()->text(), QStringLiteral("Pin"));

    // The results shrink while the menu is open (the cell it came from goes away): the item still
    // pins the entry it was opened on, and changes neither the selection nor the actions.
    model->updateQuery("smiling face with horns");
    settle();
    ASSERT_LT(row->cellCount(), 4);
    menu->actions().front()->trigger();
    menu->close();
    settle();
    EXPECT_EQ(collections.pinnedIDs(), std::vector<std::string>{id});
    EXPECT_EQ(model->selectedIndex(), 0);
    EXPECT_TRUE(actions.empty());
}

// Lets the strip's 0.12 s scroll animation run to its end.
void letScrollAnimationsFinish() {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 250) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

TEST_F(MainRowTest, OnlyKeyboardMovesScrollTheStrip) {
    open("face");
    QScrollBar* bar = view().mainRow()->horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    ASSERT_GE(model->results().size(), 12u);

    // An arrow key far along the strip centres the new selection.
    model->moveSelection(9);
    settle();
    letScrollAnimationsFinish();
    EXPECT_GT(bar->value(), 0);

    // Typing on keeps the selected entry for a moment, then selects the first result: neither step
    // was a keyboard move, so the strip stays where it is.
    bar->setValue(0);
    const std::string selectedID = model->activeEntry()->id;
    model->updateQuery("face ");
    settle();
    letScrollAnimationsFinish();
    ASSERT_GE(indexOf(selectedID), 1);
    EXPECT_EQ(model->selectedIndex(), 0);
    EXPECT_EQ(bar->value(), 0);

    // Hover and click never move it either.
    pointer.x += 5;
    MainRowView* row = view().mainRow();
    hover(row->viewport(), row->cellRect(6).center());
    settle();
    ASSERT_EQ(model->selectedIndex(), 6);
    click(row->viewport(), Qt::NoModifier, row->cellRect(7).center());
    settle();
    letScrollAnimationsFinish();
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(MainRowTest, OnlyTilesInViewAreDrawnAndThePointerFindsThemWhereverTheStripIsScrolled) {
    open("face");
    MainRowView* row = view().mainRow();
    const int count = static_cast<int>(model->results().size());
    ASSERT_EQ(row->cellCount(), count);
    auto paintedIndices = [row] {
        row->viewport()->repaint();
        std::vector<int> indices;
        for (const auto& [index, shown] : row->paintedCells()) indices.push_back(index);
        return indices;
    };
    const QRect inView = row->viewport()->rect();
    for (const int offset : {0, 333, row->horizontalScrollBar()->maximum()}) {
        row->horizontalScrollBar()->setValue(offset);
        const auto painted = paintedIndices();
        ASSERT_FALSE(painted.empty());
        EXPECT_LT(painted.size(), 15u) << "of " << count;
        // Every tile that shows, and no other.
        EXPECT_TRUE(row->cellRect(painted.front()).intersects(inView));
        EXPECT_TRUE(row->cellRect(painted.back()).intersects(inView));
        EXPECT_EQ(painted.back() - painted.front() + 1, static_cast<int>(painted.size()));
        EXPECT_FALSE(row->cellRect(painted.front() - 1).intersects(inView));
        EXPECT_FALSE(row->cellRect(painted.back() + 1).intersects(inView));
    }
    EXPECT_EQ(paintedIndices().back(), count - 1) << "scrolled to the end";

    // Hover selects the tile under the pointer in the scrolled strip; the gap between two selects
    // nothing.
    model->unlockHoverSelection();
    hover(row->viewport(), row->cellRect(count - 2).center());
    EXPECT_EQ(model->selectedIndex(), count - 2);
    hover(row->viewport(), row->cellRect(count - 1).topLeft() - QPoint(MainRowView::spacing / 2, -10));
    EXPECT_EQ(model->selectedIndex(), count - 2);
    EXPECT_EQ(row->indexAt(row->cellRect(count - 1).bottomRight()), count - 1);
}

TEST_F(MainRowTest, ScrollingOnBringsTheRestOfALongList) {
    open("s");
    MainRowView* row = view().mainRow();
    const int total = model->resultCount();
    ASSERT_GT(total, row->cellCount()) << "a long list is laid out a few pages at a time";
    for (int step = 0; step < total && row->cellCount() < total; ++step) {
        row->horizontalScrollBar()->setValue(row->horizontalScrollBar()->maximum());
        settle();
    }
    EXPECT_EQ(row->cellCount(), total);
    EXPECT_EQ(static_cast<int>(model->results().size()), total);
}

using VariantsRowTest = PickerUiFixture;

TEST_F(VariantsRowTest, QuickButtonsForSingleTonesAndMixForTwoPeople) {
    open("thumbs");
    VariantsRowView* row = view().variantsRow();
    ASSERT_EQ(row->quickButtons().size(), 6u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(row->quickButtons()[static_cast<std::size_t>(i)].first, i);
    EXPECT_FALSE(row->mixButton()->isVisible());
    EXPECT_EQ(row->quickButtons()[1].second->toolTip(), QStringLiteral("Light"));

    model->updateQuery("handshake");
    settle();
    ASSERT_EQ(model->activeEntry()->id, "handshake");
    ASSERT_EQ(model->activeOptions().size(), 26u);
    ASSERT_EQ(row->quickButtons().size(), 6u);
    EXPECT_EQ(row->quickButtons().back().first, 5);
    EXPECT_TRUE(row->mixButton()->isVisible());
    EXPECT_EQ(row->mixButton()->toolTip(), QStringLiteral("Choose mixed skin tones"));

    // The main row has the keyboard: the strip is dimmed and nothing is marked.
    EXPECT_DOUBLE_EQ(row->stripOpacity(), 0.7);
    for (const auto& [index, button] : row->quickButtons()) EXPECT_FALSE(row->isQuickVariantSelected(index));
    model->moveVariantVertically(-1);
    settle();
    EXPECT_DOUBLE_EQ(row->stripOpacity(), 1.0);
    EXPECT_TRUE(row->isQuickVariantSelected(model->selectedVariantIndex()));
    EXPECT_FALSE(row->isMixHighlighted());

    // A two-tone option marks the mix button and no quick button.
    model->selectVariant(10, PickerViewModel::SelectionOrigin::keyboard);
    settle();
    EXPECT_TRUE(row->isMixHighlighted());
    for (const auto& [index, button] : row->quickButtons()) EXPECT_FALSE(row->isQuickVariantSelected(index));
}

TEST_F(VariantsRowTest, ClicksSelectAndInsertTheVariant) {
    open("thumbs");
    VariantsRowView* row = view().variantsRow();
    click(row->quickButtons()[3].second);
    EXPECT_EQ(model->selectedVariantIndex(), 3);
    EXPECT_EQ(prefs.rememberedEmojiVariantsByEntryID().at("thumbsup"), model->activeOptions()[3].emoji);
    click(row->quickButtons()[4].second, Qt::ShiftModifier);
    prefs.setKeepOpenOnShiftEnter(false);
    click(row->quickButtons()[5].second, Qt::ShiftModifier);
    ASSERT_EQ(actions.size(), 3u);
    EXPECT_EQ(actions[0], Action(Action::InsertVariant{3, false}));
    EXPECT_EQ(actions[1], Action(Action::InsertVariant{4, true}));
    EXPECT_EQ(actions[2], Action(Action::InsertVariant{5, false}));
}

TEST_F(VariantsRowTest, HoverIsIgnoredUntilThePanelUnlocksIt) {
    open("handshake");
    VariantsRowView* row = view().variantsRow();
    hover(row->quickButtons()[2].second);
    hover(row->mixButton());
    settle();
    EXPECT_EQ(model->focusRow(), PickerViewModel::FocusRow::main);
    EXPECT_FALSE(model->isMixButtonFocused());
    // The mix button still lights up under the pointer.
    EXPECT_TRUE(row->isHoveringMixButton());
    EXPECT_TRUE(row->isMixHighlighted());

    pointer.y += 3;
    hover(row->mixButton());
    settle();
    EXPECT_EQ(model->focusRow(), PickerViewModel::FocusRow::variants);
    EXPECT_TRUE(model->isMixButtonFocused());
    EXPECT_FALSE(model->isShowingMixedTonePopover());  // hovering never opens the matrix
    hover(row->quickButtons()[2].second);
    settle();
    EXPECT_EQ(model->selectedVariantIndex(), 2);
    EXPECT_FALSE(model->isMixButtonFocused());
}

TEST_F(VariantsRowTest, MixButtonTogglesTheMatrixAndAMatrixClickInserts) {
    prefs.setDefaultSkinTone(SkinTone::mediumLight);
    open("handshake");
    VariantsRowView* row = view().variantsRow();
    click(row->mixButton());
    settle();
    ASSERT_TRUE(model->isShowingMixedTonePopover());
    EXPECT_TRUE(row->popover()->isVisible());
    EXPECT_EQ(model->focusRow(), PickerViewModel::FocusRow::variants);
    // Opened from the one-tone medium-light option: the matrix starts on its diagonal cell.
    MixedToneVariantMatrix* matrix = row->matrix();
    EXPECT_EQ(matrix->selectedIndex(), model->selectedVariantIndex());
    EXPECT_EQ(matrix->optionIndexAt(1, 1), std::optional<int>(model->selectedVariantIndex()));

    // Clicking Mix again closes it without touching the selection.
    const int before = model->selectedVariantIndex();
    click(row->mixButton());
    settle();
    EXPECT_FALSE(model->isShowingMixedTonePopover());
    EXPECT_FALSE(row->popover()->isVisible());
    EXPECT_EQ(model->selectedVariantIndex(), before);

    // Reopened, it shows no cell hovered from its last time.
    click(row->mixButton());
    settle();
    hover(matrix, matrix->cellRect(0, 3).center());
    ASSERT_TRUE(matrix->hoveredIndex());
    click(row->mixButton());
    settle();
    click(row->mixButton());
    settle();
    ASSERT_TRUE(row->popover()->isVisible());
    EXPECT_FALSE(matrix->hoveredIndex());

    const auto target = matrix->optionIndexAt(2, 4);
    ASSERT_TRUE(target);
    click(matrix, Qt::ShiftModifier, matrix->cellRect(2, 4).center());
    settle();
    EXPECT_FALSE(model->isShowingMixedTonePopover());
    EXPECT_FALSE(row->popover()->isVisible());
    EXPECT_EQ(model->selectedVariantIndex(), *target);
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0], Action(Action::InsertVariant{*target, true}));
    EXPECT_EQ(model->activeOptions()[static_cast<std::size_t>(*target)].tones,
              (std::vector<SkinTone>{SkinTone::medium, SkinTone::dark}));
}

TEST_F(VariantsRowTest, APressOutsideTheMatrixClosesIt) {
    open("handshake");
    VariantsRowView* row = view().variantsRow();
    click(row->mixButton());
    settle();
    ASSERT_TRUE(row->popover()->isVisible());
    click(view().searchRow());
    settle();
    EXPECT_FALSE(model->isShowingMixedTonePopover());
    EXPECT_FALSE(row->popover()->isVisible());
    EXPECT_TRUE(actions.empty());
}

TEST_F(VariantsRowTest, TheMatrixOpensBelowTheMixButtonOrAboveWhenTheScreenEndsThere) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    VariantsRowView* row = view().variantsRow();
    auto mixButtonOnScreen = [&] {
        return QRect(row->mixButton()->mapToGlobal(QPoint(0, 0)), row->mixButton()->size());
    };

    open("handshake");
    panel->panel().move(area.left() + 10, area.top() + 10);
    click(row->mixButton());
    settle();
    ASSERT_TRUE(row->popover()->isVisible());
    EXPECT_GT(row->popover()->geometry().top(), mixButtonOnScreen().bottom());
    EXPECT_TRUE(area.contains(row->popover()->geometry()));

    click(row->mixButton());
    settle();
    panel->panel().move(area.left() + 10, area.bottom() - panel->panel().height());
    click(row->mixButton());
    settle();
    ASSERT_TRUE(row->popover()->isVisible());
    EXPECT_LT(row->popover()->geometry().bottom(), mixButtonOnScreen().top());
    EXPECT_TRUE(area.contains(row->popover()->geometry()));
}

using ScopeRowTest = PickerUiFixture;

TEST_F(ScopeRowTest, ChipsMarkTheScopeAndPinsNeedPins) {
    open("smi");
    CollectionsRowView* row = view().collectionsRow();
    for (auto scope : CollectionsRowView::scopes) {
        EXPECT_EQ(row->isChipSelected(scope), scope == Scope::all);
        EXPECT_EQ(row->isChipEnabled(scope), scope != Scope::pinned);
        EXPECT_EQ(row->chip(scope)->toolTip(), QStringLiteral("Click to switch tab. Press Tab to cycle."));
    }
    EXPECT_DOUBLE_EQ(row->chip(Scope::pinned)->opacity(), 0.92 * 0.5);
    EXPECT_DOUBLE_EQ(row->chip(Scope::glyphs)->opacity(), 0.92);

    click(row->chip(Scope::pinned));
    EXPECT_EQ(model->scope(), Scope::all);
    click(row->chip(Scope::emoticons));
    settle();
    EXPECT_EQ(model->scope(), Scope::emoticons);
    EXPECT_TRUE(row->isChipSelected(Scope::emoticons));

    // Pinning enables the chip; unpinning the last pin keeps it usable while its scope is current.
    collections.togglePinned("smile");
    settle();
    EXPECT_TRUE(row->isChipEnabled(Scope::pinned));
    click(row->chip(Scope::pinned));
    settle();
    EXPECT_EQ(model->scope(), Scope::pinned);
    collections.togglePinned("smile");
    settle();
    EXPECT_TRUE(row->isChipSelected(Scope::pinned));
    EXPECT_TRUE(row->isChipEnabled(Scope::pinned));
    click(row->chip(Scope::all));
    settle();
    EXPECT_FALSE(row->isChipEnabled(Scope::pinned));
}

class RecordingShell final : public PickerShellServices {
  public:
    void openSettings() override { ++opened; }
    int opened = 0;
};

TEST_F(ScopeRowTest, AccessoryControlsSendLibraryCloseAndReachTheShell) {
    open("thumbs");
    model->setScope(Scope::shortcodes);
    settle();
    TopRowAccessoryControls* controls = view().collectionsRow()->accessoryControls();
    click(controls->libraryButton());
    click(controls->closeButton());
    click(controls->hint());

    // The variants row carries its own controls; the library still gets the scope.
    model->setScope(Scope::all);
    collections.togglePinned("thumbsup");
    model->setScope(Scope::pinned);
    settle();
    ASSERT_TRUE(view().showsVariantsRow());
    click(view().variantsRow()->accessoryControls()->libraryButton());

    ASSERT_EQ(actions.size(), 3u);
    EXPECT_EQ(actions[0], Action(Action::OpenLibrary{Scope::shortcodes}));
    EXPECT_EQ(actions[1], Action(Action::Close{}));
    EXPECT_EQ(actions[2], Action(Action::OpenLibrary{Scope::pinned}));

    // Settings goes to the shell the panel was given, and does nothing without one.
    click(controls->settingsButton());
    RecordingShell shell;
    panel->setShellServices(&shell);
    click(controls->settingsButton());
    click(view().variantsRow()->accessoryControls()->settingsButton());
    panel->setShellServices(nullptr);
    click(controls->settingsButton());
    EXPECT_EQ(shell.opened, 2);
    EXPECT_EQ(actions.size(), 3u);
    EXPECT_EQ(controls->closeButton()->accessibleName(), QStringLiteral("Close quick find"));
}

}  // namespace
}  // namespace mosaiko::testing
