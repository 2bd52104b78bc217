#include "picker/ui/PickerView.hpp"

#include <QBackingStore>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <string_view>

#include "content/CollectionsStore.hpp"
#include "content/PreferencesStore.hpp"
#include "picker/ui/CollectionsRowView.hpp"
#include "picker/ui/MainRowView.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "picker/ui/VariantsRowView.hpp"
#include "platform/Text.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/EmojiGlyphCache.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

// The line under the results: the trigger and query as typed in the other application, and what
// the selected result is. Pressing anywhere on it and dragging moves the panel (the panel itself
// does the moving; this row lets the press through).
class SearchRow : public QWidget {
  public:
    explicit SearchRow(QWidget* parent) : QWidget(parent) {
        setCursor(Qt::OpenHandCursor);
        takeFonts();
    }

    void setTexts(QString trigger, QString query, QString details) {
        if (trigger == trigger_ && query == query_ && details == details_) return;
        trigger_ = std::move(trigger);
        query_ = std::move(query);
        details_ = std::move(details);
        // The details read left to right, as the panel does: the name first, then its category. A
        // name in a right-to-left script would otherwise turn the whole line around and put the
        // category first; the mark ahead of it keeps the line's direction (it takes no room).
        detailsLine_ = QChar(0x200E) + details_;
        update();
    }
    QString text() const { return trigger_ + query_ + QStringLiteral("  ") + details_; }

  protected:
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::FontChange) takeFonts();
        QWidget::changeEvent(event);
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        PickerStyle::paintTile(painter, rect(), 10, PickerStyle::black(0.05), Qt::transparent);

        constexpr double spacing = 8;
        const QRectF area = QRectF(rect()).adjusted(6, 4, -6, -4);
        // The trigger and most details come back keystroke after keystroke, and a query after a
        // deletion: each is measured once, and the trigger and details are drawn from images.
        const double triggerWidth = EmojiGlyphCache::width(trigger_, triggerFont_);
        const double queryWidth = EmojiGlyphCache::width(query_, queryFont_);
        const double detailsWidth = EmojiGlyphCache::width(detailsLine_, detailsFont_);

        // The query keeps what it needs first; the details take the rest and are cut at the end.
        double x = area.left();
        const QColor secondary = DesktopAppearance::secondaryText();
        EmojiGlyphCache::draw(painter, QRectF(x, area.top(), triggerWidth + 1, area.height()), trigger_,
                              triggerFont_, secondary, {1.0, false, Qt::AlignLeft});
        if (!trigger_.isEmpty()) x += triggerWidth + spacing;

        const double detailsRoom =
            std::max(0.0, area.right() - x - spacing - std::min(queryWidth, area.width() / 2));
        const double detailsShown = std::min(detailsWidth, detailsRoom);
        const double queryRoom =
            std::max(0.0, area.right() - x - (detailsShown > 0 ? detailsShown + spacing : 0));
        drawQuery(painter, QRectF(x, area.top(), queryRoom, area.height()), queryWidth);

        EmojiGlyphCache::draw(
            painter, QRectF(area.right() - detailsShown - 1, area.top(), detailsShown + 1, area.height()),
            detailsLine_, detailsFont_, secondary, {1.0, true, Qt::AlignRight});
    }

  private:
    void takeFonts() {
        triggerFont_ = Typography::monospaced(13, QFont::DemiBold);
        queryFont_ = Typography::monospaced(13);
        detailsFont_ = Typography::system(11);
        const QFontMetricsF queryMetrics(queryFont_);
        queryAscent_ = queryMetrics.ascent();
        queryHeight_ = queryMetrics.ascent() + queryMetrics.descent();
        const double line = std::max(queryMetrics.height(), QFontMetricsF(detailsFont_).height());
        setFixedHeight(static_cast<int>(std::ceil(line)) + 8);
    }

    // Changes with every key, so it is drawn directly, on a baseline centred in `box` as a
    // vertically centred line would be.
    void drawQuery(QPainter& painter, const QRectF& box, double width) const {
        if (query_.isEmpty() || box.width() <= 0) return;
        painter.save();
        painter.setFont(queryFont_);
        painter.setPen(DesktopAppearance::primaryText());
        painter.setClipRect(box, Qt::IntersectClip);
        const QString shown = width <= box.width()
                                  ? query_
                                  : QFontMetricsF(queryFont_).elidedText(query_, Qt::ElideRight, box.width());
        painter.drawText(QPointF(box.left(), box.top() + (box.height() - queryHeight_) / 2 + queryAscent_),
                         shown);
        painter.restore();
    }

    QString trigger_;
    QString query_;
    QString details_;
    QString detailsLine_;
    QFont triggerFont_;
    QFont queryFont_;
    QFont detailsFont_;
    double queryAscent_ = 0;
    double queryHeight_ = 0;
};

}  // namespace

PickerView::PickerView(PickerViewModel& model, PreferencesStore& prefs, CollectionsStore& collections,
                       const std::function<void()>& openSettings, QWidget* parent)
    : QWidget(parent),
      model_(model),
      prefs_(prefs),
      topRow_(new QStackedLayout),
      collectionsRow_(new CollectionsRowView(model, collections, openSettings)),
      variantsRow_(new VariantsRowView(model, prefs, openSettings)),
      mainRow_(new MainRowView(model, prefs, collections)),
      searchRow_(new SearchRow(this)),
      refresh_(this, [this] { refresh(); }) {
    setFixedSize(width, height);
    setAttribute(Qt::WA_TranslucentBackground);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 6, 8, 6);
    column->setSpacing(6);
    auto* topRow = new QWidget;
    topRow->setFixedHeight(38);
    topRow->setLayout(topRow_);
    topRow_->setContentsMargins(0, 0, 0, 0);
    // Both rows keep their place in the layout and one of them is hidden: switching through the
    // stacked layout would turn updates off and on again for the whole row, and the first result
    // changes between an emoji with tones and one without keystroke after keystroke.
    topRow_->setStackingMode(QStackedLayout::StackAll);
    topRow_->addWidget(collectionsRow_);
    topRow_->addWidget(variantsRow_);
    showTopRow(!model_.activeOptions().empty());
    column->addWidget(topRow);
    column->addWidget(mainRow_, 1);
    column->addWidget(searchRow_);

    refresh_.watch(model_.results);
    refresh_.watch(model_.selectedIndex);
    refresh_.watch(model_.query);
    refresh_.watch(prefs_.inlineTrigger);
    refresh();
}

PickerView::~PickerView() = default;

std::string PickerView::searchDetails(const EmojiEntry* entry) {
    if (!entry) return "No matches";
    const std::string category = text::trimmed(entry->category);
    if (category.empty()) return entry->name;
    return entry->name + " \u00B7 " + category;
}

namespace {

bool isAsciiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The category test for the common case of a plain ASCII category, without building new strings:
// it runs for every tile laid out or painted. Other categories (where trimming or lowercasing
// needs Unicode's rules) are left to the general test.
std::optional<bool> asciiTextCategory(std::string_view category) {
    if (!text::isAscii(category)) return std::nullopt;
    while (!category.empty() && isAsciiSpace(category.front())) category.remove_prefix(1);
    while (!category.empty() && isAsciiSpace(category.back())) category.remove_suffix(1);
    const auto is = [category](std::string_view lower, bool prefix) {
        if (prefix ? category.size() < lower.size() : category.size() != lower.size()) return false;
        for (std::size_t i = 0; i < lower.size(); ++i) {
            const char c = category[i];
            if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != lower[i]) return false;
        }
        return true;
    };
    return is("emoticons", false) || is("snippets", false) || is("glyphs", false) || is("pack:", true);
}

}  // namespace

bool PickerView::isTextBasedEntry(const EmojiEntry& entry) {
    if (entry.id.starts_with("glyph-")) return true;
    if (const auto ascii = asciiTextCategory(entry.category)) return *ascii;
    const std::string category = text::lowercased(text::trimmed(entry.category));
    return category == "emoticons" || category == "snippets" || category == "glyphs" ||
           category.starts_with("pack:");
}

bool PickerView::showsVariantsRow() const {
    return !variantsRow_->isHidden();
}

void PickerView::showTopRow(bool variants) {
    if (variants) variantsRow_->resetHoverState();
    QWidget* shown = variants ? static_cast<QWidget*>(variantsRow_) : collectionsRow_;
    QWidget* hidden = variants ? static_cast<QWidget*>(collectionsRow_) : variantsRow_;
    hidden->hide();
    shown->show();
}

QString PickerView::searchLineText() const {
    return static_cast<SearchRow*>(searchRow_)->text();
}

void PickerView::refresh() {
    const bool variants = !model_.activeOptions().empty();
    if (variants != showsVariantsRow()) showTopRow(variants);
    static_cast<SearchRow*>(searchRow_)
        ->setTexts(QString::fromStdString(prefs_.inlineTrigger()), QString::fromStdString(model_.query()),
                   QString::fromStdString(searchDetails(model_.activeEntry())));
}

void PickerView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Under every row that changes the panel's background is drawn again. Where it is drawn into
    // the window's own pixels it need not be blended: a translucent window's area was just cleared,
    // so a copy equals the blend at a fraction of its cost; an opaque window (no compositing) shows
    // nothing through, and blending there would only leave faint traces of what was drawn before.
    // Drawn anywhere else (a grab, a render) it is blended as usual.
    double opacity = 0.96;
    QBackingStore* store = window()->backingStore();
    const QPaintDevice* target = painter.paintEngine()->paintDevice();
    if (store && target == store->paintDevice() && target->devType() == QInternal::Image) {
        if (!static_cast<const QImage*>(target)->hasAlphaChannel()) {
            opacity = 1.0;
        } else if (PickerStyle::landsOnWholePixels(painter, rect())) {
            // Only a tile copied whole from its image: one drawn in parts would lose its fill under
            // the border.
            painter.setCompositionMode(QPainter::CompositionMode_Source);
        }
    }
    PickerStyle::paintTile(painter, rect(), PickerStyle::panelCornerRadius,
                           DesktopAppearance::withOpacity(DesktopAppearance::windowBackground(), opacity),
                           PickerStyle::black(0.12));
}

}  // namespace mosaiko
