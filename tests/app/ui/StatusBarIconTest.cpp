#include "app/StatusBarIcon.hpp"
#include "platform/qt/DesktopAppearance.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <fstream>

namespace mosaiko {
namespace {

namespace fs = std::filesystem;

bool opaque(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y)) > 128;
}

void keepForReview(const QImage& image, const char* name) {
    const QString dir = QStringLiteral(MOSAIKO_BINARY_DIR "/test-output");
    QDir().mkpath(dir);
    image.scaled(image.width() * 4, image.height() * 4).save(dir + "/" + name);
}

TEST(StatusBarIcon, FallbackDrawsARoundedTileWithEyesAndMouth) {
    const QImage image = StatusBarIcon::renderFallback(24, Qt::black);
    keepForReview(image, "status-icon-fallback.png");
    EXPECT_TRUE(opaque(image, 2, 12));    // left edge of the tile
    EXPECT_TRUE(opaque(image, 12, 2));    // top edge
    EXPECT_FALSE(opaque(image, 0, 0));    // outside the rounded corner
    EXPECT_FALSE(opaque(image, 12, 6));   // inside, above the eyes
    EXPECT_TRUE(opaque(image, 6, 11));    // left eye
    EXPECT_TRUE(opaque(image, 17, 11));   // right eye
    EXPECT_FALSE(opaque(image, 12, 11));  // between the eyes
    EXPECT_TRUE(opaque(image, 12, 14));   // mouth
}

TEST(StatusBarIcon, ResourceIconTakesTheGivenColour) {
    const fs::path svg = fs::path(MOSAIKO_SOURCE_DIR) / "resources" / "MenuBarIcon.svg";
    const QImage image = StatusBarIcon::renderResource(svg, 36, QColor(200, 30, 40));
    ASSERT_FALSE(image.isNull());
    keepForReview(image, "status-icon-resource.png");
    int painted = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = QColor::fromRgba(image.pixel(x, y));
            if (c.alpha() < 255) continue;
            ++painted;
            EXPECT_EQ(c.rgb(), QColor(200, 30, 40).rgb());
        }
    }
    EXPECT_GT(painted, 100);
}

TEST(StatusBarIcon, UnreadableOrMissingResourceFallsBackToTheDrawnIcon) {
    const fs::path broken = fs::temp_directory_path() / "mosaiko-broken-icon.svg";
    std::ofstream(broken) << "this is not an svg";
    EXPECT_TRUE(StatusBarIcon::renderResource(broken, 18, Qt::black).isNull());

    const QImage expected =
        StatusBarIcon::onPaper(StatusBarIcon::renderFallback(18, StatusBarIcon::ink()), 1);
    for (const auto& resource : {std::optional<fs::path>(broken), std::optional<fs::path>()}) {
        const QIcon icon = StatusBarIcon::make(resource);
        const QImage shown = icon.pixmap(QSize(18, 18), 1.0).toImage().convertToFormat(expected.format());
        EXPECT_EQ(shown, expected);
    }
    fs::remove(broken);
}

// Nothing tells the program the tray's colour: on a light tray under a dark palette, or the
// reverse, the face and the tile's edge stand out from the tray all the same.
TEST(StatusBarIcon, ReadsOnLightAndDarkTrays) {
    const fs::path svg = fs::path(MOSAIKO_SOURCE_DIR) / "resources" / "MenuBarIcon.svg";
    const QIcon icon = StatusBarIcon::make(svg);
    for (const QColor tray : {QColor(Qt::white), QColor(0xcc, 0xcc, 0xcc), QColor(0x80, 0x80, 0x80),
                              QColor(0x2b, 0x2b, 0x2d), QColor(Qt::black)}) {
        for (const qreal scale : {1.0, 2.0}) {
            QImage shown(QSize(18, 18) * scale, QImage::Format_RGB32);
            shown.fill(tray);
            QPainter(&shown).drawPixmap(QRect(shown.rect()), icon.pixmap(QSize(18, 18), scale));
            keepForReview(
                shown, qPrintable(QStringLiteral("status-icon-on-%1@%2x.png").arg(tray.name()).arg(scale)));
            int standingOut = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    if (DesktopAppearance::contrastRatio(shown.pixelColor(x, y), tray) >= 3) ++standingOut;
            // The tile's edge all round (about 4 x 14 points) stands out at the least.
            EXPECT_GT(standingOut, 50 * scale * scale) << tray.name().toStdString() << " at " << scale;
        }
    }
}

}  // namespace
}  // namespace mosaiko
