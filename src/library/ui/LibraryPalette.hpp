#pragma once

class QPushButton;
class QWidget;

namespace mosaiko {

// The library's windows in the desktop's light or dark look: when the look is forced against the
// desktop's palette (the PNG renderer, tests), fields, lists and buttons follow it too. Texts in
// the secondary style take the palette's PlaceholderText role.
class LibraryPalette {
  public:
    // Gives `window` the look now and again whenever the desktop switches it.
    static void follow(QWidget& window);

    // The accent-filled look of a sheet's or a column's main button while it is enabled (disabled,
    // it looks like any disabled button), kept through switches of the desktop's look.
    static void makeProminent(QPushButton& button);
    // A label or text drawn in the secondary style.
    static void setSecondary(QWidget& widget);

  private:
    static void apply(QWidget& window);
};

}  // namespace mosaiko
