#pragma once

#include <QColor>
#include <QPainter>
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

// Emoji (and, on the all tab, every other kind) in square tiles.
struct LibraryCompactEntryTile {
    static constexpr double kEmojiPoints = 37;

    QString displayText;
    bool isPinned = false;
    bool isTextEntry = false;       // text drawn smaller, on up to three lines; no variants badge
    bool supportsVariants = false;  // the "▾" badge of emoji with skin tones
    double tileSide = 0;
    bool isSelected = false;
    bool isHovered = false;
    std::optional<QColor> background;

    // `fonts`, at kEmojiPoints, saves looking the fonts up again for each of many tiles.
    EmojiGlyphCache::Request textRequest(double width, const EmojiOrSystemFonts* fonts = nullptr) const;
    void paint(QPainter& painter, const QRectF& cell) const {
        paint(painter, cell, textRequest(cell.width()));
    }
    // The part of `cell` the tile covers with opaque pixels when drawn by `painter`; empty when none.
    QRectF opaqueArea(const QPainter& painter, const QRectF& cell) const;
    // With the text request the grid made for the cell already. `overRestingLook`: the cell holds
    // the resting look already (a grid copies it a row at a time); a resting tile adds its text and
    // badges only.
    void paint(QPainter& painter, const QRectF& cell, const EmojiGlyphCache::Request& text,
               bool overRestingLook = false) const;
};

// Emoticons, in wide tiles of a fixed height.
struct LibraryWideTextTile {
    static constexpr double kHeight = 58;

    QString displayText;
    bool isPinned = false;
    bool isSelected = false;
    bool isHovered = false;
    std::optional<QColor> background;

    EmojiGlyphCache::Request textRequest(double width) const;
    void paint(QPainter& painter, const QRectF& cell) const {
        paint(painter, cell, textRequest(cell.width()));
    }
    // The part of `cell` the tile covers with opaque pixels when drawn by `painter`; empty when none.
    QRectF opaqueArea(const QPainter& painter, const QRectF& cell) const;
    // With the text request the grid made for the cell already. `overRestingLook`: the cell holds
    // the resting look already (a grid copies it a row at a time); a resting tile adds its text and
    // badges only.
    void paint(QPainter& painter, const QRectF& cell, const EmojiGlyphCache::Request& text,
               bool overRestingLook = false) const;
};

// Glyphs, in square tiles.
struct LibraryGlyphTile {
    QString displayText;
    bool isPinned = false;
    double tileSide = 0;
    bool isSelected = false;
    bool isHovered = false;
    std::optional<QColor> background;

    EmojiGlyphCache::Request textRequest(double width) const;
    void paint(QPainter& painter, const QRectF& cell) const {
        paint(painter, cell, textRequest(cell.width()));
    }
    // The part of `cell` the tile covers with opaque pixels when drawn by `painter`; empty when none.
    QRectF opaqueArea(const QPainter& painter, const QRectF& cell) const;
    // With the text request the grid made for the cell already. `overRestingLook`: the cell holds
    // the resting look already (a grid copies it a row at a time); a resting tile adds its text and
    // badges only.
    void paint(QPainter& painter, const QRectF& cell, const EmojiGlyphCache::Request& text,
               bool overRestingLook = false) const;
};

// Loads the fonts the tiles draw with: the first drawing that needs one would look it up (the
// program lets the fonts go whenever a window closes).
void warmLibraryTileFonts();

}  // namespace mosaiko
