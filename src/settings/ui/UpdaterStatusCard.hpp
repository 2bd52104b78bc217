#pragma once

#include <QLabel>
#include <map>
#include <memory>
#include <optional>

#include "settings/SettingsShell.hpp"
#include "settings/SettingsState.hpp"
#include "settings/UpdaterControlState.hpp"
#include "settings/ui/SettingsCards.hpp"

class QCheckBox;
class QProgressBar;
class QPushButton;

namespace mosaiko {

class DeferredRefresh;

// A one-line label that shortens its text in the middle when it does not fit.
class MiddleElidedLabel final : public QLabel {
  public:
    explicit MiddleElidedLabel(QWidget* parent = nullptr);
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent*) override;
};

// The updates card of the Info tab: what the updater reports (versions, status, last check, modes),
// its two automatic modes and the check button. Every drawing reads a fresh snapshot from the
// shell; without an updater the card shows that none is available and offers nothing.
class UpdaterStatusCard final : public SettingsSectionCard {
  public:
    UpdaterStatusCard(SettingsState& state, SettingsShell shell, std::string versionText,
                      QWidget* parent = nullptr);
    ~UpdaterStatusCard() override;

    UpdaterControlState::Snapshot snapshot() const;
    // "Never" without a date; else the date and time in the user's short formats.
    static QString updaterDateText(const std::optional<double>& secondsSince1970);

    // The value shown in the pill labelled `label` ("Status", "Available", ...).
    QString pillValue(const QString& label) const;
    QCheckBox* checkToggle() const { return checkToggle_; }
    QCheckBox* downloadToggle() const { return downloadToggle_; }
    QLabel* errorLabel() const { return error_; }
    QPushButton* checkButton() const { return checkButton_; }
    QWidget* progress() const { return progress_; }

  private:
    void refresh();
    QWidget* pill(const QString& label);

    SettingsState& state_;
    SettingsShell shell_;
    std::string versionText_;
    std::map<QString, QLabel*> pillValues_;
    QCheckBox* checkToggle_ = nullptr;
    QCheckBox* downloadToggle_ = nullptr;
    QLabel* error_ = nullptr;
    QPushButton* checkButton_ = nullptr;
    QWidget* progress_ = nullptr;
    std::unique_ptr<DeferredRefresh> refresh_;
};

}  // namespace mosaiko
