#pragma once

#include <QString>
#include <QWidget>

#include "onboarding/ui/GuideStyle.hpp"

namespace mosaiko {

// The pieces every guide page is built from. Each builder returns a new widget (owned by the
// caller's layout) that shows the strings it is given verbatim and follows the appearance.
class GuideCards {
  public:
    // Title and subtitle above `content`, which the card takes over.
    static QWidget* sectionCard(const QString& title, const QString& subtitle, QWidget* content);
    static QWidget* insightCard(const QString& title, const QString& body, GuideStyle::Accent accent,
                                const QString& icon);
    static QWidget* shortcutCard(const QString& title, const QString& detail, const QString& example,
                                 GuideStyle::Accent accent, const QString& icon);
    static QWidget* tipRow(const QString& title, const QString& body);
    static QWidget* codeBadge(const QString& text);
    static QWidget* featureChip(const QString& symbol, const QString& label);
    // A symbol image `points` large, centred in a square tile of `side` points on `look`; an empty
    // tile of the same size when the image is missing.
    static QWidget* iconTile(const QString& icon, double points, int side, GuideSurface::Look look);
};

}  // namespace mosaiko
