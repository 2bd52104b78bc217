#include "platform/qt/ColourBitmapDecoder.hpp"

#include <fontconfig/fontconfig.h>
#include <hb.h>
#include <libdeflate.h>
#include <unistd.h>

#include <QTransform>
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

namespace mosaiko {

namespace {

quint32 u32(const uchar* p) {
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}
quint16 u16(const uchar* p) {
    return quint16(p[0] << 8 | p[1]);
}
const uchar* bytes(QByteArrayView view) {
    return reinterpret_cast<const uchar*>(view.data());
}

// `length` bytes at `offset` of `data`, or empty when they are not all there.
QByteArrayView slice(QByteArrayView data, quint64 offset, quint64 length) {
    if (offset > quint64(data.size()) || length > quint64(data.size()) - offset) return {};
    return data.sliced(qsizetype(offset), qsizetype(length));
}

}  // namespace

QString ColourBitmapDecoder::fontFile(const QRawFont& raw) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(raw.familyName().toUtf8().constData()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    QString path;
    FcChar8* file = nullptr;
    int index = -1;
    if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
        FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch && index == 0)
        path = QString::fromUtf8(reinterpret_cast<const char*>(file));
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return path;
}

namespace {

// `length` bytes of the open file `fd` of `size` bytes at `offset`, or empty when they are not all
// there. Safe on any number of threads at once: neither the file's position nor QFile is used.
QByteArray readAt(int fd, quint64 size, quint64 offset, quint64 length) {
    if (length > size || offset > size - length) return {};
    QByteArray data(qsizetype(length), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t got = ::pread(fd, data.data() + done, size_t(data.size() - done), off_t(offset) + done);
        if (got <= 0) return {};
        done += got;
    }
    return data;
}

// Where a table of a font file (not a collection) lies: its offset and length; none when absent.
std::optional<std::pair<quint64, quint64>> tableOf(int fd, quint64 size, const char* tag) {
    const QByteArray header = readAt(fd, size, 0, 12);
    if (header.isEmpty()) return std::nullopt;
    const int count = u16(bytes(header) + 4);
    const QByteArray records = readAt(fd, size, 12, 16 * quint64(count));
    for (int i = 0; i < count && !records.isEmpty(); ++i) {
        const uchar* record = bytes(records) + 16 * i;
        if (std::memcmp(record, tag, 4) == 0)
            return std::pair<quint64, quint64>(u32(record + 8), u32(record + 12));
    }
    return std::nullopt;
}

// FreeType's premultiplication of a PNG pixel, rounded its way.
uint premultiplied(uint r, uint g, uint b, uint a) {
    if (a == 0) return 0;
    if (a != 0xFF) {
        auto multiply = [a](uint c) {
            const uint t = a * c + 0x80;
            return (t + (t >> 8)) >> 8;
        };
        r = multiply(r), g = multiply(g), b = multiply(b);
    }
    return a << 24 | r << 16 | g << 8 | b;
}

uint paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uint(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Undoes a row's filter in place, against the row above (zeros for the first).
bool unfilter(uchar filter, uchar* row, const uchar* above, int length, int stride) {
    switch (filter) {
        case 0:
            return true;
        case 1:
            for (int i = stride; i < length; ++i) row[i] = uchar(row[i] + row[i - stride]);
            return true;
        case 2:
            for (int i = 0; i < length; ++i) row[i] = uchar(row[i] + above[i]);
            return true;
        case 3:
            for (int i = 0; i < length; ++i)
                row[i] = uchar(row[i] + (((i >= stride ? row[i - stride] : 0) + above[i]) >> 1));
            return true;
        case 4:
            for (int i = 0; i < length; ++i) {
                const int left = i >= stride ? row[i - stride] : 0,
                          corner = i >= stride ? above[i - stride] : 0;
                row[i] = uchar(row[i] + paeth(left, above[i], corner));
            }
            return true;
        default:
            return false;
    }
}

struct Header {
    int width = 0, height = 0, depth = 0, colourType = 0;
};

// The file's tables for shaping, read when first asked for (and then kept by the face).
struct TableSource {
    int fd = -1;
    quint64 size = 0;
};

hb_blob_t* tableBlob(hb_face_t*, hb_tag_t tag, void* source) {
    const auto& file = *static_cast<const TableSource*>(source);
    char name[4];
    hb_tag_to_string(tag, name);
    const char zeroEnded[5] = {name[0], name[1], name[2], name[3], 0};
    const auto place = tag == 0 ? std::nullopt : tableOf(file.fd, file.size, zeroEnded);
    if (!place) return hb_blob_get_empty();
    auto* data = new QByteArray(readAt(file.fd, file.size, place->first, place->second));
    return hb_blob_create(data->constData(), static_cast<unsigned>(data->size()), HB_MEMORY_MODE_READONLY,
                          data, [](void* bytes) { delete static_cast<QByteArray*>(bytes); });
}

}  // namespace

ColourBitmapDecoder::~ColourBitmapDecoder() {
    if (shaper_) hb_font_destroy(shaper_);
}

quint32 ColourBitmapDecoder::glyphOf(const QRawFont& raw, QStringView text) const {
    if (!shaper_ || text.isEmpty() || raw.familyName() != family_) return 0;
    hb_buffer_t* buffer = hb_buffer_create();
    hb_buffer_add_utf16(buffer, reinterpret_cast<const uint16_t*>(text.utf16()), int(text.size()), 0,
                        int(text.size()));
    hb_buffer_guess_segment_properties(buffer);
    // Invisible characters left alone (a variation selector, a joiner) draw nothing either way.
    hb_buffer_set_flags(buffer, HB_BUFFER_FLAG_REMOVE_DEFAULT_IGNORABLES);
    hb_shape(shaper_, buffer, nullptr, 0);
    unsigned count = 0;
    const hb_glyph_info_t* glyphs = hb_buffer_get_glyph_infos(buffer, &count);
    const quint32 glyph = count == 1 ? glyphs[0].codepoint : 0;
    hb_buffer_destroy(buffer);
    return glyph;
}

std::unique_ptr<ColourBitmapDecoder> ColourBitmapDecoder::open(const QRawFont& raw) {
    const QByteArray engineCblc = raw.fontTable("CBLC");
    if (engineCblc.isEmpty()) return nullptr;
    std::unique_ptr<ColourBitmapDecoder> decoder(new ColourBitmapDecoder);
    decoder->file_.setFileName(fontFile(raw));
    if (!decoder->file_.open(QIODevice::ReadOnly)) return nullptr;
    decoder->fileSize_ = quint64(decoder->file_.size());
    const int fd = decoder->fd_ = decoder->file_.handle();
    const auto cblc = tableOf(fd, decoder->fileSize_, "CBLC");
    const auto cbdt = tableOf(fd, decoder->fileSize_, "CBDT");
    if (!cblc || !cbdt || cbdt->second == 0) return nullptr;
    decoder->cblc_ = readAt(fd, decoder->fileSize_, cblc->first, cblc->second);
    std::tie(decoder->cbdtOffset_, decoder->cbdtLength_) = *cbdt;
    // The same strikes as the engine's, in one size whose line is its ascent less its descent.
    if (decoder->cblc_ != engineCblc) return nullptr;
    const QByteArrayView strike = slice(decoder->cblc_, 8, 48);
    if (strike.isEmpty() || u32(bytes(decoder->cblc_) + 4) != 1) return nullptr;
    const int ascent = qint8(strike[16]), descent = qint8(strike[17]);
    if (ascent <= 0 || descent > 0) return nullptr;
    decoder->strikeHeight_ = ascent - descent;
    decoder->family_ = raw.familyName();
    auto* source = new TableSource{fd, decoder->fileSize_};
    hb_face_t* face = hb_face_create_for_tables(tableBlob, source,
                                                [](void* data) { delete static_cast<TableSource*>(data); });
    decoder->shaper_ = hb_font_create(face);
    hb_face_destroy(face);
    hb_font_make_immutable(decoder->shaper_);
    return decoder;
}

QByteArray ColourBitmapDecoder::png(quint32 glyph, QSize* size) const {
    const uchar* strike = bytes(cblc_) + 8;
    const quint32 arrayOffset = u32(strike), subtables = u32(strike + 8);
    for (quint32 i = 0; i < subtables; ++i) {
        const QByteArrayView entry = slice(cblc_, quint64(arrayOffset) + 8 * quint64(i), 8);
        if (entry.isEmpty()) return {};
        const quint32 first = u16(bytes(entry)), last = u16(bytes(entry) + 2);
        if (glyph < first || glyph > last) continue;
        const quint64 subtable = quint64(arrayOffset) + u32(bytes(entry) + 4);
        const QByteArrayView header = slice(cblc_, subtable, 8);
        if (header.isEmpty()) return {};
        const int indexFormat = u16(bytes(header)), imageFormat = u16(bytes(header) + 2);
        const quint32 imageData = u32(bytes(header) + 4);
        // Offsets of the glyph's data and the next one's, in 32 or 16 bits.
        const int width = indexFormat == 1 ? 4 : indexFormat == 3 ? 2 : 0;
        if (width == 0) return {};
        const QByteArrayView offsets = slice(cblc_, subtable + 8 + width * quint64(glyph - first), 2 * width);
        if (offsets.isEmpty()) return {};
        const uchar* o = bytes(offsets);
        const quint64 start = width == 4 ? u32(o) : u16(o), end = width == 4 ? u32(o + 4) : u16(o + 2);
        if (end <= start) return {};
        if (quint64(imageData) + end > cbdtLength_) return {};
        const QByteArray data = readAt(fd_, fileSize_, cbdtOffset_ + imageData + start, end - start);
        // Small metrics (height, width first) or big ones, then the PNG's length and bytes.
        const int metrics = imageFormat == 17 ? 5 : imageFormat == 18 ? 8 : 0;
        if (metrics == 0 || data.size() < metrics + 4) return {};
        *size = QSize(uchar(data[1]), uchar(data[0]));
        return slice(data, metrics + 4, u32(bytes(data) + metrics)).toByteArray();
    }
    return {};
}

QImage ColourBitmapDecoder::image(const QRawFont& raw, quint32 glyph) const {
    if (raw.familyName() != family_) return {};
    QSize size;
    const QByteArray bytes = png(glyph, &size);
    if (bytes.isEmpty()) return {};
    QImage strike = decode(bytes, size);
    // The engine's scale to the font's size, in its fixed point (1/64, cut toward zero), and its
    // resampling of the strike.
    const double scale = int(raw.pixelSize() / strikeHeight_ * 64) / 64.0;
    if (strike.isNull() || scale == 1.0) return strike;
    return strike.transformed(QTransform::fromScale(scale, scale), Qt::SmoothTransformation);
}

QImage ColourBitmapDecoder::decode(QByteArrayView png, QSize size) {
    static constexpr uchar signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 8 || std::memcmp(png.data(), signature, 8) != 0) return {};
    Header header;
    std::array<uint, 256> palette{};
    int paletteSize = 0;
    std::vector<uchar> compressed;
    bool ended = false;
    for (quint64 at = 8; !ended;) {
        const QByteArrayView head = slice(png, at, 8);
        if (head.isEmpty()) return {};
        const quint32 length = u32(bytes(head));
        const QByteArrayView chunk = slice(png, at + 4, quint64(length) + 4);  // type and data
        const QByteArrayView crc = slice(png, at + 8 + length, 4);
        if (crc.isEmpty() || libdeflate_crc32(0, chunk.data(), size_t(chunk.size())) != u32(bytes(crc)))
            return {};
        const uchar* data = bytes(chunk) + 4;
        const QByteArrayView type = chunk.first(4);
        const bool firstChunk = at == 8;
        at += 12 + quint64(length);
        if (firstChunk != (type == "IHDR")) return {};
        if (type == "IHDR") {
            if (length != 13 || data[10] != 0 || data[11] != 0 || data[12] != 0) return {};  // not interlaced
            header = {int(u32(data)), int(u32(data + 4)), data[8], data[9]};
            const bool rgba = header.colourType == 6 && header.depth == 8;
            const bool indexed =
                header.colourType == 3 && (header.depth & (header.depth - 1)) == 0 && header.depth <= 8;
            if (!(rgba || indexed) || QSize(header.width, header.height) != size) return {};
        } else if (type == "PLTE") {
            if (length % 3 != 0 || length > 3 * 256 || paletteSize != 0 || !compressed.empty()) return {};
            paletteSize = int(length / 3);
            for (int i = 0; i < paletteSize; ++i)
                palette[i] = premultiplied(data[3 * i], data[3 * i + 1], data[3 * i + 2], 0xFF);
        } else if (type == "tRNS") {
            if (header.colourType != 3 || int(length) > paletteSize || !compressed.empty()) return {};
            for (quint32 i = 0; i < length; ++i)
                palette[i] = premultiplied(qRed(palette[i]), qGreen(palette[i]), qBlue(palette[i]), data[i]);
        } else if (type == "IDAT") {
            compressed.insert(compressed.end(), data, data + length);
        } else if (type == "IEND") {
            ended = true;
        } else if (!(type[0] & 0x20)) {
            return {};  // a critical chunk this does not know
        }
    }
    if (header.colourType == 3 && paletteSize == 0) return {};

    const int channels = header.colourType == 6 ? 4 : 1;
    const int rowBytes = (header.width * channels * header.depth + 7) / 8;
    const int stride = std::max(1, channels * header.depth / 8);
    std::vector<uchar> raw(size_t(header.height) * (rowBytes + 1));
    libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    if (!inflater) return {};
    size_t produced = 0;
    const auto status = libdeflate_zlib_decompress(inflater, compressed.data(), compressed.size(), raw.data(),
                                                   raw.size(), &produced);
    libdeflate_free_decompressor(inflater);
    if (status != LIBDEFLATE_SUCCESS || produced != raw.size()) return {};

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return {};
    const std::vector<uchar> zeros(static_cast<size_t>(rowBytes));
    const uchar* above = zeros.data();
    const int perByte = 8 / header.depth, mask = (1 << header.depth) - 1;
    for (int y = 0; y < header.height; ++y) {
        uchar* row = raw.data() + size_t(y) * (rowBytes + 1);
        if (!unfilter(row[0], row + 1, above, rowBytes, stride)) return {};
        above = row + 1;
        const uchar* pixels = row + 1;
        auto* out = reinterpret_cast<uint*>(image.scanLine(y));
        if (channels == 4) {
            for (int x = 0; x < header.width; ++x, pixels += 4)
                out[x] = premultiplied(pixels[0], pixels[1], pixels[2], pixels[3]);
            continue;
        }
        int highest = 0;
        if (header.depth == 8) {
            for (int x = 0; x < header.width; ++x) highest |= pixels[x], out[x] = palette[pixels[x]];
            if (highest >= paletteSize) highest = *std::max_element(pixels, pixels + header.width);
        } else {
            for (int x = 0; x < header.width; ++x) {
                const int index = (pixels[x / perByte] >> (8 - header.depth * (x % perByte + 1))) & mask;
                highest = std::max(highest, index);
                out[x] = palette[index];
            }
        }
        if (highest >= paletteSize) return {};
    }
    return image;
}

}  // namespace mosaiko
