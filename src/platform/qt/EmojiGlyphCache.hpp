#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <vector>

#include "platform/CacheBudget.hpp"

namespace mosaiko {

// The texts of the views, each drawn once into an image and measured once. Measuring or shaping a
// colour emoji makes the font engine decode its bitmap every time, which cost most of a redraw
// that shows new emoji; an image keyed by text, font (family, size, weight), box, screen scale and
// colour is drawn at the cost of a copy instead. Images and widths count against one budget with
// the views' other drawing caches.
class EmojiGlyphCache {
  public:
    // How a text is fitted into its box: shrunk down to `minimumScale` of its size, then cut with an
    // ellipsis at the end (when `elide`) or clipped; centred vertically and aligned `horizontal`.
    // With more than one line, the text wraps at its blanks and shrinks before a word is split;
    // only at the smallest size are words broken, and the last line is cut with an ellipsis.
    struct Fitting {
        double minimumScale = 1.0;
        bool elide = false;
        Qt::Alignment horizontal = Qt::AlignHCenter;
        int maxLines = 1;
    };

    // One text drawn into a box of `box` size.
    struct Request {
        QString text;
        QFont font;
        QColor color;
        QSizeF box;
        Fitting fitting;
    };

    // A text's image as kept: the fitted text with a margin around it, at the device's scale.
    struct Image {
        QImage image;
        double textWidth = 0;   // the widest line's advance
        double lineHeight = 0;  // the lines' height together
    };

    // The lines a text is drawn in and the font they fit at.
    struct Lines {
        QFont font;
        QStringList lines;
    };

    // The text's advance at `font`, in device-independent pixels.
    static double width(const QString& text, const QFont& font);

    // Draws `text` fitted into `box`, at the scale of the painter's device.
    static void draw(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                     const QColor& color, const Fitting& fitting);
    // Draws an image complete() or prefetch() handed back into `box`, fitted as its request asked.
    static void draw(QPainter& painter, const QRectF& box, const Image& image, const Fitting& fitting);

    // Fills in the images of `requests` that `images` lacks (a null one), in the requests' order
    // (none for an empty text), for a screen of tiles to draw without looking each up again. Those
    // not kept yet are drawn several at a time on worker threads, and kept: a view about to show
    // many new texts at once (a grid after a search) then waits for the slowest share of them
    // instead of all of them in turn. Texts in other fonts than the colour emoji's are drawn by the
    // calling thread first, in the fonts it has loaded.
    static void complete(const std::vector<Request>& requests, std::vector<Image>& images,
                         double deviceScale);
    // Starts drawing them the same way without waiting: the next drawing of any text (or the next
    // complete()) waits for them, taking a share of what is left. A view about to show calls it
    // while the window system maps its window. Returns the images kept already, in the requests'
    // order (a null image for those being drawn), for complete() to fill in.
    static std::vector<Image> prefetch(const std::vector<Request>& requests, double deviceScale);

    // Draws the colour emoji among `requests` that no run has drawn yet into the file kept for
    // later runs, in the requests' order, a few at a time on one drawing thread, so that screens of
    // them are read back instead of drawn: a search's screen of emoji never drawn took most of the
    // time its letter took to show. A later call replaces what is left of an earlier one.
    static void drawAhead(std::vector<Request> requests, double deviceScale);
    static void stopDrawingAhead();
    static bool drawingAhead();

    // How `text` is broken into lines and sized to fit a box of `box` size. Laid out once on a
    // thread, a text finds the fonts it needs loaded there at the sizes it is drawn at (see
    // complete).
    static Lines fit(const QString& text, const QFont& font, const QSizeF& box, const Fitting& fitting);

    // How many images have been drawn since the start; a drawing served from the cache adds none.
    static long imagesDrawn();
    // How many colour emoji have been drawn from the font since the start; one read back from the
    // file kept for later runs adds none.
    static long emojiDrawn();

    // The bound shared by the views' drawing caches (images, widths, tile looks).
    static CacheBudget& budget();
    // Keeps at most `bytes` of the drawing caches, and lets the drawing threads go with the fonts
    // they loaded.
    static void release(std::size_t bytes);
};

}  // namespace mosaiko
