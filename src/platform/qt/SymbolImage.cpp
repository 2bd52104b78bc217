#include "platform/qt/SymbolImage.hpp"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>
#include <cmath>

#include "platform/AppBundle.hpp"

namespace mosaiko {

namespace {

QString& chosenDirectory() {
    static QString directory;
    return directory;
}

QHash<QString, QByteArray>& sourceCache() {
    static QHash<QString, QByteArray> cache;
    return cache;
}

bool holdsIcons(const QString& directory) {
    return !directory.isEmpty() && QDir(directory).exists(QStringLiteral("icons"));
}

QByteArray iconSource(const QString& name) {
    auto& cache = sourceCache();
    if (auto it = cache.find(name); it != cache.end()) return *it;
    QByteArray source;
    const QString directory = SymbolImage::resourceDirectory();
    // Names are plain symbol names; anything that could leave the icons folder is not one.
    if (!directory.isEmpty() && !name.isEmpty() && !name.contains(QLatin1Char('/')) &&
        !name.startsWith('.')) {
        QFile file(directory + QStringLiteral("/icons/") + name + QStringLiteral(".svg"));
        if (file.open(QIODevice::ReadOnly)) source = file.readAll();
    }
    cache.insert(name, source);
    return source;
}

}  // namespace

QString SymbolImage::resourceDirectory() {
    if (holdsIcons(chosenDirectory())) return chosenDirectory();
    const auto& bundle = AppBundle::main().resourceDirectory();
    if (bundle && holdsIcons(QString::fromStdString(bundle->string())))
        return QString::fromStdString(bundle->string());
    return {};
}

void SymbolImage::setResourceDirectory(const QString& directory) {
    chosenDirectory() = directory;
    sourceCache().clear();
    QPixmapCache::clear();
}

bool SymbolImage::exists(const QString& name) {
    return !iconSource(name).isEmpty();
}

QPixmap SymbolImage::pixmap(const QString& name, const QColor& color, double points, double devicePixelRatio,
                            bool bold) {
    QByteArray source = iconSource(name);
    if (source.isEmpty() || points <= 0) return {};
    const int side = std::max(1, static_cast<int>(std::ceil(points * devicePixelRatio)));
    // The ratio is part of the key: 13 pt at 2x and 26 pt at 1x have the same number of pixels.
    const QString key = QStringLiteral("mosaiko-symbol:%1:%2:%3:%4:%5")
                            .arg(name, color.name(QColor::HexArgb))
                            .arg(side)
                            .arg(devicePixelRatio)
                            .arg(bold);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached)) return cached;

    source.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    if (bold) source.replace("stroke-width=\"2\"", "stroke-width=\"2.5\"");
    QSvgRenderer renderer(source);
    if (!renderer.isValid()) return {};
    QPixmap image(side, side);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(color.alphaF());
        renderer.render(&painter, QRectF(0, 0, side, side));
    }
    image.setDevicePixelRatio(devicePixelRatio);
    QPixmapCache::insert(key, image);
    return image;
}

QIcon SymbolImage::icon(const QString& name, const QColor& color, double points, double devicePixelRatio,
                        bool bold) {
    QIcon icon;
    icon.addPixmap(pixmap(name, color, points, devicePixelRatio, bold), QIcon::Normal);
    QColor faded = color;
    faded.setAlphaF(color.alphaF() / 3);
    icon.addPixmap(pixmap(name, faded, points, devicePixelRatio, bold), QIcon::Disabled);
    return icon;
}

}  // namespace mosaiko
