#include "settings/ui/GeneralTab.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "picker/ui/DeferredRefresh.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/Typography.hpp"
#include "settings/OpenModeRules.hpp"
#include "settings/ui/OpenModesCard.hpp"
#include "settings/ui/SettingsCards.hpp"

namespace mosaiko {

namespace {

constexpr int kDelayStep = 50;
constexpr int kDelayMaximum = 1500;

QString skinToneSample(SkinTone tone) {
    static const char32_t modifiers[] = {0, 0x1F3FB, 0x1F3FC, 0x1F3FD, 0x1F3FE, 0x1F3FF};
    std::u32string sample{U'\U0001F44D'};
    if (const char32_t modifier = modifiers[skin_tone::ordinal(tone)]) sample += modifier;
    return QString::fromStdU32String(sample);
}

// `ink` made readable on `button` as its style draws it in `palette`: styles fill a button lighter
// or darker than the palette's button colour, and with a gradient, so the text is set against each
// colour down the middle of the drawn button, inside its frame.
QColor readableOnButton(const QColor& ink, const QPushButton& button, const QPalette& palette) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.palette = palette;
    option.rect = QRect(QPoint(0, 0), button.sizeHint());
    QImage image(option.rect.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(palette.color(QPalette::Window));
    QPainter painter(&image);
    button.style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, &button);
    painter.end();
    QColor readable = ink;
    const int frame = button.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &button) + 1;
    for (int y = frame; y < image.height() - frame; ++y)
        readable = DesktopAppearance::readableOn(readable, image.pixelColor(image.width() / 2, y));
    return readable;
}

}  // namespace

// ---------------------------------------------------------------- SkinToneButton

SkinToneButton::SkinToneButton(SkinTone tone, QWidget* parent) : QAbstractButton(parent), tone_(tone) {
    setFixedSize(sizeHint());
    setCursor(Qt::PointingHandCursor);
    setText(QString::fromUtf8(skin_tone::displayName(tone).data(),
                              static_cast<qsizetype>(skin_tone::displayName(tone).size())));
    setAccessibleName(text());
}

void SkinToneButton::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    update();
}

void SkinToneButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF area(rect());
    // These colours stay the same in both schemes.
    const QColor fill = highlighted_ ? DesktopAppearance::withOpacity(DesktopAppearance::accent(), 0.2)
                                     : DesktopAppearance::withOpacity(Qt::black, 0.04);
    const QColor border = highlighted_ ? DesktopAppearance::withOpacity(DesktopAppearance::accent(), 0.55)
                                       : DesktopAppearance::withOpacity(Qt::black, 0.1);
    SettingsStyle::paintBox(painter, area, 10, {fill}, border);

    const QFont sampleFont = Typography::emoji(30);
    const QFont labelFont = Typography::system(10);
    const QFontMetricsF sampleMetrics(sampleFont);
    const QFontMetricsF labelMetrics(labelFont);
    const double contentHeight = sampleMetrics.height() + 4 + labelMetrics.height();
    const double top = (area.height() - contentHeight) / 2;
    painter.setFont(sampleFont);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRectF(0, top, area.width(), sampleMetrics.height()), Qt::AlignCenter,
                     skinToneSample(tone_));
    painter.setFont(labelFont);
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(QRectF(0, top + sampleMetrics.height() + 4, area.width(), labelMetrics.height()),
                     Qt::AlignCenter, text());
}

// ---------------------------------------------------------------- GeneralTab

GeneralTab::GeneralTab(SettingsState& state,
                       std::function<std::optional<std::string>()> launchAtLoginUnavailableReason,
                       QWidget* parent)
    : QWidget(parent),
      state_(state),
      launchAtLoginUnavailableReason_(std::move(launchAtLoginUnavailableReason)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(14);
    column->addWidget(new SettingsHeaderCard(QStringLiteral("General Controls"),
                                             QStringLiteral("Tune behavior, shortcuts, and personalization."),
                                             QStringLiteral("slider.horizontal.3")));
    column->addWidget(makeGeneralCard());
    openModes_ = new OpenModesCard(state_);
    column->addWidget(openModes_);
    column->addWidget(makeSkinToneCard());
    column->addWidget(makeResetCard());
    column->addStretch(1);

    refresh_ = std::make_unique<DeferredRefresh>(this, [this] { refresh(); });
    PreferencesStore& prefs = state_.prefs();
    refresh_->watch(prefs.launchAtLoginEnabled);
    refresh_->watch(prefs.keepOpenOnShiftEnter);
    refresh_->watch(prefs.popupDelayMs);
    refresh_->watch(prefs.searchSortPriority);
    refresh_->watch(prefs.defaultSkinTone);
    refresh();
}

GeneralTab::~GeneralTab() = default;

int GeneralTab::sliderPosition(std::int64_t popupDelayMs) {
    return static_cast<int>(std::clamp<std::int64_t>(popupDelayMs, 0, kDelayMaximum));
}

std::int64_t GeneralTab::delayAfterSliderAction(std::int64_t popupDelayMs, int action, int position) {
    const std::int64_t from = sliderPosition(popupDelayMs);
    std::int64_t to = 0;
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
        case QAbstractSlider::SliderPageStepAdd:
            to = (from / kDelayStep + 1) * kDelayStep;
            break;
        case QAbstractSlider::SliderSingleStepSub:
        case QAbstractSlider::SliderPageStepSub:
            to = ((from + kDelayStep - 1) / kDelayStep - 1) * kDelayStep;
            break;
        case QAbstractSlider::SliderToMinimum:
            to = 0;
            break;
        case QAbstractSlider::SliderToMaximum:
            to = kDelayMaximum;
            break;
        default:  // dragged or clicked to a position
            to = static_cast<std::int64_t>(std::lround(static_cast<double>(position) / kDelayStep)) *
                 kDelayStep;
            break;
    }
    return std::clamp<std::int64_t>(to, 0, kDelayMaximum);
}

QWidget* GeneralTab::makeGeneralCard() {
    auto* card = new SettingsSectionCard(
        QStringLiteral("General"), QStringLiteral("Startup and interaction defaults"),
        QStringLiteral("switch.2"),
        {{SettingsStyle::orange(), 0.32, 0.22}, {SettingsStyle::yellow(), 0.22, 0.16}});
    QVBoxLayout* content = card->contentLayout();
    PreferencesStore& prefs = state_.prefs();

    launchAtLogin_ = new QCheckBox(QStringLiteral("Launch at login"));
    connect(launchAtLogin_, &QCheckBox::toggled, this,
            [&prefs](bool on) { prefs.setLaunchAtLoginEnabled(on); });
    content->addWidget(launchAtLogin_);
    launchAtLoginNote_ = SettingsStyle::wrappingLabel(QString(), 11);
    launchAtLoginNote_->hide();
    content->addWidget(launchAtLoginNote_);
    keepOpen_ = new QCheckBox(QStringLiteral("Keep picker open on Shift + Enter"));
    connect(keepOpen_, &QCheckBox::toggled, this, [&prefs](bool on) { prefs.setKeepOpenOnShiftEnter(on); });
    content->addWidget(keepOpen_);

    auto* delayRow = new QHBoxLayout;
    delayRow->addWidget(SettingsStyle::label(QStringLiteral("Popup delay"), 13));
    popupDelay_ = new QSlider(Qt::Horizontal);
    popupDelay_->setRange(0, kDelayMaximum);
    popupDelay_->setSingleStep(kDelayStep);
    popupDelay_->setPageStep(kDelayStep);
    connect(popupDelay_, &QSlider::valueChanged, this, [this](int position) {
        state_.setPopupDelayFromSlider(
            static_cast<double>(delayAfterSliderAction(position, QAbstractSlider::SliderMove, position)));
    });
    // Every movement stores a delay on the scale, also one that leaves the handle where it stands
    // (End or a drag at the end of the range while the stored delay lies beyond it).
    connect(popupDelay_, &QSlider::actionTriggered, this, [this, &prefs](int action) {
        const auto delay =
            delayAfterSliderAction(prefs.popupDelayMs(), action, popupDelay_->sliderPosition());
        popupDelay_->setSliderPosition(static_cast<int>(delay));
        if (delay == popupDelay_->value() && delay != prefs.popupDelayMs())
            state_.setPopupDelayFromSlider(static_cast<double>(delay));
    });
    connect(popupDelay_, &QSlider::sliderReleased, this, [this, &prefs] {
        const auto delay =
            delayAfterSliderAction(prefs.popupDelayMs(), QAbstractSlider::SliderMove, popupDelay_->value());
        if (delay != prefs.popupDelayMs()) state_.setPopupDelayFromSlider(static_cast<double>(delay));
    });
    delayRow->addWidget(popupDelay_, 1);
    popupDelayValue_ = SettingsStyle::monospacedLabel(QString(), 11, QFont::DemiBold, true);
    popupDelayValue_->setFixedWidth(72);
    popupDelayValue_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    delayRow->addWidget(popupDelayValue_);
    content->addLayout(delayRow);

    auto* sortRow = new QHBoxLayout;
    sortRow->addWidget(SettingsStyle::label(QStringLiteral("Search sort priority"), 13));
    sortRow->addStretch(1);
    sortPriority_ = new QComboBox;
    for (SearchSortPriority priority : search_sort_priority::allCases)
        sortPriority_->addItem(QString::fromStdString(OpenModeRules::searchSortPriorityTitle(priority)));
    SettingsStyle::fitChoices(*sortPriority_, 190);
    connect(sortPriority_, &QComboBox::activated, this, [&prefs](int index) {
        if (index >= 0 && index < static_cast<int>(search_sort_priority::allCases.size()))
            prefs.setSearchSortPriority(search_sort_priority::allCases[static_cast<std::size_t>(index)]);
    });
    sortRow->addWidget(sortPriority_);
    content->addLayout(sortRow);
    content->addWidget(SettingsStyle::wrappingLabel(
        QStringLiteral(
            "Search sort priority only affects ties between emoji and emoticon results. Glyphs are "
            "always ranked last on ties."),
        11));
    return card;
}

QWidget* GeneralTab::makeSkinToneCard() {
    auto* card = new SettingsSectionCard(
        QStringLiteral("Default Skin Tone"), QStringLiteral("Pick your preferred tone for emoji variants"),
        QStringLiteral("hand.raised.fingers.spread.fill"),
        {{SettingsStyle::indigo(), 0.34, 0.20}, {SettingsStyle::blue(), 0.24, 0.14}});
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    for (std::size_t i = 0; i < skin_tone::allCases.size(); ++i) {
        const SkinTone tone = skin_tone::allCases[i];
        toneButtons_[i] = new SkinToneButton(tone);
        connect(toneButtons_[i], &QAbstractButton::clicked, this,
                [this, tone] { state_.prefs().setDefaultSkinTone(tone); });
        row->addWidget(toneButtons_[i]);
    }
    row->addStretch(1);
    card->contentLayout()->addLayout(row);
    return card;
}

QWidget* GeneralTab::makeResetCard() {
    auto* card = new SettingsSectionCard(
        QStringLiteral("Reset"), QStringLiteral("Restore all app settings to their defaults"),
        QStringLiteral("arrow.counterclockwise.circle.fill"),
        {{SettingsStyle::red(), 0.28, 0.16}, {SettingsStyle::orange(), 0.22, 0.12}});
    card->contentLayout()->addWidget(SettingsStyle::wrappingLabel(
        QStringLiteral(
            "This resets preferences across all Settings tabs. Onboarding progress and usage statistics "
            "are not changed."),
        11));
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    resetAll_ = new QPushButton(QStringLiteral("Reset All Settings to Default\u2026"));
    // A destructive action reads in red, also once the desktop's look changed under it (a new
    // palette or style reaches the button without the colour it was given): a red as dark or light
    // as the button drawn in that palette needs, the named red being faint on light and mid greys.
    DesktopAppearance::keepColours(*resetAll_, [button = resetAll_](QPalette& palette) {
        palette.setColor(QPalette::ButtonText, readableOnButton(SettingsStyle::red(), *button, palette));
    });
    resetAll_->setAutoDefault(false);
    connect(resetAll_, &QPushButton::clicked, this, [this] { state_.requestResetAllSettings(); });
    row->addWidget(resetAll_);
    card->contentLayout()->addLayout(row);
    return card;
}

void GeneralTab::refresh() {
    const PreferencesStore& prefs = state_.prefs();
    {
        const QSignalBlocker blockLaunch(launchAtLogin_);
        const QSignalBlocker blockKeepOpen(keepOpen_);
        const QSignalBlocker blockSlider(popupDelay_);
        const QSignalBlocker blockSort(sortPriority_);
        // Where nothing can start the program at login, the switch does not claim it will; the
        // stored choice stays for an installed program.
        const auto unavailable =
            launchAtLoginUnavailableReason_ ? launchAtLoginUnavailableReason_() : std::nullopt;
        launchAtLogin_->setEnabled(!unavailable);
        launchAtLogin_->setChecked(!unavailable && prefs.launchAtLoginEnabled());
        launchAtLoginNote_->setText(unavailable ? QString::fromStdString(*unavailable) : QString());
        launchAtLoginNote_->setVisible(unavailable.has_value());
        keepOpen_->setChecked(prefs.keepOpenOnShiftEnter());
        // Not while the user drags: the slider would jump under the pointer.
        if (!popupDelay_->isSliderDown()) popupDelay_->setValue(sliderPosition(prefs.popupDelayMs()));
        sortPriority_->setCurrentIndex(prefs.searchSortPriority() == SearchSortPriority::emojiFirst ? 0 : 1);
    }
    // The stored number, also when it lies outside the slider's range.
    popupDelayValue_->setText(QString::number(prefs.popupDelayMs()) + QStringLiteral(" ms"));
    for (SkinToneButton* button : toneButtons_)
        button->setHighlighted(button->tone() == prefs.defaultSkinTone());
}

}  // namespace mosaiko
