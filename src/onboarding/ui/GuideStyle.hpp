#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <optional>
#include <utility>

namespace mosaiko {

// The colours and shapes of the guide and statistics windows. Every value follows the current
// appearance (dark, or light for anything else) at the moment it is asked for.
class GuideStyle {
  public:
    // The named colours the views use; close equivalents of the usual system tints.
    enum class Named { white, black, orange, yellow, green, mint, blue, teal, pink, red };
    static QColor named(Named colour, double opacity = 1.0);

    // The four two-colour accents of the guide's cards and header tiles.
    enum class Accent { warm, mint, sky, rose };
    static std::pair<QColor, QColor> accentGradient(Accent accent);

    static bool isDark();
    // `dark` when the appearance is dark, else `light`.
    static double pick(double dark, double light) { return isDark() ? dark : light; }
    // The 1 pt line inside every bordered surface.
    static QColor border();

    // A rounded rectangle (a capsule when `radius` is negative) filled with `fill`, or with a
    // top-leading to bottom-trailing gradient when `gradient` is given, then bordered when asked.
    static void paintSurface(QPainter& painter, const QRectF& rect, double radius, const QColor& fill,
                             const std::optional<std::pair<QColor, QColor>>& gradient, bool bordered);

    // A plain-text label in `font`, secondary when asked, wrapping onto as many lines as it needs
    // when `wraps`.
    static QLabel* label(const QString& text, const QFont& font, bool secondary = false, bool wraps = false,
                         QWidget* parent = nullptr);
    static void setTextColour(QWidget* widget, const QColor& colour);
    // A push button in the prominent style: filled with the accent colour.
    static void makeProminent(QWidget* button);
    // Gives a window's content the colours of the current appearance where the desktop's palette
    // has the other one (a forced appearance), so its standard controls match.
    static void applyAppearance(QWidget* content);
};

// A widget that paints one surface of the guide behind its children.
class GuideSurface : public QWidget {
  public:
    struct Look {
        double radius = 0;  // negative: a capsule
        // Fill white (or black) at an opacity for the dark and the light appearance.
        GuideStyle::Named fillColour = GuideStyle::Named::white;
        double darkOpacity = 0;
        double lightOpacity = 0;
        std::optional<GuideStyle::Accent> accent;  // a gradient fill instead
        bool bordered = false;
        std::optional<QColor> fixedFill;  // one colour in both appearances instead

        // Filled with a named colour at an opacity for each appearance.
        static Look filled(double radius, GuideStyle::Named colour, double dark, double light,
                           bool bordered) {
            Look look;
            look.radius = radius;
            look.fillColour = colour;
            look.darkOpacity = dark;
            look.lightOpacity = light;
            look.bordered = bordered;
            return look;
        }
        static Look accented(double radius, GuideStyle::Accent accent, bool bordered) {
            Look look;
            look.radius = radius;
            look.accent = accent;
            look.bordered = bordered;
            return look;
        }
        static Look fixed(double radius, QColor fill) {
            Look look;
            look.radius = radius;
            look.fixedFill = fill;
            return look;
        }
    };

    explicit GuideSurface(Look look, QWidget* parent = nullptr);
    const Look& look() const { return look_; }
    void setLook(Look look) {
        look_ = look;
        update();
    }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Look look_;
};

}  // namespace mosaiko
