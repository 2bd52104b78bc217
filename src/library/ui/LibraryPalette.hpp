#pragma once

class QPushButton;
class QWidget;

namespace mosaiko {

// The library's windows in the desktop's light or dark look: when the look is forced against the
// desktop's palette (the PNG renderer, tests), fields, lists and buttons follow it too.
class LibraryPalette {
  public:
    static void apply(QWidget& window);

    // The accent-filled look of a sheet's or a column's main button while it is enabled; disabled,
    // it looks like any disabled button.
    static void makeProminent(QPushButton& button);
};

}  // namespace mosaiko
