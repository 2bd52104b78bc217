#pragma once

#include <QVBoxLayout>
#include <QWidget>

#include "settings/ui/SettingsStyle.hpp"

namespace mosaiko {

// A card as tall as its content needs at the card's own width. A card whose text wraps would
// otherwise ask for its height at a narrow guess of its width, and a column of cards keeps that
// height as the card's least, leaving an empty band under the last card.
class SettingsCard : public QWidget {
  public:
    using QWidget::QWidget;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QSize atOwnWidth(QSize size) const;
};

// The card that opens a settings tab: an icon tile, a large title and a one-line description on
// the header gradient.
class SettingsHeaderCard final : public SettingsCard {
  public:
    SettingsHeaderCard(const QString& title, const QString& subtitle, const QString& systemImage,
                       QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent*) override;
};

// A group of controls: a small icon, a title and a description above the controls, on a tinted
// gradient chosen by the caller.
class SettingsSectionCard : public SettingsCard {
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
