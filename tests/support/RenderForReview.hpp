#pragma once
// What the render tests share: their pictures kept for a reviewer, and what they look for in them.
#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QImage>
#include <QRect>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <map>

#include "platform/qt/DesktopAppearance.hpp"

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

// The contrast of what is drawn inside `rect` with what it is drawn on, read from the opaque
// pixels: the background is the most common colour there, the ink the pixel that stands out from it
// the most.
inline double renderedContrast(const QImage& image, const QRect& rect) {
    std::map<QRgb, int> counts;
    const QRect area = rect & image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qAlpha(image.pixel(x, y)) == 255) ++counts[image.pixel(x, y)];
    if (counts.empty()) return 1;
    const QColor background =
        std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
            return a.second < b.second;
        })->first;
    double most = 1;
    for (const auto& [colour, count] : counts)
        most = std::max(most, DesktopAppearance::contrastRatio(QColor(colour), background));
    return most;
}

}  // namespace mosaiko::testing
