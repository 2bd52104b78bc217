#pragma once

#include <QPushButton>
#include <memory>

#include "settings/SettingsState.hpp"
#include "settings/ui/SettingsCards.hpp"

class QComboBox;
class QLabel;
class QMenu;

namespace mosaiko {

class BadgeLabel;
class DeferredRefresh;

// The button of the instant-open tab menu: the current tab's title and an up-down chevron in a
// rounded box; a click opens the menu of tabs.
class MenuBoxButton final : public QPushButton {
  public:
    explicit MenuBoxButton(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    // The title as drawn: whole whenever it fits the 210 pt frame, else ending in "…".
    QString shownText() const;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    // The title's width, measured without rounding it down.
    double textWidth() const;
    double maximumTextWidth() const;
};

// The three ways of opening the picker and the library: inline search (the trigger, edited in a
// sheet), instant open with the tab it opens on, and the library shortcut (recorded in a sheet),
// each with its current value, and the notice that explains a moved instant-open sequence.
class OpenModesCard final : public SettingsSectionCard {
  public:
    explicit OpenModesCard(SettingsState& state, QWidget* parent = nullptr);
    ~OpenModesCard() override;

    // Shown to the user, for tests.
    QLabel* inlineSearchExample() const { return inlineExample_; }
    QLabel* inlineSearchNote() const { return inlineNote_; }
    BadgeLabel* inlineSearchBadge() const { return inlineBadge_; }
    QPushButton* inlineSearchEditButton() const { return inlineEdit_; }
    QPushButton* inlineSearchDisableButton() const { return inlineDisable_; }
    QComboBox* instantOpenPicker() const { return instantOpen_; }
    MenuBoxButton* instantOpenTabButton() const { return targetButton_; }
    QMenu* instantOpenTabMenu() const { return targetMenu_; }
    BadgeLabel* libraryShortcutBadge() const { return libraryBadge_; }
    QPushButton* libraryShortcutEditButton() const { return libraryEdit_; }
    QPushButton* libraryShortcutDisableButton() const { return libraryDisable_; }
    QPushButton* setToDefaultsButton() const { return setToDefaults_; }
    QLabel* collisionNotice() const { return notice_; }

  private:
    QLayout* makeInlineSearchRow();
    QLayout* makeInstantOpenRows();
    QLayout* makeLibraryShortcutRow();
    void refresh();

    SettingsState& state_;
    QLabel* inlineOpening_ = nullptr;
    QLabel* inlineExample_ = nullptr;
    QLabel* inlineClosing_ = nullptr;
    QLabel* inlineNote_ = nullptr;
    BadgeLabel* inlineBadge_ = nullptr;
    QPushButton* inlineEdit_ = nullptr;
    QPushButton* inlineDisable_ = nullptr;
    QComboBox* instantOpen_ = nullptr;
    MenuBoxButton* targetButton_ = nullptr;
    QMenu* targetMenu_ = nullptr;
    BadgeLabel* libraryBadge_ = nullptr;
    QPushButton* libraryEdit_ = nullptr;
    QPushButton* libraryDisable_ = nullptr;
    QPushButton* setToDefaults_ = nullptr;
    QLabel* notice_ = nullptr;
    std::unique_ptr<DeferredRefresh> refresh_;
};

}  // namespace mosaiko
