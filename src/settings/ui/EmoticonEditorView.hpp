#pragma once

#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "settings/EmoticonEditorRules.hpp"
#include "settings/ui/SettingsStyle.hpp"

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace mosaiko {

class DeferredRefresh;
class EmoticonEditorRowView;
class PreferencesStore;
class SettingsSectionCard;

// The Emoticon tab: every built-in emoticon in the user's order, each movable one place up or down
// and hideable, the counts of visible and hidden ones, and a reset of both. Every action writes the
// preferences at once; the rows follow every change in place, keyed by id.
class EmoticonEditorView final : public QWidget {
    Q_OBJECT

  public:
    explicit EmoticonEditorView(PreferencesStore& prefs, QWidget* parent = nullptr);
    ~EmoticonEditorView() override;

    // The rows in display order.
    std::vector<EmoticonEditorRowView*> rows() const;
    QLabel* visibleCountLabel() const { return visibleCount_; }
    QLabel* hiddenCountLabel() const { return hiddenCount_; }
    QPushButton* resetButton() const { return reset_; }

    void refresh();

  private:
    PreferencesStore& prefs_;
    SettingsSectionCard* lineup_ = nullptr;
    QLabel* visibleCount_ = nullptr;
    QLabel* hiddenCount_ = nullptr;
    QPushButton* reset_ = nullptr;
    QVBoxLayout* rowsLayout_ = nullptr;
    std::map<std::string, EmoticonEditorRowView*> rows_;
    std::unique_ptr<DeferredRefresh> refresh_;
};

// One emoticon: rank, text, name and shortcode, the "HIDDEN" badge, the moves and Show or Hide.
// While hidden its texts are drawn dimmed; the badge and the buttons keep their contrast. It lies on
// a card filled with `backdrop`, which the badge's text is made readable against.
class EmoticonEditorRowView final : public QWidget {
  public:
    using Row = EmoticonEditorRules::Row;
    struct Actions {
        std::function<void()> onMoveUp;
        std::function<void()> onMoveDown;
        std::function<void()> onToggleHidden;
    };

    EmoticonEditorRowView(const Row& row, Actions actions, SettingsStyle::Gradient backdrop,
                          QWidget* parent = nullptr);

    void setRow(const Row& row);
    const Row& row() const { return row_; }

    QPushButton* moveUpButton() const { return moveUp_; }
    QPushButton* moveDownButton() const { return moveDown_; }
    QPushButton* toggleHiddenButton() const { return toggle_; }
    QLabel* hiddenBadge() const { return badge_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void updateLook();

    Row row_;
    SettingsStyle::Gradient backdrop_;
    QWidget* texts_ = nullptr;
    QLabel* rank_ = nullptr;
    QLabel* emoticon_ = nullptr;
    QLabel* name_ = nullptr;
    QLabel* shortcode_ = nullptr;
    QLabel* badge_ = nullptr;
    QPushButton* moveUp_ = nullptr;
    QPushButton* moveDown_ = nullptr;
    QPushButton* toggle_ = nullptr;
};

}  // namespace mosaiko
