#pragma once

#include <QWidget>
#include <functional>

#include "content/EmojiEntry.hpp"

class QPushButton;

namespace mosaiko {

// One snippet on the library's shortcodes tab: its text, its name with a pin mark, its shortcodes,
// and "Edit…" when the snippet behind it can be edited. A name too long for the row ends in "…"
// and is whole in the row's tooltip. A click selects, a double click inserts, the context menu
// pins or unpins (the pane decides what each does).
class LibraryShortcodeRow final : public QWidget {
    Q_OBJECT

  public:
    struct Content {
        EmojiEntry entry;
        QString displayText;
        QString shortcodesSummary;
        bool isPinned = false;
        bool isSelected = false;
        bool canEdit = false;
    };

    explicit LibraryShortcodeRow(QWidget* parent = nullptr);

    void setContent(Content content);
    const Content& content() const { return content_; }
    bool isHovered() const { return hovered_; }
    QPushButton* editButton() const { return edit_; }

    std::function<void()> onSelect;
    std::function<void()> onInsert;
    std::function<void()> onTogglePin;
    std::function<void()> onEdit;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QRectF namesBox() const;
    QString shownName() const;
    void updateToolTip();

    Content content_;
    bool hovered_ = false;
    QPushButton* edit_;
};

}  // namespace mosaiko
