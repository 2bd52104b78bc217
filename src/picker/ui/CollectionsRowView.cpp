#include "picker/ui/CollectionsRowView.hpp"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <cmath>

#include "content/CollectionsStore.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "picker/ui/PickerTileButton.hpp"
#include "picker/ui/TopRowAccessoryControls.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/EmojiGlyphCache.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

constexpr double rowOpacity = 0.92;

}  // namespace

CollectionsRowView::CollectionsRowView(PickerViewModel& model, CollectionsStore& collections,
                                       std::function<void()> openSettings, QWidget* parent)
    : QWidget(parent),
      model_(model),
      collections_(collections),
      accessories_(new TopRowAccessoryControls(model, std::move(openSettings), this)),
      refresh_(this, [this] { refresh(); }) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);

    auto* strip = new QScrollArea(this);
    strip->setFrameShape(QFrame::NoFrame);
    strip->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    strip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    strip->setWidgetResizable(true);
    strip->setFocusPolicy(Qt::NoFocus);
    strip->viewport()->setAutoFillBackground(false);
    auto* chipsWidget = new QWidget;
    chipsWidget->setAutoFillBackground(false);
    auto* chipRow = new QHBoxLayout(chipsWidget);
    chipRow->setContentsMargins(2, 0, 2, 0);
    chipRow->setSpacing(8);
    chipRow->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    const QFont font = Typography::system(11, QFont::DemiBold);
    const QFontMetricsF metrics(font);
    for (std::size_t i = 0; i < scopes.size(); ++i) {
        const auto scope = scopes[i];
        const QString text = title(scope);
        auto* button = new PickerTileButton(chipsWidget);
        button->setFixedSize(static_cast<int>(std::ceil(metrics.horizontalAdvance(text))) + 20,
                             static_cast<int>(std::ceil(metrics.height())) + 12);
        button->setToolTip(QStringLiteral("Click to switch tab. Press Tab to cycle."));
        button->setPainter([this, i, text, font](QPainter& painter, const QRectF& bounds) {
            const bool selected = chips_[i].selected;
            PickerStyle::paintTile(painter, bounds, 10,
                                   selected ? PickerStyle::selectedFill() : PickerStyle::black(0.06),
                                   selected ? PickerStyle::selectedBorder() : PickerStyle::black(0.08));
            EmojiGlyphCache::draw(
                painter, bounds, text, font,
                selected ? DesktopAppearance::primaryText() : DesktopAppearance::secondaryText(), {});
        });
        connect(button, &PickerTileButton::clicked, this, [this, i, scope] {
            // A disabled chip ignores clicks; an enabled one sets its scope even when it is current.
            if (chips_[i].enabled) model_.setScope(scope);
        });
        chipRow->addWidget(button);
        chips_[i].button = button;
    }
    strip->setWidget(chipsWidget);
    chipsWidget->setAutoFillBackground(false);  // setWidget() turns it on
    strip->setFixedHeight(chips_[0].button->height());
    row->addWidget(strip, 1);
    row->addWidget(accessories_);
    accessories_->setOpacity(rowOpacity);

    refresh_.watch(model_.scope);
    refresh_.watch(collections_.pinnedIDs);
    refresh();
}

QString CollectionsRowView::title(PickerViewModel::Scope scope) {
    switch (scope) {
        case PickerViewModel::Scope::all:
            return QStringLiteral("All");
        case PickerViewModel::Scope::pinned:
            return QStringLiteral("Pins");
        case PickerViewModel::Scope::shortcodes:
            return QStringLiteral("Shortcodes");
        case PickerViewModel::Scope::emoticons:
            return QStringLiteral("Emoticons");
        case PickerViewModel::Scope::glyphs:
            return QStringLiteral("Glyphs");
    }
    return {};
}

std::size_t CollectionsRowView::position(PickerViewModel::Scope scope) {
    return static_cast<std::size_t>(scope);
}

PickerTileButton* CollectionsRowView::chip(PickerViewModel::Scope scope) const {
    return chips_[position(scope)].button;
}

bool CollectionsRowView::isChipSelected(PickerViewModel::Scope scope) const {
    return chips_[position(scope)].selected;
}

bool CollectionsRowView::isChipEnabled(PickerViewModel::Scope scope) const {
    return chips_[position(scope)].enabled;
}

void CollectionsRowView::refresh() {
    const auto current = model_.scope();
    for (std::size_t i = 0; i < scopes.size(); ++i) {
        auto& chip = chips_[i];
        chip.selected = scopes[i] == current;
        chip.enabled = scopes[i] != PickerViewModel::Scope::pinned || !collections_.pinnedIDs().empty() ||
                       current == PickerViewModel::Scope::pinned;
        chip.button->setOpacity(rowOpacity * (chip.enabled ? 1.0 : 0.5));
        chip.button->update();
    }
}

}  // namespace mosaiko
