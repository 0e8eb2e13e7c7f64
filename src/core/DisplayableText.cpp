#include "core/DisplayableText.h"

#include <QList>

namespace trovimo {
namespace {

// Controls (line feed, next line and the rest), the line and paragraph separators, and the
// marks, embeddings, overrides and isolates of the bidirectional algorithm.
bool hiddenInDisplay(char32_t c) {
    return c < 0x20 || (c >= 0x7f && c < 0xa0) || c == 0x061c || c == 0x200e || c == 0x200f ||
           c == 0x2028 || c == 0x2029 || (c >= 0x202a && c <= 0x202e) ||
           (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString displayableText(QStringView text) {
    QString cleaned;
    cleaned.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (!hiddenInDisplay(c)) {
            cleaned.append(QChar::fromUcs4(c));
        }
    }
    return cleaned;
}

} // namespace trovimo
