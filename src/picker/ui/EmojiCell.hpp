#pragma once

#include <QWidget>

#include <string>
#include "picker/ui/ClickTracker.hpp"

namespace mosaiko {

// One result of the picker's main row: an emoji as a large glyph on a square tile, a text entry
// (emoticon, snippet) on a wide monospaced tile, a glyph on a narrow one; with a pin badge when
// pinned and a "▾" mark when an emoji offers skin tones.
class EmojiCell : public QWidget {
    Q_OBJECT

  public:
    struct Content {
        std::string emoji;
        bool showsVariantsIndicator = false;
        bool isPinned = false;
        bool isSelected = false;
        bool isTextEntry = false;
        bool isCompactTextEntry = false;
        bool operator==(const Content&) const = default;
    };

    explicit EmojiCell(QWidget* parent = nullptr);

    const Content& content() const { return content_; }
    void setContent(const Content& content);

    // The tile's width for its content; the height is always 54.
    static double widthFor(const Content& content);

    QSize sizeHint() const override;

  signals:
    void hovered();
    void clicked(Qt::KeyboardModifiers modifiers);
    void contextMenuRequested(const QPoint& globalPosition);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    Content content_;
    ClickTracker clicks_;
};

}  // namespace mosaiko
