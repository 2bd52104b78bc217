#pragma once
// What the render tests share: their pictures kept for a reviewer, and what they look for in them.
#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QImage>
#include <QRect>
#include <QString>
#include <cstdlib>

namespace mosaiko::testing {

// Writes `image` as "<name>-dark.png" or "<name>-light.png" into the folder MOSAIKO_RENDER_DIR
// names, for a reviewer to look at; nothing when it is unset.
inline void saveForReview(const QImage& image, const QString& name, bool dark) {
    const char* directory = std::getenv("MOSAIKO_RENDER_DIR");
    if (!directory || !*directory) return;
    QDir().mkpath(QString::fromLocal8Bit(directory));
    const QString file = QString::fromLocal8Bit(directory) + u'/' + name +
                         (dark ? QStringLiteral("-dark.png") : QStringLiteral("-light.png"));
    EXPECT_TRUE(image.save(file)) << file.toStdString();
}

// Whether some pixel inside `rect` is strongly coloured and opaque: colour emoji are drawn there.
inline bool hasColourIn(const QImage& image, const QRect& rect) {
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (QColor(image.pixel(x, y)).hsvSaturation() > 120 && qAlpha(image.pixel(x, y)) > 200)
                return true;
    return false;
}

}  // namespace mosaiko::testing
