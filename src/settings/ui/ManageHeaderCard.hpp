#pragma once

#include <QWidget>

#include "settings/ui/SettingsStyle.hpp"

namespace mosaiko {

// The header card of the pins and snippet management screens: an icon tile beside a title and a
// one-line description, on a two-colour gradient with a black inner border whose opacities follow
// light or dark.
class ManageHeaderCard final : public QWidget {
  public:
    struct Look {
        QString symbol;
        QString title;
        QString subtitle;
        SettingsStyle::Gradient gradient;
        double borderDark = 0.25;
        double borderLight = 0.10;
    };

    explicit ManageHeaderCard(Look look, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    Look look_;
};

}  // namespace mosaiko
