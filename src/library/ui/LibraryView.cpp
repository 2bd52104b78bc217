#include "library/ui/LibraryView.hpp"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStackedLayout>
#include <QTabBar>
#include <QVBoxLayout>

#include "content/CollectionsStore.hpp"
#include "content/CustomContentStore.hpp"
#include "content/PreferencesStore.hpp"
#include "library/ui/LibraryEntryGrid.hpp"
#include "library/ui/LibraryHeaderLabel.hpp"
#include "library/ui/LibraryInspectorView.hpp"
#include "library/ui/LibraryPalette.hpp"
#include "library/ui/LibraryPinsPane.hpp"
#include "library/ui/LibraryShortcodeRowsPane.hpp"
#include "library/ui/SnippetEditView.hpp"
#include "picker/ui/DeferredRefresh.hpp"
#include "picker/ui/PickerStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

using Filter = LibraryViewModel::ContentFilter;
using Section = LibraryViewModel::BrowseSection;

QString tabTitle(Filter filter) {
    switch (filter) {
        case Filter::all:
            return QStringLiteral("All");
        case Filter::emoji:
            return QStringLiteral("Emoji");
        case Filter::pins:
            return QStringLiteral("Pins");
        case Filter::shortcodes:
            return QStringLiteral("Shortcodes");
        case Filter::emoticons:
            return QStringLiteral("Emoticons");
        case Filter::glyphs:
            return QStringLiteral("Glyphs");
    }
    return {};
}

QLabel* plainLabel(const QFont& font, bool secondary, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    if (secondary) LibraryPalette::setSecondary(*label);
    return label;
}

QFrame* divider(Qt::Orientation orientation, QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(orientation == Qt::Horizontal ? QFrame::HLine : QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    DesktopAppearance::keepColours(
        *line, [](QPalette& palette) { palette.setColor(QPalette::WindowText, PickerStyle::black(0.12)); });
    return line;
}

constexpr int kSectionRole = Qt::UserRole + 1;
constexpr int kSymbolRole = Qt::UserRole + 2;

// A sidebar row's colours in the current look: a heading in the secondary style, a section's
// symbol in the accent (made lighter or darker where the list's background would swallow it),
// and on the selected row's accent fill in the selected text's colour.
void colourSidebarItem(QListWidgetItem& item, const QPalette& palette) {
    const QString symbol = item.data(kSymbolRole).toString();
    if (symbol.isEmpty()) {
        item.setForeground(palette.color(QPalette::PlaceholderText));
        return;
    }
    const QColor accent =
        DesktopAppearance::readableOn(palette.color(QPalette::Highlight), palette.color(QPalette::Base));
    QIcon icon(SymbolImage::pixmap(symbol, accent, 16, 2.0));
    icon.addPixmap(SymbolImage::pixmap(symbol, palette.color(QPalette::HighlightedText), 16, 2.0),
                   QIcon::Selected);
    item.setIcon(icon);
}

}  // namespace

// The gear that opens the settings window.
class LibraryView::SettingsButton final : public QAbstractButton {
  public:
    explicit SettingsButton(QWidget* parent) : QAbstractButton(parent) {
        setFixedSize(30, 30);
        setToolTip(QStringLiteral("Open settings."));
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::ArrowCursor);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        PickerStyle::paintTile(painter, QRectF(rect()), 9, PickerStyle::black(0.06), Qt::transparent);
        PickerStyle::paintSymbol(painter, QStringLiteral("gearshape.fill"),
                                 DesktopAppearance::secondaryText(), 13, QRectF(rect()), true);
    }
};

LibraryView::LibraryView(LibraryViewModel& model, CustomContentStore& custom, QWidget* parent)
    : QWidget(parent), model_(model), prefs_(model.prefs()), custom_(custom) {
    setMinimumSize(1160, 720);
    setAutoFillBackground(true);
    LibraryPalette::follow(*this);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(buildHeader());
    root->addWidget(divider(Qt::Horizontal, this));

    auto* columns = new QHBoxLayout;
    columns->setSpacing(0);
    sidebarColumn_ = new QWidget(this);
    auto* sidebarLayout = new QHBoxLayout(sidebarColumn_);
    sidebarLayout->setContentsMargins(0, 0, 0, 0);
    sidebarLayout->setSpacing(0);
    sidebar_ = new QListWidget(sidebarColumn_);
    sidebar_->setFixedWidth(220);
    sidebar_->setFrameShape(QFrame::NoFrame);
    sidebar_->setIconSize(QSize(16, 16));
    sidebar_->setFocusPolicy(Qt::NoFocus);
    sidebar_->setContentsMargins(8, 8, 8, 8);
    sidebar_->setSpacing(1);
    sidebarLayout->addWidget(sidebar_);
    sidebarLayout->addWidget(divider(Qt::Vertical, sidebarColumn_));
    columns->addWidget(sidebarColumn_);

    auto* centre = new QWidget(this);
    centre->setMinimumWidth(560);
    central_ = new QStackedLayout(centre);
    grid_ = new LibraryEntryGrid(model_, prefs_, centre);
    rows_ = new LibraryShortcodeRowsPane(model_, prefs_, custom_, centre);
    pins_ = new LibraryPinsPane(model_, prefs_, centre);
    empty_ = buildEmptyState();
    for (QWidget* pane :
         {static_cast<QWidget*>(grid_), static_cast<QWidget*>(rows_), static_cast<QWidget*>(pins_), empty_})
        central_->addWidget(pane);
    columns->addWidget(centre, 1);

    inspectorColumn_ = new QWidget(this);
    auto* inspectorLayout = new QHBoxLayout(inspectorColumn_);
    inspectorLayout->setContentsMargins(0, 0, 0, 0);
    inspectorLayout->setSpacing(0);
    inspectorLayout->addWidget(divider(Qt::Vertical, inspectorColumn_));
    auto* inspectorBox = new QWidget(inspectorColumn_);
    auto* inspectorPadding = new QVBoxLayout(inspectorBox);
    inspectorPadding->setContentsMargins(18, 18, 18, 18);
    inspector_ = new LibraryInspectorView(model_, prefs_, inspectorBox);
    inspectorPadding->addWidget(inspector_);
    inspectorBox->setFixedWidth(290);
    inspectorLayout->addWidget(inspectorBox);
    columns->addWidget(inspectorColumn_);
    root->addLayout(columns, 1);

    connect(search_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.setSearchQuery(text.toStdString()); });
    connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(model_.availableContentFilters().size()))
            model_.setContentFilter(model_.availableContentFilters()[static_cast<std::size_t>(index)]);
    });
    connect(sidebar_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (!item) return;
        const QVariant index = item->data(kSectionRole);
        if (!index.isValid()) return;
        model_.setBrowseSection(shownSections_[static_cast<std::size_t>(index.toInt())]);
    });
    connect(static_cast<QAbstractButton*>(settings_), &QAbstractButton::clicked, this, [this] {
        if (onOpenSettings) onOpenSettings();
    });
    rows_->onEditSnippet = [this](const CustomSnippet& snippet) { editSnippet(snippet); };

    refresh_ = std::make_unique<DeferredRefresh>(this, [this] { refresh(); });
    refresh_->watch(model_.browseSection);
    refresh_->watch(model_.searchQuery);
    refresh_->watch(model_.contentFilter);
    refresh_->watch(model_.selectedEntryID);
    refresh_->watch(model_.selectedVariantIndex);
    refresh_->watch(model_.visibleEntries);
    refresh_->watch(model_.insertionTargetName);
    refresh_->watch(prefs_.defaultSkinTone);
    refresh_->watch(prefs_.rememberedEmojiVariantsByEntryID);
    refresh_->watch(prefs_.showPinsFirstInSearchResults);
    refresh_->watch(prefs_.pinSortingAffectsGlobalSearchResults);
    refresh_->watch(model_.collections().pinnedIDs);
    refresh_->watch(model_.collections().pinAliasesByID);
    refresh_->watch(custom_.snippets);
    refresh();
}

LibraryView::~LibraryView() = default;

void LibraryView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The sidebar's rows hold their colours: they take the window's new look with it.
    if (event->type() != QEvent::PaletteChange || !sidebar_) return;
    for (int row = 0; row < sidebar_->count(); ++row) colourSidebarItem(*sidebar_->item(row), palette());
}

QWidget* LibraryView::buildHeader() {
    auto* header = new QWidget(this);
    auto* column = new QVBoxLayout(header);
    column->setContentsMargins(18, 16, 18, 16);
    column->setSpacing(12);

    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    title_ = new LibraryHeaderLabel(Typography::system(22, QFont::Bold), header);
    summary_ = new LibraryHeaderLabel(Typography::system(12), header);
    LibraryPalette::setSecondary(*summary_);
    titles->addWidget(title_);
    titles->addWidget(summary_);
    top->addLayout(titles, 1);
    auto* tools = new QHBoxLayout;
    tools->setSpacing(8);
    search_ = new QLineEdit(header);
    search_->setPlaceholderText(QStringLiteral("Search names, shortcodes, keywords"));
    search_->setFixedWidth(320);
    search_->setClearButtonEnabled(false);
    settings_ = new SettingsButton(header);
    tools->addWidget(search_);
    tools->addWidget(settings_);
    top->addLayout(tools);
    top->setAlignment(tools, Qt::AlignTop);
    column->addLayout(top);

    tabs_ = new QTabBar(header);
    tabs_->setAccessibleName(QStringLiteral("Content Filter"));
    tabs_->setExpanding(true);
    tabs_->setDrawBase(false);
    tabs_->setFocusPolicy(Qt::NoFocus);
    for (Filter filter : model_.availableContentFilters()) tabs_->addTab(tabTitle(filter));
    column->addWidget(tabs_);
    return header;
}

QWidget* LibraryView::buildEmptyState() {
    auto* empty = new QWidget(this);
    auto* column = new QVBoxLayout(empty);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(12);
    auto* title = plainLabel(Typography::system(22, QFont::Bold), false, empty);
    title->setText(QStringLiteral("No Matches"));
    auto* hint = plainLabel(Typography::system(13), true, empty);
    hint->setText(QStringLiteral(
        "Try a broader search, switch the content filter, or pick a different browser section."));
    hint->setWordWrap(true);
    column->addWidget(title);
    column->addWidget(hint);
    column->addStretch(1);
    return empty;
}

QWidget* LibraryView::centralPane() const {
    return central_->currentWidget();
}

bool LibraryView::showsSidebar() const {
    return !sidebarColumn_->isHidden();
}

bool LibraryView::showsInspector() const {
    return !inspectorColumn_->isHidden();
}

QWidget* LibraryView::paneForModel() const {
    const Filter filter = model_.contentFilter();
    if (filter == Filter::pins) return pins_;
    if (model_.visibleEntries().empty()) return empty_;
    if (filter == Filter::shortcodes) return rows_;
    return grid_;
}

void LibraryView::refreshNow() {
    refresh();
}

void LibraryView::refresh() {
    title_->setText(QString::fromStdString(model_.mainTitle()));
    summary_->setText(QString::fromStdString(model_.resultsSummary()));
    const QString query = QString::fromStdString(model_.searchQuery());
    if (search_->text() != query) search_->setText(query);
    const auto& filters = model_.availableContentFilters();
    const auto tab = std::find(filters.begin(), filters.end(), model_.contentFilter());
    {
        const QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(static_cast<int>(tab - filters.begin()));
    }
    refreshSidebar();

    const Filter filter = model_.contentFilter();
    grid_->setStyle(filter == Filter::emoticons ? LibraryGridMetrics::Style::wideText
                    : filter == Filter::glyphs  ? LibraryGridMetrics::Style::glyph
                                                : LibraryGridMetrics::Style::compact);
    QWidget* pane = paneForModel();
    if (central_->currentWidget() != pane) {
        central_->setCurrentWidget(pane);
        // Every pane but the grid moves the keys one entry at a time.
        if (pane == empty_) model_.setKeyboardColumnCount(1);
    }
    const std::string listKey =
        LibraryViewModel::rawValue(filter) + "\n" + model_.browseSection().id() + "\n" + model_.searchQuery();
    const bool newList = listKey != shownListKey_;
    shownListKey_ = listKey;
    if (pane == grid_) {
        if (newList) grid_->scrollToTop();
        grid_->refresh();
    } else if (pane == rows_) {
        if (newList) rows_->scrollToTop();
        rows_->refresh();
    } else if (pane == pins_) {
        pins_->refresh();
    }
    inspectorColumn_->setVisible(filter != Filter::pins);
    if (showsInspector()) inspector_->refresh();
    // The columns take the sizes of their new texts now, so that the window is drawn once, at
    // those sizes, rather than drawn and then laid out and drawn again.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

void LibraryView::refreshSidebar() {
    const auto sections = model_.sidebarSections();
    sidebarColumn_->setVisible(!sections.empty());
    const QSignalBlocker block(sidebar_);
    if (sections != shownSections_) {
        shownSections_ = sections;
        sidebar_->clear();
        auto heading = [this](const QString& text) {
            auto* item = new QListWidgetItem(text, sidebar_);
            item->setFlags(Qt::NoItemFlags);
            item->setFont(Typography::system(11, QFont::DemiBold));
            colourSidebarItem(*item, palette());
        };
        const Filter filter = model_.contentFilter();
        for (std::size_t i = 0; i < sections.size(); ++i) {
            const Section& section = sections[i];
            if (i == 0) {
                heading(filter == Filter::all     ? QStringLiteral("Browse")
                        : filter == Filter::emoji ? QStringLiteral("Emoji")
                                                  : QStringLiteral("Glyphs"));
            } else if (i == 1 && filter != Filter::all) {
                heading(filter == Filter::emoji ? QStringLiteral("Emoji Categories")
                                                : QStringLiteral("Glyph Categories"));
            }
            QString title, symbol;
            switch (section.kind) {
                case Section::Kind::emojiCategory:
                    title = QString::fromStdString(section.name);
                    symbol = QStringLiteral("face.smiling");
                    break;
                case Section::Kind::glyphCategory:
                    title = QString::fromStdString(section.name);
                    symbol = QStringLiteral("character.textbox");
                    break;
                case Section::Kind::all:
                    title = QStringLiteral("All");
                    symbol = QStringLiteral("square.grid.2x2");
                    break;
                case Section::Kind::recent:
                    title = QStringLiteral("Recent");
                    symbol = QStringLiteral("clock");
                    break;
            }
            auto* item = new QListWidgetItem(title, sidebar_);
            item->setData(kSectionRole, static_cast<int>(i));
            item->setData(kSymbolRole, symbol);
            colourSidebarItem(*item, palette());
        }
    }
    QListWidgetItem* current = nullptr;
    for (int row = 0; row < sidebar_->count() && !current; ++row) {
        QListWidgetItem* item = sidebar_->item(row);
        const QVariant index = item->data(kSectionRole);
        if (index.isValid() &&
            shownSections_[static_cast<std::size_t>(index.toInt())] == model_.browseSection())
            current = item;
    }
    // Choosing the same row again would redraw the list.
    if (sidebar_->currentItem() != current) sidebar_->setCurrentItem(current);
}

void LibraryView::editSnippet(const CustomSnippet& snippet) {
    if (editSheet_) editSheet_->close();
    editSheet_ = SnippetEditView::present(
        snippet, [this](const CustomSnippet& saved) { custom_.updateSnippet(saved); }, window());
}

}  // namespace mosaiko
