#include "library/ui/PinsManagementRow.hpp"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "library/ui/LibraryPalette.hpp"
#include "library/ui/LibraryTextLabel.hpp"
#include "library/ui/PinAliasField.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

// One line, cut with an ellipsis (the whole text is then its tooltip). Clicks on it select the row.
LibraryTextLabel* plain(const QFont& font, QWidget* parent, double minimumScale = 1.0) {
    return new LibraryTextLabel(font, {1, minimumScale, Qt::AlignLeft | Qt::AlignVCenter}, parent);
}

QToolButton* symbolButton(const QString& symbol, const QString& tip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    // In the text colour of the look it is shown in, and faded when disabled: Qt's own disabled
    // look barely changes a light symbol in the dark look.
    DesktopAppearance::follow(*button, [button, symbol] {
        button->setIcon(SymbolImage::icon(symbol, DesktopAppearance::primaryText(), 14, 2.0));
    });
    button->setIconSize(QSize(14, 14));
    button->setToolTip(tip);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

PinsManagementRow::PinsManagementRow(CollectionsStore& collections, const EmojiEntry& entry, QWidget* parent)
    : QWidget(parent), entry_(entry) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 8, 10, 8);
    row->setSpacing(10);
    // An emoticon shrinks to fit the narrow column, and is cut with an ellipsis when even that
    // is not enough.
    emoji_ = plain(Typography::emojiOrSystem(QString::fromStdString(entry.emoji), 20), this, 0.45);
    emoji_->setFixedWidth(30);
    name_ = plain(Typography::system(12, QFont::Medium), this);
    id_ = plain(Typography::monospaced(10), this);
    LibraryPalette::setSecondary(*id_);
    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    names->addWidget(name_);
    names->addWidget(id_);
    auto* namesBox = new QWidget(this);
    namesBox->setLayout(names);
    namesBox->setFixedWidth(220);
    names->setContentsMargins(0, 0, 0, 0);
    alias_ = new PinAliasField(collections, entry.id, this);
    up_ = symbolButton(QStringLiteral("arrow.up"), QStringLiteral("Move up"), this);
    down_ = symbolButton(QStringLiteral("arrow.down"), QStringLiteral("Move down"), this);
    insert_ = new QPushButton(QStringLiteral("Insert"), this);
    insert_->setFocusPolicy(Qt::NoFocus);
    insert_->setAutoDefault(false);
    unpin_ = symbolButton(QStringLiteral("pin.slash"), QStringLiteral("Unpin"), this);
    row->addWidget(emoji_);
    row->addWidget(namesBox);
    row->addWidget(alias_, 1);
    row->addWidget(up_);
    row->addWidget(down_);
    row->addWidget(insert_);
    row->addWidget(unpin_);
    auto call = [](const std::function<void()>& f) {
        if (f) f();
    };
    connect(up_, &QToolButton::clicked, this, [this, call] { call(onMoveUp); });
    connect(down_, &QToolButton::clicked, this, [this, call] { call(onMoveDown); });
    connect(insert_, &QPushButton::clicked, this, [this, call] { call(onInsert); });
    connect(unpin_, &QToolButton::clicked, this, [this, call] { call(onRemove); });
    setEntry(entry);
}

void PinsManagementRow::setEntry(const EmojiEntry& entry) {
    entry_ = entry;
    emoji_->setFont(Typography::emojiOrSystem(QString::fromStdString(entry.emoji), 20));
    emoji_->setText(QString::fromStdString(entry.emoji));
    name_->setText(QString::fromStdString(entry.name));
    id_->setText(QString::fromStdString(entry.id));
}

void PinsManagementRow::setState(bool isSelected, bool canMoveUp, bool canMoveDown) {
    up_->setEnabled(canMoveUp);
    down_->setEnabled(canMoveDown);
    if (isSelected == selected_) return;
    selected_ = isSelected;
    update();
}

void PinsManagementRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PickerStyle::paintTile(painter, QRectF(rect()), 12,
                           selected_ ? PickerStyle::accent(0.14) : PickerStyle::black(0.02),
                           selected_ ? PickerStyle::accent(0.32) : PickerStyle::black(0.06));
}

void PinsManagementRow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && onSelect) onSelect();
}

}  // namespace mosaiko
