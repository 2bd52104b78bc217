#include "platform/qt/BandedScrollBarStyle.hpp"

#include <gtest/gtest.h>

#include <QScrollBar>

#include "support/SchemeSwitch.hpp"

namespace mosaiko::testing {
namespace {

// Drawn in bands, a scroll bar looks as the application's style draws it whole: at its ends, in
// the middle and with a slider across a band's edge, shorter and taller than one band.
TEST(BandedScrollBarStyleTest, DrawsTheBarAsTheApplicationsStyleDoes) {
    for (const auto& [height, value, page] :
         {std::tuple{40, 0, 10}, std::tuple{64, 50, 10}, std::tuple{300, 0, 50}, std::tuple{663, 37, 20},
          std::tuple{663, 100, 400}, std::tuple{1001, 60, 3}}) {
        QScrollBar plain(Qt::Vertical), banded(Qt::Vertical);
        BandedScrollBarStyle::apply(banded);
        for (QScrollBar* bar : {&plain, &banded}) {
            bar->resize(14, height);
            bar->setRange(0, 100);
            bar->setPageStep(page);
            bar->setValue(value);
        }
        const PixelDifference difference = pixelDifference(plain.grab().toImage(), banded.grab().toImage());
        EXPECT_EQ(difference.pixels, 0) << height << " high at " << value << ": differs in "
                                        << difference.bounds.y() << "+" << difference.bounds.height();
    }
}

}  // namespace
}  // namespace mosaiko::testing
