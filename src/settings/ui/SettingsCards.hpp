#pragma once

#include <QVBoxLayout>
#include <QWidget>

#include "settings/ui/SettingsStyle.hpp"

namespace mosaiko {

// The card that opens a settings tab: an icon tile, a large title and a one-line description on
// the header gradient.
class SettingsHeaderCard final : public QWidget {
  public:
    SettingsHeaderCard(const QString& title, const QString& subtitle, const QString& systemImage,
                       QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent*) override;
};

// A group of controls: a small icon, a title and a description above the controls, on a tinted
// gradient chosen by the caller.
class SettingsSectionCard : public QWidget {
  public:
    SettingsSectionCard(const QString& title, const QString& subtitle, const QString& systemImage,
                        SettingsStyle::Gradient gradient, QWidget* parent = nullptr);

    // Where the section's controls go, below the title row, 10 apart.
    QVBoxLayout* contentLayout() const { return content_; }
    const SettingsStyle::Gradient& gradient() const { return gradient_; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    SettingsStyle::Gradient gradient_;
    QVBoxLayout* content_ = nullptr;
};

}  // namespace mosaiko
