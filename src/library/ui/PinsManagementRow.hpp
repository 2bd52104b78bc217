#pragma once

#include <QWidget>
#include <functional>

#include "content/EmojiEntry.hpp"

class QPushButton;
class QToolButton;

namespace mosaiko {

class CollectionsStore;
class LibraryTextLabel;
class PinAliasField;

// One pinned entry on the library's pins tab: the entry (a click selects it), its search alias,
// move up and down, Insert and Unpin. The row lives as long as its pin is shown, so typing in its
// alias field is never interrupted by the list redrawing.
class PinsManagementRow final : public QWidget {
    Q_OBJECT

  public:
    PinsManagementRow(CollectionsStore& collections, const EmojiEntry& entry, QWidget* parent = nullptr);

    void setEntry(const EmojiEntry& entry);
    void setState(bool isSelected, bool canMoveUp, bool canMoveDown);
    const EmojiEntry& entry() const { return entry_; }
    bool isSelected() const { return selected_; }

    LibraryTextLabel* emojiLabel() const { return emoji_; }
    LibraryTextLabel* nameLabel() const { return name_; }
    PinAliasField* aliasField() const { return alias_; }
    QToolButton* moveUpButton() const { return up_; }
    QToolButton* moveDownButton() const { return down_; }
    QPushButton* insertButton() const { return insert_; }
    QToolButton* unpinButton() const { return unpin_; }

    std::function<void()> onSelect;
    std::function<void()> onMoveUp;
    std::function<void()> onMoveDown;
    std::function<void()> onInsert;
    std::function<void()> onRemove;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    EmojiEntry entry_;
    bool selected_ = false;
    LibraryTextLabel* emoji_;
    LibraryTextLabel* name_;
    LibraryTextLabel* id_;
    PinAliasField* alias_;
    QToolButton* up_;
    QToolButton* down_;
    QPushButton* insert_;
    QToolButton* unpin_;
};

}  // namespace mosaiko
