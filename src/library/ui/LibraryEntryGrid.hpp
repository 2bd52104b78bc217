#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "library/LibraryGridMetrics.hpp"
#include "library/ui/LibraryEntryTiles.hpp"
#include "platform/Published.hpp"
#include "platform/qt/EmojiGlyphCache.hpp"

class QPainter;
class QPropertyAnimation;

namespace mosaiko {

class LibraryViewModel;
class PreferencesStore;
struct EmojiEntry;

// The scrolling grid of the library's visible entries, in one of the three tile styles. Only the
// rows in view are drawn, so the full list scrolls without a widget per entry. A click selects, a
// double click inserts, the context menu pins or unpins, and the arrow keys' selection is scrolled
// to the centre. It reports its column count to the model for the arrow keys.
class LibraryEntryGrid final : public QAbstractScrollArea {
    Q_OBJECT

  public:
    LibraryEntryGrid(LibraryViewModel& model, PreferencesStore& prefs, QWidget* parent = nullptr);

    void setStyle(LibraryGridMetrics::Style style);
    LibraryGridMetrics::Style style() const { return style_; }
    const LibraryGridMetrics& metrics() const { return metrics_; }

    // Call after the model changed: redraws, and follows a keyboard selection.
    void refresh();
    // Back to the top, for a new list (another tab, section or search).
    void scrollToTop();

    // Where the entry at `index` is drawn, in viewport coordinates (it may lie outside the view).
    QRect cellRect(int index) const;
    // The entry under a viewport point; none between tiles.
    std::optional<int> indexAt(const QPoint& position) const;
    const std::optional<std::string>& hoveredEntryID() const { return hoveredID_; }
    // The text a tile shows for an entry.
    QString displayText(const EmojiEntry& entry) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void updateLayout();
    int rowCount() const;
    void setHovered(std::optional<std::string> id);
    void scrollToSelection();
    // Builds the tile of the entry at `index` and hands it to `use`; `text`, when given, is the
    // entry's display text.
    template <class Use>
    auto withTile(int index, bool hovered, Use&& use, const QString* text = nullptr) const;
    template <class Use>
    auto withTile(const EmojiEntry& entry, bool hovered, Use&& use, const QString* text = nullptr) const;
    // Loads the fonts the tiles of the shown style draw with, and those standing in for them.
    void warmUpFonts();
    void warmUpNextTexts();
    // One row of the tiles [first, end) being drawn: its resting look copied from rowImage(), with
    // the background beside it, filling `area` (the row's share of the drawn area, down to the
    // next row). Copying tile by tile, and filling the gaps between them, made thousands of short
    // runs of pixels for a screen.
    struct RowBand {
        int first = 0;
        int end = 0;
        int top = 0;    // of the row's tiles
        int right = 0;  // where its last tile ends (the pane's width for a full row)
        QRect area;
    };
    std::vector<RowBand> rowBands(const QRect& area, int first, int end) const;
    // A row's band: its resting look and background, without its tiles' texts. Images only.
    static void paintRow(QPainter& painter, const QImage& image, const RowBand& band,
                         const QColor& background);
    // One row's resting tiles and the background around them, kept while the geometry and the
    // colours stay; none where `painter` cannot copy it onto whole pixels.
    const QImage* rowImage(const QPainter& painter);
    void paintEntry(QPainter& painter, int index, bool hovered, const EmojiGlyphCache::Request& text,
                    const EmojiGlyphCache::Image& image, bool overRestingLook) const;
    // The entries [first, end) of the rows that come within `reach` of `area` of the viewport.
    std::pair<int, int> entriesMeeting(const QRect& area, int reach) const;
    // The hovered entry, when its tile is drawn into `area`.
    std::optional<int> hoveredIndexNear(const QRect& area) const;
    // The texts of a run of tiles, as their tiles ask them drawn, with what the grid needs to draw
    // a resting tile's text without building the tile.
    struct ScreenTexts {
        int first = 0;  // the entry of the first
        std::vector<EmojiGlyphCache::Request> requests;
        std::vector<EmojiGlyphCache::Image> images;  // a null one where not at hand yet
        struct State {
            bool selected = false;
            bool pinned = false;
            bool badged = false;
        };
        std::vector<State> states;
        // Keeps `count` of them from `from` on.
        void keep(std::size_t from, std::size_t count);
        // Adds those of `other` (without images).
        void append(ScreenTexts other);
    };
    ScreenTexts textsOf(int first, int end) const;
    void prefetchTexts();
    // The texts of [first, end), those prefetched for a new list when they cover them.
    ScreenTexts textsToDraw(int first, int end);
    // What a resting tile of the shown style draws besides its text, where it draws them, and
    // the marks' images at `scale`.
    struct RestingLook {
        QPointF textInset;
        LibraryTileMarks marks;
        std::function<QRectF(const QRectF&)> tileIn;
    };
    RestingLook restingLook(double scale) const;

    LibraryViewModel& model_;
    PreferencesStore& prefs_;
    LibraryGridMetrics::Style style_ = LibraryGridMetrics::Style::compact;
    LibraryGridMetrics metrics_;
    std::optional<std::string> hoveredID_;
    bool scrollPending_ = false;
    // Whether the tiles' fonts have been loaded since the grid was shown.
    bool fontsWarm_ = false;
    static constexpr int kWarmUpDelayMs = 150;
    // Text tiles still to be laid out once, so that the fonts they need are loaded at their sizes.
    std::vector<EmojiGlyphCache::Request> warmUpTexts_;
    // The texts prefetched for the list the next drawing shows, the entries in view: making a
    // tile's text request takes more than drawing its kept image.
    ScreenTexts prefetchedTexts_;
    struct RowImageKey {
        int width = 0;
        int left = 0;
        int pitch = 0;
        int columns = 0;
        int tileWidth = 0;
        int tileHeight = 0;
        int style = 0;
        QRgb background = 0;
        double scale = 0;
        bool operator==(const RowImageKey&) const = default;
    };
    RowImageKey rowImageKey_;
    QImage rowImage_;
    Cancellable selectionWatch_;
    Cancellable listWatch_;
    QPropertyAnimation* scrollAnimation_;
};

}  // namespace mosaiko
