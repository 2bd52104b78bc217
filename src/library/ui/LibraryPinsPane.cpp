#include "library/ui/LibraryPinsPane.hpp"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "content/CollectionsStore.hpp"
#include "content/PreferencesStore.hpp"
#include "library/LibraryViewModel.hpp"
#include "library/ui/LibraryPalette.hpp"
#include "library/ui/PinsManagementRow.hpp"
#include "platform/Text.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

QLabel* secondaryText(const QString& text, double points, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(Typography::system(points));
    label->setWordWrap(true);
    LibraryPalette::setSecondary(*label);
    return label;
}

}  // namespace

LibraryPinsPane::LibraryPinsPane(LibraryViewModel& model, PreferencesStore& prefs, QWidget* parent)
    : QScrollArea(parent), model_(model), prefs_(prefs) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(14);

    auto* search = new QGroupBox(QStringLiteral("Search Results"), content);
    auto* searchColumn = new QVBoxLayout(search);
    searchColumn->setSpacing(10);
    showPinsFirst_ = new QCheckBox(QStringLiteral("Show Pins first in Search results"), search);
    pinSorting_ = new QCheckBox(QStringLiteral("Pin sorting affects global search results"), search);
    searchColumn->addWidget(showPinsFirst_);
    searchColumn->addWidget(pinSorting_);
    searchColumn->addWidget(
        secondaryText(QStringLiteral("Pinned search order stays manual. Reordering here also "
                                     "shapes global search when that toggle is enabled."),
                      11, search));
    column->addWidget(search);

    auto* pinned = new QGroupBox(QStringLiteral("Pinned Entries"), content);
    auto* pinnedColumn = new QVBoxLayout(pinned);
    pinnedColumn->setSpacing(10);
    rowsLayout_ = new QVBoxLayout;
    rowsLayout_->setSpacing(10);
    pinnedColumn->addLayout(rowsLayout_);
    empty_ = secondaryText({}, 13, pinned);
    empty_->setContentsMargins(0, 8, 0, 8);
    pinnedColumn->addWidget(empty_);
    column->addWidget(pinned);
    column->addStretch(1);
    setWidget(content);

    connect(showPinsFirst_, &QCheckBox::toggled, this,
            [this](bool on) { prefs_.setShowPinsFirstInSearchResults(on); });
    connect(pinSorting_, &QCheckBox::toggled, this,
            [this](bool on) { prefs_.setPinSortingAffectsGlobalSearchResults(on); });
    refresh();
}

PinsManagementRow* LibraryPinsPane::row(const std::string& id) const {
    const auto found = rows_.find(id);
    return found == rows_.end() ? nullptr : found->second;
}

std::vector<std::string> LibraryPinsPane::rowOrder() const {
    return order_;
}

void LibraryPinsPane::refresh() {
    for (auto [toggle, on] : {std::pair{showPinsFirst_, prefs_.showPinsFirstInSearchResults()},
                              std::pair{pinSorting_, prefs_.pinSortingAffectsGlobalSearchResults()}}) {
        const QSignalBlocker block(toggle);
        toggle->setChecked(on);
    }

    // The visible entries are the pins only while the pins tab is open.
    static const LibraryViewModel::VisibleEntries none;
    const bool onPinsTab = model_.contentFilter() == LibraryViewModel::ContentFilter::pins;
    const auto& visible = onPinsTab ? model_.visibleEntries() : none;
    const auto& selected = model_.selectedEntryID();
    std::map<std::string, PinsManagementRow*> kept;
    std::vector<std::string> order;
    for (const EmojiEntry& e : visible) {
        PinsManagementRow* row = this->row(e.id);
        if (row) {
            rows_.erase(e.id);
            row->setEntry(e);
        } else {
            row = new PinsManagementRow(model_.collections(), e, widget());
            const std::string id = e.id;
            row->onSelect = [this, id] { model_.selectEntry(id, LibraryViewModel::SelectionOrigin::mouse); };
            row->onMoveUp = [this, id] { model_.collections().movePinned(id, -1); };
            row->onMoveDown = [this, id] { model_.collections().movePinned(id, 1); };
            row->onInsert = [this, row] { model_.requestInsert(row->entry(), true); };
            row->onRemove = [this, id] { model_.removePinned(id); };
        }
        row->setState(selected && *selected == e.id, model_.canMovePinned(e.id, -1),
                      model_.canMovePinned(e.id, 1));
        kept[e.id] = row;
        order.push_back(e.id);
    }
    for (auto& [id, row] : rows_) delete row;
    rows_ = std::move(kept);
    if (order != order_) {
        // Taking a row out of the layout and putting it back keeps its text and its focus.
        for (const auto& id : order) rowsLayout_->removeWidget(rows_[id]);
        for (const auto& id : order) {
            rowsLayout_->addWidget(rows_[id]);
            rows_[id]->show();
        }
        order_ = std::move(order);
    }

    empty_->setVisible(visible.empty());
    empty_->setText(
        text::trimmed(model_.searchQuery()).empty()
            ? QStringLiteral("No pinned entries yet. Right click an entry in the picker to pin it.")
            : QStringLiteral("No pinned matches."));
}

void LibraryPinsPane::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    model_.setKeyboardColumnCount(1);
}

}  // namespace mosaiko
