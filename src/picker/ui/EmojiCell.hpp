#pragma once

#include <QPainter>
#include <QRectF>
#include <string>

namespace mosaiko {

// One result of the picker's main row: an emoji as a large glyph on a square tile, a text entry
// (emoticon, snippet) on a wide monospaced tile, a glyph on a narrow one; with a pin badge when
// pinned and a "▾" mark when an emoji offers skin tones. The row draws the tiles it shows; a cell
// is no widget of its own.
class EmojiCell {
  public:
    struct Content {
        std::string emoji;
        bool showsVariantsIndicator = false;
        bool isPinned = false;
        bool isSelected = false;
        bool isTextEntry = false;
        bool isCompactTextEntry = false;
        bool operator==(const Content&) const = default;
    };

    static constexpr double height = 54;

    // The tile's width for its content.
    static double widthFor(const Content& content);

    // Draws the tile into `bounds` (its width from widthFor, its height 54).
    static void paint(QPainter& painter, const QRectF& bounds, const Content& content);
};

}  // namespace mosaiko
