#include "picker/ui/MainRowView.hpp"

#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QMenu>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "content/CollectionsStore.hpp"
#include "content/PreferencesStore.hpp"
#include "picker/ui/PickerView.hpp"

namespace mosaiko {

namespace {

constexpr Qt::KeyboardModifiers shiftOnly = Qt::ShiftModifier;

bool contains(const std::vector<std::string>& ids, const std::string& id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace

MainRowView::MainRowView(PickerViewModel& model, PreferencesStore& prefs, CollectionsStore& collections,
                         QWidget* parent)
    : QScrollArea(parent),
      model_(model),
      prefs_(prefs),
      collections_(collections),
      content_(new QWidget),
      layout_(new QHBoxLayout(content_)),
      opacity_(new QGraphicsOpacityEffect(this)),
      scrollAnimation_(new QPropertyAnimation(horizontalScrollBar(), "value", this)),
      shownSelectedIndex_(model.selectedIndex()),
      refresh_(this, [this] { refresh(); }) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(false);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    content_->setAutoFillBackground(false);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(8);
    layout_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setWidget(content_);
    content_->setAutoFillBackground(false);  // setWidget() turns it on
    setGraphicsEffect(opacity_);
    scrollAnimation_->setDuration(120);
    scrollAnimation_->setEasingCurve(QEasingCurve::OutQuad);

    refresh_.watch(model_.results);
    refresh_.watch(model_.focusRow);
    refresh_.watch(prefs_.defaultSkinTone);
    refresh_.watch(prefs_.rememberedEmojiVariantsByEntryID);
    refresh_.watch(collections_.pinnedIDs);
    refresh_.watch(model_.selectedIndex);
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
    if (entry.id == "glyph-zero-width-space") {
        content.emoji = "ZWSP";
    } else if (entry.id == "glyph-non-breaking-space") {
        content.emoji = "NBSP";
    } else {
        content.emoji = prefs.preferredEmojiText(entry);
    }
    content.showsVariantsIndicator = entry.variants && entry.variants->supportsSkinTones();
    content.isPinned = contains(collections.pinnedIDs(), entry.id);
    content.isSelected =
        model.focusRow() == PickerViewModel::FocusRow::main && index == model.selectedIndex();
    content.isTextEntry = PickerView::isTextBasedEntry(entry);
    content.isCompactTextEntry = entry.id.starts_with("glyph-");
    return content;
}

void MainRowView::refresh() {
    const auto& results = model_.results();
    while (cells_.size() > results.size()) {
        delete cells_.back();
        cells_.pop_back();
    }
    while (cells_.size() < results.size()) {
        const int index = static_cast<int>(cells_.size());
        auto* cell = new EmojiCell(content_);
        connect(cell, &EmojiCell::hovered, this, [this, index] { hoverCell(index); });
        connect(cell, &EmojiCell::clicked, this,
                [this, index](Qt::KeyboardModifiers modifiers) { clickCell(index, modifiers); });
        connect(cell, &EmojiCell::contextMenuRequested, this,
                [this, index](const QPoint& position) { showContextMenu(index, position); });
        layout_->addWidget(cell);
        // Shown now, so the layout counts it in the size it asks for below.
        cell->show();
        cells_.push_back(cell);
    }
    for (std::size_t i = 0; i < results.size(); ++i) {
        cells_[i]->setContent(cellContent(results[i], static_cast<int>(i), model_, prefs_, collections_));
        cells_[i]->setToolTip({});
    }
    const bool focused = model_.focusRow() == PickerViewModel::FocusRow::main;
    opacity_->setOpacity(focused ? 1.0 : 0.7);
    opacity_->setEnabled(!focused);

    layoutContent();
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

std::vector<EmojiCell*> MainRowView::cells() const {
    return cells_;
}

double MainRowView::rowOpacity() const {
    return opacity_->isEnabled() ? opacity_->opacity() : 1.0;
}

void MainRowView::clickCell(int index, Qt::KeyboardModifiers modifiers) {
    // Other modifiers than Shift do not matter.
    const bool keepOpen = (modifiers & shiftOnly) && prefs_.keepOpenOnShiftEnter();
    model_.selectMain(index, PickerViewModel::SelectionOrigin::mouseClick);
    model_.uiActionSubject.send(PickerViewModel::UIAction::InsertMain{index, keepOpen});
}

void MainRowView::hoverCell(int index) {
    model_.selectMain(index, PickerViewModel::SelectionOrigin::mouseHover);
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
    // Not run in a nested event loop: the views may be rebuilt while the menu is open, and the cell
    // that asked for it must not be deleted inside its own event handler. The entry is named by id
    // for the same reason.
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* action = menu->addAction(title);
    connect(action, &QAction::triggered, this, [this, id] { collections_.togglePinned(id); });
    menu->popup(globalPosition);
}

void MainRowView::scrollToCurrentSelection() {
    const int index = model_.selectedIndex();
    if (index < 0 || index >= static_cast<int>(cells_.size())) return;
    scrollAnimation_->stop();
    horizontalScrollBar()->setValue(cells_[static_cast<std::size_t>(index)]->geometry().left());
}

void MainRowView::centreOn(int index) {
    if (index < 0 || index >= static_cast<int>(cells_.size())) return;
    const QRect cell = cells_[static_cast<std::size_t>(index)]->geometry();
    QScrollBar* bar = horizontalScrollBar();
    const int target =
        std::clamp(cell.center().x() - viewport()->width() / 2, bar->minimum(), bar->maximum());
    scrollAnimation_->stop();
    scrollAnimation_->setStartValue(bar->value());
    scrollAnimation_->setEndValue(target);
    scrollAnimation_->start();
}

void MainRowView::layoutContent() {
    // Cells are laid out at once, so a scroll asked for in the same refresh finds them in place.
    const QSize hint = layout_->sizeHint();
    content_->resize(std::max(hint.width(), viewport()->width()), viewport()->height());
    layout_->activate();
}

void MainRowView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    layoutContent();
}

void MainRowView::wheelEvent(QWheelEvent* event) {
    // A strip that only scrolls sideways takes the ordinary wheel too.
    const QPoint delta = event->angleDelta();
    const int step = delta.x() != 0 ? delta.x() : delta.y();
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() - step / 2);
    event->accept();
}

}  // namespace mosaiko
