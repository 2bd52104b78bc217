#include "onboarding/ui/StatsView.hpp"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <utility>

#include "onboarding/ui/GuideStyle.hpp"
#include "onboarding/ui/StatsList.hpp"
#include "platform/qt/BandedScrollBarStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/EmojiGlyphCache.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A text of the header: the list is built anew in a new look, the header stays and follows it.
QLabel* headerLabel(const QString& text, const QFont& font) {
    QLabel* label = GuideStyle::label(text, font);
    DesktopAppearance::follow(
        *label, [label] { GuideStyle::setTextColour(label, DesktopAppearance::primaryText()); });
    return label;
}

// The range picker's segments: the selected one in the accent colour, clearly apart from the
// others in either look.
QString rangeButtonStyle() {
    const bool dark = DesktopAppearance::isDark();
    const QColor accent = DesktopAppearance::accent();
    const QColor text = DesktopAppearance::primaryText();
    const QColor border = dark ? QColor(255, 255, 255, 41) : QColor(0, 0, 0, 31);
    const QColor fill = dark ? QColor(255, 255, 255, 18) : QColor(0, 0, 0, 10);
    auto css = [](const QColor& c) {
        return QStringLiteral("rgba(%1, %2, %3, %4)")
            .arg(c.red())
            .arg(c.green())
            .arg(c.blue())
            .arg(c.alpha());
    };
    return QStringLiteral(
               "QPushButton { color: %1; background: %2; border: 1px solid %3; border-radius: 5px;"
               " padding: 3px 8px; margin: 0 1px; }"
               "QPushButton:checked { color: %5; background: %4; border-color: %4; }")
        .arg(css(text), css(fill), css(border), css(accent), css(DesktopAppearance::textOn(accent)));
}

}  // namespace

StatsView::StatsView(EmojiUsageStore& usage, QWidget* parent)
    : QWidget(parent), model_(usage), refresh_(this, [this] { refresh(); }) {
    // Its usual height where the screen has room for it; on a smaller screen only the list gives
    // way, the header and the range picker staying in view.
    setFixedWidth(kWidth);
    resize(kWidth, kHeight);
    GuideStyle::applyAppearance(this);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 24, 16, 16);
    layout->setSpacing(14);

    auto* header = new QHBoxLayout;
    header->addWidget(
        headerLabel(QStringLiteral("Most Used Emojis"), Typography::system(16, QFont::DemiBold)), 0,
        Qt::AlignBaseline);
    header->addStretch(1);
    resetButton_ = new QPushButton(QStringLiteral("Reset\u2026"));
    resetButton_->setObjectName(QStringLiteral("resetStatisticsButton"));
    resetButton_->setFlat(true);
    connect(resetButton_, &QPushButton::clicked, this, [this] { showResetAlert(); });
    header->addWidget(resetButton_, 0, Qt::AlignBaseline);
    layout->addLayout(header);

    auto* picker = new QHBoxLayout;
    picker->setSpacing(0);
    picker->addWidget(headerLabel(QStringLiteral("Range"), Typography::system(12)));
    picker->addSpacing(10);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    for (const StatsRange range : StatsViewModel::allRanges) {
        auto* button = new QPushButton(qs(StatsViewModel::rawValue(range)));
        button->setCheckable(true);
        button->setChecked(range == model_.range());
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        group->addButton(button);
        connect(button, &QPushButton::clicked, this, [this, range] { model_.setRange(range); });
        rangeButtons_[range] = button;
        picker->addWidget(button, 1);
    }
    layout->addLayout(picker);

    listArea_ = new QScrollArea;
    listArea_->setWidgetResizable(true);
    listArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    BandedScrollBarStyle::apply(*listArea_->verticalScrollBar());
    layout->addWidget(listArea_, 1);

    refresh_.watch(model_.range);
    refresh_.watch(usage.counts);
    refresh_.watch(usage.recents);
    refresh_.watch(usage.history);
    refresh();
}

void StatsView::refresh() {
    resetButton_->setEnabled(model_.canReset());
    const QString style = rangeButtonStyle();
    for (const auto& [range, button] : rangeButtons_) {
        if (button->styleSheet() != style) button->setStyleSheet(style);
    }
    rangeButtons_.at(model_.range())->setChecked(true);

    // A use recorded while the window is open keeps the list where the user scrolled it.
    const int scrolled = listArea_->verticalScrollBar()->value();
    const auto ranked = StatsViewModel::rankedItems(model_.items());
    // The emoji of the first screen of rows are drawn on the drawing threads while the list is
    // built and the window is mapped.
    EmojiGlyphCache::prefetch(StatsList::firstPreviews(ranked, kFirstScreenRows), devicePixelRatioF());
    QWidget* list = nullptr;
    if (ranked.empty()) {
        list = new QWidget;
        auto* layout = new QVBoxLayout(list);
        layout->setContentsMargins(0, 6, 0, 6);
        auto* empty = GuideStyle::label(QStringLiteral("No data yet. Insert a few emojis first."),
                                        Typography::system(13), true, true);
        empty->setObjectName(QStringLiteral("emptyText"));
        empty->setContentsMargins(8, 4, 8, 4);
        layout->addWidget(empty);
        layout->addStretch(1);
    } else {
        list = new StatsList(ranked);
    }
    list->setObjectName(QStringLiteral("statsList"));
    // The empty list's text is secondary.
    GuideStyle::setTextColour(list, DesktopAppearance::secondaryText());
    listArea_->setWidget(list);
    list->setBackgroundRole(QPalette::Base);
    list_ = list;
    list->adjustSize();
    listArea_->verticalScrollBar()->setValue(scrolled);
}

void StatsView::showResetAlert() {
    if (resetAlert_) return;
    auto* alert =
        new QMessageBox(QMessageBox::Warning, QStringLiteral("Reset Statistics?"),
                        QStringLiteral("This will delete your emoji usage history, counts, and recent "
                                       "emojis on this computer. This can't be undone."),
                        QMessageBox::NoButton, this);
    alert->setObjectName(QStringLiteral("resetStatisticsAlert"));
    alert->setTextFormat(Qt::PlainText);
    auto* reset = alert->addButton(QStringLiteral("Reset"), QMessageBox::DestructiveRole);
    auto* cancel = alert->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    alert->setDefaultButton(cancel);
    alert->setEscapeButton(cancel);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    connect(alert, &QMessageBox::buttonClicked, this, [this, reset](QAbstractButton* clicked) {
        if (clicked == reset) model_.reset();
    });
    resetAlert_ = alert;
    alert->open();
}

void StatsView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        refresh_.schedule();
}

}  // namespace mosaiko
