#include "picker/ui/VariantsRowView.hpp"

#include <QApplication>
#include <QEasingCurve>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "content/PreferencesStore.hpp"
#include "picker/ui/MixedTonePopover.hpp"
#include "picker/ui/MixedToneVariantMatrix.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "picker/ui/PickerTileButton.hpp"
#include "picker/ui/TopRowAccessoryControls.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/EmojiGlyphCache.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

using Origin = PickerViewModel::SelectionOrigin;
using FocusRow = PickerViewModel::FocusRow;

VariantsRowView::VariantsRowView(PickerViewModel& model, PreferencesStore& prefs,
                                 std::function<void()> openSettings, QWidget* parent)
    : QWidget(parent),
      model_(model),
      prefs_(prefs),
      strip_(new QScrollArea(this)),
      stripContent_(new QWidget),
      stripLayout_(new QHBoxLayout(stripContent_)),
      scrollAnimation_(new QPropertyAnimation(strip_->horizontalScrollBar(), "value", this)),
      mixButton_(new PickerTileButton(stripContent_)),
      accessories_(new TopRowAccessoryControls(model, std::move(openSettings), this)),
      popover_(new MixedTonePopover(this)),
      refresh_(this, [this] { refresh(); }) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    strip_->setFrameShape(QFrame::NoFrame);
    strip_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    strip_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    strip_->setWidgetResizable(false);
    strip_->setFocusPolicy(Qt::NoFocus);
    strip_->viewport()->setAutoFillBackground(false);
    strip_->setFixedHeight(36);
    stripContent_->setAutoFillBackground(false);
    stripLayout_->setContentsMargins(0, 0, 0, 0);
    stripLayout_->setSpacing(6);
    stripLayout_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    strip_->setWidget(stripContent_);
    stripContent_->setAutoFillBackground(false);  // setWidget() turns it on
    scrollAnimation_->setDuration(120);
    scrollAnimation_->setEasingCurve(QEasingCurve::OutQuad);
    row->addWidget(strip_, 1);
    row->addWidget(accessories_);

    const QString mixTitle = QStringLiteral("Mix");
    const QFont mixFont = Typography::system(12, QFont::DemiBold);
    mixButton_->setFixedSize(
        static_cast<int>(std::ceil(QFontMetricsF(mixFont).horizontalAdvance(mixTitle))) + 20, 36);
    mixButton_->setToolTip(QStringLiteral("Choose mixed skin tones"));
    mixButton_->setPainter([this, mixTitle, mixFont](QPainter& painter, const QRectF& bounds) {
        const bool highlighted = isMixHighlighted();
        PickerStyle::paintTile(painter, bounds, 8,
                               highlighted ? PickerStyle::selectedFill() : PickerStyle::black(0.05),
                               highlighted ? PickerStyle::selectedBorder() : PickerStyle::black(0.1));
        EmojiGlyphCache::draw(painter, bounds, mixTitle, mixFont, DesktopAppearance::primaryText(), {});
    });
    connect(mixButton_, &PickerTileButton::hoverChanged, this, [this](bool hovering) {
        hoveringMix_ = hovering;
        mixButton_->update();
    });
    connect(mixButton_, &PickerTileButton::pointerMoved, this,
            [this] { model_.focusMixButton(Origin::mouseHover); });
    connect(mixButton_, &PickerTileButton::clicked, this, [this] { model_.toggleMixedToneMatrix(); });

    popover_->matrix()->onSelect = [this](int index) { selectFromMatrix(index); };
    popover_->matrix()->onHoverSelect = [this](int index) {
        model_.selectVariant(index, Origin::mouseHover);
    };

    refresh_.watch(model_.results);
    refresh_.watch(model_.selectedIndex);
    refresh_.watch(model_.focusRow);
    refresh_.watch(model_.isMixButtonFocused);
    refresh_.watch(model_.isShowingMixedTonePopover);
    refresh_.keep(model_.selectedVariantIndex.observe([this](const int& index) {
        if (model_.lastVariantSelectionOrigin() == Origin::keyboard) pendingKeyboardScroll_ = index;
        refresh_.schedule();
    }));
    refresh_.keep(model_.isVisible.observe([this](const bool& visible) {
        if (visible) pendingScrollToSelection_ = true;
        refresh_.schedule();
    }));
    refresh();
}

VariantsRowView::~VariantsRowView() {
    qApp->removeEventFilter(this);
}

QWidget* VariantsRowView::popover() const {
    return popover_;
}

MixedToneVariantMatrix* VariantsRowView::matrix() const {
    return popover_->matrix();
}

void VariantsRowView::resetHoverState() {
    hoveringMix_ = false;
    mixButton_->update();
}

bool VariantsRowView::supportsMatrix() const {
    const auto* entry = model_.activeEntry();
    return entry && entry->variants && entry->variants->supportsMixedToneMatrix();
}

bool VariantsRowView::isQuickVariantSelected(int optionIndex) const {
    return model_.focusRow() == FocusRow::variants && !model_.isMixButtonFocused() &&
           !model_.isShowingMixedTonePopover() && model_.selectedVariantIndex() == optionIndex;
}

bool VariantsRowView::isMixHighlighted() const {
    const auto& options = model_.activeOptions();
    const int selected = model_.selectedVariantIndex();
    const bool mixSelected =
        model_.isMixButtonFocused() || (selected >= 0 && selected < static_cast<int>(options.size()) &&
                                        options[static_cast<std::size_t>(selected)].isMixed());
    return mixSelected || model_.isShowingMixedTonePopover() || hoveringMix_;
}

double VariantsRowView::stripOpacity() const {
    return mixButton_->opacity();
}

bool VariantsRowView::keepOpen(Qt::KeyboardModifiers modifiers) const {
    return (modifiers & Qt::ShiftModifier) && prefs_.keepOpenOnShiftEnter();
}

void VariantsRowView::rebuildButtons() {
    for (auto& [index, button] : quickButtons_) delete button;
    quickButtons_.clear();
    stripLayout_->removeWidget(mixButton_);
    const QFont font = Typography::emoji(28);
    for (std::size_t i = 0; i < shownOptions_.size(); ++i) {
        const auto& option = shownOptions_[i];
        if (option.isMixed()) continue;
        const int index = static_cast<int>(i);
        auto* button = new PickerTileButton(stripContent_);
        button->setFixedSize(40, 36);
        button->setToolTip(QString::fromStdString(option.displayName()));
        const QString text = QString::fromStdString(option.emoji);
        button->setPainter([this, index, text, font](QPainter& painter, const QRectF& bounds) {
            const bool selected = isQuickVariantSelected(index);
            PickerStyle::paintTile(painter, bounds, 8,
                                   selected ? PickerStyle::selectedFill() : QColor(Qt::transparent),
                                   selected ? PickerStyle::selectedBorder() : PickerStyle::black(0.1));
            EmojiGlyphCache::draw(painter, bounds, text, font, DesktopAppearance::primaryText(), {0.5});
        });
        connect(button, &PickerTileButton::pointerMoved, this,
                [this, index] { model_.selectVariant(index, Origin::mouseHover); });
        connect(button, &PickerTileButton::clicked, this,
                [this, index](Qt::KeyboardModifiers modifiers) { clickQuickVariant(index, modifiers); });
        stripLayout_->addWidget(button);
        button->show();
        quickButtons_.emplace_back(index, button);
    }
    stripLayout_->addWidget(mixButton_);
}

void VariantsRowView::refresh() {
    // While the scope chips stand in its place the row only keeps its popover closed; it catches up
    // when it is shown again, so typing through results without tones builds no variant buttons.
    if (parentWidget() && !isVisibleTo(parentWidget())) {
        behind_ = true;
        syncPopover();
        return;
    }
    behind_ = false;
    const auto* entry = model_.activeEntry();
    const auto& options = model_.activeOptions();
    const std::optional<std::string> entryID = entry ? std::optional(entry->id) : std::nullopt;
    if (entryID != shownEntryID_ || options != shownOptions_) {
        shownEntryID_ = entryID;
        shownOptions_ = options;
        rebuildButtons();
    }
    mixButton_->setVisible(supportsMatrix());
    const double opacity = model_.focusRow() == FocusRow::variants ? 1.0 : 0.7;
    for (auto& [index, button] : quickButtons_) {
        button->setOpacity(opacity);
        button->update();
    }
    mixButton_->setOpacity(opacity);
    mixButton_->update();
    layoutStrip();

    if (std::exchange(pendingScrollToSelection_, false)) {
        pendingKeyboardScroll_.reset();
        scrollToCurrentSelection();
    }
    if (auto index = std::exchange(pendingKeyboardScroll_, std::nullopt)) centreOnVariant(*index);
    syncPopover();
}

void VariantsRowView::layoutStrip() {
    const QSize hint = stripLayout_->sizeHint();
    stripContent_->resize(std::max(hint.width(), strip_->viewport()->width()), 36);
    stripLayout_->activate();
}

void VariantsRowView::syncPopover() {
    const bool wanted =
        model_.isShowingMixedTonePopover() && model_.isVisible() && isVisible() && supportsMatrix();
    if (wanted) {
        auto* matrix = popover_->matrix();
        const auto& variants = *model_.activeEntry()->variants;
        if (matrix->variants() != variants) matrix->setVariants(variants);
        matrix->setSelectedIndex(model_.selectedVariantIndex());
        popover_->placeAt(QRect(mixButton_->mapToGlobal(QPoint(0, 0)), mixButton_->size()));
        if (!popover_->isVisible()) {
            popover_->show();
            qApp->installEventFilter(this);
        }
    } else if (popover_->isVisible()) {
        popover_->hide();
        qApp->removeEventFilter(this);
    }
}

void VariantsRowView::clickQuickVariant(int index, Qt::KeyboardModifiers modifiers) {
    const bool keep = keepOpen(modifiers);
    model_.selectVariant(index, Origin::mouseClick);
    model_.uiActionSubject.send(PickerViewModel::UIAction::InsertVariant{index, keep});
}

void VariantsRowView::selectFromMatrix(int index) {
    const bool keep = keepOpen(matrixClickModifiers_);
    model_.closeMixedToneMatrix();
    model_.selectVariant(index, Origin::mouseClick);
    model_.uiActionSubject.send(PickerViewModel::UIAction::InsertVariant{index, keep});
}

void VariantsRowView::scrollToCurrentSelection() {
    if (quickButtons_.empty()) return;
    auto target = quickButtons_.front().second;
    for (auto& [index, button] : quickButtons_) {
        if (index == model_.selectedVariantIndex()) {
            target = button;
            break;
        }
    }
    scrollAnimation_->stop();
    strip_->horizontalScrollBar()->setValue(target->geometry().left());
}

void VariantsRowView::centreOnVariant(int index) {
    const auto it = std::find_if(quickButtons_.begin(), quickButtons_.end(),
                                 [index](const auto& pair) { return pair.first == index; });
    // A mixed option has no button of its own and scrolls nowhere.
    if (it == quickButtons_.end()) return;
    QScrollBar* bar = strip_->horizontalScrollBar();
    const int target = std::clamp(it->second->geometry().center().x() - strip_->viewport()->width() / 2,
                                  bar->minimum(), bar->maximum());
    scrollAnimation_->stop();
    scrollAnimation_->setStartValue(bar->value());
    scrollAnimation_->setEndValue(target);
    scrollAnimation_->start();
}

void VariantsRowView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Back in place of the chips: its buttons are right before the row is first drawn again.
    if (behind_) refresh();
    refresh_.schedule();
}

void VariantsRowView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (popover_->isVisible()) {
        popover_->hide();
        qApp->removeEventFilter(this);
    }
}

bool VariantsRowView::eventFilter(QObject* watched, QEvent* event) {
    // A press anywhere outside the open popover closes it, as a transient popover does; the mix
    // button toggles it itself.
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        const bool inside = widget->window() == popover_ || widget == mixButton_;
        if (!inside && model_.isShowingMixedTonePopover()) model_.closeMixedToneMatrix();
    }
    // The matrix reports a click by index only; the modifiers held at that moment come from here.
    if (event->type() == QEvent::MouseButtonRelease && watched == popover_->matrix()) {
        matrixClickModifiers_ = static_cast<QMouseEvent*>(event)->modifiers();
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace mosaiko
