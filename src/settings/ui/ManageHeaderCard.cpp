#include "settings/ui/ManageHeaderCard.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "platform/qt/DesktopAppearance.hpp"

namespace mosaiko {

ManageHeaderCard::ManageHeaderCard(Look look, QWidget* parent) : QWidget(parent), look_(std::move(look)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(10);
    row->addWidget(new SymbolTile({look_.symbol, 34, 18, 10, 0.14, 0.7}), 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(SettingsStyle::label(look_.title, 16, QFont::Bold));
    texts->addWidget(SettingsStyle::label(look_.subtitle, 11, QFont::Normal, true));
    row->addLayout(texts, 1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
}

void ManageHeaderCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor border = DesktopAppearance::withOpacity(
        Qt::black, SettingsStyle::isDark() ? look_.borderDark : look_.borderLight);
    SettingsStyle::paintBox(painter, QRectF(rect()), 12, SettingsStyle::resolved(look_.gradient), border);
}

}  // namespace mosaiko
