#pragma once

#include <QWidget>
#include <functional>

#include "settings/CollectionsManageRules.hpp"

class QToolButton;

namespace mosaiko {

class CollectionsStore;
class ElidedLabel;
class LibraryTextLabel;
class PinAliasField;

// One pinned entry in pins management: its symbol, name and id, its search alias, and buttons that
// move it up or down or unpin it. The row stays in place while its pin moves or other pins change:
// the screen hands it each new state, and the alias field keeps what is being typed.
class CollectionsPinRow final : public QWidget {
  public:
    using PinItemState = CollectionsManageRules::PinItemState;
    struct Actions {
        std::function<void()> onMoveUp;
        std::function<void()> onMoveDown;
        std::function<void()> onRemove;
    };

    CollectionsPinRow(CollectionsStore& collections, const PinItemState& state, Actions actions,
                      QWidget* parent = nullptr);

    void setState(const PinItemState& state);
    const PinItemState& state() const { return state_; }

    LibraryTextLabel* symbolLabel() const { return emoji_; }
    ElidedLabel* nameLabel() const { return name_; }
    PinAliasField* aliasField() const { return alias_; }
    QToolButton* moveUpButton() const { return moveUp_; }
    QToolButton* moveDownButton() const { return moveDown_; }
    QToolButton* unpinButton() const { return unpin_; }

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void updateIcons();

    PinItemState state_;
    LibraryTextLabel* emoji_ = nullptr;
    ElidedLabel* name_ = nullptr;
    ElidedLabel* id_ = nullptr;
    PinAliasField* alias_ = nullptr;
    QToolButton* moveUp_ = nullptr;
    QToolButton* moveDown_ = nullptr;
    QToolButton* unpin_ = nullptr;
};

}  // namespace mosaiko
