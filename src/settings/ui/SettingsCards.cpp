#include "settings/ui/SettingsCards.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QResizeEvent>

namespace mosaiko {

QSize SettingsCard::sizeHint() const {
    return atOwnWidth(QWidget::sizeHint());
}

QSize SettingsCard::minimumSizeHint() const {
    return atOwnWidth(QWidget::minimumSizeHint());
}

QSize SettingsCard::atOwnWidth(QSize size) const {
    if (width() > 0 && hasHeightForWidth()) size.setHeight(heightForWidth(width()));
    return size;
}

void SettingsCard::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (event->oldSize().width() != width() && hasHeightForWidth()) updateGeometry();
}

SettingsHeaderCard::SettingsHeaderCard(const QString& title, const QString& subtitle,
                                       const QString& systemImage, QWidget* parent)
    : SettingsCard(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 14, 14, 14);
    row->setSpacing(12);
    row->addWidget(new SymbolTile({systemImage, 38, 20, 12, 0.14, 0.72}), 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(SettingsStyle::label(title, 22, QFont::Bold));
    QLabel* subtitleLabel = SettingsStyle::label(subtitle, 11, QFont::Normal, true);
    subtitleLabel->setWordWrap(true);
    texts->addWidget(subtitleLabel);
    row->addLayout(texts, 1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
}

void SettingsHeaderCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    SettingsStyle::paintBox(painter, QRectF(rect()), 14, SettingsStyle::headerGradientColors(),
                            SettingsStyle::border());
}

SettingsSectionCard::SettingsSectionCard(const QString& title, const QString& subtitle,
                                         const QString& systemImage, SettingsStyle::Gradient gradient,
                                         QWidget* parent)
    : SettingsCard(parent), gradient_(std::move(gradient)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(10);

    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(10);
    SymbolTile::Look icon;
    icon.symbol = systemImage;
    icon.side = 24;
    icon.symbolPoints = 14;
    titleRow->addWidget(new SymbolTile(icon), 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(SettingsStyle::label(title, 14, QFont::DemiBold));
    texts->addWidget(SettingsStyle::label(subtitle, 11, QFont::Normal, true));
    titleRow->addLayout(texts, 1);
    column->addLayout(titleRow);

    content_ = new QVBoxLayout;
    content_->setSpacing(10);
    column->addLayout(content_);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
}

void SettingsSectionCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    SettingsStyle::paintBox(painter, QRectF(rect()), 12, SettingsStyle::resolved(gradient_),
                            SettingsStyle::border());
}

}  // namespace mosaiko
