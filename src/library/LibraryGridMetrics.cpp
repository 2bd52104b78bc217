#include "library/LibraryGridMetrics.hpp"

#include <algorithm>
#include <cmath>

namespace mosaiko {

LibraryGridMetrics::EmoticonLayout LibraryGridMetrics::emoticonGridLayout(double width) {
    const double usable = std::max(width - 14 - 14, 180.0);
    const int columns = std::max(static_cast<int>((usable + 10) / 178), 1);
    const double tileWidth = std::floor((usable - (columns - 1) * 10) / columns);
    return {columns, tileWidth, 10, 14};
}

LibraryGridMetrics LibraryGridMetrics::forWidth(double width, Style style) {
    LibraryGridMetrics metrics;
    metrics.style = style;
    if (style == Style::wideText) {
        const EmoticonLayout layout = emoticonGridLayout(width);
        metrics.columns = layout.columns;
        metrics.columnWidth = layout.tileWidth;
        metrics.columnSpacing = layout.spacing;
        metrics.rowSpacing = layout.spacing;
        metrics.padding = layout.padding;
        return metrics;
    }
    const double usable = std::max(width - 10 - 10, 60.0);
    metrics.columns = std::max(static_cast<int>((usable + 6) / 66), 1);
    metrics.columnWidth = std::floor((usable - (metrics.columns - 1) * 6) / metrics.columns);
    metrics.columnSpacing = 6;
    metrics.rowSpacing = 6;
    metrics.padding = 10;
    metrics.tileSide = metrics.columnWidth;
    return metrics;
}

}  // namespace mosaiko
