#include "library/ui/LibraryVariantStripView.hpp"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <set>

#include "library/LibraryViewModel.hpp"
#include "library/ui/LibraryText.hpp"
#include "picker/ui/MixedTonePopover.hpp"
#include "picker/ui/MixedToneVariantMatrix.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

constexpr int kCellWidth = 50;
constexpr int kCellHeight = 38;
constexpr int kSpacing = 6;
constexpr int kTitleHeight = 16;
constexpr int kTitleSpacing = 8;

bool shownInGrid(const EmojiEntry::Variants::Option& option) {
    return std::set<SkinTone>(option.tones.begin(), option.tones.end()).size() < 2;
}

int columnsFor(int width) {
    return std::max(1, (width + kSpacing) / (kCellWidth + kSpacing));
}

}  // namespace

// One cell of the strip: a variant's emoji, or "Mix".
class LibraryVariantStripView::Cell final : public QWidget {
  public:
    enum class Look { normal, hovered, selected };

    Cell(QString text, bool isMix, QWidget* parent) : QWidget(parent), text_(std::move(text)), isMix_(isMix) {
        setFixedSize(kCellWidth, kCellHeight);
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_Hover);
    }

    void setLook(Look look) {
        if (look == look_) return;
        look_ = look;
        update();
    }
    Look look() const { return look_; }

    std::function<void()> onClick;
    std::function<void(bool)> onHover;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QColor fill = look_ == Look::selected  ? PickerStyle::accent(0.22)
                            : look_ == Look::hovered ? PickerStyle::accent(0.12)
                                                     : PickerStyle::black(0.05);
        const QColor border = look_ == Look::selected  ? PickerStyle::accent(0.6)
                              : look_ == Look::hovered ? PickerStyle::accent(0.3)
                                                       : PickerStyle::black(0.08);
        PickerStyle::paintTile(painter, QRectF(rect()), 10, fill, border);
        const QFont font =
            isMix_ ? Typography::system(12, QFont::DemiBold) : Typography::emojiOrSystem(text_, 26);
        LibraryText::draw(painter, QRectF(rect()), text_, font, DesktopAppearance::primaryText(),
                          {1, 0.5, Qt::AlignCenter});
    }
    void enterEvent(QEnterEvent*) override {
        if (onHover) onHover(true);
    }
    void leaveEvent(QEvent*) override {
        if (onHover) onHover(false);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick)
            onClick();
    }

  private:
    QString text_;
    bool isMix_;
    Look look_ = Look::normal;
};

LibraryVariantStripView::LibraryVariantStripView(LibraryViewModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      title_(new QLabel(QStringLiteral("Variants"), this)),
      popover_(new MixedTonePopover(this)) {
    title_->setTextFormat(Qt::PlainText);
    title_->setFont(Typography::system(12, QFont::DemiBold));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    popover_->matrix()->onSelect = [this](int index) {
        setShowingPopover(false);
        model_.selectVariant(index, true);
    };
    popover_->matrix()->onHoverSelect = [this](int index) { model_.previewVariant(index); };
    refresh();
}

LibraryVariantStripView::~LibraryVariantStripView() {
    qApp->removeEventFilter(this);
}

QWidget* LibraryVariantStripView::cellForOption(int optionIndex) const {
    const auto found = std::find(shownIndices_.begin(), shownIndices_.end(), optionIndex);
    return found == shownIndices_.end() ? nullptr
                                        : cells_[static_cast<std::size_t>(found - shownIndices_.begin())];
}

QWidget* LibraryVariantStripView::mixButton() const {
    return mix_;
}

void LibraryVariantStripView::refresh() {
    const auto entry = model_.selectedEntry();
    const std::optional<std::string> id = entry ? std::optional(entry->id) : std::nullopt;
    if (id != shownEntryID_ || cells_.empty()) {
        shownEntryID_ = id;
        rebuild();
    }
    updateLooks();
}

void LibraryVariantStripView::rebuild() {
    setShowingPopover(false);
    for (Cell* cell : cells_) delete cell;
    cells_.clear();
    delete mix_;
    mix_ = nullptr;
    shownIndices_.clear();
    hovered_.reset();
    hoveringMix_ = false;

    const auto entry = model_.selectedEntry();
    if (!entry || !entry->variants) return updateGeometry();
    const auto& options = entry->variants->options();
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (!shownInGrid(options[i])) continue;
        const int index = static_cast<int>(i);
        auto* cell = new Cell(QString::fromStdString(options[i].emoji), false, this);
        cell->setToolTip(QString::fromStdString(options[i].displayName()));
        cell->onClick = [this, index] { model_.selectVariant(index, true); };
        cell->onHover = [this, index](bool inside) {
            if (inside) {
                setHovered(index);
                model_.previewVariant(index);
            } else if (hovered_ == index) {
                setHovered(std::nullopt);
            }
        };
        cell->show();
        cells_.push_back(cell);
        shownIndices_.push_back(index);
    }
    if (entry->variants->supportsMixedToneMatrix()) {
        mix_ = new Cell(QStringLiteral("Mix"), true, this);
        mix_->setToolTip(QStringLiteral("Choose mixed skin tones"));
        mix_->onClick = [this] { setShowingPopover(!showingPopover_); };
        mix_->onHover = [this](bool inside) {
            hoveringMix_ = inside;
            updateLooks();
        };
        mix_->show();
        popover_->matrix()->setVariants(*entry->variants);
    }
    placeCells();
    updateGeometry();
}

bool LibraryVariantStripView::isMixHighlighted() const {
    if (!mix_) return false;
    const auto entry = model_.selectedEntry();
    bool mixedSelected = false;
    if (entry && entry->variants) {
        const auto& options = entry->variants->options();
        const int index = model_.selectedVariantIndex();
        mixedSelected = index >= 0 && index < static_cast<int>(options.size()) &&
                        !shownInGrid(options[static_cast<std::size_t>(index)]);
    }
    return mixedSelected || showingPopover_ || hoveringMix_;
}

void LibraryVariantStripView::updateLooks() {
    const int selected = model_.selectedVariantIndex();
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const int index = shownIndices_[i];
        cells_[i]->setLook(index == selected   ? Cell::Look::selected
                           : hovered_ == index ? Cell::Look::hovered
                                               : Cell::Look::normal);
    }
    if (mix_) mix_->setLook(isMixHighlighted() ? Cell::Look::selected : Cell::Look::normal);
    popover_->matrix()->setSelectedIndex(selected);
}

void LibraryVariantStripView::setHovered(std::optional<int> index) {
    hovered_ = index;
    updateLooks();
}

void LibraryVariantStripView::setShowingPopover(bool showing) {
    showingPopover_ = showing && mix_ && isVisible();
    if (showingPopover_) {
        popover_->matrix()->setSelectedIndex(model_.selectedVariantIndex());
        popover_->placeAt(QRect(mix_->mapToGlobal(QPoint(0, 0)), mix_->size()),
                          MixedTonePopover::Side::above);
        popover_->show();
        popover_->raise();
        qApp->installEventFilter(this);
    } else {
        popover_->hide();
        qApp->removeEventFilter(this);
    }
    if (mix_) updateLooks();
}

bool LibraryVariantStripView::eventFilter(QObject* watched, QEvent* event) {
    // A click anywhere but the popover and the mix button closes the popover.
    if (event->type() == QEvent::MouseButtonPress && showingPopover_) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() != popover_ && widget != mix_) setShowingPopover(false);
    }
    return false;
}

void LibraryVariantStripView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    setShowingPopover(false);
}

void LibraryVariantStripView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeCells();
}

void LibraryVariantStripView::placeCells() {
    title_->setGeometry(0, 0, width(), kTitleHeight);
    const int columns = columnsFor(width());
    int position = 0;
    auto place = [&](QWidget* cell) {
        const int row = position / columns, column = position % columns;
        cell->move(column * (kCellWidth + kSpacing),
                   kTitleHeight + kTitleSpacing + row * (kCellHeight + kSpacing));
        ++position;
    };
    for (Cell* cell : cells_) place(cell);
    if (mix_) place(mix_);
}

int LibraryVariantStripView::heightForWidth(int width) const {
    const int count = static_cast<int>(cells_.size()) + (mix_ ? 1 : 0);
    const int rows = (count + columnsFor(width) - 1) / columnsFor(width);
    return kTitleHeight + kTitleSpacing + rows * kCellHeight + std::max(0, rows - 1) * kSpacing;
}

QSize LibraryVariantStripView::sizeHint() const {
    return {254, heightForWidth(width() > 0 ? width() : 254)};
}

QSize LibraryVariantStripView::minimumSizeHint() const {
    return {kCellWidth, heightForWidth(width() > 0 ? width() : 254)};
}

}  // namespace mosaiko
