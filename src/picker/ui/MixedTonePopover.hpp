#pragma once

#include <QPainterPath>
#include <QWidget>

namespace mosaiko {

class MixedToneVariantMatrix;

// The mixed skin-tone matrix in a small floating window beside the button that opened it, with an
// arrow pointing at the button. It never takes the focus.
class MixedTonePopover : public QWidget {
    Q_OBJECT

  public:
    static constexpr int arrowHeight = 8;
    enum class Side { below, above };

    explicit MixedTonePopover(QWidget* owner);

    MixedToneVariantMatrix* matrix() const { return matrix_; }

    // Places the popover on the preferred side of `anchor` (global coordinates), its arrow pointing
    // at the anchor's centre; on the other side when the screen has no room, and moved sideways to
    // stay on the screen.
    void placeAt(const QRect& anchor, Side preferred = Side::below);

  protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // The rounded body with the arrow on the side that faces the anchor.
    QPainterPath outline() const;

    MixedToneVariantMatrix* matrix_;
    int arrowX_ = 0;
    bool arrowOnTop_ = true;
};

}  // namespace mosaiko
