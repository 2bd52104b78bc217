#include "settings/ui/OpenModesCard.hpp"

#include <QActionGroup>
#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSignalBlocker>
#include <cmath>

#include "picker/ui/DeferredRefresh.hpp"
#include "platform/qt/Typography.hpp"
#include "settings/OpenModeRules.hpp"

namespace mosaiko {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// A row label: the lead text, then notes in the secondary style, 6 apart.
QHBoxLayout* modeLabel(const QString& lead) {
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    row->addWidget(SettingsStyle::label(lead, 13));
    return row;
}

QPushButton* plainButton(const QString& title) {
    auto* button = new QPushButton(title);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

// ---------------------------------------------------------------- MenuBoxButton

MenuBoxButton::MenuBoxButton(QWidget* parent) : QPushButton(parent) {
    setFont(Typography::system(12));
    setFixedWidth(210);
    setCursor(Qt::PointingHandCursor);
    setFlat(true);
}

QSize MenuBoxButton::sizeHint() const {
    return {210, QFontMetrics(font()).height() + 10};
}

namespace {

constexpr double kChevron = 10;
constexpr double kPadding = 10;
constexpr double kChevronGap = 6;

}  // namespace

double MenuBoxButton::textWidth() const {
    return std::ceil(QFontMetricsF(font()).horizontalAdvance(text()));
}

double MenuBoxButton::maximumTextWidth() const {
    return width() - 2 * kPadding - kChevronGap - kChevron;
}

QString MenuBoxButton::shownText() const {
    if (textWidth() <= maximumTextWidth()) return text();
    return QFontMetricsF(font()).elidedText(text(), Qt::ElideRight, maximumTextWidth());
}

void MenuBoxButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    // The box hugs its content at the trailing edge of the 210 pt frame.
    const double text = std::min(textWidth(), maximumTextWidth());
    const double boxWidth = text + 2 * kPadding + kChevronGap + kChevron;
    const QRectF box(width() - boxWidth, 0, boxWidth, height());
    SettingsStyle::paintBox(painter, box, 8, {SettingsStyle::white(0.1, 0.64)}, SettingsStyle::border());
    painter.setPen(palette().color(QPalette::WindowText));
    const QRectF textRect(box.left() + kPadding, 0, text, height());
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextDontClip, shownText());
    SettingsStyle::paintSymbol(painter, QStringLiteral("chevron.up.chevron.down"),
                               palette().color(QPalette::PlaceholderText), kChevron,
                               QRectF(box.right() - kPadding - kChevron, 0, kChevron, height()), true);
}

// ---------------------------------------------------------------- OpenModesCard

OpenModesCard::OpenModesCard(SettingsState& state, QWidget* parent)
    : SettingsSectionCard(
          QStringLiteral("Open Modes"),
          QStringLiteral("Inline search waits for a query. Instant open appears immediately."),
          QStringLiteral("keyboard.fill"),
          {{SettingsStyle::blue(), 0.34, 0.22}, {SettingsStyle::cyan(), 0.24, 0.16}}, parent),
      state_(state) {
    QVBoxLayout* content = contentLayout();
    content->addLayout(makeInlineSearchRow());
    content->addLayout(makeInstantOpenRows());
    content->addLayout(makeLibraryShortcutRow());

    auto* defaultsRow = new QHBoxLayout;
    defaultsRow->addStretch(1);
    setToDefaults_ = plainButton(QStringLiteral("Set to Defaults"));
    connect(setToDefaults_, &QPushButton::clicked, this, [this] { state_.resetOpenModesToDefaults(); });
    defaultsRow->addWidget(setToDefaults_);
    content->addLayout(defaultsRow);

    notice_ = SettingsStyle::wrappingLabel(QString(), 11, QFont::DemiBold);
    content->addWidget(notice_);

    refresh_ = std::make_unique<DeferredRefresh>(this, [this] { refresh(); });
    PreferencesStore& prefs = state_.prefs();
    refresh_->watch(prefs.inlineTrigger);
    refresh_->watch(prefs.quickOpenShortcut);
    refresh_->watch(prefs.quickOpenTarget);
    refresh_->watch(prefs.libraryShortcut);
    refresh_->watch(state_.revision);
    refresh();
}

OpenModesCard::~OpenModesCard() = default;

QLayout* OpenModesCard::makeInlineSearchRow() {
    auto* row = new QHBoxLayout;
    QHBoxLayout* label = modeLabel(QStringLiteral("Inline search"));
    inlineOpening_ = SettingsStyle::label(QStringLiteral("(opens after third character, for example"), 11,
                                          QFont::Normal, true);
    inlineExample_ = new SequenceLabel;
    inlineExample_->setFont(Typography::monospaced(11, QFont::DemiBold));
    SettingsStyle::setSecondary(inlineExample_, true);
    inlineClosing_ = SettingsStyle::label(QStringLiteral(")"), 11, QFont::Normal, true);
    inlineNote_ = SettingsStyle::label(QStringLiteral("(currently disabled)"), 11, QFont::Normal, true);
    for (QLabel* note : {inlineOpening_, inlineExample_, inlineClosing_, inlineNote_}) label->addWidget(note);
    row->addLayout(label);
    row->addStretch(1);

    auto* controls = new QHBoxLayout;
    controls->setSpacing(8);
    inlineBadge_ = new BadgeLabel(QString(), Typography::monospaced(11, QFont::DemiBold));
    controls->addWidget(inlineBadge_);
    inlineEdit_ = plainButton(QString());
    connect(inlineEdit_, &QPushButton::clicked, this, [this] { state_.openCustomSearchTriggerEditor(); });
    controls->addWidget(inlineEdit_);
    inlineDisable_ = plainButton(QStringLiteral("Disable"));
    connect(inlineDisable_, &QPushButton::clicked, this, [this] { state_.disableInlineSearch(); });
    controls->addWidget(inlineDisable_);
    row->addLayout(controls);
    return row;
}

QLayout* OpenModesCard::makeInstantOpenRows() {
    auto* rows = new QVBoxLayout;
    rows->setSpacing(10);

    auto* shortcutRow = new QHBoxLayout;
    QHBoxLayout* label = modeLabel(QStringLiteral("Instant open"));
    label->addWidget(SettingsStyle::label(QStringLiteral("(opens immediately)"), 11, QFont::Normal, true));
    shortcutRow->addLayout(label);
    shortcutRow->addStretch(1);
    instantOpen_ = new QComboBox;
    for (QuickOpenShortcut shortcut : quick_open_shortcut::allCases)
        instantOpen_->addItem(qs(OpenModeRules::quickOpenShortcutTitle(shortcut)));
    SettingsStyle::fitChoices(*instantOpen_, 190);
    connect(instantOpen_, &QComboBox::activated, this, [this](int index) {
        if (index < 0 || index >= static_cast<int>(quick_open_shortcut::allCases.size())) return;
        state_.chooseQuickOpenShortcut(quick_open_shortcut::allCases[static_cast<std::size_t>(index)]);
    });
    shortcutRow->addWidget(instantOpen_);
    rows->addLayout(shortcutRow);

    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(SettingsStyle::label(QStringLiteral("Instant open tab"), 13));
    targetRow->addStretch(1);
    targetButton_ = new MenuBoxButton;
    targetMenu_ = new QMenu(targetButton_);
    auto* group = new QActionGroup(targetMenu_);
    for (QuickOpenTarget target : quick_open_target::allCases) {
        QAction* action = targetMenu_->addAction(qs(OpenModeRules::quickOpenTargetTitle(target)));
        action->setCheckable(true);
        action->setActionGroup(group);
        connect(action, &QAction::triggered, this, [this, target] { state_.chooseQuickOpenTarget(target); });
    }
    connect(targetButton_, &QPushButton::clicked, this,
            [this] { targetMenu_->popup(targetButton_->mapToGlobal(QPoint(0, targetButton_->height()))); });
    targetRow->addWidget(targetButton_);
    rows->addLayout(targetRow);
    return rows;
}

QLayout* OpenModesCard::makeLibraryShortcutRow() {
    auto* row = new QHBoxLayout;
    QHBoxLayout* label = modeLabel(QStringLiteral("Library shortcut"));
    label->addWidget(
        SettingsStyle::label(QStringLiteral("(opens the floating library)"), 11, QFont::Normal, true));
    row->addLayout(label);
    row->addStretch(1);

    auto* controls = new QHBoxLayout;
    controls->setSpacing(8);
    libraryBadge_ = new BadgeLabel(QString(), Typography::monospaced(11, QFont::DemiBold));
    controls->addWidget(libraryBadge_);
    libraryEdit_ = plainButton(QString());
    connect(libraryEdit_, &QPushButton::clicked, this, [this] { state_.setLibraryShortcutSheetShown(true); });
    controls->addWidget(libraryEdit_);
    libraryDisable_ = plainButton(QStringLiteral("Disable"));
    connect(libraryDisable_, &QPushButton::clicked, this, [this] { state_.disableLibraryShortcut(); });
    controls->addWidget(libraryDisable_);
    row->addLayout(controls);
    return row;
}

void OpenModesCard::refresh() {
    const PreferencesStore& prefs = state_.prefs();
    const std::string& trigger = prefs.inlineTrigger();
    const bool inlineOn = !trigger.empty();
    inlineOpening_->setVisible(inlineOn);
    inlineExample_->setVisible(inlineOn);
    inlineClosing_->setVisible(inlineOn);
    inlineNote_->setVisible(!inlineOn);
    inlineExample_->setText(qs(OpenModeRules::visibleSearchTrigger(trigger) + "red"));
    inlineBadge_->setText(inlineOn ? qs(OpenModeRules::visibleSearchTrigger(trigger))
                                   : QStringLiteral("Disabled"));
    inlineEdit_->setText(inlineOn ? QStringLiteral("Edit...") : QStringLiteral("Set Shortcut..."));
    inlineDisable_->setVisible(inlineOn);

    {
        const QSignalBlocker block(instantOpen_);
        const auto& cases = quick_open_shortcut::allCases;
        const auto found = std::find(cases.begin(), cases.end(), prefs.quickOpenShortcut());
        instantOpen_->setCurrentIndex(static_cast<int>(found - cases.begin()));
    }
    const auto& targets = quick_open_target::allCases;
    for (std::size_t i = 0; i < targets.size(); ++i)
        targetMenu_->actions()
            .at(static_cast<qsizetype>(i))
            ->setChecked(targets[i] == prefs.quickOpenTarget());
    targetButton_->setText(qs(OpenModeRules::quickOpenTargetTitle(prefs.quickOpenTarget())));
    targetButton_->update();

    const auto& shortcut = prefs.libraryShortcut();
    libraryBadge_->setText(shortcut ? qs(shortcut->displayString()) : QStringLiteral("Disabled"));
    libraryEdit_->setText(shortcut ? QStringLiteral("Edit...") : QStringLiteral("Set Shortcut..."));
    libraryDisable_->setVisible(shortcut.has_value());

    const auto& notice = state_.shortcutCollisionNotice();
    notice_->setText(notice ? qs(*notice) : QString());
    notice_->setVisible(notice.has_value());
}

}  // namespace mosaiko
