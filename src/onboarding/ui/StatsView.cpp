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
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

#include "onboarding/ui/GuideStyle.hpp"
#include "platform/qt/BandedScrollBarStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/EmojiGlyphCache.hpp"
#include "platform/qt/PlainToolTip.hpp"
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

// The preview of a row: large as an emoji in a frame 36 wide, shrunk as far as two characters need
// to fit it; or the text as it is on one monospaced line, cut at its end. It is drawn through the
// glyph image cache and sized without measuring its text, so that a list of a hundred rows is
// laid out without decoding a hundred colour glyphs.
class UsagePreview final : public QLabel {
  public:
    static constexpr int kEmojiWidth = 36;
    static constexpr int kTextWidth = 220;
    static constexpr EmojiGlyphCache::Fitting kEmojiFitting{0.4, false, Qt::AlignHCenter, 1};
    static constexpr EmojiGlyphCache::Fitting kTextFitting{1.0, true, Qt::AlignLeft, 1};

    UsagePreview(const std::string& text, const QFont& textFont, QWidget* parent)
        : QLabel(parent),
          emojiStyle_(StatsViewModel::usesEmojiPreviewStyle(text)),
          font_(emojiStyle_ ? Typography::emojiOrSystem(qs(text), 28) : textFont),
          colour_(DesktopAppearance::primaryText()) {
        // Drawn in its own font and colour (see paintEvent): the label's are not set, which would
        // be resolved anew for each row.
        setTextFormat(Qt::PlainText);
        setText(qs(text));
        if (emojiStyle_) {
            setFixedWidth(kEmojiWidth);
        } else {
            setToolTip(plainToolTip(qs(text)));
            setMinimumWidth(kEmojiWidth);
            setMaximumWidth(kTextWidth);
        }
    }

    // What drawing an emoji-style preview asks of the glyph image cache; none for the others.
    static std::optional<EmojiGlyphCache::Request> requestFor(const std::string& text) {
        if (!StatsViewModel::usesEmojiPreviewStyle(text)) return std::nullopt;
        return EmojiGlyphCache::Request{qs(text), Typography::emojiOrSystem(qs(text), 28),
                                        DesktopAppearance::primaryText(), QSizeF(kEmojiWidth, 36),
                                        kEmojiFitting};
    }

    QSize sizeHint() const override { return {emojiStyle_ ? kEmojiWidth : kTextWidth, lineHeight()}; }
    QSize minimumSizeHint() const override { return {kEmojiWidth, lineHeight()}; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        EmojiGlyphCache::draw(painter, QRectF(rect()), text(), font_, colour_,
                              emojiStyle_ ? kEmojiFitting : kTextFitting);
    }

  private:
    int lineHeight() const { return emojiStyle_ ? 36 : 18; }

    bool emojiStyle_;
    QFont font_;
    QColor colour_;  // the list is built anew in a new look
};

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
    setFixedSize(kWidth, kHeight);
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

StatsView::RowLook StatsView::RowLook::current() {
    return {Typography::monospaced(11, QFont::DemiBold), Typography::monospaced(12, QFont::Medium),
            Typography::monospaced(12)};
}

QWidget* StatsView::row(std::int64_t rank, const std::string& emoji, std::int64_t count,
                        std::optional<std::int64_t> delta, const RowLook& look, QWidget* list) {
    // The labels are made inside their row, in its font and the list's colours: a font or a
    // palette of each label's own, or a new parent, is resolved anew for it, and for a hundred rows
    // that took longer than the rest of the opening.
    auto* row = new QWidget(list);
    row->setMinimumHeight(40);
    row->setFont(look.rankAndTrend);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(8, 2, 8, 2);
    layout->setSpacing(10);
    const auto cell = [row](const QString& text, int width) {
        auto* label = new QLabel(text, row);
        label->setTextFormat(Qt::PlainText);
        label->setFixedWidth(width);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return label;
    };

    layout->addWidget(cell(QStringLiteral("#%1").arg(rank), 34));
    layout->addWidget(new UsagePreview(emoji, look.preview, row), 0, Qt::AlignLeft | Qt::AlignVCenter);
    layout->addStretch(1);
    QLabel* countLabel = cell(qs(StatsViewModel::usageCountLabel(count)), usageColumnWidth);
    countLabel->setFont(look.count);
    layout->addWidget(countLabel);
    // The trend column stays reserved on rows without a trend, so the counts line up.
    QLabel* deltaLabel = cell(qs(StatsViewModel::deltaText(delta)), deltaColumnWidth);
    deltaLabel->setObjectName(QStringLiteral("delta"));
    if (delta) {
        GuideStyle::setTextColour(deltaLabel, *delta > 0   ? GuideStyle::named(GuideStyle::Named::green)
                                              : *delta < 0 ? GuideStyle::named(GuideStyle::Named::red)
                                                           : DesktopAppearance::primaryText());
    }
    layout->addWidget(deltaLabel);
    return row;
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
    auto* list = new QWidget;
    list->setObjectName(QStringLiteral("statsList"));
    // The ranks, counts and trends, and the empty list's text, are secondary.
    GuideStyle::setTextColour(list, DesktopAppearance::secondaryText());
    auto* layout = new QVBoxLayout(list);
    layout->setContentsMargins(0, 6, 0, 6);
    layout->setSpacing(4);
    const auto items = model_.items();
    // The emoji of the first screen of rows are drawn on the drawing threads while the rows are
    // built and the window is mapped.
    std::vector<EmojiGlyphCache::Request> previews;
    for (std::size_t i = 0; i < std::min(items.size(), kFirstScreenRows); ++i) {
        if (const auto request = UsagePreview::requestFor(items[i].emoji)) previews.push_back(*request);
    }
    EmojiGlyphCache::prefetch(previews, devicePixelRatioF());
    if (items.empty()) {
        auto* empty = GuideStyle::label(QStringLiteral("No data yet. Insert a few emojis first."),
                                        Typography::system(13), true, true);
        empty->setObjectName(QStringLiteral("emptyText"));
        empty->setContentsMargins(8, 4, 8, 4);
        layout->addWidget(empty);
    }
    // A window about to open shows the rows of its first screen at once, the others are added
    // while the user looks at it: building a hundred rows took longer than the rest of the
    // opening. A list shown already, or scrolled, is built whole.
    auto ranked = StatsViewModel::rankedItems(items);
    const std::size_t now =
        isVisible() || scrolled > 0 ? ranked.size() : std::min(ranked.size(), kFirstScreenRows);
    const RowLook look = RowLook::current();
    for (std::size_t i = 0; i < now; ++i) {
        const auto& entry = ranked[i];
        layout->addWidget(row(entry.rank, entry.item.emoji, entry.item.count, entry.item.delta, look, list));
    }
    pendingRows_.assign(ranked.begin() + static_cast<std::ptrdiff_t>(now), ranked.end());
    layout->addStretch(1);
    listArea_->setWidget(list);
    list->setBackgroundRole(QPalette::Base);
    list_ = list;
    list->adjustSize();
    listArea_->verticalScrollBar()->setValue(scrolled);
}

void StatsView::addPendingRows() {
    auto* layout = static_cast<QVBoxLayout*>(list_->layout());
    const RowLook look = RowLook::current();
    for (const auto& entry : std::exchange(pendingRows_, {})) {
        layout->insertWidget(
            layout->count() - 1,  // before the stretch
            row(entry.rank, entry.item.emoji, entry.item.count, entry.item.delta, look, list_));
    }
}

void StatsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The list is the current one when the timer fires, or gone with it.
    if (!pendingRows_.empty()) QTimer::singleShot(kRestOfListDelayMs, list_, [this] { addPendingRows(); });
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
