#include "library/ui/LibraryEntryGrid.hpp"

#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <utility>

#include "content/EmojiDatabase.hpp"
#include "content/PreferencesStore.hpp"
#include "library/LibraryViewModel.hpp"
#include "library/ui/LibraryEntryTiles.hpp"
#include "platform/qt/BandedPainter.hpp"
#include "platform/qt/BandedScrollBarStyle.hpp"
#include "platform/qt/DesktopAppearance.hpp"

namespace mosaiko {

LibraryEntryGrid::LibraryEntryGrid(LibraryViewModel& model, PreferencesStore& prefs, QWidget* parent)
    : QAbstractScrollArea(parent),
      model_(model),
      prefs_(prefs),
      scrollAnimation_(new QPropertyAnimation(verticalScrollBar(), "value", this)) {
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The search field keeps the keyboard while tiles are clicked.
    setFocusPolicy(Qt::NoFocus);
    viewport()->setFocusPolicy(Qt::NoFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    // The grid fills its own background: the window and the view under it are not drawn first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    scrollAnimation_->setDuration(120);
    scrollAnimation_->setEasingCurve(QEasingCurve::OutCubic);
    verticalScrollBar()->setSingleStep(20);
    BandedScrollBarStyle::apply(*verticalScrollBar());
    metrics_ = LibraryGridMetrics::forWidth(width(), style_);
    // The origin is read when the selection is assigned: a rebuild before the next redraw must not
    // cancel the scroll the arrow key asked for.
    selectionWatch_ = model_.selectedEntryID.observe([this](const std::optional<std::string>& id) {
        if (id && model_.lastSelectionOrigin() == LibraryViewModel::SelectionOrigin::keyboard)
            scrollPending_ = true;
    });
    listWatch_ = model_.visibleEntries.observe([this](const auto&) { prefetchedTexts_ = {}; });
}

void LibraryEntryGrid::setStyle(LibraryGridMetrics::Style style) {
    if (style == style_) return;
    style_ = style;
    updateLayout();
}

QString LibraryEntryGrid::displayText(const EmojiEntry& entry) const {
    // The two invisible glyphs are shown by name.
    if (entry.id == "glyph-zero-width-space") return QStringLiteral("ZWSP");
    if (entry.id == "glyph-non-breaking-space") return QStringLiteral("NBSP");
    return QString::fromStdString(prefs_.preferredEmojiText(entry));
}

int LibraryEntryGrid::rowCount() const {
    const int count = static_cast<int>(model_.visibleEntries().size());
    return (count + metrics_.columns - 1) / metrics_.columns;
}

void LibraryEntryGrid::updateLayout() {
    // Sized from the whole pane, as if the scroll bar lay over it: the bar takes its room from the
    // grid's padding and the rest a row leaves, which always exceed it.
    metrics_ = LibraryGridMetrics::forWidth(width(), style_);
    const int rows = rowCount();
    const double content =
        2 * metrics_.padding + rows * metrics_.rowHeight() + std::max(0, rows - 1) * metrics_.rowSpacing;
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0,
                                  std::max(0, static_cast<int>(std::ceil(content)) - viewport()->height()));
    if (isVisible()) model_.setKeyboardColumnCount(std::max(metrics_.keyboardColumnCount(), 1));
    viewport()->update();
}

void LibraryEntryGrid::refresh() {
    updateLayout();
    if (std::exchange(scrollPending_, false)) scrollToSelection();
    // A new list's texts are drawn while the rest of the window is brought up to date.
    prefetchTexts();
    if (hoveredID_ && !model_.visibleEntries().indexOf(*hoveredID_)) hoveredID_.reset();
}

void LibraryEntryGrid::scrollToTop() {
    scrollAnimation_->stop();
    verticalScrollBar()->setValue(0);
}

void LibraryEntryGrid::scrollToSelection() {
    const auto& id = model_.selectedEntryID();
    const auto index = id ? model_.visibleEntries().indexOf(*id) : std::nullopt;
    if (!index) return;
    const QRect cell = cellRect(static_cast<int>(*index));
    const int centre = cell.center().y() + verticalScrollBar()->value();
    const int target = std::clamp(centre - viewport()->height() / 2, verticalScrollBar()->minimum(),
                                  verticalScrollBar()->maximum());
    scrollAnimation_->stop();
    scrollAnimation_->setStartValue(verticalScrollBar()->value());
    scrollAnimation_->setEndValue(target);
    scrollAnimation_->start();
}

QRect LibraryEntryGrid::cellRect(int index) const {
    const int row = index / metrics_.columns;
    const int column = index % metrics_.columns;
    const double gridWidth =
        metrics_.columns * metrics_.columnWidth + (metrics_.columns - 1) * metrics_.columnSpacing;
    const double left = std::max(0.0, (viewport()->width() - gridWidth) / 2);
    const double x = left + column * (metrics_.columnWidth + metrics_.columnSpacing);
    const double y =
        metrics_.padding + row * (metrics_.rowHeight() + metrics_.rowSpacing) - verticalScrollBar()->value();
    return QRectF(x, y, metrics_.columnWidth, metrics_.rowHeight()).toRect();
}

std::optional<int> LibraryEntryGrid::indexAt(const QPoint& position) const {
    const int count = static_cast<int>(model_.visibleEntries().size());
    if (count == 0) return std::nullopt;
    const double pitch = metrics_.rowHeight() + metrics_.rowSpacing;
    const int row = static_cast<int>(
        std::floor((position.y() + verticalScrollBar()->value() - metrics_.padding) / pitch));
    if (row < 0) return std::nullopt;
    for (int column = 0; column < metrics_.columns; ++column) {
        const int index = row * metrics_.columns + column;
        if (index >= count) break;
        if (cellRect(index).contains(position)) return index;
    }
    return std::nullopt;
}

template <class Use>
auto LibraryEntryGrid::withTile(int index, bool hovered, Use&& use, const QString* text) const {
    return withTile(model_.visibleEntries()[static_cast<std::size_t>(index)], hovered, std::forward<Use>(use),
                    text);
}

template <class Use>
auto LibraryEntryGrid::withTile(const EmojiEntry& e, bool hovered, Use&& use, const QString* text) const {
    const QString shown = text ? *text : displayText(e);
    const auto& selected = model_.selectedEntryID();
    const bool isSelected = selected && *selected == e.id;
    const QColor& background = viewport()->palette().color(QPalette::Window);
    switch (style_) {
        case LibraryGridMetrics::Style::compact:
            break;
        case LibraryGridMetrics::Style::wideText:
            return use(LibraryWideTextTile{shown, model_.isPinned(e), isSelected, hovered, background});
        case LibraryGridMetrics::Style::glyph:
            return use(LibraryGlyphTile{shown, model_.isPinned(e), *metrics_.tileSide, isSelected, hovered,
                                        background});
    }
    return use(LibraryCompactEntryTile{shown, model_.isPinned(e), LibraryViewModel::isTextEntry(e),
                                       e.variants && e.variants->supportsSkinTones(), *metrics_.tileSide,
                                       isSelected, hovered, background});
}

void LibraryEntryGrid::paintEntry(QPainter& painter, int index, bool hovered,
                                  const EmojiGlyphCache::Request& text, const EmojiGlyphCache::Image& image,
                                  bool overRestingLook) const {
    const QRectF cell = cellRect(index);
    // The request holds the entry's text already: looking it up again for every tile cost more than
    // drawing its image.
    withTile(
        index, hovered, [&](const auto& tile) { tile.paint(painter, cell, text, &image, overRestingLook); },
        &text.text);
}

std::pair<int, int> LibraryEntryGrid::entriesMeeting(const QRect& area, int reach) const {
    const double pitch = metrics_.rowHeight() + metrics_.rowSpacing;
    const double offset = verticalScrollBar()->value() - metrics_.padding;
    const int firstRow = std::max(0, static_cast<int>(std::floor((offset + area.top() - reach) / pitch)));
    const int lastRow = static_cast<int>(std::floor((offset + area.bottom() + reach) / pitch));
    const int count = static_cast<int>(model_.visibleEntries().size());
    return {std::min(count, firstRow * metrics_.columns), std::min(count, (lastRow + 1) * metrics_.columns)};
}

std::optional<int> LibraryEntryGrid::hoveredIndexNear(const QRect& area) const {
    // A hovered tile's enlargement and shadow reach this far past its cell.
    constexpr int kReach = 14;
    if (!hoveredID_) return std::nullopt;
    const auto& visible = model_.visibleEntries();
    const auto [first, end] = entriesMeeting(area, kReach);
    for (int index = first; index < end; ++index) {
        if (visible[static_cast<std::size_t>(index)].id == *hoveredID_) return index;
    }
    return std::nullopt;
}

LibraryEntryGrid::ScreenTexts LibraryEntryGrid::textsOf(int first, int end) const {
    ScreenTexts texts;
    texts.first = first;
    const auto count = static_cast<std::size_t>(std::max(0, end - first));
    texts.requests.reserve(count);
    texts.states.reserve(count);
    if (first >= end) return texts;
    const LibraryTileTextContext shared;
    for (int index = first; index < end; ++index) {
        withTile(index, false, [&](const auto& tile) {
            texts.requests.push_back(tile.textRequest(metrics_.columnWidth, &shared));
            texts.states.push_back({tile.isSelected, tile.isPinned, tile.showsBadge()});
        });
    }
    return texts;
}

void LibraryEntryGrid::prefetchTexts() {
    prefetchedTexts_ = {};
    if (!isVisible() && !testAttribute(Qt::WA_WState_Visible)) return;
    const auto [first, end] = entriesMeeting(viewport()->rect(), 0);
    prefetchedTexts_ = textsOf(first, end);
    prefetchedTexts_.images =
        EmojiGlyphCache::prefetch(prefetchedTexts_.requests, viewport()->devicePixelRatioF());
}

LibraryEntryGrid::ScreenTexts LibraryEntryGrid::textsToDraw(int first, int end) {
    // Used once, by the drawing that follows the refresh: what changes the texts later (a tone
    // chosen, another tab) comes with a refresh of its own.
    ScreenTexts texts = std::exchange(prefetchedTexts_, {});
    const int to = texts.first + static_cast<int>(texts.requests.size());
    if (texts.requests.empty() || first < texts.first || end > to) return textsOf(first, end);
    texts.keep(static_cast<std::size_t>(first - texts.first), static_cast<std::size_t>(end - first));
    texts.first = first;
    return texts;
}

void LibraryEntryGrid::ScreenTexts::keep(std::size_t from, std::size_t count) {
    const auto cut = [&](auto& list) {
        if (list.size() < from + count) return;
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(from + count), list.end());
        list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(from));
    };
    cut(requests);
    cut(states);
    cut(images);
}

void LibraryEntryGrid::ScreenTexts::append(ScreenTexts other) {
    std::move(other.requests.begin(), other.requests.end(), std::back_inserter(requests));
    states.insert(states.end(), other.states.begin(), other.states.end());
}

LibraryEntryGrid::RestingLook LibraryEntryGrid::restingLook(double scale) const {
    return withTile(EmojiEntry{}, false, [&](const auto& tile) {
        return RestingLook{tile.kTextInset, tile.marks(scale),
                           [tile](const QRectF& cell) { return tile.tileIn(cell); }};
    });
}

const QImage* LibraryEntryGrid::rowImage(const QPainter& painter) {
    const QColor& background = viewport()->palette().color(QPalette::Window);
    const QTransform& toDevice = painter.deviceTransform();
    const double scale = toDevice.m11();
    // Copies land on whole pixels only at a whole scale, with no turn or shear.
    if (toDevice.type() > QTransform::TxScale || scale != toDevice.m22() || scale != std::floor(scale) ||
        background.alpha() != 255)
        return nullptr;
    const QRect first = cellRect(0);
    const int pitch = static_cast<int>(metrics_.rowHeight() + metrics_.rowSpacing);
    RowImageKey key{viewport()->width(),      first.left(),      pitch,
                    metrics_.columns,         first.width(),     first.height(),
                    static_cast<int>(style_), background.rgba(), scale};
    if (key == rowImageKey_ && !rowImage_.isNull()) return &rowImage_;
    rowImageKey_ = key;
    // An image, not a pixmap: the drawing threads copy it.
    rowImage_ = QImage((QSizeF(viewport()->width(), pitch) * scale).toSize(), QImage::Format_RGB32);
    rowImage_.setDevicePixelRatio(scale);
    rowImage_.fill(background);
    QPainter row(&rowImage_);
    row.setRenderHint(QPainter::Antialiasing);
    // The tile of an entry with no text, neither pinned nor selected: the resting look alone.
    withTile(EmojiEntry{}, false, [&](const auto& tile) {
        for (int column = 0; column < metrics_.columns; ++column) {
            const QRect cell = cellRect(column);
            tile.paint(row, QRectF(cell.left(), 0, cell.width(), cell.height()));
        }
    });
    return &rowImage_;
}

std::vector<LibraryEntryGrid::RowBand> LibraryEntryGrid::rowBands(const QRect& area, int first,
                                                                  int end) const {
    std::vector<RowBand> bands;
    const int columns = metrics_.columns;
    const int lastRow = (end - 1) / columns;
    for (int row = first / columns; row <= lastRow; ++row) {
        RowBand band;
        band.first = row * columns;
        band.end = std::min(end, band.first + columns);
        band.top = cellRect(band.first).top();
        // A row left short shows the background past its last tile.
        band.right = band.end - band.first == columns ? viewport()->width() : cellRect(band.end).left();
        // Down to the next row, or to the area's end; the first from the area's top.
        const int bottom = row == lastRow ? area.bottom() + 1 : cellRect(band.first + columns).top();
        const int top = bands.empty() ? area.top() : band.top;
        band.area = QRect(area.left(), top, area.width(), bottom - top) & area;
        bands.push_back(band);
    }
    return bands;
}

void LibraryEntryGrid::paintRow(QPainter& painter, const QImage& image, const RowBand& band,
                                const QColor& background) {
    const double scale = image.devicePixelRatio();
    const int pitch = static_cast<int>(std::lround(image.height() / scale));
    const int width = static_cast<int>(std::lround(image.width() / scale));
    const auto fill = [&](const QRect& rect) {
        if (const QRect part = rect & band.area; !part.isEmpty()) painter.fillRect(part, background);
    };
    fill(QRect(band.area.left(), band.area.top(), band.area.width(), band.top - band.area.top()));
    painter.drawImage(QRectF(0, band.top, band.right, pitch), image,
                      QRectF(0, 0, band.right * scale, pitch * scale));
    fill(QRect(band.right, band.top, width - band.right, pitch));
    fill(QRect(band.area.left(), band.top + pitch, band.area.width(),
               band.area.bottom() + 1 - (band.top + pitch)));
}

void LibraryEntryGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect area = event->rect();
    const QColor background = viewport()->palette().color(QPalette::Window);
    const auto [first, end] = entriesMeeting(area, 0);
    // A hovered tile is drawn last, so its enlargement and shadow lie over its neighbours; it may
    // lie in a row just outside the area.
    const std::optional<int> hoveredIndex = hoveredIndexNear(area);
    ScreenTexts texts = textsToDraw(first, end);
    const bool hoveredOutside = hoveredIndex && (*hoveredIndex < first || *hoveredIndex >= end);
    if (hoveredOutside) texts.append(textsOf(*hoveredIndex, *hoveredIndex + 1));
    // After a search most texts are new: they are drawn together, on several threads, first.
    EmojiGlyphCache::complete(texts.requests, texts.images, viewport()->devicePixelRatioF());
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const auto textOf = [&](int index) { return static_cast<std::size_t>(index - first); };
    if (const QImage* rows = first < end ? rowImage(painter) : nullptr) {
        // The rows' resting look, and on it the texts of the tiles that show nothing else, are
        // images only: drawn a row at a time, on several threads where the painter allows.
        const std::vector<RowBand> bands = rowBands(area, first, end);
        const RestingLook look = restingLook(painter.deviceTransform().m11());
        std::vector<QRectF> tiles(texts.requests.size());
        for (int index = first; index < end; ++index) tiles[textOf(index)] = look.tileIn(cellRect(index));
        const auto resting = [&](int index) {
            return !texts.states[textOf(index)].selected && index != hoveredIndex;
        };
        const auto paintBand = [&](QPainter& bandPainter, std::size_t i) {
            const RowBand& band = bands[i];
            paintRow(bandPainter, *rows, band, background);
            for (int index = band.first; index < band.end; ++index) {
                if (!resting(index)) continue;
                const std::size_t t = textOf(index);
                const auto& request = texts.requests[t];
                const auto& state = texts.states[t];
                const QRectF box(tiles[t].topLeft() + look.textInset, request.box);
                EmojiGlyphCache::draw(bandPainter, box, texts.images[t], request.fitting);
                if (state.pinned || state.badged)
                    look.marks.paint(bandPainter, tiles[t], state.pinned, state.badged);
            }
        };
        if (const auto banded = BandedPainter::over(painter, area)) {
            std::vector<QRect> areas;
            for (const RowBand& band : bands) areas.push_back(band.area);
            banded->paint(areas, paintBand);
        } else {
            for (std::size_t i = 0; i < bands.size(); ++i) paintBand(painter, i);
        }
        // The hovered tile is drawn enlarged, over its neighbours, on the background.
        if (hoveredIndex) painter.fillRect(cellRect(*hoveredIndex) & area, background);
        for (int index = first; index < end; ++index) {
            const std::size_t t = textOf(index);
            if (texts.states[t].selected && index != hoveredIndex)
                paintEntry(painter, index, false, texts.requests[t], texts.images[t], true);
        }
    } else {
        // Where copies would not land on whole pixels: each tile drawn whole.
        painter.fillRect(area, background);
        for (int index = first; index < end; ++index) {
            const std::size_t t = textOf(index);
            if (index != hoveredIndex)
                paintEntry(painter, index, false, texts.requests[t], texts.images[t], false);
        }
    }
    if (!fontsWarm_) {
        // Once the window has been drawn, while the user looks at it: the first search's tiles
        // then find their fonts loaded.
        fontsWarm_ = true;
        QTimer::singleShot(kWarmUpDelayMs, this, [this] { warmUpFonts(); });
    }
    if (hoveredIndex) {
        const std::size_t t = hoveredOutside ? texts.requests.size() - 1 : textOf(*hoveredIndex);
        paintEntry(painter, *hoveredIndex, true, texts.requests[t], texts.images[t], false);
    }
}

void LibraryEntryGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateLayout();
}

void LibraryEntryGrid::warmUpFonts() {
    warmLibraryTileFonts();
    // The fonts that stand in for the characters text tiles show and their font lacks, at the
    // sizes the tiles shrink to: the thread that asks for a screen of new texts draws those texts
    // itself, in the fonts it has loaded, and loading one font at one size took milliseconds in
    // the middle of a search. Laying them all out takes tens of milliseconds: a few at a time,
    // between other events.
    warmUpTexts_.clear();
    for (const EmojiEntry& e : model_.db().emojis()) {
        if (!LibraryViewModel::isTextEntry(e)) continue;
        withTile(e, false,
                 [&](const auto& tile) { warmUpTexts_.push_back(tile.textRequest(metrics_.columnWidth)); });
    }
    std::reverse(warmUpTexts_.begin(), warmUpTexts_.end());  // taken from the back, in list order
    warmUpNextTexts();
    // The emoji tiles no run has drawn yet (the first runs after installing), drawn ahead for
    // later searches.
    std::vector<EmojiGlyphCache::Request> emoji;
    const LibraryTileTextContext shared;
    for (const EmojiEntry& e : model_.db().emojis()) {
        if (LibraryViewModel::isTextEntry(e)) continue;
        withTile(e, false,
                 [&](const auto& tile) { emoji.push_back(tile.textRequest(metrics_.columnWidth, &shared)); });
    }
    EmojiGlyphCache::drawAhead(std::move(emoji), viewport()->devicePixelRatioF());
}

void LibraryEntryGrid::warmUpNextTexts() {
    constexpr qint64 kTurnMs = 4;
    if (warmUpTexts_.empty() || !isVisible()) return;
    QElapsedTimer turn;
    turn.start();
    while (!warmUpTexts_.empty() && turn.elapsed() < kTurnMs) {
        const EmojiGlyphCache::Request& request = warmUpTexts_.back();
        EmojiGlyphCache::fit(request.text, request.font, request.box, request.fitting);
        warmUpTexts_.pop_back();
    }
    if (!warmUpTexts_.empty()) QTimer::singleShot(0, this, [this] { warmUpNextTexts(); });
}

void LibraryEntryGrid::hideEvent(QHideEvent* event) {
    QAbstractScrollArea::hideEvent(event);
    // A closed window's fonts and row image are let go.
    fontsWarm_ = false;
    rowImage_ = QImage();
    warmUpTexts_.clear();
    EmojiGlyphCache::stopDrawingAhead();
}

void LibraryEntryGrid::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    updateLayout();
    // The texts of the first screen are drawn while the window is being mapped.
    prefetchTexts();
}

void LibraryEntryGrid::setHovered(std::optional<std::string> id) {
    if (id == hoveredID_) return;
    hoveredID_ = std::move(id);
    viewport()->update();
}

void LibraryEntryGrid::mouseMoveEvent(QMouseEvent* event) {
    const auto index = indexAt(event->position().toPoint());
    setHovered(index ? std::optional(model_.visibleEntries()[static_cast<std::size_t>(*index)].id)
                     : std::nullopt);
}

void LibraryEntryGrid::leaveEvent(QEvent* event) {
    QAbstractScrollArea::leaveEvent(event);
    setHovered(std::nullopt);
}

void LibraryEntryGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    const auto index = indexAt(event->position().toPoint());
    if (!index) return;
    model_.selectEntry(model_.visibleEntries()[static_cast<std::size_t>(*index)].id,
                       LibraryViewModel::SelectionOrigin::mouse);
}

void LibraryEntryGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const auto index = indexAt(event->position().toPoint());
    if (!index) return;
    // A copy: the request may rebuild the list.
    const EmojiEntry entry = model_.visibleEntries()[static_cast<std::size_t>(*index)];
    model_.requestInsert(entry, true);
}

void LibraryEntryGrid::contextMenuEvent(QContextMenuEvent* event) {
    const auto index = indexAt(event->pos());
    if (!index) return;
    const EmojiEntry entry = model_.visibleEntries()[static_cast<std::size_t>(*index)];
    QMenu menu(this);
    QAction* action =
        menu.addAction(model_.isPinned(entry) ? QStringLiteral("Unpin") : QStringLiteral("Pin"));
    if (menu.exec(event->globalPos()) != action) return;
    // The entry acted on is always the one right-clicked.
    model_.selectEntry(entry.id, LibraryViewModel::SelectionOrigin::mouse);
    model_.togglePinnedSelection();
}

}  // namespace mosaiko
