#include "onboarding/ui/GuideCards.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

using Look = GuideSurface::Look;
using Named = GuideStyle::Named;

// A square that draws a symbol image in the primary text colour at paint time.
class SymbolTile final : public GuideSurface {
  public:
    SymbolTile(QString icon, double points, int side, Look look)
        : GuideSurface(look), icon_(std::move(icon)), points_(points) {
        setFixedSize(side, side);
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        GuideSurface::paintEvent(event);
        QPainter painter(this);
        const QPixmap image =
            SymbolImage::pixmap(icon_, DesktopAppearance::primaryText(), points_, devicePixelRatioF(), true);
        if (image.isNull()) return;
        painter.drawPixmap(QPointF((width() - points_) / 2, (height() - points_) / 2), image);
    }

  private:
    QString icon_;
    double points_;
};

QVBoxLayout* column(QWidget* owner, int spacing, int padding) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(spacing);
    return layout;
}

}  // namespace

QWidget* GuideCards::iconTile(const QString& icon, double points, int side, Look look) {
    return new SymbolTile(icon, points, side, look);
}

QWidget* GuideCards::sectionCard(const QString& title, const QString& subtitle, QWidget* content) {
    auto* card = new GuideSurface(GuideSurface::Look::filled(20, Named::white, 0.10, 0.68, true));
    auto* layout = column(card, 14, 18);
    auto* heading = new QVBoxLayout;
    heading->setSpacing(4);
    heading->addWidget(GuideStyle::label(title, Typography::system(16, QFont::Bold)));
    heading->addWidget(GuideStyle::label(subtitle, Typography::system(11), true, true));
    layout->addLayout(heading);
    layout->addWidget(content);
    return card;
}

QWidget* GuideCards::insightCard(const QString& title, const QString& body, GuideStyle::Accent accent,
                                 const QString& icon) {
    auto* card = new GuideSurface(GuideSurface::Look::accented(18, accent, true));
    auto* layout = column(card, 10, 16);
    layout->addWidget(
        iconTile(icon, 16, 34, GuideSurface::Look::filled(10, Named::white, 0.10, 0.62, false)));
    layout->addWidget(GuideStyle::label(title, Typography::system(14, QFont::DemiBold), false, true));
    layout->addWidget(GuideStyle::label(body, Typography::system(11), true, true));
    layout->addStretch(1);
    return card;
}

QWidget* GuideCards::shortcutCard(const QString& title, const QString& detail, const QString& example,
                                  GuideStyle::Accent accent, const QString& icon) {
    auto* card = new GuideSurface(GuideSurface::Look::accented(18, accent, true));
    auto* layout = column(card, 12, 16);
    auto* top = new QHBoxLayout;
    top->addWidget(iconTile(icon, 14, 30, GuideSurface::Look::filled(9, Named::white, 0.12, 0.68, false)));
    top->addStretch(1);
    top->addWidget(codeBadge(example));
    layout->addLayout(top);
    layout->addWidget(GuideStyle::label(title, Typography::system(14, QFont::DemiBold), false, true));
    layout->addWidget(GuideStyle::label(detail, Typography::system(11), true, true));
    layout->addStretch(1);
    return card;
}

QWidget* GuideCards::tipRow(const QString& title, const QString& body) {
    auto* tile = new GuideSurface(GuideSurface::Look::filled(12, Named::white, 0.06, 0.50, false));
    auto* layout = column(tile, 3, 10);
    layout->addWidget(GuideStyle::label(title, Typography::system(11, QFont::Bold), false, true));
    layout->addWidget(GuideStyle::label(body, Typography::system(11), true, true));
    return tile;
}

QWidget* GuideCards::codeBadge(const QString& text) {
    auto* badge = new GuideSurface(GuideSurface::Look::filled(10, Named::black, 0.20, 0.06, true));
    auto* layout = new QHBoxLayout(badge);
    layout->setContentsMargins(10, 6, 10, 6);
    layout->addWidget(GuideStyle::label(text, Typography::monospaced(12, QFont::Bold)));
    badge->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return badge;
}

QWidget* GuideCards::featureChip(const QString& symbol, const QString& label) {
    auto* chip = new GuideSurface(GuideSurface::Look::filled(-1, Named::white, 0.10, 0.66, true));
    auto* layout = new QHBoxLayout(chip);
    layout->setContentsMargins(12, 7, 12, 7);
    layout->setSpacing(8);
    layout->addWidget(GuideStyle::label(symbol, Typography::monospaced(13, QFont::Bold)));
    layout->addWidget(GuideStyle::label(label, Typography::system(11, QFont::DemiBold)));
    chip->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return chip;
}

}  // namespace mosaiko
