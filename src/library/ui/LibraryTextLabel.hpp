#pragma once

#include <QFont>
#include <QWidget>

#include "library/ui/LibraryText.hpp"

namespace mosaiko {

// A name or text in one of the library's columns, fitted the way LibraryText fits it: wrapped at
// word boundaries (between characters for a word wider than the column), shrunk down to its
// smallest scale and then cut with an ellipsis, never in the middle of a character. It keeps the
// alignment it is given whatever the text's writing direction, so a right-to-left name lines up
// with the rest of a left-aligned column. When cut, the whole text is its tooltip, as plain text.
// It is drawn in its palette's foreground role (LibraryPalette::setSecondary for the secondary
// style), so it follows the window's look.
class LibraryTextLabel final : public QWidget {
    Q_OBJECT

  public:
    LibraryTextLabel(const QFont& font, LibraryText::Fitting fitting, QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& text() const { return text_; }
    void setFont(const QFont& font);
    // Whether the text does not show whole at the label's width.
    bool isTruncated() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void changed();

    QString text_;
    QFont font_;
    LibraryText::Fitting fitting_;
};

}  // namespace mosaiko
