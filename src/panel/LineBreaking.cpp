#include "panel/LineBreaking.h"

#include <QFontMetricsF>
#include <QList>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <optional>
#include <tuple>
#include <vector>

namespace trovimo {
namespace {

// Fewer characters than this on the last line read as left over.
constexpr qsizetype shortestLastLine = 3;

bool isHiragana(QChar c) {
    return c.unicode() >= 0x3041 && c.unicode() <= 0x309f;
}

// Case particles and the like, which end a phrase when they follow a word.
bool isParticle(QChar c) {
    return QStringView(u"がをにはでとへもやの").contains(c);
}

// Whether a break between text[at - 1] and text[at] falls between two phrases: after a
// space, a Japanese comma or full stop, a closing bracket or a particle that follows a word
// (使用率が / しきい値（90%）を / 超えています), or before an opening quote. Never before
// hiragana: that would tear an ending or a particle from its word (で|す, しきい|値 are
// no boundaries), and a parenthesis belongs to the word before it.
bool betweenPhrases(QStringView text, qsizetype at) {
    const QChar before = text.at(at - 1);
    const QChar after = text.at(at);
    const bool parenthesis = after == QLatin1Char('(') || after == QChar(0xff08);
    if (before.isSpace() || (after.category() == QChar::Punctuation_Open && !parenthesis)) {
        return true;
    }
    if (isHiragana(after)) {
        return false;
    }
    if (before == QChar(0x3001) || before == QChar(0x3002) ||
        before.category() == QChar::Punctuation_Close) {
        return true;
    }
    return isParticle(before) && at >= 2 && !isHiragana(text.at(at - 2));
}

qsizetype visibleLength(QStringView line) {
    return std::count_if(line.begin(), line.end(), [](QChar c) { return !c.isSpace(); });
}

// A way to break the text up to some break opportunity; compared in this order.
struct Path {
    int lines = 0;
    int shortLastLines = 0;
    int splitPhrases = 0;
    double longest = 0.0;
    std::size_t previous = 0; // the opportunity where its last line starts

    bool operator<(const Path& other) const {
        return std::tie(lines, shortLastLines, splitPhrases, longest) <
               std::tie(other.lines, other.shortLastLines, other.splitPhrases, other.longest);
    }
};

// Appends to `breaks` the offsets (from `offset` on) where the lines of one paragraph start.
void breakParagraph(QStringView text, qsizetype offset, const QFontMetricsF& metrics, double width,
                    std::vector<qsizetype>& breaks) {
    if (metrics.horizontalAdvance(text.toString()) <= width) {
        return;
    }
    std::vector<qsizetype> opportunities{0};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text.data(), text.size());
    for (qsizetype at = finder.toNextBoundary(); at > 0 && at < text.size();
         at = finder.toNextBoundary()) {
        if (finder.boundaryReasons() & QTextBoundaryFinder::BreakOpportunity) {
            opportunities.push_back(at);
        }
    }
    opportunities.push_back(text.size());
    const std::size_t count = opportunities.size();

    // The pieces between opportunities are measured once; a line's width is the sum of its
    // pieces (the panel's text is not shaped across them), less the spaces that hang past
    // its end. The lines picked are measured whole at the end.
    std::vector<double> before(count, 0.0);
    std::vector<double> hanging(count, 0.0);
    for (std::size_t piece = 0; piece + 1 < count; ++piece) {
        const QString part =
            text.mid(opportunities[piece], opportunities[piece + 1] - opportunities[piece])
                .toString();
        const double advance = metrics.horizontalAdvance(part);
        before[piece + 1] = before[piece] + advance;
        if (!part.isEmpty() && part.back().isSpace()) {
            hanging[piece + 1] = advance - metrics.horizontalAdvance(part.trimmed());
        }
    }

    std::vector<std::optional<Path>> best(count);
    best[0] = Path{};
    for (std::size_t end = 1; end < count; ++end) {
        for (std::size_t start = 0; start < end; ++start) {
            const double line = before[end] - before[start] - hanging[end];
            if (!best[start] || line > width) {
                continue;
            }
            Path path = *best[start];
            path.lines += 1;
            path.longest = std::max(path.longest, line);
            path.previous = start;
            if (end + 1 < count && !betweenPhrases(text, opportunities[end])) {
                path.splitPhrases += 1;
            }
            if (end + 1 == count && start > 0 &&
                visibleLength(text.mid(opportunities[start])) < shortestLastLine) {
                path.shortLastLines += 1;
            }
            if (!best[end] || path < *best[end]) {
                best[end] = path;
            }
        }
    }
    if (!best[count - 1]) {
        return; // a word wider than the line: left to plain wrapping
    }
    std::vector<qsizetype> starts;
    for (std::size_t end = count - 1; end > 0; end = best[end]->previous) {
        const qsizetype from = opportunities[best[end]->previous];
        if (metrics.horizontalAdvance(
                text.mid(from, opportunities[end] - from).trimmed().toString()) > width) {
            return;
        }
        if (from > 0) {
            starts.push_back(offset + from);
        }
    }
    breaks.insert(breaks.end(), starts.rbegin(), starts.rend());
}

} // namespace

std::vector<qsizetype> evenLineBreaks(const QString& text, const QFontMetricsF& metrics,
                                      double width) {
    std::vector<qsizetype> breaks;
    qsizetype start = 0;
    for (const QStringView paragraph : QStringView(text).split(QLatin1Char('\n'))) {
        breakParagraph(paragraph, start, metrics, width, breaks);
        start += paragraph.size() + 1;
    }
    return breaks;
}

QString withLineBreaks(QString text, const std::vector<qsizetype>& breaks) {
    for (auto at = breaks.rbegin(); at != breaks.rend(); ++at) {
        if (*at > 0 && *at <= text.size()) {
            text.insert(*at, QLatin1Char('\n'));
        }
    }
    return text;
}

} // namespace trovimo
