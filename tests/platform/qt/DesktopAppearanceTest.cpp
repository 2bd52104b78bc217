#include "platform/qt/DesktopAppearance.hpp"

#include <gtest/gtest.h>

namespace mosaiko {
namespace {

// Accent symbols and the labels of tinted buttons keep their contrast on whatever the desktop's
// palette puts behind them, and are left alone where they have it.
TEST(DesktopAppearance, ReadableInksKeepTheirContrastWhateverThePalette) {
    EXPECT_NEAR(DesktopAppearance::contrastRatio(Qt::black, Qt::white), 21.0, 0.01);
    EXPECT_NEAR(DesktopAppearance::contrastRatio(QColor(0x12, 0x60, 0x8a), QColor(0x3d, 0x3d, 0x3d)), 1.58,
                0.01);
    struct Case {
        QColor ink;
        QColor background;
        double minimum;
        bool kept;
    };
    // A dark scheme's highlight on its list, Qt's own on white, yellow on white, white labels on
    // grey and on green, and a colour on itself.
    for (const Case& c : {
             Case{QColor(0x12, 0x60, 0x8a), QColor(0x3d, 0x3d, 0x3d), 3.0, false},
             Case{QColor(0x30, 0x8c, 0xc6), QColor(Qt::white), 3.0, true},
             Case{QColor(0xff, 0xcc, 0x00), QColor(Qt::white), 3.0, false},
             Case{QColor(142, 142, 147), QColor(Qt::white), 4.5, false},
             Case{QColor(52, 199, 89), QColor(Qt::white), 4.5, false},
             Case{QColor(0x80, 0x80, 0x80), QColor(0x80, 0x80, 0x80), 3.0, false},
         }) {
        const QColor readable = DesktopAppearance::readableOn(c.ink, c.background, c.minimum);
        EXPECT_GE(DesktopAppearance::contrastRatio(readable, c.background), c.minimum)
            << c.ink.name().toStdString();
        EXPECT_EQ(readable == c.ink, c.kept) << c.ink.name().toStdString();
        // Only as far as needed, the hue kept.
        EXPECT_LT(DesktopAppearance::contrastRatio(readable, c.background), c.minimum + (c.kept ? 21 : 0.2));
        if (c.ink.hsvSaturation() > 0) {
            EXPECT_NEAR(readable.hslHue(), c.ink.hslHue(), 2) << c.ink.name().toStdString();
        }
    }
    EXPECT_EQ(DesktopAppearance::textOn(QColor(0x12, 0x60, 0x8a)), QColor(Qt::white));
    EXPECT_NE(DesktopAppearance::textOn(QColor(0xff, 0xcc, 0x00)), QColor(Qt::white));
}

}  // namespace
}  // namespace mosaiko
