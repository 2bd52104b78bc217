#pragma once

#include <QString>
#include <QWidget>

namespace mosaiko {

// One line of plain text in the library's header (the section's title, the count of entries). It is
// drawn through the views' text images and sized by its font alone: the count changes at every
// letter typed, and a label sized by its text would lay the header out again and redraw its
// neighbours each time. A text wider than the line is cut with an ellipsis and shown whole in the
// tooltip, so a long search never widens the window. Drawn in its palette's foreground role
// (LibraryPalette::setSecondary).
class LibraryHeaderLabel final : public QWidget {
    Q_OBJECT

  public:
    LibraryHeaderLabel(const QFont& font, QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& text() const { return text_; }
    // Whether the text does not show whole at the label's width.
    bool isTruncated() const { return truncated_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void layOut();
    QString shownText() const;

    QString text_;
    bool truncated_ = false;
};

}  // namespace mosaiko
