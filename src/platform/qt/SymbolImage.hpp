#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace mosaiko {

// The symbol images the views name ("gearshape.fill", "xmark", "pin.fill", ...), drawn from the
// bundled SVG icons under resources/icons/<name>.svg in any colour and size.
class SymbolImage {
  public:
    // The folder holding icons/: the one set here, else the program's resources folder. Empty when
    // neither holds icons.
    static QString resourceDirectory();
    static void setResourceDirectory(const QString& directory);

    static bool exists(const QString& name);

    // A square image `points` wide in `color`, its strokes a little heavier when `bold`; a null
    // pixmap when the icon is missing or unreadable.
    static QPixmap pixmap(const QString& name, const QColor& color, double points,
                          double devicePixelRatio = 1.0, bool bold = false);
    // A button icon in `color`, and faded to a third of its opacity for a disabled button (Qt's own
    // disabled look barely changes a light symbol on a dark background).
    static QIcon icon(const QString& name, const QColor& color, double points, double devicePixelRatio = 1.0,
                      bool bold = false);
};

}  // namespace mosaiko
