#include "settings/ui/EmoticonEditorView.hpp"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "content/PreferencesStore.hpp"
#include "picker/ui/DeferredRefresh.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/MixedTextLine.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "platform/qt/Typography.hpp"
#include "settings/ui/SettingsCards.hpp"
#include "settings/ui/SettingsStyle.hpp"

namespace mosaiko {

namespace {

// A label's contrast with its button that reads as enabled.
constexpr double kButtonTextContrast = 4.5;
// The "HIDDEN" badge's text against its tinted capsule.
constexpr double kBadgeTextContrast = 3.0;
// How much a hidden row's texts fade.
constexpr double kHiddenTextOpacity = 0.7;
// The rows' fill over the card, and the badge's tint over the row, at their dark and light opacities.
constexpr double kRowFillDark = 0.08;
constexpr double kRowFillLight = 0.62;
constexpr double kBadgeTint = 0.12;

// A counter tile: a small label above its value.
QWidget* statPill(const QString& label, QLabel*& value, QWidget* parent) {
    auto* pill = new BoxFrame(8, 0.10, 0.62, parent);
    auto* column = new QVBoxLayout(pill);
    column->setContentsMargins(8, 6, 8, 6);
    column->setSpacing(1);
    column->addWidget(SettingsStyle::monospacedLabel(label, 9, QFont::DemiBold, true, pill));
    value = SettingsStyle::monospacedLabel(QStringLiteral("0"), 12, QFont::Bold, false, pill);
    column->addWidget(value);
    pill->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return pill;
}

QPushButton* arrowButton(const QString& toolTip, std::function<void()> action, QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setToolTip(toolTip);
    button->setAutoDefault(false);
    button->setIconSize(QSize(11, 11));
    QObject::connect(button, &QPushButton::clicked, parent, [action = std::move(action)] {
        if (action) action();
    });
    return button;
}

}  // namespace

// ---------------------------------------------------------------- the tab

EmoticonEditorView::EmoticonEditorView(PreferencesStore& prefs, QWidget* parent)
    : QWidget(parent), prefs_(prefs) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(14);
    column->addWidget(new SettingsHeaderCard(tr("Emoticon Arsenal"),
                                             tr("Rank your emoticons and hide the ones you never use."),
                                             QStringLiteral("face.smiling.fill")));

    lineup_ = new SettingsSectionCard(
        tr("Lineup"), tr("Top rows appear first in the picker's Emoticons view."),
        QStringLiteral("list.number"),
        {{SettingsStyle::yellow(), 0.30, 0.22}, {SettingsStyle::orange(), 0.22, 0.16}});
    auto* counters = new QHBoxLayout;
    counters->setSpacing(8);
    counters->addWidget(statPill(tr("Visible"), visibleCount_, lineup_));
    counters->addWidget(statPill(tr("Hidden"), hiddenCount_, lineup_));
    counters->addStretch(1);
    reset_ = new QPushButton(tr("Reset Cool Default"), lineup_);
    reset_->setAutoDefault(false);
    connect(reset_, &QPushButton::clicked, this, [this] { prefs_.resetEmoticonPreferencesToDefaults(); });
    counters->addWidget(reset_, 0, Qt::AlignVCenter);
    lineup_->contentLayout()->addLayout(counters);
    rowsLayout_ = new QVBoxLayout;
    rowsLayout_->setSpacing(7);
    lineup_->contentLayout()->addLayout(rowsLayout_);
    column->addWidget(lineup_);

    auto* tips =
        new SettingsSectionCard(tr("Tips"), tr("Make it yours"), QStringLiteral("sparkles"),
                                {{SettingsStyle::blue(), 0.30, 0.20}, {SettingsStyle::cyan(), 0.22, 0.16}});
    tips->contentLayout()->addWidget(
        SettingsStyle::wrappingLabel(tr("Keep reaction staples (table flip, shrug, disapprove) near the top "
                                        "for fast access. Hide anything you "
                                        "never use to keep the picker sharp. Need a custom emoticon? Create "
                                        "it in Shortcodes as a text snippet "
                                        "and it will show up there too."),
                                     11));
    column->addWidget(tips);
    column->addStretch(1);

    refresh_ = std::make_unique<DeferredRefresh>(this, [this] { refresh(); });
    refresh_->watch(prefs_.emoticonOrder);
    refresh_->watch(prefs_.hiddenEmoticonIDs);
    refresh();
}

EmoticonEditorView::~EmoticonEditorView() = default;

void EmoticonEditorView::refresh() {
    const auto rows = EmoticonEditorRules::rows(prefs_.emoticonOrder(), prefs_.hiddenEmoticonIDs());
    std::int64_t hidden = 0;
    std::map<std::string, EmoticonEditorRowView*> kept;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        hidden += row.isHidden ? 1 : 0;
        EmoticonEditorRowView* view = nullptr;
        if (const auto found = rows_.find(row.entry.id); found != rows_.end()) {
            view = found->second;
            rows_.erase(found);
            view->setRow(row);
        } else {
            const std::string id = row.entry.id;
            view =
                new EmoticonEditorRowView(row,
                                          {[this, id] { EmoticonEditorRules::moveEmoticon(prefs_, id, -1); },
                                           [this, id] { EmoticonEditorRules::moveEmoticon(prefs_, id, 1); },
                                           [this, id] { EmoticonEditorRules::toggleHidden(prefs_, id); }},
                                          lineup_->gradient(), this);
        }
        if (rowsLayout_->indexOf(view) != static_cast<int>(i)) {
            rowsLayout_->removeWidget(view);
            rowsLayout_->insertWidget(static_cast<int>(i), view);
        }
        kept.emplace(row.entry.id, view);
    }
    for (auto& [id, view] : rows_) {
        rowsLayout_->removeWidget(view);
        view->deleteLater();
    }
    rows_ = std::move(kept);
    const auto count = static_cast<std::int64_t>(rows.size());
    visibleCount_->setText(QString::number(count - hidden));
    hiddenCount_->setText(QString::number(hidden));
}

std::vector<EmoticonEditorRowView*> EmoticonEditorView::rows() const {
    std::vector<EmoticonEditorRowView*> ordered;
    for (int i = 0; i < rowsLayout_->count(); ++i) {
        if (auto* row = dynamic_cast<EmoticonEditorRowView*>(rowsLayout_->itemAt(i)->widget()))
            ordered.push_back(row);
    }
    return ordered;
}

// ---------------------------------------------------------------- one row

EmoticonEditorRowView::EmoticonEditorRowView(const Row& row, Actions actions,
                                             SettingsStyle::Gradient backdrop, QWidget* parent)
    : QWidget(parent), row_(row), backdrop_(std::move(backdrop)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 7, 10, 7);
    layout->setSpacing(10);

    // The texts that fade while the row is hidden; its badge and buttons stay as readable.
    texts_ = new QWidget(this);
    auto* textRow = new QHBoxLayout(texts_);
    textRow->setContentsMargins(0, 0, 0, 0);
    textRow->setSpacing(10);
    rank_ = SettingsStyle::monospacedLabel({}, 10, QFont::DemiBold, true, texts_);
    rank_->setFixedWidth(34);
    textRow->addWidget(rank_);
    emoticon_ = new MixedTextLabel(texts_);
    emoticon_->setFixedWidth(190);
    textRow->addWidget(emoticon_);

    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    name_ = SettingsStyle::label({}, 12, QFont::DemiBold, false, texts_);
    shortcode_ = SettingsStyle::monospacedLabel({}, 10, QFont::Normal, true, texts_);
    names->addWidget(name_);
    names->addWidget(shortcode_);
    textRow->addLayout(names);
    layout->addWidget(texts_);
    layout->addStretch(1);

    badge_ = new QLabel(tr("HIDDEN"), this);
    badge_->setTextFormat(Qt::PlainText);
    badge_->setFont(Typography::monospaced(9, QFont::Bold));
    layout->addWidget(badge_);

    moveUp_ = arrowButton(tr("Move up"), std::move(actions.onMoveUp), this);
    moveDown_ = arrowButton(tr("Move down"), std::move(actions.onMoveDown), this);
    toggle_ = new QPushButton(this);
    toggle_->setAutoDefault(false);
    connect(toggle_, &QPushButton::clicked, this, [action = std::move(actions.onToggleHidden)] {
        if (action) action();
    });
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(moveUp_);
    buttons->addWidget(moveDown_);
    buttons->addWidget(toggle_);
    layout->addLayout(buttons);

    setRow(row);
}

void EmoticonEditorRowView::setRow(const Row& row) {
    row_ = row;
    rank_->setText(QStringLiteral("#%1").arg(row.rank));
    const auto fitted = PickerStyle::fit(QString::fromStdString(row.entry.emoji), Typography::monospaced(20),
                                         190, 0.75, true);
    emoticon_->setFont(fitted.font);
    emoticon_->setText(fitted.text);
    emoticon_->setToolTip(QString::fromStdString(row.entry.emoji));
    name_->setText(QString::fromStdString(row.entry.name));
    shortcode_->setText(QStringLiteral(":") + QString::fromStdString(row.primaryShortcode) +
                        QStringLiteral(":"));
    moveUp_->setEnabled(row.canMoveUp);
    moveDown_->setEnabled(row.canMoveDown);
    updateLook();
}

void EmoticonEditorRowView::updateLook() {
    badge_->setVisible(row_.isHidden);
    const QColor orange = SettingsStyle::orange();
    const QColor tint = DesktopAppearance::withOpacity(orange, kBadgeTint);
    // The orange text made as much darker or lighter as the capsule needs, wherever along the card's
    // gradient the row lies: the named orange on its own tint is too faint in either scheme.
    QColor ink = orange;
    const QColor window = palette().color(QPalette::Window);
    for (const QColor& card : SettingsStyle::resolved(backdrop_)) {
        const QColor row = DesktopAppearance::over(SettingsStyle::white(kRowFillDark, kRowFillLight),
                                                   DesktopAppearance::over(card, window));
        ink = DesktopAppearance::readableOn(ink, DesktopAppearance::over(tint, row), kBadgeTextContrast);
    }
    badge_->setStyleSheet(QStringLiteral("color: %1; background: rgba(%2, %3, %4, %5); border-radius: 6px; "
                                         "padding: 3px 6px;")
                              .arg(ink.name())
                              .arg(orange.red())
                              .arg(orange.green())
                              .arg(orange.blue())
                              .arg(kBadgeTint));
    toggle_->setText(row_.isHidden ? tr("Show") : tr("Hide"));
    // White on the tint as dark as an enabled button's label needs (the named grey and green are
    // too light under white: the button looked disabled).
    const QColor fill = DesktopAppearance::readableOn(
        row_.isHidden ? SettingsStyle::green() : QColor(142, 142, 147), Qt::white, kButtonTextContrast);
    toggle_->setStyleSheet(QStringLiteral("QPushButton { color: white; background: %1; border: none; "
                                          "border-radius: 5px; padding: 3px 10px; font-weight: 600; }"
                                          "QPushButton:pressed { background: %2; }")
                               .arg(fill.name(), fill.darker(120).name()));

    const QColor arrows = palette().color(QPalette::ButtonText);
    const qreal ratio = devicePixelRatioF();
    moveUp_->setIcon(SymbolImage::icon(QStringLiteral("arrow.up"), arrows, 11, ratio, true));
    moveDown_->setIcon(SymbolImage::icon(QStringLiteral("arrow.down"), arrows, 11, ratio, true));

    if (row_.isHidden) {
        if (!texts_->graphicsEffect()) {
            auto* dim = new QGraphicsOpacityEffect(texts_);
            dim->setOpacity(kHiddenTextOpacity);
            texts_->setGraphicsEffect(dim);
        }
    } else if (texts_->graphicsEffect()) {
        texts_->setGraphicsEffect(nullptr);
    }
}

void EmoticonEditorRowView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    SettingsStyle::paintBox(painter, QRectF(rect()), 9, {SettingsStyle::white(kRowFillDark, kRowFillLight)},
                            SettingsStyle::border());
}

void EmoticonEditorRowView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) updateLook();
}

}  // namespace mosaiko
