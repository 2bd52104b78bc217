#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <vector>

class QComboBox;
class QPainter;

namespace mosaiko {

class ElidedLabel;

// The look shared by every settings tab: the named colours with their light and dark opacities,
// the card shapes with their 1 pt inner border, and the labels in the primary and secondary styles.
class SettingsStyle {
  public:
    // A named colour at one opacity in the dark scheme and another in the light one.
    struct Tint {
        QColor color;
        double dark = 1;
        double light = 1;
        QColor resolved() const;
    };
    using Gradient = std::vector<Tint>;

    // The desktop's named colours.
    static QColor orange() { return {255, 149, 0}; }
    static QColor yellow() { return {255, 204, 0}; }
    static QColor blue() { return {0, 122, 255}; }
    static QColor cyan() { return {50, 173, 230}; }
    static QColor indigo() { return {88, 86, 214}; }
    static QColor red() { return {255, 59, 48}; }
    static QColor green() { return {52, 199, 89}; }
    static QColor mint() { return {0, 199, 190}; }
    static QColor pink() { return {255, 45, 85}; }
    static QColor purple() { return {175, 82, 222}; }

    static bool isDark();
    // White at `dark` in the dark scheme, at `light` otherwise.
    static QColor white(double dark, double light);
    // Card and box borders: white 0.16 in the dark scheme, black 0.08 in the light one.
    static QColor border();
    // The two colours of every header card.
    static std::vector<QColor> headerGradientColors();
    static std::vector<QColor> resolved(const Gradient& gradient);

    // The window's palette for the current scheme: the desktop's own when it agrees, else a
    // standard light or dark one. PlaceholderText carries the secondary text colour.
    static QPalette palette();

    // A rounded rectangle filled with a top-leading to bottom-trailing gradient of `colors` (or
    // one colour), then stroked 1 pt inside its edge with `border`.
    static void paintBox(QPainter& painter, const QRectF& rect, double radius,
                         const std::vector<QColor>& colors, const QColor& border);
    static void paintSymbol(QPainter& painter, const QString& name, const QColor& color, double points,
                            const QRectF& rect, bool bold = false);

    // A plain-text label in the system font; `secondary` draws it in the secondary style.
    static QLabel* label(const QString& text, double points, QFont::Weight weight = QFont::Normal,
                         bool secondary = false, QWidget* parent = nullptr);
    static QLabel* monospacedLabel(const QString& text, double points, QFont::Weight weight,
                                   bool secondary = false, QWidget* parent = nullptr);
    // One line that ends in "…" when too long, the whole text then in its tooltip (ElidedLabel).
    static ElidedLabel* elidedLabel(const QString& text, const QFont& font, bool secondary = false,
                                    QWidget* parent = nullptr);
    // Wraps onto as many lines as it needs.
    static QLabel* wrappingLabel(const QString& text, double points, QFont::Weight weight = QFont::Normal,
                                 bool secondary = true, QWidget* parent = nullptr);
    static void setSecondary(QLabel* label, bool secondary);
    // A pop-up list `width` wide, wider where its longest choice needs it (a larger desktop font).
    static void fitChoices(QComboBox& choices, int width);
    // Trigger sequences with the visible-space symbol "␠" in `font`. The fonts that have the symbol
    // draw it a few pixels tall in hairlines, beside letters of the sequence twice as tall and
    // bold: it is drawn here from `font` itself instead, a small "S" above a small "P" as the
    // symbol stacks them, the pair as tall as the capitals and as heavy as the letters beside it.
    static double sequenceWidth(const QFont& font, const QString& text);
    static void drawSequence(QPainter& painter, const QRectF& rect, Qt::Alignment alignment,
                             const QFont& font, const QString& text);
};

// A rounded box with the scheme's fill and inner border behind its children.
class BoxFrame final : public QWidget {
  public:
    BoxFrame(double radius, double fillDark, double fillLight, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    double radius_;
    double fillDark_;
    double fillLight_;
};

// A label that wraps its text and asks for the height its text needs at its current width (a plain
// wrapping label asks for the height of a narrow guess and leaves a gap in the layout).
class WrappingLabel final : public QLabel {
  public:
    explicit WrappingLabel(const QString& text, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
};

// A one-line plain-text label for a trigger sequence, drawn with SettingsStyle::drawSequence.
class SequenceLabel final : public QLabel {
  public:
    explicit SequenceLabel(const QString& text = {}, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent*) override;
};

// A one-line label for a name of any length: too long for its width, it ends in "…" and shows
// the whole text in its tooltip. It asks for its full width but makes do with none, so that the
// controls beside it stay in view.
class ElidedLabel final : public QLabel {
  public:
    explicit ElidedLabel(const QString& text = {}, QWidget* parent = nullptr);
    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }
    bool isElided() const;
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QString shownText() const;
    void updateToolTip();

    QString full_;
};

// A square tile holding a symbol (or the symbol alone): the icons of cards and rows.
class SymbolTile final : public QWidget {
  public:
    struct Look {
        QString symbol;
        double side = 38;
        double symbolPoints = 20;
        double radius = 12;
        double fillDark = 0;  // white at this opacity behind the symbol; 0 for no tile
        double fillLight = 0;
        bool secondary = false;
        bool bold = true;
    };
    explicit SymbolTile(Look look, QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    Look look_;
};

// A small value box: text on a rounded rectangle with an inner border, both after the scheme.
class BadgeLabel final : public QLabel {
  public:
    struct Look {
        double radius = 7;
        double fillDark = 0.10;
        double fillLight = 0.64;
        int horizontalPadding = 8;
        int verticalPadding = 4;
    };
    explicit BadgeLabel(const QString& text, const QFont& font, QWidget* parent = nullptr);
    BadgeLabel(const QString& text, const QFont& font, Look look, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Look look_;
};

}  // namespace mosaiko
