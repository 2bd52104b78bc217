#include <QApplication>
#include <QBackingStore>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "library/ui/LibraryEntryGrid.hpp"
#include "library/ui/LibraryEntryTiles.hpp"
#include "library/ui/LibraryHeaderLabel.hpp"
#include "library/ui/LibraryInspectorView.hpp"
#include "library/ui/LibraryPinsPane.hpp"
#include "library/ui/LibraryShortcodeRow.hpp"
#include "library/ui/LibraryShortcodeRowsPane.hpp"
#include "library/ui/LibraryTextLabel.hpp"
#include "library/ui/LibraryUiFixture.hpp"
#include "library/ui/LibraryVariantStripView.hpp"
#include "library/ui/PinAliasField.hpp"
#include "library/ui/PinsManagementRow.hpp"
#include "library/ui/SnippetEditView.hpp"
#include "library/ui/TokenField.hpp"
#include "picker/ui/MixedTonePopover.hpp"
#include "picker/ui/MixedToneVariantMatrix.hpp"
#include "platform/qt/Typography.hpp"
#include "support/SchemeSwitch.hpp"
#include "support/ShownToolTip.hpp"

namespace mosaiko::testing {
namespace {

using Filter = LibraryViewModel::ContentFilter;

class LibraryViewTest : public LibraryUiFixture {
  protected:
    LibraryViewTest() {
        view->show();
        QApplication::setActiveWindow(view.get());
        settle();
    }

    void mouse(QWidget* widget, QEvent::Type type, QPoint at) {
        QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
    void hover(QWidget* widget, QPoint at) {
        QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }

    std::vector<std::string> inserted;
};

TEST_F(LibraryViewTest, ColumnsFollowTheTab) {
    EXPECT_TRUE(view->showsSidebar());
    EXPECT_TRUE(view->showsInspector());
    EXPECT_EQ(view->centralPane(), view->grid());
    model->setContentFilter(Filter::pins);
    settle();
    EXPECT_FALSE(view->showsSidebar());
    EXPECT_FALSE(view->showsInspector());
    EXPECT_EQ(view->centralPane(), view->pinsPane());
    model->setContentFilter(Filter::shortcodes);
    settle();
    EXPECT_FALSE(view->showsSidebar());
    EXPECT_TRUE(view->showsInspector());
    EXPECT_EQ(view->centralPane(), view->shortcodeRows());
    model->setContentFilter(Filter::glyphs);
    model->setSearchQuery("no such glyph at all");
    settle();
    EXPECT_TRUE(view->showsSidebar());
    EXPECT_EQ(view->centralPane(), view->emptyState());
    EXPECT_FALSE(view->inspector()->showsSelection());
    EXPECT_EQ(model->keyboardColumnCount(), 1);
}

// Clicks select without scrolling, a double click inserts the entry's own preferred text, and the
// pointer moving from one tile onto the next leaves the second hovered.
TEST_F(LibraryViewTest, TilesAnswerThePointer) {
    model->setInsertionTargetName("Editor");
    model->onInsertRequested = [this](const std::string& text, bool) { inserted.push_back(text); };
    model->navigate(LibraryViewModel::BrowseSection::emojiCategory("People & Body"));
    settle();
    LibraryEntryGrid* grid = view->grid();
    EXPECT_EQ(model->keyboardColumnCount(), grid->metrics().columns);
    QWidget* viewport = grid->viewport();
    const QPoint second = grid->cellRect(1).center();
    hover(viewport, grid->cellRect(0).center());
    hover(viewport, second);
    EXPECT_EQ(grid->hoveredEntryID(), model->visibleEntries()[1].id);

    prefs.setDefaultSkinTone(SkinTone::dark);
    mouse(viewport, QEvent::MouseButtonPress, second);
    mouse(viewport, QEvent::MouseButtonRelease, second);
    mouse(viewport, QEvent::MouseButtonDblClick, second);
    const EmojiEntry& entry = model->visibleEntries()[1];
    EXPECT_EQ(model->selectedEntryID(), entry.id);
    EXPECT_EQ(model->lastSelectionOrigin(), LibraryViewModel::SelectionOrigin::mouse);
    ASSERT_EQ(inserted.size(), 1u);
    EXPECT_EQ(inserted[0], prefs.preferredEmojiText(entry));
    EXPECT_NE(inserted[0], entry.emoji);
    settle();
    EXPECT_EQ(grid->verticalScrollBar()->value(), 0);

    // The arrow keys bring the selection to the middle of the pane.
    for (int i = 0; i < 20; ++i) model->moveSelection(LibraryViewModel::KeyboardNavigationDirection::down);
    settle();
    EXPECT_TRUE(QTest::qWaitFor([&] { return grid->verticalScrollBar()->value() > 0; }, 5000));
}

// Tiles take the widths the pane's whole width gives them, the always-shown scroll bar taking its
// room from the padding: a pane 720 wide holds 10 tiles of 64, one 840 wide 12 of 62, or 4
// emoticon tiles of 195; every tile lies beside the bar.
TEST_F(LibraryViewTest, GridTilesTakeThePanesWidthWithTheScrollBarBeside) {
    using Style = LibraryGridMetrics::Style;
    struct Row {
        Style style;
        int width, columns, tile;
    };
    for (const Row& row : {Row{Style::compact, 720, 10, 64}, Row{Style::compact, 840, 12, 62},
                           Row{Style::wideText, 840, 4, 195}}) {
        LibraryEntryGrid grid(*model, prefs);
        grid.setStyle(row.style);
        grid.resize(row.width, 400);
        grid.show();
        settle();
        EXPECT_EQ(grid.metrics().columns, row.columns) << row.width;
        EXPECT_EQ(grid.cellRect(0).width(), row.tile) << row.width;
        EXPECT_GE(grid.cellRect(0).left(), 0);
        EXPECT_LE(grid.cellRect(row.columns - 1).right(), grid.viewport()->width() - 1) << row.width;
    }
}

// A long search cuts the count's line instead of widening the window; the tooltip shows it whole.
TEST_F(LibraryViewTest, ALongSearchIsCutInTheHeaderAndLeavesTheWindowsWidth) {
    view->show();
    settle();
    const int minimumWidth = view->minimumSizeHint().width();
    std::string query = "notes";
    for (int i = 0; i < 30; ++i) query += " for the meeting";
    addSnippet(query, "text");
    model->setSearchQuery(query);
    settle();
    EXPECT_EQ(view->minimumSizeHint().width(), minimumWidth);
    EXPECT_EQ(view->width(), 1280);
    EXPECT_TRUE(view->summaryLabel()->isTruncated());
    EXPECT_NE(view->summaryLabel()->toolTip().indexOf(QString::fromStdString(query)), -1);
}

// The grid paints every pixel of its pane (it fills no background first): between the tiles, under
// a hovered one, past a last row left short, scrolled off whole rows, at a fractional scale.
TEST_F(LibraryViewTest, TheGridLeavesNoPixelOfItsPaneUnpainted) {
    using Style = LibraryGridMetrics::Style;
    for (const auto& [filter, style] :
         {std::pair{Filter::all, Style::compact}, std::pair{Filter::emoticons, Style::wideText},
          std::pair{Filter::glyphs, Style::glyph}}) {
        model->setContentFilter(filter);
        model->setSearchQuery(filter == Filter::all ? "cat" : "");
        LibraryEntryGrid grid(*model, prefs);
        grid.setStyle(style);
        grid.resize(700, 300);
        grid.show();
        grid.refresh();
        settle();
        QMouseEvent move(QEvent::MouseMove, QPointF(grid.cellRect(1).center()), QPointF(), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(grid.viewport(), &move);
        ASSERT_TRUE(grid.hoveredEntryID());
        for (const int scroll : {0, 37, grid.verticalScrollBar()->maximum()}) {
            grid.verticalScrollBar()->setValue(scroll);
            for (const double scale : {1.0, 1.5, 2.0}) {
                QImage image(grid.viewport()->size() * scale, QImage::Format_ARGB32_Premultiplied);
                image.setDevicePixelRatio(scale);
                image.fill(Qt::magenta);
                grid.viewport()->render(&image);
                int unpainted = 0;
                for (int y = 0; y < image.height(); ++y)
                    for (int x = 0; x < image.width(); ++x)
                        unpainted += image.pixel(x, y) == QColor(Qt::magenta).rgb();
                EXPECT_EQ(unpainted, 0)
                    << static_cast<int>(style) << " scrolled " << scroll << " at " << scale;
            }
        }
    }
}

// The grid copies its tiles' resting look a row at a time: what it shows is the tiles drawn one by
// one on the background, a selected and a pinned one among them, a last row left short, scrolled.
TEST_F(LibraryViewTest, TheGridLooksAsItsTilesDrawnOneByOne) {
    collections.togglePinned("smiley_cat");
    model->setSearchQuery("cat");
    model->selectEntry("smiley_cat", LibraryViewModel::SelectionOrigin::mouse);
    LibraryEntryGrid grid(*model, prefs);
    grid.resize(700, 300);
    grid.show();
    grid.refresh();
    settle();
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum() - 20);
    QImage shown(grid.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    grid.viewport()->render(&shown);

    const QColor background = grid.viewport()->palette().color(QPalette::Window);
    QImage tiles(shown.size(), shown.format());
    tiles.fill(background);
    QPainter painter(&tiles);
    painter.setRenderHint(QPainter::Antialiasing);
    const auto& visible = model->visibleEntries();
    for (std::size_t i = 0; i < visible.size(); ++i) {
        const EmojiEntry& e = visible[i];
        LibraryCompactEntryTile{grid.displayText(e),
                                model->isPinned(e),
                                LibraryViewModel::isTextEntry(e),
                                e.variants && e.variants->supportsSkinTones(),
                                *grid.metrics().tileSide,
                                model->selectedEntryID() == e.id,
                                false,
                                background}
            .paint(painter, grid.cellRect(static_cast<int>(i)));
    }
    painter.end();
    EXPECT_EQ(pixelDifference(shown, tiles).pixels, 0);
}

// The rows of the pins tab stay in place while an alias is typed: the focus and the typed text
// (inner space included) survive the rebuilds every key causes, and the store keeps it trimmed.
TEST_F(LibraryViewTest, AliasesAreTypedKeyByKeyOnThePinsTab) {
    for (const char* id : {"thumbsup", "heart"}) collections.togglePinned(id);
    model->setContentFilter(Filter::pins);
    settle();
    PinsManagementRow* row = view->pinsPane()->row("heart");
    ASSERT_NE(row, nullptr);
    PinAliasField* field = row->aliasField();
    field->setFocus();
    settle();
    ASSERT_TRUE(field->hasFocus());
    for (QChar c : QStringLiteral(" party hat ")) {
        QTest::keyClick(field, c.toLatin1());
        settle();
    }
    EXPECT_EQ(view->pinsPane()->row("heart"), row);
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(field->text(), QStringLiteral(" party hat "));
    EXPECT_EQ(collections.pinAliasesByID().at("heart"), "party hat");

    // Moving the pin reorders the rows without replacing them.
    row->moveUpButton()->click();
    settle();
    EXPECT_EQ(view->pinsPane()->rowOrder(), (std::vector<std::string>{"heart", "thumbsup"}));
    EXPECT_EQ(view->pinsPane()->row("heart"), row);
    EXPECT_FALSE(row->moveUpButton()->isEnabled());
}

TEST_F(LibraryViewTest, InsertNeedsACapturedTarget) {
    model->selectEntry("thumbsup", LibraryViewModel::SelectionOrigin::mouse);
    settle();
    LibraryInspectorView* inspector = view->inspector();
    EXPECT_FALSE(inspector->insertButton()->isEnabled());
    EXPECT_EQ(inspector->targetValue()->text(), QStringLiteral("No target app captured. Copy still works."));
    model->setInsertionTargetName("");
    settle();
    EXPECT_TRUE(inspector->insertButton()->isEnabled());
    model->setInsertionTargetName("Editor");
    settle();
    EXPECT_EQ(inspector->targetValue()->text(), QStringLiteral("Insert into Editor"));
}

TEST_F(LibraryViewTest, EditingASnippetFromItsRow) {
    model->setContentFilter(Filter::shortcodes);
    settle();
    auto rows = view->shortcodeRows()->rows();
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_TRUE(rows[1]->editButton()->isVisible());
    rows[1]->editButton()->click();
    settle();
    SnippetEditView* sheet = view->editSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->shortcodesField()->text(), QStringLiteral("bye, regards"));
    sheet->nameField()->setText(QStringLiteral(" Farewell "));
    emit sheet->nameField()->textEdited(sheet->nameField()->text());
    sheet->saveButton()->click();
    settle();
    EXPECT_EQ(custom.snippets()[1].name, "Farewell");
    EXPECT_EQ(view->editSheet(), nullptr);
}

// The strip shows the untoned and single-tone options; the pointer previews a variant and leaving
// keeps it; a click or a choice in the matrix remembers it, and a mixed choice lights up "Mix".
TEST_F(LibraryViewTest, VariantStripPreviewsAndRemembers) {
    model->setSearchQuery("people holding hands");
    model->selectEntry("people_holding_hands", LibraryViewModel::SelectionOrigin::mouse);
    settle();
    LibraryVariantStripView* strip = view->inspector()->variantStrip();
    ASSERT_EQ(strip->shownOptionIndices().size(), 6u);
    ASSERT_NE(strip->mixButton(), nullptr);
    EXPECT_FALSE(strip->isMixHighlighted());

    QWidget* third = strip->cellForOption(strip->shownOptionIndices()[2]);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), third->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(third, &enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(third, &leave);
    settle();
    EXPECT_EQ(model->selectedVariantIndex(), strip->shownOptionIndices()[2]);
    EXPECT_EQ(view->inspector()->previewText().toStdString(), *model->selectedTextForInsertion());
    EXPECT_TRUE(prefs.rememberedEmojiVariantsByEntryID().empty());

    mouse(strip->mixButton(), QEvent::MouseButtonRelease, QPoint(5, 5));
    ASSERT_TRUE(strip->isShowingMixedTonePopover());
    MixedToneVariantMatrix* matrix = strip->popover()->matrix();
    const int mixed = *matrix->optionIndexAt(0, 4);
    matrix->onSelect(mixed);
    settle();
    EXPECT_FALSE(strip->isShowingMixedTonePopover());
    EXPECT_EQ(model->selectedVariantIndex(), mixed);
    EXPECT_TRUE(strip->isMixHighlighted());
    EXPECT_EQ(prefs.rememberedEmojiVariantsByEntryID().at("people_holding_hands"),
              model->selectedEntry()->variants->options()[static_cast<std::size_t>(mixed)].emoji);
}

// Names the user chose stay inside the inspector's column: cut after three lines with an ellipsis,
// shown whole (and verbatim, markup and all) in the tooltip; a short name has no tooltip.
TEST_F(LibraryViewTest, InspectorNamesFitTheColumn) {
    const std::string longName = "<b>Hello</b>" + std::string(120, 'W');
    for (const auto& [name, truncated] : {std::pair{longName, true}, std::pair{std::string("Note"), false}}) {
        model->setContentFilter(Filter::shortcodes);
        model->selectEntry(addSnippet(name, "text"), LibraryViewModel::SelectionOrigin::mouse);
        settle();
        LibraryTextLabel* label = view->inspector()->nameLabel();
        EXPECT_EQ(label->isTruncated(), truncated) << name;
        EXPECT_EQ(shownToolTip(label->toolTip()), truncated ? QString::fromStdString(name) : QString())
            << name;
        EXPECT_LE(label->height(), 3 * QFontMetrics(Typography::system(19, QFont::Bold)).height() + 3);
        EXPECT_LE(label->mapTo(view->inspector(), QPoint(label->width(), 0)).x(), view->inspector()->width());
    }
}

// The preview card grows for a text that fills three lines at its full size instead of shrinking
// it; an emoji keeps the least height.
TEST_F(LibraryViewTest, PreviewCardGrowsWithItsText) {
    model->selectEntry("thumbsup", LibraryViewModel::SelectionOrigin::mouse);
    settle();
    const int least = view->inspector()->previewCard()->height();
    EXPECT_EQ(least, 90 + 28);
    model->setContentFilter(Filter::shortcodes);
    model->selectEntry(addSnippet("Memo", "Dear team, see the figures."),
                       LibraryViewModel::SelectionOrigin::mouse);
    settle();
    EXPECT_GT(view->inspector()->previewCard()->height(), least);
}

// Counts the paints and layouts of a widget and of everything inside it.
class RedrawCounter final : public QObject {
  public:
    explicit RedrawCounter(QWidget* root) : root_(root) { qApp->installEventFilter(this); }
    ~RedrawCounter() override { qApp->removeEventFilter(this); }
    int count = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        const bool redraw = event->type() == QEvent::Paint || event->type() == QEvent::LayoutRequest;
        if (redraw && widget && (widget == root_ || root_->isAncestorOf(widget))) ++count;
        return false;
    }

  private:
    QWidget* root_;
};

// A letter typed that keeps the selected entry leaves the inspector as it was laid out and drawn,
// with or without a variant strip; another entry is drawn anew.
TEST_F(LibraryViewTest, TypingThatKeepsTheSelectionLeavesTheInspectorAlone) {
    for (const auto& [id, query, painted] :
         {std::tuple{"grinning", "grin", false}, std::tuple{"thumbsup", "thumbs", false},
          std::tuple{"grinning", "heart", true}}) {
        model->setSearchQuery("");
        model->selectEntry(id, LibraryViewModel::SelectionOrigin::mouse);
        settle();
        RedrawCounter redraws(view->inspector());
        model->setSearchQuery(query);
        settle();
        EXPECT_EQ(model->selectedEntryID() == std::optional<std::string>(id), !painted) << query;
        EXPECT_EQ(redraws.count > 0, painted) << query;
    }
}

// A tone chosen, a letter typed, a tile hovered and left, a shorter list: the grid on screen then
// holds what a window opened afterwards shows, no trace of what it showed before.
TEST_F(LibraryViewTest, TheGridShowsWhatChangedWhileItWasShown) {
    model->navigate(LibraryViewModel::BrowseSection::emojiCategory("People & Body"));
    settle();
    QWidget* viewport = view->grid()->viewport();
    const auto shown = [](QWidget* grid) {
        const auto* window = dynamic_cast<const QImage*>(grid->window()->backingStore()->paintDevice());
        return window ? window->copy(QRect(grid->mapTo(grid->window(), QPoint(0, 0)), grid->size()))
                      : QImage();
    };
    for (const auto& change : std::vector<std::function<void()>>{
             [&] { prefs.setDefaultSkinTone(SkinTone::dark); }, [&] { model->setSearchQuery("hand"); },
             [&] {
                 hover(viewport, view->grid()->cellRect(12).center());
                 settle();
                 ASSERT_TRUE(view->grid()->hoveredEntryID());
                 hover(viewport, QPoint(1, 1));  // between tiles
             },
             [&] { model->setSearchQuery("thumbs up"); }}) {
        change();
        settle();
        LibraryView fresh(*model, custom);
        fresh.resize(view->size());
        fresh.show();
        settle();
        const QImage before = shown(viewport);
        ASSERT_FALSE(before.isNull());
        const PixelDifference grid = pixelDifference(before, shown(fresh.grid()->viewport()));
        EXPECT_EQ(grid.pixels, 0) << model->searchQuery() << " differs in " << grid.bounds.x() << ","
                                  << grid.bounds.y() << " " << grid.bounds.width() << "x"
                                  << grid.bounds.height();
    }
}

// A pinned entry's row keeps its buttons inside the pane whatever the length of its name and text;
// an emoticon too wide for the row's narrow column is cut with an ellipsis, whole in its tooltip.
// So do the shortcodes tab's rows, with a long name and a right-to-left one.
TEST_F(LibraryViewTest, PinAndShortcodeRowsKeepTheirButtonsInView) {
    const std::string longText(300, 'x');
    const std::string id = addSnippet(std::string(200, 'N'), longText);
    for (const std::string& pinned : {id, std::string("emoticon-shrug")}) collections.togglePinned(pinned);
    model->setContentFilter(Filter::pins);
    settle();
    const QWidget* viewport = view->pinsPane()->viewport();
    for (const std::string& pinned : {id, std::string("emoticon-shrug")}) {
        PinsManagementRow* row = view->pinsPane()->row(pinned);
        ASSERT_NE(row, nullptr) << pinned;
        const QWidget* unpin = row->unpinButton();
        EXPECT_LE(unpin->mapTo(viewport, QPoint(unpin->width(), 0)).x(), viewport->width()) << pinned;
        EXPECT_GT(row->aliasField()->width(), 60) << pinned;
    }
    EXPECT_EQ(shownToolTip(view->pinsPane()->row("emoticon-shrug")->emojiLabel()->toolTip()),
              QString::fromStdString(db().entryForID("emoticon-shrug")->emoji));
    EXPECT_EQ(shownToolTip(view->pinsPane()->row(id)->nameLabel()->toolTip()), QString(200, 'N'));

    // A click on the texts selects the row's entry.
    QTest::mouseClick(view->pinsPane()->row(id)->nameLabel(), Qt::LeftButton);
    EXPECT_EQ(model->selectedEntryID(), id);

    QString rightToLeft = QStringLiteral("שלום עולם");
    for (int i = 0; i < 5; ++i) rightToLeft += QStringLiteral(" ") + rightToLeft;
    addSnippet(rightToLeft.toStdString(), "shalom");
    model->setContentFilter(Filter::shortcodes);
    settle();
    const QWidget* rowsViewport = view->shortcodeRows()->viewport();
    ASSERT_EQ(view->shortcodeRows()->rows().size(), 4u);
    for (const LibraryShortcodeRow* row : view->shortcodeRows()->rows()) {
        const QString name = QString::fromStdString(row->content().entry.name);
        const QWidget* edit = row->editButton();
        EXPECT_LE(edit->mapTo(rowsViewport, QPoint(edit->width(), 0)).x(), rowsViewport->width())
            << name.toStdString();
        EXPECT_EQ(shownToolTip(row->toolTip()).toStdString(), name.size() > 100 ? name.toStdString() : "");
    }
}

// A light/dark switch while the window is open leaves it, and the edit sheet open over it, as
// they would be opened in the new scheme, on every tab: nothing keeps a colour of the old one.
TEST_F(LibraryViewTest, ASchemeSwitchWhileOpenRecoloursTheWholeWindow) {
    const QPalette light = QApplication::palette();
    ASSERT_FALSE(DesktopAppearance::isDark());
    collections.togglePinned("thumbsup");
    model->selectEntry("thumbsup", LibraryViewModel::SelectionOrigin::mouse);
    view->editSnippet(custom.snippets().front());
    for (Filter filter : {Filter::pins, Filter::shortcodes, Filter::all}) {  // every pane built
        model->setContentFilter(filter);
        settle();
    }
    QApplication::setPalette(darkDesktopPalette(light));
    settle();
    ASSERT_TRUE(DesktopAppearance::isDark());
    LibraryView fresh(*model, custom);
    fresh.resize(view->size());
    fresh.show();
    fresh.editSnippet(custom.snippets().front());
    QApplication::setActiveWindow(nullptr);
    settle();
    for (Filter filter : {Filter::all, Filter::shortcodes, Filter::pins}) {
        model->setContentFilter(filter);
        settle();
        const PixelDifference window = pixelDifference(view->grab().toImage(), fresh.grab().toImage());
        EXPECT_EQ(window.pixels, 0) << LibraryViewModel::rawValue(filter) << " differs in "
                                    << window.bounds.x() << "," << window.bounds.y() << " "
                                    << window.bounds.width() << "x" << window.bounds.height();
    }
    for (QWidget* sheet :
         {static_cast<QWidget*>(view->editSheet()), static_cast<QWidget*>(fresh.editSheet())})
        if (QWidget* focused = sheet->focusWidget()) focused->clearFocus();  // the same in both
    const PixelDifference sheet =
        pixelDifference(view->editSheet()->grab().toImage(), fresh.editSheet()->grab().toImage());
    EXPECT_EQ(sheet.pixels, 0) << "sheet differs in " << sheet.bounds.x() << "," << sheet.bounds.y() << " "
                               << sheet.bounds.width() << "x" << sheet.bounds.height();
    QApplication::setPalette(light);
    settle();
}

}  // namespace
}  // namespace mosaiko::testing
