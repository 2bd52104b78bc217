#include "settings/ui/ManageViewFrame.hpp"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace mosaiko::manage_view {

void place(QWidget& view, QWidget* content, QScrollArea* list, bool embedded, const Sizes& sizes) {
    auto* layout = new QVBoxLayout(&view);
    layout->setContentsMargins(0, 0, 0, 0);
    if (embedded) {
        auto* scroll = new QScrollArea(&view);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setWidget(content);
        layout->addWidget(scroll);
        list->setFixedHeight(static_cast<int>(sizes.embeddedListHeight(0)));
    } else {
        layout->addWidget(content);
        list->setFixedHeight(static_cast<int>(sizes.standaloneListHeight));
        view.setFixedSize(static_cast<int>(sizes.standaloneWidth), static_cast<int>(sizes.standaloneHeight));
    }
}

void fitList(const QWidget& view, QScrollArea* list, bool embedded, const Sizes& sizes) {
    if (embedded) list->setFixedHeight(static_cast<int>(sizes.embeddedListHeight(view.height())));
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
