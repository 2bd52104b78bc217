#include "picker/ui/TopRowAccessoryControls.hpp"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <cmath>

#include "picker/ui/PickerStyle.hpp"
#include "picker/ui/PickerTileButton.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/EmojiGlyphCache.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

constexpr double cornerRadius = 9;

PickerTileButton* symbolButton(const QString& symbol, const QString& help, QWidget* parent) {
    auto* button = new PickerTileButton(parent);
    button->setFixedSize(28, 28);
    button->setToolTip(help);
    button->setPainter([symbol](QPainter& painter, const QRectF& bounds) {
        PickerStyle::paintTile(painter, bounds, cornerRadius, PickerStyle::black(0.06), Qt::transparent);
        PickerStyle::paintSymbol(painter, symbol, DesktopAppearance::secondaryText(), 13, bounds, true);
    });
    return button;
}

}  // namespace

TopRowAccessoryControls::TopRowAccessoryControls(PickerViewModel& model, std::function<void()> openSettings,
                                                 QWidget* parent)
    : QWidget(parent), model_(model) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);

    const QString hintText = QStringLiteral("⇥ TAB");
    auto* hint = new PickerTileButton(this);
    const QFont hintFont = Typography::monospaced(13, QFont::Bold);
    const QFontMetricsF metrics(hintFont);
    hint->setFixedSize(static_cast<int>(std::ceil(metrics.horizontalAdvance(hintText))) + 16,
                       static_cast<int>(std::ceil(metrics.height())) + 10);
    hint->setToolTip(QStringLiteral("Press Tab to cycle tabs."));
    hint->setPainter([hintText, hintFont](QPainter& painter, const QRectF& bounds) {
        PickerStyle::paintTile(painter, bounds, cornerRadius, PickerStyle::black(0.06), Qt::transparent);
        EmojiGlyphCache::draw(painter, bounds, hintText, hintFont, DesktopAppearance::secondaryText(), {});
    });
    hint_ = hint;

    library_ = symbolButton(QStringLiteral("square.grid.2x2"), QStringLiteral("Open the library."), this);
    settings_ = symbolButton(QStringLiteral("gearshape.fill"), QStringLiteral("Open settings."), this);
    close_ = symbolButton(QStringLiteral("xmark"), QStringLiteral("Close quick find."), this);
    close_->setAccessibleName(QStringLiteral("Close quick find"));

    connect(library_, &PickerTileButton::clicked, this,
            [this] { model_.uiActionSubject.send(PickerViewModel::UIAction::OpenLibrary{model_.scope()}); });
    connect(settings_, &PickerTileButton::clicked, this, std::move(openSettings));
    connect(close_, &PickerTileButton::clicked, this,
            [this] { model_.uiActionSubject.send(PickerViewModel::UIAction::Close{}); });

    row->addWidget(hint_);
    row->addWidget(library_);
    row->addWidget(settings_);
    row->addWidget(close_);
}

void TopRowAccessoryControls::setOpacity(double opacity) {
    for (auto* tile : {hint_, library_, settings_, close_}) tile->setOpacity(opacity);
}

}  // namespace mosaiko
