#include "settings/ui/ManageViewFrame.hpp"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace mosaiko::manage_view {

namespace {

// Fits the list again whenever the content's layout changes without the view changing size: the
// fonts and styles that reach the content once it is shown, a notice that comes or goes.
class ListFitter final : public QObject {
  public:
    ListFitter(QWidget& view, QWidget* content, QScrollArea* list, const Sizes& sizes)
        : QObject(&view), view_(view), content_(content), list_(list), sizes_(sizes) {
        content->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == content_ && event->type() == QEvent::LayoutRequest)
            fitList(view_, content_, list_, true, sizes_);
        return false;
    }

  private:
    QWidget& view_;
    QWidget* content_;
    QScrollArea* list_;
    Sizes sizes_;
};

}  // namespace

void place(QWidget& view, QWidget* content, QScrollArea* list, bool embedded, const Sizes& sizes) {
    auto* layout = new QVBoxLayout(&view);
    layout->setContentsMargins(0, 0, 0, 0);
    if (embedded) {
        auto* scroll = new QScrollArea(&view);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        // The list takes the height the window leaves it and scrolls itself: the view has a scroll
        // bar of its own only where the list's least height makes it taller than the window.
        scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        scroll->setWidget(content);
        layout->addWidget(scroll);
        list->setFixedHeight(static_cast<int>(sizes.embeddedListHeight(0)));
        new ListFitter(view, content, list, sizes);
    } else {
        layout->addWidget(content);
        list->setFixedHeight(static_cast<int>(sizes.standaloneListHeight));
        view.setFixedSize(static_cast<int>(sizes.standaloneWidth), static_cast<int>(sizes.standaloneHeight));
    }
}

void fitList(const QWidget& view, const QWidget* content, QScrollArea* list, bool embedded,
             const Sizes& sizes) {
    if (!embedded || !content || !content->layout()) return;
    const QLayout* layout = content->layout();
    // The width the content gets beside a scroll bar, whether or not it shows (the view may be
    // resized before the scroll view has passed the new width on).
    int width = view.width();
    if (const auto* scroll = qobject_cast<const QScrollArea*>(
            content->parentWidget() ? content->parentWidget()->parentWidget() : nullptr))
        width -= scroll->verticalScrollBar()->sizeHint().width();
    const int whole =
        layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : layout->totalSizeHint().height();
    const int rest = whole - list->height();
    const int floor = static_cast<int>(sizes.embeddedListHeight(0));
    const int height = std::max(view.height() - rest, floor);
    if (height != list->height()) list->setFixedHeight(height);
}

RowList rowList(QWidget* parent, QLabel* emptyLabel, const QMargins& margins) {
    auto* scroll = new QScrollArea(parent);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* rows = new QWidget;
    auto* column = new QVBoxLayout(rows);
    column->setContentsMargins(margins);
    column->setSpacing(4);
    emptyLabel->setParent(rows);
    column->addWidget(emptyLabel);
    column->addStretch(1);
    scroll->setWidget(rows);
    return {scroll, column};
}

QPushButton* closeFooter(QWidget& view, QWidget* content, QVBoxLayout* column) {
    auto* footer = new QHBoxLayout;
    footer->addStretch(1);
    auto* close = new QPushButton(QObject::tr("Close"), content);
    QObject::connect(close, &QPushButton::clicked, &view, [&view] { view.window()->close(); });
    footer->addWidget(close);
    column->addLayout(footer);
    return close;
}

}  // namespace mosaiko::manage_view
