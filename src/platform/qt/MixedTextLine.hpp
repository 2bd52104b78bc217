#pragma once

#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QTextOption>

namespace mosaiko {

// One line of text in an ordinary font whose emoji are laid out in the colour-emoji font (see
// Typography::emojiRuns), measured, cut and drawn as it is shown. A text without emoji is left to
// the font alone, as before.
class MixedTextLine {
  public:
    // The characters a line can show: a thousand, wider than any box at any size the views draw
    // in. A longer text (a snippet of a hundred thousand) is laid out no further, at the same look.
    static constexpr qsizetype kLongestLine = 1000;
    // The start of `text` that `lines` lines can show, cut between characters.
    static QString shownPart(const QString& text, int lines = 1);

    // The line's advance.
    static double advance(const QString& text, const QFont& font);
    // The line cut with an ellipsis at its end to fit `width`, between characters.
    static QString elided(const QString& text, const QFont& font, double width);
    // Draws a text holding emoji into `box` in the painter's font and pen, centred vertically and
    // placed as `option` aligns it; returns false, drawing nothing, for a text without emoji.
    static bool drawWithEmoji(QPainter& painter, const QRectF& box, const QString& text,
                              const QTextOption& option = QTextOption(Qt::AlignLeft));
};

// A label of one line of plain text whose emoji are drawn in colour.
class MixedTextLabel final : public QLabel {
  public:
    explicit MixedTextLabel(QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace mosaiko
