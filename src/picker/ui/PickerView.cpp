#include "picker/ui/PickerView.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "content/CollectionsStore.hpp"
#include "content/PreferencesStore.hpp"
#include "picker/ui/CollectionsRowView.hpp"
#include "picker/ui/EmojiGlyphCache.hpp"
#include "picker/ui/MainRowView.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "picker/ui/VariantsRowView.hpp"
#include "platform/Text.hpp"
#include "platform/qt/DesktopAppearance.hpp"
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
        const double line = std::max(QFontMetricsF(Typography::monospaced(13)).height(),
                                     QFontMetricsF(Typography::system(11)).height());
        setFixedHeight(static_cast<int>(std::ceil(line)) + 8);
    }

    void setTexts(QString trigger, QString query, QString details) {
        trigger_ = std::move(trigger);
        query_ = std::move(query);
        details_ = std::move(details);
        update();
    }
    QString text() const { return trigger_ + query_ + QStringLiteral("  ") + details_; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        PickerStyle::paintTile(painter, rect(), 10, PickerStyle::black(0.05), Qt::transparent);

        constexpr double spacing = 8;
        const QRectF area = QRectF(rect()).adjusted(6, 4, -6, -4);
        const QFont triggerFont = Typography::monospaced(13, QFont::DemiBold);
        const QFont queryFont = Typography::monospaced(13);
        const QFont detailsFont = Typography::system(11);
        // The trigger and most details come back keystroke after keystroke: measured once.
        const double triggerWidth = EmojiGlyphCache::width(trigger_, triggerFont);
        const double queryWidth = QFontMetricsF(queryFont).horizontalAdvance(query_);
        const double detailsWidth = EmojiGlyphCache::width(details_, detailsFont);

        // The query keeps what it needs first; the details take the rest and are cut at the end.
        double x = area.left();
        const QColor secondary = DesktopAppearance::secondaryText();
        painter.setFont(triggerFont);
        painter.setPen(secondary);
        painter.drawText(QRectF(x, area.top(), triggerWidth + 1, area.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, trigger_);
        if (!trigger_.isEmpty()) x += triggerWidth + spacing;

        const double detailsRoom =
            std::max(0.0, area.right() - x - spacing - std::min(queryWidth, area.width() / 2));
        const double detailsShown = std::min(detailsWidth, detailsRoom);
        const double queryRoom =
            std::max(0.0, area.right() - x - (detailsShown > 0 ? detailsShown + spacing : 0));
        painter.setFont(queryFont);
        painter.setPen(DesktopAppearance::primaryText());
        painter.drawText(QRectF(x, area.top(), queryRoom, area.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         queryWidth <= queryRoom
                             ? query_
                             : QFontMetricsF(queryFont).elidedText(query_, Qt::ElideRight, queryRoom));

        painter.setFont(detailsFont);
        painter.setPen(secondary);
        const QString shown =
            detailsWidth <= detailsShown
                ? details_
                : QFontMetricsF(detailsFont).elidedText(details_, Qt::ElideRight, detailsShown + 0.5);
        painter.drawText(QRectF(area.right() - detailsShown - 1, area.top(), detailsShown + 1, area.height()),
                         Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }

  private:
    QString trigger_;
    QString query_;
    QString details_;
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
    topRow_->addWidget(collectionsRow_);
    topRow_->addWidget(variantsRow_);
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

bool PickerView::isTextBasedEntry(const EmojiEntry& entry) {
    const std::string category = text::lowercased(text::trimmed(entry.category));
    if (category == "emoticons" || category == "snippets" || category == "glyphs") return true;
    if (category.starts_with("pack:")) return true;
    return entry.id.starts_with("glyph-");
}

bool PickerView::showsVariantsRow() const {
    return topRow_->currentWidget() == variantsRow_;
}

QString PickerView::searchLineText() const {
    return static_cast<SearchRow*>(searchRow_)->text();
}

void PickerView::refresh() {
    const bool variants = !model_.activeOptions().empty();
    if (variants != showsVariantsRow()) {
        if (variants) variantsRow_->resetHoverState();
        topRow_->setCurrentWidget(variants ? static_cast<QWidget*>(variantsRow_) : collectionsRow_);
    }
    static_cast<SearchRow*>(searchRow_)
        ->setTexts(QString::fromStdString(prefs_.inlineTrigger()), QString::fromStdString(model_.query()),
                   QString::fromStdString(searchDetails(model_.activeEntry())));
}

void PickerView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PickerStyle::paintTile(painter, rect(), PickerStyle::panelCornerRadius,
                           DesktopAppearance::withOpacity(DesktopAppearance::windowBackground(), 0.96),
                           PickerStyle::black(0.12));
}

}  // namespace mosaiko
