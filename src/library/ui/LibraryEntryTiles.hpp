#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <optional>

#include "platform/qt/EmojiGlyphCache.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

// The three looks of an entry in the library's grids. A tile is a plain value drawn into the cell
// the grid gives it; it holds no state and handles no input (the grid does). Each shows one text,
// a pin badge, and a normal, hovered or selected look: selection decides the colours, the pointer
// alone the slight enlargement and the shadow. Its text is drawn through the glyph image cache;
// textRequest() tells, for a cell `width` wide, what it will ask of it, so that a grid can have
// the texts of a whole screen drawn at once before it paints, and hand each tile its request.
//
// A tile given the solid colour it lies on draws its resting look as one opaque copy, the colour
// under its rounded corners included: opaqueArea() tells where. A tile with no text, not pinned,
// draws that look alone.

// What the text requests of a screen of tiles share, looked up once for all of them.
struct LibraryTileTextContext {
    LibraryTileTextContext();
    QColor colour;
    EmojiOrSystemFonts compactFonts;  // the emoji and system fonts of compact tiles
};

// The marks a tile draws over its text: the pin of a pinned entry and the "▾" badge of emoji with
// variants. Images, drawn on whole pixels: a grid draws them with the tiles' texts, on any thread,
// as the tile does.
struct LibraryTileMarks {
    QImage pin;
    QPointF pinInset;    // from the tile's top left corner
    QImage badge;        // none where the style has none
    QPointF badgeInset;  // of the badge's top left corner, back from the tile's bottom right one

    // A pin of `pinPoints` in from the corner by `pinPadding`, and perhaps the badge, at the
    // device's `scale`, in the current colours and font; kept while they stay.
    static LibraryTileMarks of(double pinPoints, double pinPadding, bool badge, double scale);
    void paint(QPainter& painter, const QRectF& tile, bool pinned, bool badged) const;
};

// Emoji (and, on the all tab, every other kind) in square tiles.
struct LibraryCompactEntryTile {
    static constexpr double kEmojiPoints = 37;
    // Where the text's box lies in the tile; it is textRequest()'s box in size.
    static constexpr QPointF kTextInset{4, 4};

    QString displayText;
    bool isPinned = false;
    bool isTextEntry = false;       // text drawn smaller, on up to three lines; no variants badge
    bool supportsVariants = false;  // the "▾" badge of emoji with skin tones
    double tileSide = 0;
    bool isSelected = false;
    bool isHovered = false;
    std::optional<QColor> background;

    // `shared` saves looking the fonts and colours up again for each of many tiles.
    EmojiGlyphCache::Request textRequest(double width, const LibraryTileTextContext* shared = nullptr) const;
    bool showsBadge() const { return supportsVariants && !isTextEntry; }
    static LibraryTileMarks marks(double scale);
    // The part of `cell` the tile covers.
    QRectF tileIn(const QRectF& cell) const;
    void paint(QPainter& painter, const QRectF& cell) const {
        paint(painter, cell, textRequest(cell.width()), nullptr);
    }
    // The part of `cell` the tile covers with opaque pixels when drawn by `painter`; empty when none.
    QRectF opaqueArea(const QPainter& painter, const QRectF& cell) const;
    // With the text request the grid made for the cell already, and its image when prepared.
    // `overRestingLook`: the cell holds the resting look already (a grid copies it a row at a
    // time); a resting tile adds its text and badges only.
    void paint(QPainter& painter, const QRectF& cell, const EmojiGlyphCache::Request& text,
               const EmojiGlyphCache::Image* image, bool overRestingLook = false) const;
};

// Emoticons, in wide tiles of a fixed height.
struct LibraryWideTextTile {
    static constexpr double kHeight = 58;
    static constexpr QPointF kTextInset{12, 0};

    QString displayText;
    bool isPinned = false;
    bool isSelected = false;
    bool isHovered = false;
    std::optional<QColor> background;

    EmojiGlyphCache::Request textRequest(double width, const LibraryTileTextContext* shared = nullptr) const;
    bool showsBadge() const { return false; }
    static LibraryTileMarks marks(double scale);
    // The part of `cell` the tile covers.
    QRectF tileIn(const QRectF& cell) const;
    void paint(QPainter& painter, const QRectF& cell) const {
        paint(painter, cell, textRequest(cell.width()), nullptr);
    }
    // The part of `cell` the tile covers with opaque pixels when drawn by `painter`; empty when none.
    QRectF opaqueArea(const QPainter& painter, const QRectF& cell) const;
    // With the text request the grid made for the cell already, and its image when prepared.
    // `overRestingLook`: the cell holds the resting look already (a grid copies it a row at a
    // time); a resting tile adds its text and badges only.
    void paint(QPainter& painter, const QRectF& cell, const EmojiGlyphCache::Request& text,
               const EmojiGlyphCache::Image* image, bool overRestingLook = false) const;
};

// Glyphs, in square tiles.
struct LibraryGlyphTile {
    static constexpr QPointF kTextInset{3, 3};

    QString displayText;
    bool isPinned = false;
    double tileSide = 0;
    bool isSelected = false;
    bool isHovered = false;
    std::optional<QColor> background;

    EmojiGlyphCache::Request textRequest(double width, const LibraryTileTextContext* shared = nullptr) const;
    bool showsBadge() const { return false; }
    static LibraryTileMarks marks(double scale);
    // The part of `cell` the tile covers.
    QRectF tileIn(const QRectF& cell) const;
    void paint(QPainter& painter, const QRectF& cell) const {
        paint(painter, cell, textRequest(cell.width()), nullptr);
    }
    // The part of `cell` the tile covers with opaque pixels when drawn by `painter`; empty when none.
    QRectF opaqueArea(const QPainter& painter, const QRectF& cell) const;
    // With the text request the grid made for the cell already, and its image when prepared.
    // `overRestingLook`: the cell holds the resting look already (a grid copies it a row at a
    // time); a resting tile adds its text and badges only.
    void paint(QPainter& painter, const QRectF& cell, const EmojiGlyphCache::Request& text,
               const EmojiGlyphCache::Image* image, bool overRestingLook = false) const;
};

// Loads the fonts the tiles draw with: the first drawing that needs one would look it up (the
// program lets the fonts go whenever a window closes).
void warmLibraryTileFonts();

}  // namespace mosaiko
