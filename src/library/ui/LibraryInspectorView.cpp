#include "library/ui/LibraryInspectorView.hpp"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <cmath>
#include <utility>

#include "content/PreferencesStore.hpp"
#include "library/LibraryViewModel.hpp"
#include "library/ui/LibraryPalette.hpp"
#include "library/ui/LibraryText.hpp"
#include "library/ui/LibraryTextLabel.hpp"
#include "library/ui/LibraryVariantStripView.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "platform/Text.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

QLabel* label(const QFont& font, bool secondary, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setTextFormat(Qt::PlainText);
    l->setFont(font);
    l->setWordWrap(true);
    // Left whatever the writing direction of the text, like the rest of the column.
    l->setAlignment(Qt::AlignLeft | Qt::AlignAbsolute | Qt::AlignTop);
    if (secondary) LibraryPalette::setSecondary(*l);
    return l;
}

// A titled block whose value the user can select and copy; long values wrap.
QLabel* detailBlock(const QString& title, QVBoxLayout* layout, QWidget* parent) {
    auto* block = new QVBoxLayout;
    block->setSpacing(4);
    auto* heading = label(Typography::system(11, QFont::DemiBold), true, parent);
    heading->setText(title);
    auto* value = label(Typography::system(12), false, parent);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    block->addWidget(heading);
    block->addWidget(value);
    layout->addLayout(block);
    return value;
}

// A label given its text again is laid out and drawn again: the inspector is refreshed after
// every letter typed, mostly for the same entry.
void setText(QLabel& label, const QString& text) {
    if (label.text() != text) label.setText(text);
}

}  // namespace

// The selected entry's text, large, on a rounded card. The card grows with a text that takes more
// than the least height, up to the lines it may fill.
class LibraryInspectorView::PreviewCard final : public QWidget {
  public:
    explicit PreviewCard(QWidget* parent) : QWidget(parent) {
        QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    void display(QString text, bool isTextEntry, bool onGlyphsTab) {
        if (text == text_ && isTextEntry == isTextEntry_ && onGlyphsTab == onGlyphsTab_) return;
        text_ = std::move(text);
        isTextEntry_ = isTextEntry;
        onGlyphsTab_ = onGlyphsTab;
        updateGeometry();
        update();
    }
    const QString& text() const { return text_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override {
        const auto [font, fitting] = look();
        // A colour emoji is one line of its font, never shrunk: laying it out to measure it would
        // load its bitmap once more.
        const bool emojiLine = !isTextEntry_ && !text_.isEmpty() && width > 2 * kPadding &&
                               (font.styleStrategy() & QFont::NoFontMerging) &&
                               font.family() == Typography::emojiFamily;
        const double content = emojiLine
                                   ? QFontMetricsF(font).height()
                                   : LibraryText::measure(text_, font, width - 2 * kPadding, fitting).height;
        return static_cast<int>(std::ceil(std::max<double>(kMinimumContentHeight, content))) + 2 * kPadding;
    }
    QSize sizeHint() const override { return {254, heightForWidth(254)}; }
    QSize minimumSizeHint() const override { return {0, kMinimumContentHeight + 2 * kPadding}; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        PickerStyle::paintTile(painter, QRectF(rect()), 16, PickerStyle::black(0.05),
                               PickerStyle::black(0.08));
        const QRectF content = QRectF(rect()).adjusted(kPadding, kPadding, -kPadding, -kPadding);
        const auto [font, fitting] = look();
        LibraryText::draw(painter, content, text_, font, DesktopAppearance::primaryText(), fitting);
    }

  private:
    static constexpr int kPadding = 14;
    static constexpr int kMinimumContentHeight = 90;

    std::pair<QFont, LibraryText::Fitting> look() const {
        // An emoji has no line limit and is never shrunk: one line of it always fits.
        if (!isTextEntry_) return {Typography::emojiOrSystem(text_, 64), {1, 1.0, Qt::AlignCenter}};
        if (onGlyphsTab_) return {Typography::system(42), {1, 0.65, Qt::AlignCenter}};
        return {Typography::monospaced(28), {3, 0.65, Qt::AlignCenter}};
    }

    QString text_;
    bool isTextEntry_ = false;
    bool onGlyphsTab_ = false;
};

LibraryInspectorView::LibraryInspectorView(LibraryViewModel& model, PreferencesStore& prefs, QWidget* parent)
    : QWidget(parent), model_(model), prefs_(prefs) {
    pages_ = new QStackedLayout(this);

    selectionPage_ = new QWidget(this);
    auto* column = new QVBoxLayout(selectionPage_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    preview_ = new PreviewCard(selectionPage_);
    column->addWidget(preview_);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(6);
    // A name longer than three lines (a snippet's, which the user chose) is cut with an ellipsis.
    name_ = new LibraryTextLabel(Typography::system(19, QFont::Bold), {3, 1.0, Qt::AlignLeft | Qt::AlignTop},
                                 selectionPage_);
    subtitle_ = label(Typography::system(12), true, selectionPage_);
    titles->addWidget(name_);
    titles->addWidget(subtitle_);
    column->addLayout(titles);
    strip_ = new LibraryVariantStripView(model_, selectionPage_);
    column->addWidget(strip_);
    shortcodes_ = detailBlock(QStringLiteral("Shortcodes"), column, selectionPage_);
    keywords_ = detailBlock(QStringLiteral("Keywords"), column, selectionPage_);
    target_ = detailBlock(QStringLiteral("Target"), column, selectionPage_);

    pin_ = new QPushButton(selectionPage_);
    auto* pinRow = new QHBoxLayout;
    pinRow->addWidget(pin_);
    pinRow->addStretch(1);
    column->addLayout(pinRow);
    auto* actions = new QHBoxLayout;
    actions->setSpacing(10);
    copy_ = new QPushButton(QStringLiteral("Copy"), selectionPage_);
    insert_ = new QPushButton(QStringLiteral("Insert"), selectionPage_);
    LibraryPalette::makeProminent(*insert_);
    actions->addWidget(copy_);
    actions->addWidget(insert_);
    actions->addStretch(1);
    column->addLayout(actions);
    column->addStretch(1);
    // The search field keeps the keyboard while these are clicked; Tab still reaches them.
    for (QPushButton* button : {pin_, copy_, insert_}) {
        button->setFocusPolicy(Qt::TabFocus);
        button->setAutoDefault(false);
    }
    connect(pin_, &QPushButton::clicked, this, [this] { model_.togglePinnedSelection(); });
    connect(copy_, &QPushButton::clicked, this, [this] { model_.copySelection(); });
    connect(insert_, &QPushButton::clicked, this, [this] { model_.insertSelection(); });

    auto* hintPage = new QWidget(this);
    auto* hint = new QVBoxLayout(hintPage);
    hint->setContentsMargins(0, 0, 0, 0);
    hint->setSpacing(10);
    auto* hintTitle = label(Typography::system(18, QFont::Bold), false, hintPage);
    hintTitle->setText(QStringLiteral("Select an Entry"));
    auto* hintText = label(Typography::system(12), true, hintPage);
    hintText->setText(QStringLiteral(
        "Pick something from the browser to inspect it, copy it, or insert it into the last active app."));
    hint->addWidget(hintTitle);
    hint->addWidget(hintText);
    hint->addStretch(1);

    pages_->addWidget(selectionPage_);
    pages_->addWidget(hintPage);
    refresh();
}

bool LibraryInspectorView::showsSelection() const {
    return pages_->currentWidget() == selectionPage_;
}

QWidget* LibraryInspectorView::previewCard() const {
    return preview_;
}

QString LibraryInspectorView::previewText() const {
    return preview_->text();
}

void LibraryInspectorView::refresh() {
    const auto entry = model_.selectedEntry();
    pages_->setCurrentIndex(entry ? 0 : 1);
    if (!entry) {
        strip_->refresh();
        return;
    }
    QString text =
        QString::fromStdString(model_.selectedTextForInsertion().value_or(prefs_.preferredEmojiText(*entry)));
    // The invisible glyphs are previewed by name; copying and inserting still use the glyph itself.
    if (entry->id == "glyph-zero-width-space") text = QStringLiteral("ZWSP");
    if (entry->id == "glyph-non-breaking-space") text = QStringLiteral("NBSP");
    preview_->display(text, LibraryViewModel::isTextEntry(*entry),
                      model_.contentFilter() == LibraryViewModel::ContentFilter::glyphs);
    name_->setText(QString::fromStdString(entry->name));
    setText(*subtitle_, QString::fromStdString(model_.entrySubtitle(*entry)));
    strip_->setVisible(entry->variants && !entry->variants->options().empty());
    strip_->refresh();
    setText(*shortcodes_, QString::fromStdString(LibraryViewModel::shortcodesSummary(*entry)));
    setText(*keywords_, entry->keywords.empty() ? QStringLiteral("No keywords")
                                                : QString::fromStdString(text::join(entry->keywords, ", ")));
    setText(*target_, QString::fromStdString(model_.insertionStatusText()));
    pin_->setText(model_.isPinned(*entry) ? QStringLiteral("Unpin") : QStringLiteral("Pin"));
    insert_->setEnabled(model_.canInsertSelection());
}

}  // namespace mosaiko
