#pragma once

#include <QString>

namespace mosaiko {

// A tooltip that shows `text` exactly as it is. Qt takes a tooltip that looks like markup for rich
// text, so a name such as "<b>Hello</b>" would show bold: the text is escaped inside markup that
// keeps its spaces and line breaks. Empty for an empty text, so no tooltip shows.
QString plainToolTip(const QString& text);

}  // namespace mosaiko
