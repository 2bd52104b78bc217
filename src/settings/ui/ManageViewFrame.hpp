#pragma once

#include <QMargins>

class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class QWidget;

namespace mosaiko {

// What the management views (pins, snippets) share: embedded in the settings window their content
// scrolls and their list follows the window's height; standalone they have a fixed size and end in
// "Close".
namespace manage_view {

struct Sizes {
    double standaloneWidth;
    double standaloneHeight;
    double standaloneListHeight;
    double (*embeddedListHeight)(double availableHeight);
};

// Lays `content` into `view`, which has no layout yet.
void place(QWidget& view, QWidget* content, QScrollArea* list, bool embedded, const Sizes& sizes);
// The list's height for the view's height, when embedded: it takes what the rest of `content`
// leaves of the view's height (the rest measured as laid out here), never less than the list's
// floor, so the screen fits the window and scrolls only when the floor makes it taller.
void fitList(const QWidget& view, const QWidget* content, QScrollArea* list, bool embedded,
             const Sizes& sizes);

// A scrolling list of rows: the empty text first, the rows after it, a stretch last.
struct RowList {
    QScrollArea* scroll;
    QVBoxLayout* rows;
};
RowList rowList(QWidget* parent, QLabel* emptyLabel, const QMargins& margins);

// "Close" at the right end of `column`, closing the view's window.
QPushButton* closeFooter(QWidget& view, QWidget* content, QVBoxLayout* column);

}  // namespace manage_view
}  // namespace mosaiko
