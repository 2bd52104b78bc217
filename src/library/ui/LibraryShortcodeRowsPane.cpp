#include "library/ui/LibraryShortcodeRowsPane.hpp"

#include <QPropertyAnimation>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "content/CustomContentStore.hpp"
#include "content/PreferencesStore.hpp"
#include "library/LibraryViewModel.hpp"
#include "library/ui/LibraryShortcodeRow.hpp"

namespace mosaiko {

LibraryShortcodeRowsPane::LibraryShortcodeRowsPane(LibraryViewModel& model, PreferencesStore& prefs,
                                                   CustomContentStore& custom, QWidget* parent)
    : QScrollArea(parent),
      model_(model),
      prefs_(prefs),
      custom_(custom),
      scrollAnimation_(new QPropertyAnimation(verticalScrollBar(), "value", this)) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::NoFocus);
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    layout_ = new QVBoxLayout(content);
    layout_->setContentsMargins(18, 18, 18, 18);
    layout_->setSpacing(8);
    layout_->addStretch(1);
    setWidget(content);
    viewport()->setAutoFillBackground(false);
    scrollAnimation_->setDuration(120);
    scrollAnimation_->setEasingCurve(QEasingCurve::OutCubic);
    selectionWatch_ = model_.selectedEntryID.observe([this](const std::optional<std::string>& id) {
        if (id && model_.lastSelectionOrigin() == LibraryViewModel::SelectionOrigin::keyboard)
            scrollPending_ = true;
    });
}

std::optional<CustomSnippet> LibraryShortcodeRowsPane::editableSnippet(const EmojiEntry& entry) const {
    const std::string_view prefix = CustomContentStore::entryIDPrefix;
    if (!entry.id.starts_with(prefix)) return std::nullopt;
    const std::string key = entry.id.substr(prefix.size());
    for (const auto& snippet : custom_.snippets())
        if (snippet.id == key) return snippet;
    return std::nullopt;
}

void LibraryShortcodeRowsPane::refresh() {
    const auto& visible = model_.visibleEntries();
    while (rows_.size() < visible.size()) {
        auto* row = new LibraryShortcodeRow(widget());
        layout_->insertWidget(static_cast<int>(rows_.size()), row);
        rows_.push_back(row);
    }
    while (rows_.size() > visible.size()) {
        delete rows_.back();
        rows_.pop_back();
    }
    const auto& selected = model_.selectedEntryID();
    for (std::size_t i = 0; i < visible.size(); ++i) {
        const EmojiEntry& e = visible[i];
        LibraryShortcodeRow* row = rows_[i];
        const auto snippet = editableSnippet(e);
        row->setContent({e, QString::fromStdString(prefs_.preferredEmojiText(e)),
                         QString::fromStdString(LibraryViewModel::shortcodesSummary(e)), model_.isPinned(e),
                         selected && *selected == e.id, snippet.has_value()});
        // Each action acts on the entry the row shows now.
        const std::string id = e.id;
        row->onSelect = [this, id] { model_.selectEntry(id, LibraryViewModel::SelectionOrigin::mouse); };
        row->onInsert = [this, e] { model_.requestInsert(e, true); };
        row->onTogglePin = [this, id] {
            model_.selectEntry(id, LibraryViewModel::SelectionOrigin::mouse);
            model_.togglePinnedSelection();
        };
        row->onEdit = [this, snippet] {
            if (snippet && onEditSnippet) onEditSnippet(*snippet);
        };
    }
    if (std::exchange(scrollPending_, false)) scrollToSelection();
}

void LibraryShortcodeRowsPane::scrollToTop() {
    scrollAnimation_->stop();
    verticalScrollBar()->setValue(0);
}

void LibraryShortcodeRowsPane::scrollToSelection() {
    const auto& selected = model_.selectedEntryID();
    if (!selected) return;
    const auto row = std::find_if(rows_.begin(), rows_.end(), [&](const LibraryShortcodeRow* r) {
        return r->content().entry.id == *selected;
    });
    if (row == rows_.end()) return;
    widget()->layout()->activate();
    const int centre = (*row)->geometry().center().y();
    const int target = std::clamp(centre - viewport()->height() / 2, verticalScrollBar()->minimum(),
                                  verticalScrollBar()->maximum());
    scrollAnimation_->stop();
    scrollAnimation_->setStartValue(verticalScrollBar()->value());
    scrollAnimation_->setEndValue(target);
    scrollAnimation_->start();
}

void LibraryShortcodeRowsPane::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    model_.setKeyboardColumnCount(1);
}

}  // namespace mosaiko
