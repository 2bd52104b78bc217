#include <gtest/gtest.h>

#include "library/LibraryGridMetrics.hpp"

namespace mosaiko {
namespace {

TEST(LibraryGridMetricsTest, WorkedWidths) {
    struct Case {
        double width;
        int squareColumns;
        double side;
        int wideColumns;
        double wideWidth;
    };
    const Case cases[] = {
        {0, 1, 60, 1, 180},    {146, 2, 60, 1, 180},  {560, 8, 62, 3, 170},
        {720, 10, 64, 3, 224}, {840, 12, 62, 4, 195},
    };
    for (const Case& c : cases) {
        for (auto style : {LibraryGridMetrics::Style::compact, LibraryGridMetrics::Style::glyph}) {
            const auto m = LibraryGridMetrics::forWidth(c.width, style);
            EXPECT_EQ(m.columns, c.squareColumns) << c.width;
            EXPECT_EQ(m.tileSide, c.side) << c.width;
            EXPECT_EQ(m.keyboardColumnCount(), c.squareColumns);
        }
        const auto wide = LibraryGridMetrics::forWidth(c.width, LibraryGridMetrics::Style::wideText);
        EXPECT_EQ(wide.columns, c.wideColumns) << c.width;
        EXPECT_EQ(wide.columnWidth, c.wideWidth) << c.width;
        EXPECT_EQ(wide.keyboardColumnCount(), 1);
        EXPECT_EQ(wide.rowHeight(), 58);
    }
}

}  // namespace
}  // namespace mosaiko
