#include "platform/qt/EmojiGlyphCache.hpp"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QImage>
#include <QPaintDevice>
#include <QPointer>
#include <QRawFont>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/qt/ColourBitmapDecoder.hpp"
#include "platform/qt/DrawingThreads.hpp"
#include "platform/qt/DrawnEmojiFile.hpp"
#include "platform/qt/MixedTextLine.hpp"
#include "platform/qt/Typography.hpp"

namespace mosaiko {

namespace {

// Room around the text for ink outside its advance (overhangs, accents).
constexpr int kMargin = 2;

// What the views' drawing caches keep at most, together: the images of a few hundred tiles (a
// long search, its variants, a screenful of the library) and their widths.
constexpr std::size_t kBudgetBytes = 4 * 1024 * 1024;

using Image = EmojiGlyphCache::Image;

// What an image is looked up by. Built for every tile of every redraw, so it is kept as values,
// not formatted into a text.
struct ImageKey {
    QString text;
    QFont font;  // family, size, weight and whether other fonts may stand in
    double boxWidth;
    double boxHeight;  // only where it decides the fitting: several lines
    double minimumScale;
    bool elide;
    int maxLines;
    int lineAlignment;  // of several lines against each other
    double scale;
    QRgb colour;
    bool operator==(const ImageKey&) const = default;
};

struct ImageKeyHash {
    size_t operator()(const ImageKey& key) const {
        return qHashMulti(0, key.text, key.font, key.boxWidth, key.boxHeight, key.minimumScale, key.elide,
                          key.maxLines, key.lineAlignment, key.scale, key.colour);
    }
};

struct WidthKey {
    QString text;
    QFont font;
    bool operator==(const WidthKey&) const = default;
};

struct WidthKeyHash {
    size_t operator()(const WidthKey& key) const { return qHashMulti(0, key.text, key.font); }
};

BudgetedCache<ImageKey, Image, ImageKeyHash>& images() {
    static BudgetedCache<ImageKey, Image, ImageKeyHash> cache(EmojiGlyphCache::budget());
    return cache;
}

BudgetedCache<WidthKey, double, WidthKeyHash>& widths() {
    static BudgetedCache<WidthKey, double, WidthKeyHash> cache(EmojiGlyphCache::budget());
    return cache;
}

std::atomic<long>& drawnCount() {
    static std::atomic<long> count = 0;
    return count;
}

std::atomic<long>& emojiDrawnCount() {
    static std::atomic<long> count = 0;
    return count;
}

ImageKey keyOf(const EmojiGlyphCache::Request& r, double scale) {
    const bool lines = r.fitting.maxLines > 1;
    return ImageKey{r.text,
                    r.font,
                    r.box.width(),
                    lines ? r.box.height() : 0.0,
                    r.fitting.minimumScale,
                    r.fitting.elide,
                    r.fitting.maxLines,
                    lines ? int(r.fitting.horizontal & Qt::AlignHorizontal_Mask) : 0,
                    scale,
                    r.color.rgba()};
}

int fullSize(const QFont& font) {
    return font.pixelSize() > 0 ? font.pixelSize() : static_cast<int>(std::lround(font.pointSizeF()));
}

QFont sized(QFont font, int pixels) {
    font.setPixelSize(pixels);
    return font;
}

// A font of its own for a worker thread: copies of one font share the engines a thread looked up.
QFont ownCopy(const QFont& font) {
    QFont copy;
    copy.setFamilies(font.families());
    copy.setStyleHint(font.styleHint(), font.styleStrategy());
    copy.setWeight(font.weight());
    copy.setItalic(font.italic());
    copy.setFixedPitch(font.fixedPitch());
    if (font.pixelSize() > 0)
        copy.setPixelSize(font.pixelSize());
    else
        copy.setPointSizeF(font.pointSizeF());
    return copy;
}

// One line: every blank, tab and line break is a space. Several: line breaks stay breaks.
QString prepared(QString text, int maxLines) {
    for (QChar& c : text) {
        const bool breaks = c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator ||
                            c == QChar::ParagraphSeparator;
        if (breaks) c = maxLines > 1 ? QChar(QChar::LineSeparator) : QChar(QLatin1Char(' '));
        if (c == QLatin1Char('\t')) c = QLatin1Char(' ');
    }
    return text;
}

// Draws one line into `box`, centred vertically, from its left edge.
void drawLine(QPainter& painter, const QRectF& box, const QString& text) {
    if (!MixedTextLine::drawWithEmoji(painter, box, text))
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip, text);
}

// A text laid out at one font and wrap mode.
struct Laid {
    std::unique_ptr<QTextLayout> layout;
    double widest = 0;
    double height = 0;
    bool fits = false;
};

Laid layOut(const QString& text, const QFont& font, const QSizeF& box, int maxLines,
            QTextOption::WrapMode mode) {
    Laid laid{std::make_unique<QTextLayout>(text, font)};
    laid.layout->setFormats(Typography::emojiRuns(text, font));
    QTextOption option;
    option.setWrapMode(maxLines > 1 ? mode : QTextOption::NoWrap);
    laid.layout->setTextOption(option);
    laid.layout->setCacheEnabled(true);
    laid.layout->beginLayout();
    int count = 0;
    for (QTextLine line = laid.layout->createLine(); line.isValid(); line = laid.layout->createLine()) {
        line.setLineWidth(maxLines > 1 ? box.width() : 1e6);
        line.setPosition(QPointF(0, laid.height));
        laid.height += line.height();
        laid.widest = std::max(laid.widest, line.naturalTextWidth());
        ++count;
    }
    laid.layout->endLayout();
    laid.fits = count <= maxLines && laid.widest <= box.width() + 0.5 &&
                (maxLines == 1 || laid.height <= box.height() + 0.5);
    return laid;
}

// The text as drawn: laid out whole, or as lines of its own (cut with an ellipsis).
struct Fitted {
    QFont font;
    Laid laid;
    QStringList lines;  // used when set, instead of the layout
};

Fitted fitText(const QString& original, const QFont& font, const QSizeF& box,
               const EmojiGlyphCache::Fitting& fitting) {
    const int maxLines = std::max(1, fitting.maxLines);
    const QString text = MixedTextLine::shownPart(prepared(original, maxLines), maxLines);
    const int full = fullSize(font);
    const int smallest = std::max(1, static_cast<int>(std::ceil(full * fitting.minimumScale)));
    const auto wordsOnly = QTextOption::WordWrap;
    Fitted fitted{font, layOut(text, font, box, maxLines, wordsOnly), {}};
    if (fitted.laid.fits || full <= smallest) {
        if (!fitted.laid.fits && maxLines == 1 && fitting.elide) {
            fitted.lines << MixedTextLine::elided(text, font, box.width());
        }
        return fitted;
    }
    // The largest size at which the words fit, whole: one line scales with its width; several are
    // searched for, halving the range of allowed sizes.
    auto at = [&](int pixels) {
        return Fitted{sized(font, pixels), layOut(text, sized(font, pixels), box, maxLines, wordsOnly), {}};
    };
    if (maxLines == 1) {
        const int wanted = static_cast<int>(std::floor(full * box.width() / fitted.laid.widest));
        fitted = at(std::clamp(wanted, smallest, full - 1));
        while (!fitted.laid.fits && fullSize(fitted.font) > smallest) fitted = at(fullSize(fitted.font) - 1);
        if (!fitted.laid.fits && fitting.elide) {
            fitted.lines << MixedTextLine::elided(text, fitted.font, box.width());
        }
        return fitted;
    }
    int low = smallest, high = full - 1;
    std::optional<Fitted> best;
    while (low <= high) {
        const int middle = (low + high) / 2;
        Fitted attempt = at(middle);
        if (attempt.laid.fits) {
            best = std::move(attempt);
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    if (best) return std::move(*best);

    // Too long even at the smallest size: words are broken, and what does not fit the lines (or
    // the box's height) is cut with an ellipsis at the end of the last one.
    fitted = Fitted{sized(font, smallest), {}, {}};
    fitted.laid = layOut(text, fitted.font, box, INT_MAX, QTextOption::WrapAtWordBoundaryOrAnywhere);
    const QFontMetricsF metrics(fitted.font);
    const int room = std::max(1, std::min(maxLines, static_cast<int>(box.height() / metrics.height())));
    QTextLayout& layout = *fitted.laid.layout;
    for (int i = 0; i < std::min(room, layout.lineCount()); ++i) {
        const QTextLine line = layout.lineAt(i);
        const bool last = i + 1 == room;
        QString piece = last ? text.mid(line.textStart()) : text.mid(line.textStart(), line.textLength());
        piece.replace(QChar::LineSeparator, QLatin1Char(' '));
        piece = piece.trimmed();
        if (last && MixedTextLine::advance(piece, fitted.font) > box.width() + 0.5)
            piece = MixedTextLine::elided(piece, fitted.font, box.width());
        fitted.lines << piece;
    }
    return fitted;
}

// The colour emoji font's images, decoded faster than the font engine does; opened with the first
// one drawn.
const ColourBitmapDecoder* colourDecoder(const QRawFont& raw) {
    static const std::unique_ptr<ColourBitmapDecoder> decoder = ColourBitmapDecoder::open(raw);
    return decoder.get();
}

// The glyph of a text the font draws as one: a code point (and perhaps the emoji variation
// selector), which the font's character map names, or a sequence (tones, joiners, flags, keycaps)
// shaped from the font's tables. Either way it is drawn without the font engine shaping the text,
// which decodes the glyph's bitmap once more.
std::optional<QGlyphRun> singleGlyph(const QString& text, const QFont& font) {
    QList<uint> scalars = text.toUcs4();
    scalars.removeAll(0xFE0F);
    if (scalars.isEmpty()) return std::nullopt;
    const QRawFont raw = QRawFont::fromFont(font);
    if (!raw.isValid()) return std::nullopt;
    quint32 glyph = 0;
    if (scalars.size() == 1) {
        const char32_t scalar = scalars.front();
        const QList<quint32> glyphs = raw.glyphIndexesForString(QString::fromUcs4(&scalar, 1));
        if (glyphs.size() == 1) glyph = glyphs.front();
    } else if (const ColourBitmapDecoder* decoder = colourDecoder(raw)) {
        glyph = decoder->glyphOf(raw, text);
    }
    if (glyph == 0) return std::nullopt;
    QGlyphRun run;
    run.setRawFont(raw);
    run.setGlyphIndexes({glyph});
    run.setPositions({QPointF(0, 0)});
    return run;
}

// A single colour glyph drawn from its bitmap, decoded once: drawn as text, its bitmap is decoded
// twice, once to find where it lies and once to draw it. The colour font's bitmaps fill its line
// from the ascent down, which places one where text drawing would; a bitmap of another height, or
// a device scale other than one (where text drawing resamples the bitmap its own way), is left to
// text drawing.
bool drawColourBitmap(QPainter& painter, const QPointF& baseline, const QGlyphRun& glyph, double scale) {
    if (scale != 1.0) return false;
    const QRawFont raw = glyph.rawFont();
    const ColourBitmapDecoder* decoder = colourDecoder(raw);
    QImage bitmap = decoder ? decoder->image(raw, glyph.glyphIndexes().front()) : QImage();
    if (bitmap.isNull()) bitmap = raw.alphaMapForGlyph(glyph.glyphIndexes().front());
    if (bitmap.format() != QImage::Format_ARGB32_Premultiplied ||
        bitmap.height() != qRound(raw.ascent() + raw.descent()))
        return false;
    const QPointF origin = baseline + glyph.positions().front();
    painter.drawImage(
        QPoint(static_cast<int>(std::floor(origin.x())),
               static_cast<int>(std::round(origin.y())) + static_cast<int>(std::floor(-raw.ascent()))),
        bitmap);
    return true;
}

// The file below once made, for any thread to find.
std::atomic<DrawnEmojiFile*>& openedDrawnEmoji() {
    static std::atomic<DrawnEmojiFile*> file = nullptr;
    return file;
}

// Colour emoji drawn in earlier runs, in the file kept for the colour font; none where that font's
// file is not known.
DrawnEmojiFile* drawnEmoji(const QFont& font) {
    static std::once_flag once;
    static std::unique_ptr<DrawnEmojiFile> file;
    std::call_once(once, [&] {
        const QString path = ColourBitmapDecoder::fontFile(QRawFont::fromFont(font));
        if (!path.isEmpty())
            file = std::make_unique<DrawnEmojiFile>(DrawnEmojiFile::standardFolder(), path.toStdString());
        openedDrawnEmoji() = file.get();
    });
    return file.get();
}

// How long the drawings new to the file wait after the last screen that drew any: deflating and
// writing them took a quarter of the time a search's new emoji took to show, and typing goes on
// faster than this.
constexpr int kSaveDelayMs = 1000;

// Writes the drawings new to the file on a drawing thread once no screen has drawn any for a
// moment. Called on the application's thread.
void saveDrawnEmojiLater() {
    DrawnEmojiFile* file = openedDrawnEmoji().load();
    QCoreApplication* application = QCoreApplication::instance();
    if (!file || !application || QThread::currentThread() != application->thread() || !file->hasUnsaved())
        return;
    static QPointer<QTimer> timer;
    if (!timer) {
        timer = new QTimer(application);
        timer->setSingleShot(true);
        timer->setInterval(kSaveDelayMs);
        QObject::connect(timer, &QTimer::timeout, [file] {
            if (QThreadPool* pool = drawingThreads())
                pool->start([file] { file->save(); });
            else
                file->save();
        });
    }
    timer->start();
}

// A colour-emoji text on one line at the font's size, cut to where its ink ends; none when it has
// no ink, or more than its room.
std::optional<Image> drawEmojiLine(const QString& text, const QFont& font, const QColor& color,
                                   int characters, double scale) {
    ++emojiDrawnCount();
    const QFontMetricsF metrics(font);
    Image image;
    image.lineHeight = metrics.height();
    const int pixels = fullSize(font);
    const int room = static_cast<int>(std::ceil(pixels * 1.5 * std::max(1, characters))) + 2 * kMargin;
    const QSize logical(room, static_cast<int>(std::ceil(image.lineHeight)) + 2 * kMargin);
    QImage canvas(logical * scale, QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(scale);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(font);
        painter.setPen(color);
        const QPointF baseline(kMargin, kMargin + metrics.ascent());
        if (const auto glyph = singleGlyph(text, font)) {
            if (!drawColourBitmap(painter, baseline, *glyph, scale)) painter.drawGlyphRun(baseline, *glyph);
        } else {
            painter.drawText(baseline, text);
        }
    }
    // The ink's last column.
    int right = -1;
    for (int y = 0; y < canvas.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = canvas.width() - 1; x > right; --x) {
            if (qAlpha(row[x]) != 0) {
                right = x;
                break;
            }
        }
    }
    if (right < 0 || right >= canvas.width() - 1) return std::nullopt;  // nothing, or cut off
    image.textWidth = std::max(0.0, (right + 1) / scale - kMargin);
    const int width = static_cast<int>(std::ceil((image.textWidth + 2 * kMargin) * scale));
    image.image = canvas.copy(0, 0, std::min(width, canvas.width()), canvas.height());
    image.image.setDevicePixelRatio(scale);
    return image;
}

// What such a drawing is kept under in the file.
QByteArray emojiLineKey(const QString& text, const QFont& font, const QColor& color, double scale) {
    return (text + QLatin1Char('\n') + font.key() + QLatin1Char('\n') + QString::number(scale) +
            QLatin1Char(' ') + QString::number(color.rgba()))
        .toUtf8();
}

// The same, read back when an earlier run (or thread) drew it, else drawn and kept.
std::optional<Image> emojiLine(const QString& text, const QFont& font, const QColor& color, int characters,
                               double scale) {
    DrawnEmojiFile* file = drawnEmoji(font);
    const QByteArray key = emojiLineKey(text, font, color, scale);
    if (file) {
        if (auto drawn = file->find(std::string_view(key.data(), size_t(key.size()))))
            return Image{std::move(drawn->image), drawn->textWidth, drawn->lineHeight};
    }
    auto image = drawEmojiLine(text, font, color, characters, scale);
    if (file && image)
        file->keep(std::string_view(key.data(), size_t(key.size())),
                   {image->image, image->textWidth, image->lineHeight});
    return image;
}

// A colour-emoji text on one line, drawn without measuring it first: the font engine decodes a
// glyph's bitmap for every measurement, and this is drawn at the cost of one. The text is drawn
// into room enough for it, and its width is where its ink ends; only a text wider than its box is
// drawn again, smaller. None when it does not fit even at its smallest size (measured then).
std::optional<Image> renderEmojiLine(const QString& text, const QFont& font, const QColor& color,
                                     const QSizeF& box, double minimumScale, double scale) {
    const int full = fullSize(font);
    const int smallest = std::max(1, static_cast<int>(std::ceil(full * minimumScale)));
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (characters.toNextBoundary() >= 0) ++count;
    int pixels = full;
    for (int attempt = 0; attempt < 3; ++attempt) {
        auto image = emojiLine(text, sized(font, pixels), color, count, scale);
        if (!image) return std::nullopt;
        if (image->textWidth <= box.width() + 0.5) return image;
        if (pixels <= smallest) return std::nullopt;
        pixels = std::clamp(static_cast<int>(std::floor(pixels * box.width() / image->textWidth)), smallest,
                            pixels - 1);
    }
    return std::nullopt;
}

bool isColourEmojiFont(const QFont& font) {
    return (font.styleStrategy() & QFont::NoFontMerging) &&
           font.families().value(0) == Typography::emojiFamily;
}

// Colour emoji on one line, which the drawing threads may draw as well as the asking thread.
bool drawnOnAnyThread(const EmojiGlyphCache::Request& request) {
    return request.fitting.maxLines <= 1 && isColourEmojiFont(request.font);
}

// Draws the fitted text into an image of its own size (plus a margin), lines aligned against the
// widest.
Image render(const EmojiGlyphCache::Request& request, double scale) {
    // Only the thread that asks draws other texts: in the font as asked, whose engines (and the
    // fonts standing in for its missing characters) that thread has loaded already. A copy made
    // afresh finds none of them, and loads each at a cost of milliseconds per text.
    const bool anyThread = drawnOnAnyThread(request);
    const QFont font = anyThread ? ownCopy(request.font) : request.font;
    if (anyThread) {
        if (auto image = renderEmojiLine(prepared(request.text, 1), font, request.color, request.box,
                                         request.fitting.minimumScale, scale)) {
            return std::move(*image);
        }
    }
    const Fitted fitted = fitText(request.text, font, request.box, request.fitting);
    const QFontMetricsF metrics(fitted.font);
    const Qt::Alignment align = request.fitting.horizontal;
    auto offset = [&](double width, double widest) {
        if (align & Qt::AlignHCenter) return (widest - width) / 2;
        if (align & (Qt::AlignRight | Qt::AlignTrailing)) return widest - width;
        return 0.0;
    };
    Image image;
    if (fitted.lines.isEmpty()) {
        QTextLayout& layout = *fitted.laid.layout;
        image.textWidth = fitted.laid.widest;
        image.lineHeight = fitted.laid.height;
        for (int i = 0; i < layout.lineCount(); ++i) {
            QTextLine line = layout.lineAt(i);
            line.setPosition(QPointF(offset(line.naturalTextWidth(), image.textWidth), line.position().y()));
        }
    } else {
        for (const QString& line : fitted.lines)
            image.textWidth = std::max(image.textWidth, MixedTextLine::advance(line, fitted.font));
        image.lineHeight = metrics.height() * fitted.lines.size();
    }
    const QSize logical(static_cast<int>(std::ceil(image.textWidth)) + 2 * kMargin,
                        static_cast<int>(std::ceil(image.lineHeight)) + 2 * kMargin);
    image.image = QImage(logical * scale, QImage::Format_ARGB32_Premultiplied);
    image.image.setDevicePixelRatio(scale);
    image.image.fill(Qt::transparent);
    QPainter painter(&image.image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(fitted.font);
    painter.setPen(request.color);
    if (fitted.lines.isEmpty()) {
        fitted.laid.layout->draw(&painter, QPointF(kMargin, kMargin));
    } else {
        double y = kMargin;
        for (const QString& line : fitted.lines) {
            const double width = MixedTextLine::advance(line, fitted.font);
            drawLine(painter,
                     QRectF(kMargin + offset(width, image.textWidth), y, width + 1, metrics.height()), line);
            y += metrics.height();
        }
    }
    return image;
}

const Image* keep(const ImageKey& key, Image image) {
    ++drawnCount();
    const std::size_t bytes = static_cast<std::size_t>(image.image.sizeInBytes()) + 128;
    return images().insert(key, std::move(image), bytes);
}

// Rounded to the device's pixels, so that the image is copied, not resampled.
double snapped(double value, double scale) {
    return std::round(value * scale) / scale;
}

// Texts being drawn on the drawing threads; this thread takes what is left of them, and keeps
// them, the next time it needs any image. What a drawing thread took but has not finished by
// then is drawn again here rather than waited for: on a busy machine a thread can wait for a
// processor for many milliseconds between two instructions, and one emoji read back from the
// drawn-emoji file costs tens of microseconds.
//
// A text in another font than the colour emoji's may need fonts that stand in for some of its
// characters: each thread finds and loads those anew, one thread at a time, at a cost of
// milliseconds per text. The thread that asked (whose fonts stay loaded while its window shows)
// draws those texts, then helps with the colour emoji; the drawing threads draw only colour
// emoji.
struct Batch {
    std::vector<std::pair<ImageKey, EmojiGlyphCache::Request>> items;  // colour emoji first
    std::vector<Image> drawn;
    std::unique_ptr<std::atomic<bool>[]> done;  // drawn[i] is there, whoever drew it
    std::size_t emojiCount = 0;
    std::atomic<std::size_t> nextEmoji = 0;
    double scale = 1;
    void draw(std::size_t i) {
        drawn[i] = render(items[i].second, scale);
        done[i].store(true, std::memory_order_release);
    }

    void work(bool asker) {
        if (asker) {
            for (std::size_t i = emojiCount; i < items.size(); ++i) draw(i);
        }
        for (std::size_t i; (i = nextEmoji++) < emojiCount;) draw(i);
    }
};

std::shared_ptr<Batch>& pendingBatch() {
    static std::shared_ptr<Batch> batch;
    return batch;
}

void finish(Batch& batch) {
    batch.work(true);
    for (std::size_t i = 0; i < batch.items.size(); ++i) {
        // A drawing thread's image unfinished is left to it, in the batch it holds.
        Image image = batch.done[i].load(std::memory_order_acquire)
                          ? std::move(batch.drawn[i])
                          : render(batch.items[i].second, batch.scale);
        keep(batch.items[i].first, std::move(image));
    }
    saveDrawnEmojiLater();
}

void finishPending() {
    if (auto batch = std::exchange(pendingBatch(), nullptr)) finish(*batch);
}

// Whether a request draws anything.
bool drawable(const EmojiGlyphCache::Request& request) {
    return !request.text.isEmpty() && request.box.width() > 0;
}

// The texts of `requests` not kept yet, handed to the drawing threads; none when all are kept.
// `found`, when given, receives the kept images of the others, in the requests' order.
std::shared_ptr<Batch> start(const std::vector<EmojiGlyphCache::Request>& requests, double scale,
                             std::vector<Image>* found = nullptr) {
    finishPending();
    auto batch = std::make_shared<Batch>();
    batch->scale = scale;
    if (found) found->assign(requests.size(), Image{});
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const auto& request = requests[i];
        if (!drawable(request)) continue;
        ImageKey key = keyOf(request, scale);
        if (const Image* kept = images().find(key)) {
            if (found) (*found)[i] = *kept;
            continue;
        }
        const auto& items = batch->items;
        if (std::any_of(items.begin(), items.end(), [&](const auto& item) { return item.first == key; }))
            continue;
        batch->items.emplace_back(std::move(key), request);
    }
    if (batch->items.empty()) return nullptr;
    const auto texts = std::stable_partition(batch->items.begin(), batch->items.end(),
                                             [](const auto& item) { return drawnOnAnyThread(item.second); });
    batch->emojiCount = static_cast<std::size_t>(texts - batch->items.begin());
    batch->drawn.resize(batch->items.size());
    batch->done = std::make_unique<std::atomic<bool>[]>(batch->items.size());
    QThreadPool* pool = batch->emojiCount > 1 ? drawingThreads() : nullptr;
    const int helpers = pool ? std::min(pool->maxThreadCount(), static_cast<int>(batch->emojiCount) - 1) : 0;
    for (int i = 0; i < helpers; ++i) {
        pool->start([batch] { batch->work(false); });
    }
    return batch;
}

// Colour emoji drawn ahead into the file (see drawAhead).
struct Ahead {
    std::vector<EmojiGlyphCache::Request> requests;
    double scale = 1;
    std::size_t next = 0;  // touched by one turn at a time
    std::atomic<bool> stopped = false;
};

// The one going on; the application's thread only.
std::shared_ptr<Ahead>& aheadJob() {
    static std::shared_ptr<Ahead> job;
    return job;
}

// How long a turn of drawing ahead holds its thread: a screen of new emoji waits at most this long
// for that thread, and a shut-down for the turn.
constexpr qint64 kAheadTurnMs = 3;

void drawAheadTurn(const std::shared_ptr<Ahead>& job) {
    QElapsedTimer turn;
    turn.start();
    DrawnEmojiFile* file = nullptr;
    while (!job->stopped && job->next < job->requests.size() && turn.elapsed() < kAheadTurnMs) {
        const EmojiGlyphCache::Request& request = job->requests[job->next++];
        const QFont font = ownCopy(request.font);
        const QString text = prepared(request.text, 1);
        file = drawnEmoji(font);
        if (!file) break;  // nowhere to keep them
        const QByteArray key = emojiLineKey(text, sized(font, fullSize(font)), request.color, job->scale);
        if (file->contains(std::string_view(key.data(), size_t(key.size())))) continue;
        renderEmojiLine(text, font, request.color, request.box, request.fitting.minimumScale, job->scale);
    }
    if (file) file->save();
    QThreadPool* pool = QCoreApplication::closingDown() ? nullptr : drawingThreads();
    if (!file || job->stopped || job->next >= job->requests.size() || !pool) {
        job->stopped = true;
        return;
    }
    // Behind the screens' drawings waiting for a thread.
    pool->start([job] { drawAheadTurn(job); }, -1);
}

}  // namespace

void EmojiGlyphCache::drawAhead(std::vector<Request> requests, double deviceScale) {
    stopDrawingAhead();
    std::erase_if(requests, [](const Request& r) { return !drawable(r) || !drawnOnAnyThread(r); });
    QThreadPool* pool = drawingThreads();
    if (requests.empty() || !pool) return;
    auto job = std::make_shared<Ahead>();
    job->requests = std::move(requests);
    job->scale = deviceScale;
    aheadJob() = job;
    pool->start([job] { drawAheadTurn(job); }, -1);
}

void EmojiGlyphCache::stopDrawingAhead() {
    if (const auto job = std::exchange(aheadJob(), nullptr)) job->stopped = true;
}

bool EmojiGlyphCache::drawingAhead() {
    return aheadJob() && !aheadJob()->stopped;
}

CacheBudget& EmojiGlyphCache::budget() {
    static CacheBudget shared(kBudgetBytes);
    return shared;
}

void EmojiGlyphCache::release(std::size_t bytes) {
    stopDrawingAhead();
    finishPending();
    budget().trim(bytes);
    if (QThreadPool* pool = drawingThreads()) pool->waitForDone();  // idle threads end
}

EmojiGlyphCache::Lines EmojiGlyphCache::fit(const QString& text, const QFont& font, const QSizeF& box,
                                            const Fitting& fitting) {
    Fitted fitted = fitText(text, font, box, fitting);
    Lines lines{fitted.font, fitted.lines};
    if (lines.lines.isEmpty()) {
        const QTextLayout& layout = *fitted.laid.layout;
        const QString laidText = layout.text();
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            QString piece = laidText.mid(line.textStart(), line.textLength());
            piece.replace(QChar::LineSeparator, QLatin1Char(' '));
            lines.lines << piece.trimmed();
        }
    }
    return lines;
}

double EmojiGlyphCache::width(const QString& text, const QFont& font) {
    const WidthKey key{text, font};
    if (const double* known = widths().find(key)) return *known;
    const double measured = MixedTextLine::advance(text, font);
    widths().insert(key, measured, 64 + static_cast<std::size_t>(text.size()) * 2);
    return measured;
}

void EmojiGlyphCache::complete(const std::vector<Request>& requests, std::vector<Image>& found,
                               double deviceScale) {
    found.resize(requests.size());
    // What is being drawn is kept first.
    finishPending();
    std::vector<Request> missing;
    std::vector<std::size_t> where;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (!found[i].image.isNull() || !drawable(requests[i])) continue;
        if (const Image* kept = images().find(keyOf(requests[i], deviceScale))) {
            found[i] = *kept;
        } else {
            missing.push_back(requests[i]);
            where.push_back(i);
        }
    }
    if (missing.empty()) return;
    if (const auto batch = start(missing, deviceScale)) finish(*batch);
    for (std::size_t k = 0; k < missing.size(); ++k) {
        if (const Image* kept = images().find(keyOf(missing[k], deviceScale))) found[where[k]] = *kept;
    }
}

std::vector<EmojiGlyphCache::Image> EmojiGlyphCache::prefetch(const std::vector<Request>& requests,
                                                              double deviceScale) {
    std::vector<Image> found;
    pendingBatch() = start(requests, deviceScale, &found);
    return found;
}

void EmojiGlyphCache::draw(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                           const QColor& color, const Fitting& fitting) {
    if (text.isEmpty() || box.width() <= 0) return;
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    finishPending();
    const Request request{text, font, color, box.size(), fitting};
    const ImageKey key = keyOf(request, scale);
    const Image* image = images().find(key);
    if (!image) {
        image = keep(key, render(request, scale));
        saveDrawnEmojiLater();
    }
    if (image) draw(painter, box, *image, fitting);  // none: larger than the whole budget
}

void EmojiGlyphCache::draw(QPainter& painter, const QRectF& box, const Image& image, const Fitting& fitting) {
    if (image.image.isNull()) return;
    const double scale = image.image.devicePixelRatio();
    double x = box.left();
    if (fitting.horizontal & Qt::AlignHCenter) x = box.center().x() - image.textWidth / 2;
    if (fitting.horizontal & (Qt::AlignRight | Qt::AlignTrailing)) x = box.right() - image.textWidth;
    const double y = box.center().y() - image.lineHeight / 2;
    const QPointF origin(snapped(x - kMargin, scale), snapped(y - kMargin, scale));
    // Text that did not fit even at its smallest size is clipped to its box.
    const bool overflows = image.textWidth > box.width() + 0.5 || image.lineHeight > box.height() + 0.5;
    if (overflows) {
        painter.save();
        painter.setClipRect(box, Qt::IntersectClip);
    }
    painter.drawImage(origin, image.image);
    if (overflows) painter.restore();
}

long EmojiGlyphCache::imagesDrawn() {
    return drawnCount();
}

long EmojiGlyphCache::emojiDrawn() {
    return emojiDrawnCount();
}

}  // namespace mosaiko
