#pragma once

#include <QString>
#include <QStringView>

namespace trovimo {

// Text from outside the program (a network name, a version feed) as it may be shown:
// control characters, line and paragraph separators and bidirectional formatting characters
// dropped, so that it can neither break a line nor reorder what is drawn around and after it.
[[nodiscard]] QString displayableText(QStringView text);

} // namespace trovimo
