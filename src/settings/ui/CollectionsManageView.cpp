#include "settings/ui/CollectionsManageView.hpp"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "content/CollectionsStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/PreferencesStore.hpp"
#include "picker/ui/DeferredRefresh.hpp"
#include "settings/ui/CollectionsPinRow.hpp"
#include "settings/ui/ManageHeaderCard.hpp"
#include "settings/ui/ManageViewFrame.hpp"
#include "settings/ui/SettingsStyle.hpp"

namespace mosaiko {

namespace {

const manage_view::Sizes sizes{
    CollectionsManageRules::standaloneWidth, CollectionsManageRules::standaloneHeight,
    CollectionsManageRules::standaloneListHeight, &CollectionsManageRules::embeddedListHeight};

}  // namespace

CollectionsManageView::CollectionsManageView(bool isEmbeddedInSettings, CollectionsStore& collections,
                                             EmojiDatabase& db, PreferencesStore& prefs, QWidget* parent)
    : QWidget(parent),
      isEmbeddedInSettings_(isEmbeddedInSettings),
      collections_(collections),
      db_(db),
      prefs_(prefs) {
    content_ = buildContent();
    manage_view::place(*this, content_, list_, isEmbeddedInSettings_, sizes);

    refresh_ = std::make_unique<DeferredRefresh>(this, [this] { refresh(); });
    refresh_->watch(collections_.pinnedIDs);
    refresh_->watch(collections_.pinAliasesByID);
    refresh_->watch(prefs_.showPinsFirstInSearchResults);
    refresh_->watch(prefs_.pinSortingAffectsGlobalSearchResults);
    refresh_->keep(db_.observeEmojis([this](const auto&) { refresh_->schedule(); }));
    refresh();
}

CollectionsManageView::~CollectionsManageView() = default;

QWidget* CollectionsManageView::buildContent() {
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setSpacing(14);
    if (isEmbeddedInSettings_) {
        column->setContentsMargins(16, 16, 16, 16);
        column->addWidget(new ManageHeaderCard(
            {QStringLiteral("pin.fill"),
             tr("Pins"),
             tr("Keep favorites close, reorder them, and attach search aliases to the entries you use most."),
             {{SettingsStyle::orange(), 0.34, 0.22}, {SettingsStyle::yellow(), 0.24, 0.16}}}));
    } else {
        column->setContentsMargins(16, 22, 16, 20);
        column->addWidget(SettingsStyle::label(tr("Pins"), 16, QFont::DemiBold));
        column->addWidget(SettingsStyle::wrappingLabel(
            tr("Reorder pinned entries or give specific entries a custom search alias."), 12));
    }

    auto* searchResults = new QGroupBox(tr("Search Results"), content);
    auto* toggles = new QVBoxLayout(searchResults);
    toggles->setSpacing(10);
    showPinsFirst_ = new QCheckBox(tr("Show Pins first in Search results"), searchResults);
    pinSorting_ = new QCheckBox(tr("Pin sorting affects global search results"), searchResults);
    toggles->addWidget(showPinsFirst_);
    toggles->addWidget(pinSorting_);
    toggles->addWidget(SettingsStyle::label(
        tr("When both are on, pinned matches lead global search and follow the order you set here."), 11,
        QFont::Normal, true));
    connect(showPinsFirst_, &QCheckBox::toggled, this,
            [this](bool on) { prefs_.setShowPinsFirstInSearchResults(on); });
    connect(pinSorting_, &QCheckBox::toggled, this,
            [this](bool on) { prefs_.setPinSortingAffectsGlobalSearchResults(on); });
    column->addWidget(searchResults);

    auto* heading = new QVBoxLayout;
    heading->setSpacing(2);
    heading->addWidget(SettingsStyle::label(tr("Pinned Entries"), 12, QFont::DemiBold));
    heading->addWidget(
        SettingsStyle::label(tr("Search aliases apply to each pinned entry. Reordering here can "
                                "also shape global search when that toggle is enabled."),
                             11, QFont::Normal, true));
    column->addLayout(heading);

    emptyLabel_ = SettingsStyle::wrappingLabel(
        tr("No pinned entries yet. Right click an entry in the picker to pin it."), 13, QFont::Normal, true);
    const auto list = manage_view::rowList(content, emptyLabel_, QMargins(6, 6, 6, 6));
    list_ = list.scroll;
    rowsLayout_ = list.rows;
    column->addWidget(list_);

    column->addStretch(1);
    if (!isEmbeddedInSettings_) close_ = manage_view::closeFooter(*this, content, column);
    return content;
}

void CollectionsManageView::refresh() {
    {
        const QSignalBlocker blockFirst(showPinsFirst_);
        const QSignalBlocker blockSorting(pinSorting_);
        showPinsFirst_->setChecked(prefs_.showPinsFirstInSearchResults());
        pinSorting_->setChecked(prefs_.pinSortingAffectsGlobalSearchResults());
    }

    const auto states =
        CollectionsManageRules::pinItemStates(collections_.pinnedIDs(), collections_.pinAliasesByID(), db_);
    emptyLabel_->setVisible(states.empty());

    std::map<std::string, CollectionsPinRow*> kept;
    for (std::size_t i = 0; i < states.size(); ++i) {
        const auto& state = states[i];
        CollectionsPinRow* row = nullptr;
        if (const auto found = rows_.find(state.itemID); found != rows_.end()) {
            row = found->second;
            rows_.erase(found);
            row->setState(state);
        } else {
            const std::string id = state.itemID;
            row = new CollectionsPinRow(
                collections_, state,
                {[this, id] { collections_.movePinned(id, -1); },
                 [this, id] { collections_.movePinned(id, 1); }, [this, id] { unpin(id); }},
                list_->widget());
        }
        // After the empty text, in pin order; moving a row in the layout keeps its focus.
        if (rowsLayout_->indexOf(row) != static_cast<int>(i) + 1) {
            rowsLayout_->removeWidget(row);
            rowsLayout_->insertWidget(static_cast<int>(i) + 1, row);
        }
        row->show();
        kept.emplace(state.itemID, row);
    }
    for (auto& [id, row] : rows_) {
        rowsLayout_->removeWidget(row);
        row->deleteLater();
    }
    rows_ = std::move(kept);
}

void CollectionsManageView::unpin(const std::string& itemID) {
    // A click that reaches a row whose pin is already gone must not pin the entry again.
    const auto& pinned = collections_.pinnedIDs();
    if (std::find(pinned.begin(), pinned.end(), itemID) != pinned.end()) collections_.togglePinned(itemID);
}

std::vector<CollectionsPinRow*> CollectionsManageView::rows() const {
    std::vector<CollectionsPinRow*> ordered;
    for (int i = 0; i < rowsLayout_->count(); ++i) {
        if (auto* row = dynamic_cast<CollectionsPinRow*>(rowsLayout_->itemAt(i)->widget()))
            ordered.push_back(row);
    }
    return ordered;
}

CollectionsPinRow* CollectionsManageView::row(const std::string& itemID) const {
    const auto found = rows_.find(itemID);
    return found == rows_.end() ? nullptr : found->second;
}

void CollectionsManageView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    manage_view::fitList(*this, content_, list_, isEmbeddedInSettings_, sizes);
}

}  // namespace mosaiko
