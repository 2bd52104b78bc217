#include "settings/ui/CollectionsPinRow.hpp"

#include <QEvent>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include "library/ui/LibraryTextLabel.hpp"
#include "library/ui/PinAliasField.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "platform/qt/Typography.hpp"
#include "settings/ui/SettingsStyle.hpp"

namespace mosaiko {

namespace {

QToolButton* symbolButton(const QString& toolTip, std::function<void()> action, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setToolTip(toolTip);
    button->setIconSize(QSize(14, 14));
    QObject::connect(button, &QToolButton::clicked, parent, [action = std::move(action)] {
        if (action) action();
    });
    return button;
}

}  // namespace

CollectionsPinRow::CollectionsPinRow(CollectionsStore& collections, const PinItemState& state,
                                     Actions actions, QWidget* parent)
    : QWidget(parent), state_(state) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(10);

    // A pinned emoticon or snippet shrinks to fit the narrow column and ends in "…" (its whole
    // text then in the tooltip) when even that is not enough, as in the library's pins.
    emoji_ = new LibraryTextLabel(Typography::system(20), {1, 0.45, Qt::AlignLeft | Qt::AlignVCenter}, this);
    emoji_->setFixedWidth(28);
    row->addWidget(emoji_);

    auto* names = new QWidget(this);
    names->setFixedWidth(220);
    auto* nameColumn = new QVBoxLayout(names);
    nameColumn->setContentsMargins(0, 0, 0, 0);
    nameColumn->setSpacing(2);
    name_ = SettingsStyle::elidedLabel({}, Typography::system(12, QFont::Medium), false, names);
    id_ = SettingsStyle::elidedLabel({}, Typography::monospaced(10), true, names);
    nameColumn->addWidget(name_);
    nameColumn->addWidget(id_);
    row->addWidget(names);

    alias_ = new PinAliasField(collections, state.itemID, this);
    row->addWidget(alias_, 1);

    moveUp_ = symbolButton(tr("Move up"), std::move(actions.onMoveUp), this);
    moveDown_ = symbolButton(tr("Move down"), std::move(actions.onMoveDown), this);
    unpin_ = symbolButton(tr("Unpin"), std::move(actions.onRemove), this);
    row->addWidget(moveUp_);
    row->addWidget(moveDown_);
    row->addWidget(unpin_);

    updateIcons();
    setState(state);
}

void CollectionsPinRow::setState(const PinItemState& state) {
    state_ = state;
    const QString emoji = QString::fromStdString(state.emoji);
    emoji_->setFont(Typography::emojiOrSystem(emoji, 20));
    emoji_->setText(emoji);
    name_->setFullText(QString::fromStdString(state.name));
    id_->setFullText(QString::fromStdString(state.itemID));
    moveUp_->setEnabled(state.canMoveUp());
    moveDown_->setEnabled(state.canMoveDown());
}

void CollectionsPinRow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) updateIcons();
}

void CollectionsPinRow::updateIcons() {
    const QColor color = palette().color(QPalette::WindowText);
    const qreal ratio = devicePixelRatioF();
    moveUp_->setIcon(SymbolImage::icon(QStringLiteral("arrow.up"), color, 14, ratio));
    moveDown_->setIcon(SymbolImage::icon(QStringLiteral("arrow.down"), color, 14, ratio));
    unpin_->setIcon(SymbolImage::icon(QStringLiteral("pin.slash"), color, 14, ratio));
}

}  // namespace mosaiko
