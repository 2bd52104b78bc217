#include "picker/ui/MainRowView.hpp"

#include <QContextMenuEvent>
#include <QEasingCurve>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QRegion>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "content/CollectionsStore.hpp"
#include "content/PreferencesStore.hpp"
#include "picker/ui/PickerView.hpp"

namespace mosaiko {

namespace {

constexpr Qt::KeyboardModifiers shiftOnly = Qt::ShiftModifier;

bool contains(const std::vector<std::string>& ids, const std::string& id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// What a tile shows as its text: the two invisible glyphs get a readable label.
std::string label(const EmojiEntry& entry, const PreferencesStore& prefs) {
    if (entry.id == "glyph-zero-width-space") return "ZWSP";
    if (entry.id == "glyph-non-breaking-space") return "NBSP";
    return prefs.preferredEmojiText(entry);
}

}  // namespace

MainRowView::MainRowView(PickerViewModel& model, PreferencesStore& prefs, CollectionsStore& collections,
                         QWidget* parent)
    : QAbstractScrollArea(parent),
      model_(model),
      prefs_(prefs),
      collections_(collections),
      scrollAnimation_(new QPropertyAnimation(horizontalScrollBar(), "value", this)),
      shownSelectedIndex_(model.selectedIndex()),
      refresh_(this, [this] { refresh(); }) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
    setMinimumHeight(static_cast<int>(EmojiCell::height));
    scrollAnimation_->setDuration(120);
    scrollAnimation_->setEasingCurve(QEasingCurve::OutQuad);

    // A new list, or a new skin tone that may change a tile's text, lays the tiles out again.
    auto relayout = [this](const auto&) {
        layoutStale_ = true;
        refresh_.schedule();
    };
    refresh_.keep(model_.results.observe(relayout));
    refresh_.keep(prefs_.defaultSkinTone.observe(relayout));
    refresh_.keep(prefs_.rememberedEmojiVariantsByEntryID.observe(relayout));
    refresh_.watch(model_.focusRow);
    refresh_.watch(collections_.pinnedIDs);
    refresh_.watch(model_.selectedIndex);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { buildAhead(); });
    refresh_.keep(model_.isVisible.observe([this](const bool& visible) {
        if (visible) pendingScrollToSelection_ = true;
        refresh_.schedule();
    }));
    refresh();
}

MainRowView::~MainRowView() = default;

EmojiCell::Content MainRowView::cellContent(const EmojiEntry& entry, int index, const PickerViewModel& model,
                                            const PreferencesStore& prefs,
                                            const CollectionsStore& collections) {
    EmojiCell::Content content;
    content.emoji = label(entry, prefs);
    content.showsVariantsIndicator = entry.variants && entry.variants->supportsSkinTones();
    content.isPinned = contains(collections.pinnedIDs(), entry.id);
    content.isSelected =
        model.focusRow() == PickerViewModel::FocusRow::main && index == model.selectedIndex();
    content.isTextEntry = PickerView::isTextBasedEntry(entry);
    content.isCompactTextEntry = entry.id.starts_with("glyph-");
    return content;
}

void MainRowView::refresh() {
    if (layoutStale_) layOutCells();
    buildAhead();
    opacity_ = model_.focusRow() == PickerViewModel::FocusRow::main ? 1.0 : 0.7;
    updateChangedTiles();

    // Whether the selection moved, and who moved it, is judged once the operation that changed it
    // is complete: one that passes through other indices on its way (a rebuild keeping the selected
    // entry, then a reset to the first result) names its origin only at the end.
    const int index = model_.selectedIndex();
    const bool moved = index != shownSelectedIndex_;
    shownSelectedIndex_ = index;
    if (std::exchange(pendingScrollToSelection_, false)) {
        scrollToCurrentSelection();
    } else if (moved && model_.lastMainSelectionOrigin() == PickerViewModel::SelectionOrigin::keyboard) {
        // Only keyboard moves scroll; the strip never moves under the pointer.
        centreOn(index);
    }
}

void MainRowView::layOutCells() {
    layoutStale_ = false;
    clicks_.cancel();  // a press on a tile of the old list clicks nothing in the new one
    const auto& results = model_.results();
    lefts_.resize(results.size());
    widths_.resize(results.size());
    int left = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const EmojiEntry& entry = results[i];
        int width = static_cast<int>(EmojiCell::height);  // an emoji tile is square
        if (PickerView::isTextBasedEntry(entry)) {
            EmojiCell::Content content;
            content.emoji = label(entry, prefs_);
            content.isTextEntry = true;
            content.isCompactTextEntry = entry.id.starts_with("glyph-");
            width = static_cast<int>(std::ceil(EmojiCell::widthFor(content)));
        }
        lefts_[i] = left;
        widths_[i] = width;
        left += width + spacing;
    }
    updateScrollRange();
}

template <class F>
void MainRowView::forEachTileIn(const QRect& area, F f) const {
    const auto& results = model_.results();
    const int offset = horizontalScrollBar()->value();
    auto first = std::upper_bound(lefts_.begin(), lefts_.end(), area.left() + offset);
    if (first != lefts_.begin()) --first;
    for (auto i = static_cast<std::size_t>(first - lefts_.begin());
         i < lefts_.size() && i < results.size() && lefts_[i] - offset <= area.right(); ++i) {
        const QRect bounds = cellRect(static_cast<int>(i));
        if (!bounds.intersects(area)) continue;
        f(static_cast<int>(i), bounds,
          cellContent(results[i], static_cast<int>(i), model_, prefs_, collections_));
    }
}

std::vector<MainRowView::ShownTile> MainRowView::tilesInView() const {
    std::vector<ShownTile> tiles;
    forEachTileIn(viewport()->rect(), [&](int, const QRect& bounds, EmojiCell::Content content) {
        tiles.push_back({bounds, std::move(content)});
    });
    return tiles;
}

void MainRowView::updateChangedTiles() {
    // A key often leaves most tiles as they were (the same results, or the selection moving by one):
    // only tiles that moved or changed, and the places of those gone, are drawn again, and never
    // the empty band above and below the tiles.
    std::vector<ShownTile> tiles = tilesInView();
    const View view{horizontalScrollBar()->value(), viewport()->size(), opacity_};
    if (view != shownView_) {
        viewport()->update();
    } else {
        QRegion changed;
        const auto absentFrom = [](const std::vector<ShownTile>& list, const ShownTile& tile) {
            return std::find(list.begin(), list.end(), tile) == list.end();
        };
        // A point around each tile: at a fractional scale (1.5) a tile's edge lands inside a device
        // pixel that the tile's own rectangle, rounded, leaves out, and a line of its accent
        // border stayed there when the selection or the hover moved on.
        const auto around = [](const ShownTile& tile) { return tile.bounds.adjusted(-1, -1, 1, 1); };
        for (const ShownTile& tile : tiles)
            if (absentFrom(shownTiles_, tile)) changed += around(tile);
        for (const ShownTile& tile : shownTiles_)
            if (absentFrom(tiles, tile)) changed += around(tile);
        // One rectangle: a region of many pieces makes every drawing under it clip piece by piece.
        if (!changed.isEmpty()) viewport()->update(changed.boundingRect());
    }
    shownTiles_ = std::move(tiles);
    shownView_ = view;
}

void MainRowView::buildAhead() {
    if (cellCount() >= model_.resultCount()) return;
    // The tiles up to a viewport past the trailing edge, so a scroll never reaches the end first.
    const int reach = horizontalScrollBar()->value() + 2 * std::max(viewport()->width(), 1);
    const auto after = std::upper_bound(lefts_.begin(), lefts_.end(), reach);
    model_.showResultsThrough(static_cast<int>(after - lefts_.begin()));
}

int MainRowView::contentWidth() const {
    return lefts_.empty() ? 0 : lefts_.back() + widths_.back();
}

void MainRowView::updateScrollRange() {
    QScrollBar* bar = horizontalScrollBar();
    bar->setRange(0, std::max(0, contentWidth() - viewport()->width()));
    bar->setPageStep(viewport()->width());
    bar->setSingleStep(static_cast<int>(EmojiCell::height) + spacing);
}

QRect MainRowView::cellRect(int index) const {
    if (index < 0 || index >= cellCount()) return {};
    const auto i = static_cast<std::size_t>(index);
    const int top = (viewport()->height() - static_cast<int>(EmojiCell::height)) / 2;
    return QRect(lefts_[i] - horizontalScrollBar()->value(), top, widths_[i],
                 static_cast<int>(EmojiCell::height));
}

std::optional<int> MainRowView::indexAt(QPoint viewportPoint) const {
    const int x = viewportPoint.x() + horizontalScrollBar()->value();
    // The last tile that starts at or before x, if x lies within it.
    const auto after = std::upper_bound(lefts_.begin(), lefts_.end(), x);
    if (after == lefts_.begin()) return std::nullopt;
    const int index = static_cast<int>(after - lefts_.begin()) - 1;
    if (!cellRect(index).contains(viewportPoint)) return std::nullopt;
    return index;
}

void MainRowView::paintEvent(QPaintEvent* event) {
    if (layoutStale_) layOutCells();
    painted_.clear();
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(opacity_);
    forEachTileIn(event->rect(), [&](int index, const QRect& bounds, EmojiCell::Content content) {
        EmojiCell::paint(painter, QRectF(bounds), content);
        painted_.emplace_back(index, std::move(content));
    });
}

void MainRowView::mouseMoveEvent(QMouseEvent* event) {
    if (const auto index = indexAt(event->position().toPoint())) {
        model_.selectMain(*index, PickerViewModel::SelectionOrigin::mouseHover);
    }
    event->accept();
}

void MainRowView::mousePressEvent(QMouseEvent* event) {
    clicks_.press(*event, indexAt(event->position().toPoint()));
    event->accept();
}

void MainRowView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (const auto index = clicks_.release(*event, indexAt(event->position().toPoint()))) {
        clickCell(*index, event->modifiers());
    }
}

void MainRowView::contextMenuEvent(QContextMenuEvent* event) {
    if (const auto index = indexAt(event->pos())) showContextMenu(*index, event->globalPos());
    event->accept();
}

void MainRowView::clickCell(int index, Qt::KeyboardModifiers modifiers) {
    // Other modifiers than Shift do not matter.
    const bool keepOpen = (modifiers & shiftOnly) && prefs_.keepOpenOnShiftEnter();
    model_.selectMain(index, PickerViewModel::SelectionOrigin::mouseClick);
    model_.uiActionSubject.send(PickerViewModel::UIAction::InsertMain{index, keepOpen});
}

QString MainRowView::pinActionTitle(int index) const {
    const auto& results = model_.results();
    if (index < 0 || index >= static_cast<int>(results.size())) return {};
    return contains(collections_.pinnedIDs(), results[static_cast<std::size_t>(index)].id)
               ? QStringLiteral("Unpin")
               : QStringLiteral("Pin");
}

void MainRowView::togglePinned(int index) {
    const auto& results = model_.results();
    if (index < 0 || index >= static_cast<int>(results.size())) return;
    collections_.togglePinned(results[static_cast<std::size_t>(index)].id);
}

void MainRowView::showContextMenu(int index, const QPoint& globalPosition) {
    const QString title = pinActionTitle(index);
    if (title.isEmpty()) return;
    const std::string id = model_.results()[static_cast<std::size_t>(index)].id;
    // Not run in a nested event loop: the results may be rebuilt while the menu is open, so the
    // entry is named by id.
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* action = menu->addAction(title);
    connect(action, &QAction::triggered, this, [this, id] { collections_.togglePinned(id); });
    menu->popup(globalPosition);
}

void MainRowView::scrollToCurrentSelection() {
    const int index = model_.selectedIndex();
    if (index < 0 || index >= cellCount()) return;
    scrollAnimation_->stop();
    horizontalScrollBar()->setValue(lefts_[static_cast<std::size_t>(index)]);
}

void MainRowView::centreOn(int index) {
    if (index < 0 || index >= cellCount()) return;
    const auto i = static_cast<std::size_t>(index);
    QScrollBar* bar = horizontalScrollBar();
    const int target =
        std::clamp(lefts_[i] + widths_[i] / 2 - viewport()->width() / 2, bar->minimum(), bar->maximum());
    scrollAnimation_->stop();
    scrollAnimation_->setStartValue(bar->value());
    scrollAnimation_->setEndValue(target);
    scrollAnimation_->start();
}

void MainRowView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void MainRowView::wheelEvent(QWheelEvent* event) {
    // A strip that only scrolls sideways takes the ordinary wheel too.
    const QPoint delta = event->angleDelta();
    const int step = delta.x() != 0 ? delta.x() : delta.y();
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() - step / 2);
    event->accept();
}

}  // namespace mosaiko
