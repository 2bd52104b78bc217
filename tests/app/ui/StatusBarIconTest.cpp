#include "app/StatusBarIcon.hpp"

#include <gtest/gtest.h>

#include <QDir>
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

    const QImage expected = StatusBarIcon::renderFallback(18, Qt::black);
    for (const auto& resource : {std::optional<fs::path>(broken), std::optional<fs::path>()}) {
        const QIcon icon = StatusBarIcon::make(resource, Qt::black);
        EXPECT_TRUE(icon.isMask());
        const QImage shown = icon.pixmap(QSize(18, 18), 1.0).toImage().convertToFormat(expected.format());
        EXPECT_EQ(shown, expected);
    }
    fs::remove(broken);
}

}  // namespace
}  // namespace mosaiko
