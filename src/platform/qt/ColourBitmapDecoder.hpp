#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QImage>
#include <QRawFont>
#include <QStringView>
#include <memory>

struct hb_font_t;

namespace mosaiko {

// The colour glyphs of a font whose bitmaps are PNG images in one strike, decoded straight from the
// font file: the font engine inflates them with a general-purpose library at about half the speed,
// which was most of the time a window took to show its first emoji. The image is the font engine's
// pixel for pixel (premultiplied the way it does, scaled from the strike the way it does); a glyph
// or a font this does not read gives none, and the font engine draws it. Immutable once opened, so
// any number of threads decode at once.
class ColourBitmapDecoder {
  public:
    // The decoder of the file `raw` draws from, or none when its colour bitmaps are not what this
    // reads (one strike of PNG images, found in the same file the font engine reads).
    static std::unique_ptr<ColourBitmapDecoder> open(const QRawFont& raw);

    ~ColourBitmapDecoder();

    // The one glyph the font draws `text` with (an emoji sequence: tones, joiners, flags, keycaps),
    // as shaping it gives it, found from the font's tables alone: the font engine's shaping decodes
    // every glyph's bitmap to learn its advance. 0 when the text is not one glyph of this font, or
    // `raw` is not the font this was opened for.
    quint32 glyphOf(const QRawFont& raw, QStringView text) const;

    // The glyph's image at `raw`'s pixel size, as QRawFont::alphaMapForGlyph gives it; null when
    // this does not read the glyph, or `raw` is not the font this was opened for.
    QImage image(const QRawFont& raw, quint32 glyph) const;

    // The file fontconfig gives for `raw`'s family, the one the font engine opened; empty when that
    // is not a file of one font.
    static QString fontFile(const QRawFont& raw);

    // The glyph's PNG image in the strike, and its size there; empty when it has none.
    QByteArray png(quint32 glyph, QSize* size) const;

    // A PNG image of `size` (8-bit RGBA or palette of 1 to 8 bits, not interlaced), premultiplied;
    // null for anything else, and for anything damaged.
    static QImage decode(QByteArrayView png, QSize size);

  private:
    ColourBitmapDecoder() = default;

    // The file is read a glyph at a time, not mapped: the pages of a mapping stay in the program's
    // memory once read, some megabytes after a few hundred emoji.
    QFile file_;
    int fd_ = -1;  // the file's, read on any thread
    quint64 fileSize_ = 0;
    QByteArray cblc_;
    quint64 cbdtOffset_ = 0;
    quint64 cbdtLength_ = 0;
    QString family_;
    int strikeHeight_ = 0;         // pixels, the line the bitmaps fill
    hb_font_t* shaper_ = nullptr;  // over the file's tables, read as shaping needs them
};

}  // namespace mosaiko
