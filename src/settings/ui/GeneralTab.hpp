#pragma once

#include <QAbstractButton>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "content/SkinTone.hpp"
#include "settings/SettingsState.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace mosaiko {

class DeferredRefresh;
class OpenModesCard;

// One default skin tone to choose: the thumbs-up sample in that tone over the tone's name.
class SkinToneButton final : public QAbstractButton {
  public:
    SkinToneButton(SkinTone tone, QWidget* parent = nullptr);
    SkinTone tone() const { return tone_; }
    // Drawn highlighted while its tone is the stored default.
    void setHighlighted(bool highlighted);
    bool isHighlighted() const { return highlighted_; }
    QSize sizeHint() const override { return {88, 58}; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    SkinTone tone_;
    bool highlighted_ = false;
};

// The first tab of the settings window: start-up and interaction defaults, the open modes, the
// default skin tone and the reset of every setting, in one scrolling column of cards. Every control
// writes the preferences store at once.
class GeneralTab final : public QWidget {
  public:
    // `launchAtLoginUnavailableReason`, when it gives a reason, shows "Launch at login" switched off
    // and disabled with that reason beneath it.
    explicit GeneralTab(SettingsState& state,
                        std::function<std::optional<std::string>()> launchAtLoginUnavailableReason = {},
                        QWidget* parent = nullptr);
    ~GeneralTab() override;

    QCheckBox* launchAtLoginToggle() const { return launchAtLogin_; }
    QLabel* launchAtLoginNote() const { return launchAtLoginNote_; }
    QCheckBox* keepOpenToggle() const { return keepOpen_; }
    QSlider* popupDelaySlider() const { return popupDelay_; }
    QLabel* popupDelayValueLabel() const { return popupDelayValue_; }
    QComboBox* searchSortPriorityPicker() const { return sortPriority_; }
    const std::array<SkinToneButton*, 6>& skinToneButtons() const { return toneButtons_; }
    QPushButton* resetAllButton() const { return resetAll_; }
    OpenModesCard* openModesCard() const { return openModes_; }

    // The slider counts milliseconds from 0 to 1500 and stores multiples of 50: its position for a
    // stored delay (a delay out of range stands at the nearer end), and the delay one of its
    // actions (QAbstractSlider::SliderAction) stores, starting from the stored delay. A step goes to
    // the next multiple of 50 in its direction, so a delay between two steps or out of range is
    // brought onto the scale by the first movement.
    static int sliderPosition(std::int64_t popupDelayMs);
    static std::int64_t delayAfterSliderAction(std::int64_t popupDelayMs, int action, int position);

  private:
    QWidget* makeGeneralCard();
    QWidget* makeSkinToneCard();
    QWidget* makeResetCard();
    void refresh();

    SettingsState& state_;
    std::function<std::optional<std::string>()> launchAtLoginUnavailableReason_;
    QCheckBox* launchAtLogin_ = nullptr;
    QLabel* launchAtLoginNote_ = nullptr;
    QCheckBox* keepOpen_ = nullptr;
    QSlider* popupDelay_ = nullptr;
    QLabel* popupDelayValue_ = nullptr;
    QComboBox* sortPriority_ = nullptr;
    std::array<SkinToneButton*, 6> toneButtons_{};
    QPushButton* resetAll_ = nullptr;
    OpenModesCard* openModes_ = nullptr;
    std::unique_ptr<DeferredRefresh> refresh_;
};

}  // namespace mosaiko
