#pragma once

#include <QString>

#include <vector>

class QFontMetricsF;

namespace trovimo {

// Line breaks for a short wrapped text (an alert) as a Japanese typesetter would place
// them. Plain word wrap fills each line and leaves whatever is over, often a single kana,
// alone on the last line. Here the text takes as few lines as greedy wrapping would, but
// the breaks are chosen so that the last line holds at least a few characters, breaks fall
// between phrases where possible (after a space, before an opening quote, where kana
// give way to a new word), and the lines come out as even as possible. Returns where the
// lines after the first start, as offsets into `text` (explicit breaks stay in the text and
// are not listed); none when a paragraph fits on one line or cannot be broken to fit.
[[nodiscard]] std::vector<qsizetype> evenLineBreaks(const QString& text,
                                                    const QFontMetricsF& metrics, double width);

// `text` with a line break at each of `breaks` (ascending offsets).
[[nodiscard]] QString withLineBreaks(QString text, const std::vector<qsizetype>& breaks);

} // namespace trovimo
