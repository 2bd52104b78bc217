#pragma once

#include <optional>

namespace mosaiko {

// How the library's entry grids lay out for a given width: a wider pane gets more columns, and the
// tiles of a row share the usable width equally, rounded down to whole points. Every width, however
// small, gives at least one column of a positive size.
struct LibraryGridMetrics {
    // Square tiles for emoji (and everything on the all tab), wide tiles for emoticon text, square
    // tiles for glyphs.
    enum class Style { compact, wideText, glyph };

    // The emoticon grid's layout (the wide-text style).
    struct EmoticonLayout {
        int columns = 1;
        double tileWidth = 0;
        double spacing = 0;
        double padding = 0;
        bool operator==(const EmoticonLayout&) const = default;
    };

    Style style = Style::compact;
    int columns = 1;
    double columnWidth = 0;          // every column has this fixed width
    double columnSpacing = 0;        // between columns
    double rowSpacing = 0;           // between rows
    double padding = 0;              // around the grid, on every edge
    std::optional<double> tileSide;  // square styles only

    static LibraryGridMetrics forWidth(double width, Style style);
    static EmoticonLayout emoticonGridLayout(double width);

    // The height of a row: the tile side, or the wide tiles' fixed height.
    double rowHeight() const { return tileSide.value_or(kWideTileHeight); }
    // The columns the arrow keys move by: the wide text grid counts as one column.
    int keyboardColumnCount() const { return style == Style::wideText ? 1 : columns; }

    static constexpr double kWideTileHeight = 58;
};

}  // namespace mosaiko
