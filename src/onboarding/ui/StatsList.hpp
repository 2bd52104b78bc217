#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>
#include <vector>

#include "onboarding/StatsViewModel.hpp"
#include "platform/qt/EmojiGlyphCache.hpp"

namespace mosaiko {

// The ranked rows of the statistics, drawn by one widget: "#rank", the preview (large as an emoji
// in a frame 36 wide, or the text as it is on one monospaced line, cut at its end, with the whole
// text in its tooltip), the use count and the trend. A hundred rows of five widgets each took
// longer to build, lay out and polish than the rest of the window.
class StatsList final : public QWidget {
  public:
    // The fonts of the rows' cells.
    struct Look {
        QFont rankAndTrend;
        QFont count;
        QFont preview;  // of a text shown as it is
        static Look current();
    };
    enum Cell { rank = 0, preview = 1, count = 2, trend = 3 };
    struct Row {
        QString texts[4];
        bool emojiStyle = false;
        QColor trendColour;
    };

    static constexpr int kRowHeight = 40;
    static constexpr int kEmojiWidth = 36;
    static constexpr int kTextWidth = 220;
    static constexpr int kUsageColumnWidth = 72;
    static constexpr int kTrendColumnWidth = 40;

    StatsList(const std::vector<RankedStatItem>& items, QWidget* parent = nullptr);

    const std::vector<Row>& rows() const { return rows_; }
    // Where a cell of a row is drawn; its text is centred vertically in it.
    QRect cellRect(std::size_t row, Cell cell) const;
    // The colour a cell's text is drawn in.
    QColor colourOf(std::size_t row, Cell cell) const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // What drawing the emoji previews of the first `count` items asks of the glyph image cache, to
    // have them drawn ahead.
    static std::vector<EmojiGlyphCache::Request> firstPreviews(const std::vector<RankedStatItem>& items,
                                                               std::size_t count);

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    int rowTop(std::size_t row) const;

    Look look_;
    std::vector<Row> rows_;
};

}  // namespace mosaiko
