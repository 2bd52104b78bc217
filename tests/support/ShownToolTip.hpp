#pragma once

#include <QString>
#include <QTextDocument>

namespace mosaiko::testing {

// What a tooltip shows, read the way Qt reads it (rich text when it looks like markup).
inline QString shownToolTip(const QString& tip) {
    QTextDocument document;
    if (Qt::mightBeRichText(tip))
        document.setHtml(tip);
    else
        document.setPlainText(tip);
    return document.toPlainText();
}

}  // namespace mosaiko::testing
